// The USB and CAN transports: search, transactions, closing.
#include "ridaviri/wrap_dev.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/device.h"
#include "platform/sync.h"

namespace ridaviri {
namespace {

// {12D64ED7-D299-435E-BB62-F451679E4E9B}: the interface the sensor driver registers.
constexpr GUID kSensorInterfaceClass = {0x12D64ED7, 0xD299, 0x435E, {0xBB, 0x62, 0xF4, 0x51, 0x67, 0x9E, 0x4E, 0x9B}};

// Clear flags of the CAN transactions: transmit and receive queues and the error queue.
constexpr uint32_t kClearTransaction = 50;
// Pause before a CAN request is sent, and after one on the found-table path, ms.
constexpr uint32_t kCanSendPauseMs = 20;
constexpr uint32_t kCanFoundPauseMs = 50;
// Pause between empty receive attempts of the node scan, ms.
constexpr uint32_t kCanScanPauseMs = 20;
// Pause between empty receive attempts of a transaction or the poll, ms: short against the
// time-outs, but a waiting transaction does not keep a processor busy.
constexpr uint32_t kCanReceivePauseMs = 1;
// The acceptance filter: every identifier but the lowest bit compared as don't-care.
constexpr uint32_t kCanFilterCode = 0;
constexpr uint32_t kCanFilterMask = 0xFFFFFFFE;

HANDLE AsHandle(DeviceHandle h) { return reinterpret_cast<HANDLE>(h); }
DeviceHandle AsDevice(HANDLE h) { return reinterpret_cast<DeviceHandle>(h); }

// A handle value the CAN library's open gives back on failure: all bits set, or (as a 32-bit
// word) one of its result codes from 0xC000000C up.
bool CanOpenFailedValue(CanHandle h) {
    if (h == kCanOpenFailed) return true;
    return h <= 0xFFFFFFFFu && h >= kCanErrDeviceBusy;
}

// One overlapped transfer: its own manual-reset event, closed at the end. A transfer that
// is given up is cancelled and waited for, so that the request no longer writes into this
// record or the caller's buffer once they are gone.
class Transfer {
public:
    explicit Transfer(HANDLE device) : device_(device) {
        overlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Transfer() {
        if (started_ && !HasOverlappedIoCompleted(&overlapped_)) Cancel();
        if (overlapped_.hEvent) CloseHandle(overlapped_.hEvent);
    }
    OVERLAPPED* Record() {
        started_ = true;
        return &overlapped_;
    }
    void Cancel() {
        CancelIo(device_);
        DWORD ignored = 0;
        GetOverlappedResult(device_, &overlapped_, &ignored, TRUE);
    }

private:
    HANDLE device_;
    OVERLAPPED overlapped_{};
    bool started_ = false;
};

bool Pending(DWORD error) { return error == ERROR_IO_PENDING || error == ERROR_IO_INCOMPLETE; }

}  // namespace

uint32_t SystemTicks::Tick() { return platform::sync::TimeGetTime(); }

void SystemTicks::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

CanConfig SensorCanConfig() { return CanConfig{0, 1, 64, 64, 64, 96, 0x80004B23u}; }

SensorTransport::SensorTransport(MonitorData& data, MessageFunction& messages, CanLibrary& can, TransportTicks& ticks)
    : data_(data), messages_(messages), can_(can), ticks_(ticks) {}

void SensorTransport::Abort(int code) {
    if (abort_) abort_(code);
}

// ------------------------------------------------------------------------------ USB

int SensorTransport::UsbFindDevices() {
    for (ChannelRecord& r : data_.found) r.usbHandle = kInvalidDeviceHandle;
    data_.deviceCount = 0;
    HDEVINFO set = SetupDiGetClassDevsA(&kSensorInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE || set == nullptr) return 1;
    int filled = 0;
    int result = 0;
    for (DWORD member = 0; member < kUsbSearchMembers; ++member) {
        SP_DEVICE_INTERFACE_DATA interface{};
        interface.cbSize = sizeof(interface);
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kSensorInterfaceClass, member, &interface)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
            continue;
        }
        DWORD need = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &interface, nullptr, 0, &need, nullptr);
        if (need < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
            continue;
        }
        std::vector<char> buffer(need);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!SetupDiGetDeviceInterfaceDetailA(set, &interface, detail, need, nullptr, nullptr)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
            continue;
        }
        HANDLE h = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        data_.stateWord.Set(state::DEVICES_OPEN);
        if (filled >= kMaxUsbUnits) {
            CloseHandle(h);
            result = 2;
            break;
        }
        data_.found[filled++].usbHandle = AsDevice(h);
    }
    SetupDiDestroyDeviceInfoList(set);
    if (result == 2) return 2;
    return filled == 0 ? 1 : 0;
}

