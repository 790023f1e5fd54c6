// The transports to the sensor units: USB (one device of the sensor driver per unit, found
// through its device interface) and CAN (the nodes on the bus behind the port "DIZED1"). One
// 8-byte command goes out, one reply comes back; the units are addressed by their slot in the
// found table (sensor check) or in the channel table (measurement). Also the search for units,
// closing them, and the measurement poll of all channels.
//
// Everything runs on the user-interface thread except the channel-table transactions and the
// poll, which the measurement thread uses while a measurement runs (then nothing else sends).
#pragma once

#include <cstdint>
#include <functional>

#include "ridaviri/measurement.h"
#include "ridaviri/message_function.h"
#include "ridaviri/monitor_data.h"
#include "ridaviri/sensor_protocol.h"
#include "ridaviri/transport_seams.h"

namespace ridaviri {

// Units a USB search keeps.
inline constexpr int kMaxUsbUnits = 10;
// Device-interface members a search looks at.
inline constexpr int kUsbSearchMembers = 128;
// Write and read time-out of a USB transaction, ms.
inline constexpr uint32_t kUsbTransferTimeoutMs = 5000;
// Reply buffer of a USB read, bytes; the first 12 reach the caller.
inline constexpr uint32_t kUsbReadBytes = 40;
// Reply wait of a CAN transaction and collection time of the node scan, ms.
inline constexpr uint32_t kCanReplyTimeoutMs = 2000;
// CAN port the sensors are on: "DIZED%d" with this number.
inline constexpr int kCanSensorPort = 1;
// Step of ID setting while the ID-setting dialog closes a unit: only its handle is dropped.
inline constexpr int kIdStepClosing = 15;

// The CanConfig the sensor bus runs with: normal mode, one 32-bit filter, queues of 64, error
// warning at 96, bit timing 0x4B23 as given.
CanConfig SensorCanConfig();

class SensorTransport {
public:
    SensorTransport(MonitorData& data, MessageFunction& messages, CanLibrary& can, TransportTicks& ticks);
    SensorTransport(const SensorTransport&) = delete;
    SensorTransport& operator=(const SensorTransport&) = delete;

    // The measurement-abort procedure (code 0 from transactions refused for want of measured
    // channels, 52 from a failed close). Without one nothing more happens.
    void SetAbortHandler(std::function<void(int code)> abort) { abort_ = std::move(abort); }
    // The ID-setting step code (kIdStepClosing while the ID dialog closes a unit).
    void SetIdStep(int step) { idStep_ = step; }
    int IdStep() const { return idStep_; }

    // ---- USB ----
    // Opens every unit of the sensor interface class into found-table slots 0, 1, ...: 0 found,
    // 1 none, 2 more than 10 (the eleventh is closed again at once).
    int UsbFindDevices();
    // One overlapped 8-byte write on the current handle, polled every timeout/50 ms and
    // cancelled at `timeoutMs` after `start`: 1 written, -1 failed.
    int UsbWriteCommand(const uint8_t* command, uint32_t start, uint32_t timeoutMs);
    // One overlapped read of up to 40 bytes, polled the same way; the first 12 bytes of the
    // buffer go to `reply` whatever happened: 2 read, -2 failed.
    int UsbReadReply(uint8_t* reply, uint32_t start, uint32_t timeoutMs);
    // Commands 9 (and 6 on the channel path) are written and their reply read; others are only
    // written. *reply gets the reply as it came (bytes 2-7 big-endian). 0 / -1.
    int UsbTransactFound(int slot, const SensorCommand& command, SensorReply* reply);
    int UsbTransactChannel(int slot, const SensorCommand& command, SensorReply* reply);
    // Closes the unit of a slot: 0 closed or nothing to close, -1 the close failed.
    int CloseFoundSlot(int slot);
    int CloseChannelSlot(int slot);

    // ---- CAN ----
    // Opens and configures the port when it is not open yet, sets the acceptance filter and
    // scans the nodes. The port handle, or kCanOpenFailed.
    CanHandle CanOpenSensors();
    // Asks every node for its ID and records each new node in the found table: 0 ok, 1 error
    // or no node, 2 more than 20 nodes.
    int CanScanNodes(CanHandle port);
    // One request to the node of a found-table / channel-table slot and its reply (bytes as
    // they came). 0, or -1 for a failed call or a node that did not answer in time.
    int CanTransactFound(int slot, const SensorCommand& command, SensorReply* reply);
    int CanTransactChannel(int slot, const SensorCommand& command, SensorReply* reply);
    // A request to `node` as the channel-table path (bit 1 clear) or the found-table path
    // sends it; `interval` gives the time-out of a measurement request.
    int CanTransactNode(uint32_t node, uint32_t interval, const SensorCommand& command, SensorReply* reply,
                        bool channelPath);
    int CanCloseSensors();
    CanHandle CanPort() const { return port_; }
    // Status read, deactivation when running (if `deactivate`), buffers cleared with `flags`,
    // activation when stopped. false when a call failed.
    bool CanRestart(CanHandle port, uint32_t flags, bool deactivate);

    // ---- both ----
    // Closes what the last search or check opened (USB handles; the CAN port stays open).
    int CloseDevices();
    // Transaction through the selected transport: found-table / channel-table path.
    int TransactFound(int slot, const SensorCommand& command, SensorReply* reply);
    int TransactChannel(int slot, const SensorCommand& command, SensorReply* reply);

    // ---- the measurement poll ----
    // One poll of all channels: 0, or -1 with the per-channel outcome in the items.
    int PollChannels(PollItems& items, uint32_t timeoutMs);
    // The CAN half: one broadcast, replies collected until all are in (0) or the time-out
    // less 50 ms has passed (-1).
    int CanPollAll(CanHandle port, PollItems& items, uint32_t timeoutMs);

    // The measurement-abort procedure through the handler.
    void Abort(int code);

    // Raw access for the power-frequency procedures, which send their bytes as they are.
    TransportTicks& Ticks() { return ticks_; }
    CanLibrary& Can() { return can_; }
    DeviceHandle CurrentUsbHandle() const { return currentUsb_; }
    void SetCurrentUsbHandle(DeviceHandle handle) { currentUsb_ = handle; }

private:
    int UsbTransact(ChannelTable& table, int slot, const SensorCommand& command, SensorReply* reply,
                    bool channelPath);

    MonitorData& data_;
    MessageFunction& messages_;
    CanLibrary& can_;
    TransportTicks& ticks_;
    std::function<void(int)> abort_;
    int idStep_ = 0;
    DeviceHandle currentUsb_ = kInvalidDeviceHandle;
    CanHandle port_ = 0;
    // The reply record the USB poll shares between its requests: after a failed request the
    // item takes the value of the previous reply.
    SensorReply usbPollReply_;
};

}  // namespace ridaviri
