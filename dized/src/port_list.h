// The process-wide list of open ports: one node per port, appended at the tail, guarded by
// one lock. Lookups walk from the head and give up after 255 steps, so at most 255 ports are
// reachable at once.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "dized.h"
#include "platform/device.h"

namespace dized {

// Nodes a lookup visits before it gives up.
inline constexpr int kPortWalkLimit = 255;

struct PortEntry {
    HANDLE device = nullptr;
    // The five notification values: written under the list lock, read by the notification
    // thread without it (a change while events flow may mix old and new values once).
    std::atomic<void*> notifyWindow{nullptr};
    std::atomic<std::uint32_t> notifyMessage{0};
    std::atomic<HANDLE> notifyEvent{nullptr};
    std::atomic<HANDLE> stopEvent{nullptr};  // manual reset; set by CanClosePort
    std::atomic<CanNotifyProc> notifyCallback{nullptr};
    std::atomic<std::uint32_t> notifyUserValue{0};
    pthread_t thread{};
    bool threadRunning = false;  // `thread` still needs a join or detach
    std::atomic<HANDLE> exitedEvent{nullptr};  // manual reset; set by the thread as it ends
};

// The notification thread's request buffers. They live in the node, not on the thread's
// stack: the driver may still complete the wait request after the thread has ended, until the
// port's release request and close have run.
struct WaitBuffer {
    OVERLAPPED overlapped{};
    std::uint32_t bits = 0;
    std::atomic<bool> issued{false};  // a wait request was handed to the driver
};

struct PortNode {
    PortNode* previous = nullptr;
    PortNode* next = nullptr;
    PortEntry entry;
    WaitBuffer wait;
    // One reference for the list, one for the running notification thread.
    std::atomic<int> references{1};
    std::atomic<bool> stopping{false};  // the thread ends at its next turn
    bool closing = false;               // a CanClosePort is at work (under the list lock)
};

class PortList {
public:
    std::mutex& lock() { return lock_; }
    // All under lock().
    void Append(PortNode* node);
    void Unlink(PortNode* node);
    PortNode* Find(HANDLE device) const;
    PortNode* First() const { return head_; }

private:
    std::mutex lock_;
    PortNode* head_ = nullptr;
};

PortList& Ports();

// Drops one reference; the last one frees the node once no wait request can still write into
// its buffers.
void ReleaseNode(PortNode* node);

}  // namespace dized
