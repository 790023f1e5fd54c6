// Opening and closing ports, configuration, messages and the library's unload.
#include <cstdlib>
#include <cstring>
#include <string>

#include "calls.h"
#include "can_common/can_records.h"
#include "dized.h"
#include "kxdevio.h"
#include "notify.h"
#include "port_list.h"

using namespace dized;

namespace {

// Characters of a port name that make it into the device path.
constexpr std::size_t kPortNameChars = 11;
// Open flags of the device: read and write, overlapped I/O with normal attributes.
constexpr DWORD kDeviceAccess = 0xC0000000u;
constexpr DWORD kOpenExisting = 3;
constexpr DWORD kDeviceFlags = 0x40000080u;
// Tries to close one port at unload before it is dropped from the list.
constexpr int kUnloadCloseTries = 3;

void CloseIfOpen(std::atomic<HANDLE>& handle) {
    if (HANDLE h = handle.exchange(nullptr)) CloseHandle(h);
}

// Undoes an open whose node could not be used (already out of the list): events, thread and
// device. Called without the port-list lock: it waits for the thread and the driver.
void AbandonOpen(PortNode* node) {
    StopNotificationThread(node);
    CloseIfOpen(node->entry.stopEvent);
    CloseIfOpen(node->entry.exitedEvent);
    KxDevioDeviceIoControl(node->entry.device, IOCTL_CAN_RELEASE_WAIT, nullptr, 0, nullptr, 0, nullptr, nullptr);
    KxDevioCloseHandle(node->entry.device);
    ReleaseNode(node);
}

void CloseAllAtExit() {
    for (;;) {
        HANDLE first;
        {
            std::lock_guard lk(Ports().lock());
            if (!Ports().First()) return;
            first = Ports().First()->entry.device;
        }
        std::uint32_t result = 0;
        for (int attempt = 0; attempt < kUnloadCloseTries; ++attempt)
            if ((result = CanClosePort(first)) == 0) break;
        if (result == 0) continue;
        // A port whose close keeps failing is dropped; the device layer closes what a
        // process leaves open.
        PortNode* node = nullptr;
        {
            std::lock_guard lk(Ports().lock());
            node = Ports().Find(first);
            if (node && !node->closing) Ports().Unlink(node);
            else node = nullptr;
        }
        if (node) ReleaseNode(node);
        else return;
    }
}

// The ports still open are closed when the library is unloaded or the process ends. The
// handler is registered after the first device has opened, so that at exit it runs before
// the device layer below shuts down.
void RegisterUnload() {
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(CloseAllAtExit); });
}

}  // namespace

extern "C" {

CanHandle CanOpenPort(const char* portName) {
    if (!portName) return CAN_INVALID_PORT;
    char name[kPortNameChars + 1] = {};
    std::strncpy(name, portName, kPortNameChars);
    const std::string path = std::string("\\\\.\\") + name;
    HANDLE device = KxDevioCreateFile(path.c_str(), kDeviceAccess, 0, nullptr, kOpenExisting, kDeviceFlags, nullptr);
    if (device == INVALID_HANDLE_VALUE) return CAN_INVALID_PORT;
    RegisterUnload();

    auto* node = new PortNode;
    node->entry.device = device;
    node->entry.stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    node->entry.exitedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!node->entry.stopEvent.load() || !node->entry.exitedEvent.load()) {
        AbandonOpen(node);
        return CAN_INVALID_PORT;
    }
    {
        std::lock_guard lk(Ports().lock());
        Ports().Append(node);
        // A node beyond the reach of a lookup could never be used or closed: the open fails.
        if (Ports().Find(device) == node && StartNotificationThread(node)) return device;
        Ports().Unlink(node);
    }
    AbandonOpen(node);
    return CAN_INVALID_PORT;
}


