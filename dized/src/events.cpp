// Event masks, notification targets, completion records, cyclic sending and FIFO triggers.
#include "calls.h"
#include "can_common/can_records.h"
#include "dized.h"
#include "port_list.h"

using namespace dized;

namespace {

// Stores the five notification values of a port that the driver still knows.
std::uint32_t StoreTargets(CanHandle h, const CanEventSetting& setting) {
    std::uint32_t mask = 0;
    // The driver checks the handle; the value read is not needed.
    if (std::uint32_t result = Control(h, IOCTL_CAN_GET_EVENT_MASK, nullptr, 0, &mask, sizeof mask)) return result;
    std::lock_guard lk(Ports().lock());
    PortNode* node = Ports().Find(h);
    if (!node) return CAN_ERR_INVALID_HANDLE;
    PortEntry& e = node->entry;
    e.notifyWindow.store(setting.window, std::memory_order_relaxed);
    e.notifyMessage.store(setting.message, std::memory_order_relaxed);
    e.notifyEvent.store(setting.event, std::memory_order_relaxed);
    e.notifyCallback.store(setting.callback, std::memory_order_relaxed);
    e.notifyUserValue.store(setting.userValue, std::memory_order_relaxed);
    return 0;
}

}  // namespace

extern "C" {

uint32_t CanSetEventMask(CanHandle h, uint32_t mask) {
    return Control(h, IOCTL_CAN_SET_EVENT_MASK, &mask, sizeof mask);
}

uint32_t CanGetEventMask(CanHandle h, uint32_t* mask) {
    if (!mask) return CAN_ERR_INVALID_PARAMETER;
    std::uint32_t got = 0;
    std::uint32_t result = Control(h, IOCTL_CAN_GET_EVENT_MASK, nullptr, 0, &got, sizeof got);
    if (result == 0) *mask = got;
    return result;
}

uint32_t CanSetEvent(CanHandle h, const CanEventSetting* setting) {
    if (!setting) return CAN_ERR_INVALID_PARAMETER;
    return StoreTargets(h, *setting);
}

uint32_t CanKillEvent(CanHandle h) { return StoreTargets(h, CanEventSetting{}); }

uint32_t CanGetCompletionMessage(CanHandle h, CanMessage* messages, uint32_t* count) {
    if (!count) return CAN_ERR_INVALID_PARAMETER;
    const DWORD length = messages ? ClampCount(*count, sizeof(CanMessage)) * sizeof(CanMessage) : 0;
    DWORD bytes = 0;
    std::uint32_t result = Control(h, IOCTL_CAN_GET_COMPLETIONS, nullptr, 0, messages, length, &bytes);
    if (result == 0) *count = bytes / sizeof(CanMessage);
    return result;
}

uint32_t CanCyclicSendMessage(CanHandle h, const CanMessage* message) {
    return Control(h, IOCTL_CAN_CYCLIC_SEND, message, message ? sizeof(CanMessage) : 0);
}

uint32_t CanStopCyclicSendMessage(CanHandle h) { return Control(h, IOCTL_CAN_STOP_CYCLIC_SEND, nullptr, 0); }

uint32_t CanSetFifoTrigger(CanHandle h, uint32_t kind, uint32_t mode, uint32_t level) {
    const std::uint32_t trigger[3] = {kind, mode, level};
    return Control(h, IOCTL_CAN_SET_FIFO_TRIGGER, trigger, sizeof trigger);
}

uint32_t CanGetFifoTrigger(CanHandle h, uint32_t kind, uint32_t* mode, uint32_t* level) {
    if (!mode || !level) return CAN_ERR_INVALID_PARAMETER;
    std::uint32_t trigger[2] = {};
    std::uint32_t result = Control(h, IOCTL_CAN_GET_FIFO_TRIGGER, &kind, sizeof kind, trigger, sizeof trigger);
    if (result == 0) {
        *mode = trigger[0];
        *level = trigger[1];
    }
    return result;
}

}  // extern "C"