int SensorTransport::UsbWriteCommand(const uint8_t* command, uint32_t start, uint32_t timeoutMs) {
    HANDLE h = AsHandle(currentUsb_);
    Transfer transfer(h);
    DWORD written = 0;
    if (WriteFile(h, command, 8, &written, transfer.Record())) return written == 8 ? 1 : -1;
    if (!Pending(GetLastError())) {
        transfer.Cancel();
        return -1;
    }
    for (;;) {
        if (GetOverlappedResult(h, transfer.Record(), &written, FALSE)) return written == 8 ? 1 : -1;
        if (!Pending(GetLastError()) || ticks_.Tick() - start >= timeoutMs) {
            transfer.Cancel();
            return -1;
        }
        ticks_.Sleep(timeoutMs / 50);
    }
}

int SensorTransport::UsbReadReply(uint8_t* reply, uint32_t start, uint32_t timeoutMs) {
    HANDLE h = AsHandle(currentUsb_);
    uint8_t buffer[kUsbReadBytes] = {};
    int result = -2;
    {
        Transfer transfer(h);
        DWORD got = 0;
        if (ReadFile(h, buffer, kUsbReadBytes, &got, transfer.Record())) {
            result = 2;
        } else if (DWORD error = GetLastError(); !Pending(error) && error != ERROR_MORE_DATA) {
            transfer.Cancel();
        } else {
            for (;;) {
                if (GetOverlappedResult(h, transfer.Record(), &got, FALSE)) {
                    result = 2;
                    break;
                }
                error = GetLastError();
                if (error == ERROR_MORE_DATA && got == kUsbReadBytes) {
                    // A reply longer than the buffer: the buffer is full, that is enough.
                    transfer.Cancel();
                    result = 2;
                    break;
                }
                if ((!Pending(error) && error != ERROR_MORE_DATA) || ticks_.Tick() - start >= timeoutMs) {
                    transfer.Cancel();
                    break;
                }
                ticks_.Sleep(timeoutMs / 50);
            }
        }
    }
    std::memcpy(reply, buffer, 12);
    return result;
}

int SensorTransport::UsbTransact(ChannelTable& table, int slot, const SensorCommand& command, SensorReply* reply,
                                 bool channelPath) {
    const uint32_t start = ticks_.Tick();
    const WireBytes wire = EncodeCommand(command);
    currentUsb_ = table[slot].usbHandle;
    if (channelPath && command.code == kCmdReadMeasurement) {
        int measured = 0;
        for (int i = 0; i < kMaxUsbUnits; ++i) measured += data_.channels[i].measureSwitch == 1;
        if (measured == 0) {
            Abort(0);
            return -1;
        }
    }
    if (UsbWriteCommand(wire.data(), start, kUsbTransferTimeoutMs) != 1) return -1;
    if (!UsbReadsReply(command.code, channelPath)) return 0;
    uint8_t buffer[12];
    if (UsbReadReply(buffer, start, kUsbTransferTimeoutMs) != 2) return -1;
    if (command.code == kCmdReadInfo && !UsbReplySubCodeKnown(command.word1)) {
        CancelIo(AsHandle(currentUsb_));
        return -1;
    }
    std::memcpy(reply->bytes.data(), buffer, 8);
    return 0;
}

int SensorTransport::UsbTransactFound(int slot, const SensorCommand& command, SensorReply* reply) {
    return UsbTransact(data_.found, slot, command, reply, false);
}

int SensorTransport::UsbTransactChannel(int slot, const SensorCommand& command, SensorReply* reply) {
    return UsbTransact(data_.channels, slot, command, reply, true);
}

int SensorTransport::CloseFoundSlot(int slot) {
    ChannelRecord& r = data_.found[slot];
    if (r.usbHandle == kInvalidDeviceHandle) return 0;
    if (!CloseHandle(AsHandle(r.usbHandle))) return -1;
    if (idStep_ == kIdStepClosing) r.usbHandle = kInvalidDeviceHandle;
    else ResetRecord(r);
    return 0;
}

