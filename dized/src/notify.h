// The per-port notification thread: one outstanding wait request, its result handed to the
// event object, the window and the callback that the application registered.
#pragma once

#include <cstdint>

#include "port_list.h"

namespace dized {

// Starts the node's thread at the highest scheduling priority the process may use (the
// default priority when it may not raise it). The thread holds a reference to the node.
bool StartNotificationThread(PortNode* node);
// Asks the thread to end and waits for it: up to 100 rounds of 10 ms on the exited event and
// 10 ms on the thread itself. A thread that does not end (a callback that never returns) is
// left to end on its own; the node stays allocated until it does.
void StopNotificationThread(PortNode* node);

// The three targets, in the order event, window message, callback.
void Dispatch(const PortEntry& entry, std::uint32_t bits);

// Posts one CanWindowMessage to a window descriptor without blocking.
void PostWindowMessage(void* window, std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam);

}  // namespace dized
