// The measurement poll of all channels over the selected transport.
#include <cstring>

#include "ridaviri/wrap_dev.h"

namespace ridaviri {
namespace {

// Clear flags of the poll: transmit and receive queues.
constexpr uint32_t kClearPoll = 48;
// The poll's replies must be in this long before its time-out ends, ms.
constexpr uint32_t kPollMarginMs = 50;
// Pause between empty receive attempts, ms (see the transactions).
constexpr uint32_t kPollReceivePauseMs = 1;
// Tries of the broadcast (the controller's restart and the send): one failed call, a frame the
// controller did not take for a moment, does not end the measurement.
constexpr int kPollSendTries = 2;
// Pause before the second try, ms.
constexpr uint32_t kPollRetryPauseMs = 20;

}  // namespace

int SensorTransport::PollChannels(PollItems& items, uint32_t timeoutMs) {
    switch (data_.interfaceKind.load()) {
    case kInterfaceCan: return CanPollAll(port_, items, timeoutMs);
    case kInterfaceUsb: {
        const SensorCommand request = MakeReadMeasurement();
        int result = 0;
        for (int i = 0; i < kMaxUsbUnits; ++i) {
            if (!items[i].Send()) continue;
            result = UsbTransactChannel(i, request, &usbPollReply_);
            if (result != 0) items[i].request |= kPollNoReply;
            items[i].value = usbPollReply_.MeasuredValue();
        }
        return result;
    }
    default: return -1;
    }
}

int SensorTransport::CanPollAll(CanHandle port, PollItems& items, uint32_t timeoutMs) {
    const uint32_t timeout = timeoutMs > kPollMarginMs ? timeoutMs - kPollMarginMs : 0;
    if (port == 0 || port == kCanOpenFailed) return -1;
    const uint32_t start = ticks_.Tick();
    PollItems work = items;

    int awaited = 0;
    for (PollItem& item : work) {
        item.request |= kPollNoReply;
        if (item.Send() && item.node != 0) ++awaited;
    }
    int result = -1;
    CanMessage message{};
    message.length = 8;
    message.identifier = kCanBroadcast;
    const WireBytes bytes = EncodeCommand(MakeReadMeasurement());
    std::memcpy(message.data, bytes.data(), 8);
    // A broadcast that cannot be sent twice in the poll's time leaves every channel without a
    // reply (the measurement ends with message 75), never with a reading of 0 °C.
    bool sent = false;
    for (int attempt = 0; attempt < kPollSendTries && !sent; ++attempt) {
        if (attempt > 0) ticks_.Sleep(kPollRetryPauseMs);
        if (ticks_.Tick() - start > timeout) break;
        sent = CanRestart(port, kClearPoll, true) && can_.SendMessage(port, &message, 1) == kCanOk;
    }
    if (sent) {
        for (;;) {
            if (awaited == 0) {
                result = 0;
                break;
            }
            uint32_t count = 1;
            const uint32_t got = can_.ReceiveMessage(port, &message, &count);
            if (got == kCanOk && count == 1) {
                SensorReply reply;
                std::memcpy(reply.bytes.data(), message.data, 8);
                if (IsCanRequest(message.identifier) || !reply.IsMeasurement()) continue;
                const uint32_t node = CanNodeOfPollReply(message.identifier);
                for (PollItem& item : work) {
                    if (item.node != node) continue;
                    // Only the first reply of a measured channel counts: a unit that is not
                    // measured, or one answering twice, must not end the wait for the others.
                    if (item.Send() && item.NoReply()) {
                        item.value = reply.MeasuredValue();
                        --awaited;
                    }
                    item.request &= static_cast<uint16_t>(~kPollNoReply);
                    break;
                }
                continue;
            }
            if (got != kCanOk && got != kCanErrNoData) {
                result = 0;
                break;
            }
            if (ticks_.Tick() - start > timeout) break;
            ticks_.Sleep(kPollReceivePauseMs);
        }
    }
    items = work;
    return result;
}

}  // namespace ridaviri