int SensorTransport::CloseChannelSlot(int slot) {
    ChannelRecord& r = data_.channels[slot];
    if (r.usbHandle == kInvalidDeviceHandle) return 0;
    if (!CloseHandle(AsHandle(r.usbHandle))) return -1;
    r.usbHandle = kInvalidDeviceHandle;
    data_.found[slot].usbHandle = kInvalidDeviceHandle;
    return 0;
}

// ------------------------------------------------------------------------------ CAN

bool SensorTransport::CanRestart(CanHandle port, uint32_t flags, bool deactivate) {
    CanStatus status{};
    if (can_.GetStatus(port, &status) != kCanOk) return false;
    if (deactivate && status.busState == kCanStateRunning && can_.Deactivate(port) != kCanOk) return false;
    if (can_.ClearBuffer(port, flags) != kCanOk) return false;
    if (can_.GetStatus(port, &status) != kCanOk) return false;
    if (status.busState == kCanStateStopped && can_.Activate(port) != kCanOk) return false;
    return true;
}

CanHandle SensorTransport::CanOpenSensors() {
    for (int i = 0; i < kChannelCount; ++i) data_.found[i].canNode = data_.channels[i].canNode;
    if (port_ == 0) {
        const std::string name = "DIZED" + std::to_string(kCanSensorPort);
        const CanHandle h = can_.OpenPort(name.c_str());
        if (CanOpenFailedValue(h)) return kCanOpenFailed;
        for (ChannelRecord& r : data_.found) r.canNode = 0;
        if (can_.SetConfig(h, SensorCanConfig()) != kCanOk) {
            can_.ClosePort(h);
            return kCanOpenFailed;
        }
        port_ = h;
    } else {
        // The filter is taken only while the controller is stopped; the scan starts it again.
        CanStatus status{};
        if (can_.GetStatus(port_, &status) != kCanOk) return kCanOpenFailed;
        if (status.busState == kCanStateRunning && can_.Deactivate(port_) != kCanOk) return kCanOpenFailed;
    }
    if (can_.SetAcceptanceFilter(port_, kCanFilterCode, kCanFilterMask) != kCanOk) return kCanOpenFailed;
    CanScanNodes(port_);
    return port_;
}

int SensorTransport::CanScanNodes(CanHandle port) {
    if (!CanRestart(port, 0, true)) return 1;
    const uint32_t start = ticks_.Tick();
    CanMessage query{};
    query.length = 8;
    query.identifier = kCanBroadcast;
    const WireBytes bytes = EncodeCommand(MakeReadInfo(kInfoIdNumber));
    std::memcpy(query.data, bytes.data(), 8);
    if (can_.SendMessage(port, &query, 1) != kCanOk) return 1;
    bool recorded = false;
    for (;;) {
        CanMessage message{};
        uint32_t count = 1;
        if (can_.ReceiveMessage(port, &message, &count) == kCanOk && count == 1) {
            const uint32_t node = CanNodeOfIdentifier(message.identifier);
            if (node == 0) continue;
            int free = -1;
            bool known = false;
            for (int i = 0; i < kChannelCount; ++i) {
                if (data_.found[i].canNode == node) known = true;
                if (free < 0 && data_.found[i].canNode == 0) free = i;
            }
            if (known) continue;
            if (free < 0) return 2;
            data_.found[free].canNode = node;
            recorded = true;
            continue;
        }
        if (ticks_.Tick() - start > kCanReplyTimeoutMs) break;
        ticks_.Sleep(kCanScanPauseMs);
    }
    int nodes = 0;
    for (const ChannelRecord& r : data_.found) nodes += r.canNode != 0;
    if (!recorded && nodes == 0) return 1;
    data_.deviceCount = nodes;
    return 0;
}