uint32_t CanClosePort(CanHandle h) {
    PortNode* node;
    {
        std::lock_guard lk(Ports().lock());
        node = Ports().Find(h);
        // A port that another thread is closing right now is no longer the caller's to close.
        if (!node || node->closing) return CAN_ERR_INVALID_HANDLE;
        node->closing = true;
    }
    PortEntry& entry = node->entry;
    StopNotificationThread(node);
    CloseIfOpen(entry.stopEvent);
    CloseIfOpen(entry.notifyEvent);
    CloseIfOpen(entry.exitedEvent);

    // The release completes the wait request the thread left outstanding; its buffers stay
    // with the node until the driver has let go of it.
    std::uint32_t result = Control(entry.device, IOCTL_CAN_RELEASE_WAIT, nullptr, 0);
    if (result == 0 && !KxDevioCloseHandle(entry.device)) result = LastResult();
    {
        std::lock_guard lk(Ports().lock());
        node->closing = false;
        if (result != 0) return result;
        Ports().Unlink(node);
    }
    // Outside the lock: the node may wait for the driver to let go of its wait request, and
    // the other ports' calls must not wait with it.
    ReleaseNode(node);
    return 0;
}

uint32_t CanSetConfig(CanHandle h, const CanConfig* config) {
    return Control(h, IOCTL_CAN_SET_CONFIG, config, config ? sizeof(CanConfig) : 0);
}

uint32_t CanGetConfig(CanHandle h, CanConfig* config) {
    if (!config) return CAN_ERR_INVALID_PARAMETER;
    CanConfig got{};
    std::uint32_t result = Control(h, IOCTL_CAN_GET_CONFIG, nullptr, 0, &got, sizeof got);
    if (result == 0) *config = got;
    return result;
}

uint32_t CanActivate(CanHandle h) { return Control(h, IOCTL_CAN_ACTIVATE, nullptr, 0); }
uint32_t CanDeactivate(CanHandle h) { return Control(h, IOCTL_CAN_DEACTIVATE, nullptr, 0); }

uint32_t CanGetStatus(CanHandle h, CanStatus* status) {
    if (!status) return CAN_ERR_INVALID_PARAMETER;
    CanStatus got{};
    std::uint32_t result = Control(h, IOCTL_CAN_GET_STATUS, nullptr, 0, &got, sizeof got);
    if (result == 0) *status = got;
    return result;
}

uint32_t CanSendMessage(CanHandle h, const CanMessage* messages, uint32_t count) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) return LastResult();
    const DWORD length = messages ? ClampCount(count, sizeof(CanMessage)) * sizeof(CanMessage) : 0;
    DWORD written = 0;
    std::uint32_t result = KxDevioWriteFile(h, messages, length, &written, &overlapped) ? 0 : LastResult();
    CloseHandle(overlapped.hEvent);
    return result;
}

uint32_t CanReceiveMessage(CanHandle h, CanMessage* messages, uint32_t* count) {
    if (!count) return CAN_ERR_INVALID_PARAMETER;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) return LastResult();
    const DWORD length = messages ? ClampCount(*count, sizeof(CanMessage)) * sizeof(CanMessage) : 0;
    DWORD read = 0;
    std::uint32_t result = KxDevioReadFile(h, messages, length, &read, &overlapped) ? 0 : LastResult();
    CloseHandle(overlapped.hEvent);
    if (result == 0) *count = read / sizeof(CanMessage);
    return result;
}

uint32_t CanGetErrorEvent(CanHandle h, CanErrorRecord* records, uint32_t* count) {
    if (!count) return CAN_ERR_INVALID_PARAMETER;
    const DWORD length = records ? ClampCount(*count, sizeof(CanErrorRecord)) * sizeof(CanErrorRecord) : 0;
    DWORD bytes = 0;
    std::uint32_t result = Control(h, IOCTL_CAN_GET_ERRORS, nullptr, 0, records, length, &bytes);
    if (result == 0) *count = bytes / sizeof(CanErrorRecord);
    return result;
}

uint32_t CanSetAcceptanceFilter(CanHandle h, uint32_t code, uint32_t mask) {
    const std::uint32_t filter[2] = {code, mask};
    return Control(h, IOCTL_CAN_SET_FILTER, filter, sizeof filter);
}

uint32_t CanGetAcceptanceFilter(CanHandle h, uint32_t* code, uint32_t* mask) {
    if (!code || !mask) return CAN_ERR_INVALID_PARAMETER;
    std::uint32_t filter[2] = {};
    std::uint32_t result = Control(h, IOCTL_CAN_GET_FILTER, nullptr, 0, filter, sizeof filter);
    if (result == 0) {
        *code = filter[0];
        *mask = filter[1];
    }
    return result;
}

uint32_t CanClearBuffer(CanHandle h, uint32_t flags) { return Control(h, IOCTL_CAN_CLEAR, &flags, sizeof flags); }

}  // extern "C"