int SensorTransport::CanTransactNode(uint32_t node, uint32_t interval, const SensorCommand& command,
                                     SensorReply* reply, bool channelPath) {
    const uint32_t nodeBits = (node << kCanNodeShift) & kCanNodeMask;
    const uint32_t start = ticks_.Tick();
    if (!CanRestart(port_, kClearTransaction, channelPath)) return -1;

    uint32_t timeout = kCanReplyTimeoutMs;
    if (channelPath && command.code == kCmdReadMeasurement) {
        uint32_t measured = 0;
        for (const ChannelRecord& r : data_.channels) measured += r.measureSwitch == 1;
        if (measured == 0) {
            Abort(0);
            return -1;
        }
        timeout = std::min(kCanReplyTimeoutMs, interval / (2 * measured));
    }

    ticks_.Sleep(kCanSendPauseMs);
    CanMessage message{};
    message.length = 8;
    message.identifier = CanRequestIdentifier(node, !channelPath);
    const WireBytes wire = EncodeCommand(command);
    std::memcpy(message.data, wire.data(), 8);
    if (can_.SendMessage(port_, &message, 1) != kCanOk) return -1;
    if (!channelPath) ticks_.Sleep(kCanFoundPauseMs);

    // A node that does not answer in time is reported as failure, so that callers can tell an
    // unanswered request from a reply.
    for (;;) {
        uint32_t count = 1;
        if (can_.ReceiveMessage(port_, &message, &count) == kCanOk && count == 1 &&
            (message.identifier & kCanNodeMask) == nodeBits)
            break;
        if (ticks_.Tick() - start > timeout) return -1;
        ticks_.Sleep(kCanReceivePauseMs);
    }
    SensorReply got;
    std::memcpy(got.bytes.data(), message.data, 8);
    if (channelPath && (command.code == 3 || command.code == kCmdSetIdNumber)) {
        // Reply byte 2 after the byte pairs are turned back: they are turned from bytes 4-5 on
        // for command 4 (byte 2 stays), from bytes 2-3 on otherwise (byte 2 is wire byte 3).
        const uint8_t byte2 = command.code == kCmdSetIdNumber || command.word1 == 1 ? got.bytes[2] : got.bytes[3];
        return byte2 == (command.code == 3 ? 1 : 2) ? 0 : -1;
    }
    *reply = got;
    return 0;
}

int SensorTransport::CanTransactFound(int slot, const SensorCommand& command, SensorReply* reply) {
    return CanTransactNode(data_.found[slot].canNode, data_.found[slot].interval, command, reply, false);
}

int SensorTransport::CanTransactChannel(int slot, const SensorCommand& command, SensorReply* reply) {
    return CanTransactNode(data_.channels[slot].canNode, data_.channels[slot].interval, command, reply, true);
}

int SensorTransport::CanCloseSensors() {
    if (can_.ClosePort(port_) != kCanOk) return -1;
    port_ = 0;
    for (ChannelRecord& r : data_.channels) r.canNode = 0;
    return 0;
}

// ------------------------------------------------------------------------------ both

int SensorTransport::TransactFound(int slot, const SensorCommand& command, SensorReply* reply) {
    switch (data_.interfaceKind.load()) {
    case kInterfaceCan: return CanTransactFound(slot, command, reply);
    case kInterfaceUsb: return UsbTransactFound(slot, command, reply);
    default: return -1;
    }
}

int SensorTransport::TransactChannel(int slot, const SensorCommand& command, SensorReply* reply) {
    switch (data_.interfaceKind.load()) {
    case kInterfaceCan: return CanTransactChannel(slot, command, reply);
    case kInterfaceUsb: return UsbTransactChannel(slot, command, reply);
    default: return -1;
    }
}

int SensorTransport::CloseDevices() {
    const int count = std::clamp(data_.deviceCount.load(), 0, kChannelCount);
    if (count == 0 || !data_.stateWord.Test(state::DEVICES_OPEN)) return 0;
    switch (data_.interfaceKind.load()) {
    case kInterfaceCan:
        if (CanCloseSensors() != 0) {
            if (!data_.stateWord.Test(state::AUTO_CHECK) && !data_.stateWord.Test(state::USER_CHECK)) messages_(52);
            return -1;
        }
        break;
    case kInterfaceUsb: {
        // The found table is closed as well: after a check that ended early its handles were
        // never taken over by the channel table, and a unit left open cannot be opened again.
        bool closed = true;
        for (int i = 0; i < count; ++i) closed = CloseChannelSlot(i) == 0 && closed;
        for (int i = 0; i < kChannelCount; ++i) closed = CloseFoundSlot(i) == 0 && closed;
        if (!closed) {
            messages_(52);
            Abort(52);
            data_.stateWord.Clear(state::DEVICES_OPEN);
            return -1;
        }
        break;
    }
    default: break;
    }
    data_.stateWord.Clear(state::DEVICES_OPEN);
    return 0;
}

}  // namespace ridaviri
