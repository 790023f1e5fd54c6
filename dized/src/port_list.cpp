#include "port_list.h"

#include <chrono>
#include <thread>
#include <type_traits>

namespace dized {

void PortList::Append(PortNode* node) {
    node->next = nullptr;
    if (!head_) {
        node->previous = nullptr;
        head_ = node;
        return;
    }
    PortNode* tail = head_;
    while (tail->next) tail = tail->next;
    tail->next = node;
    node->previous = tail;
}

void PortList::Unlink(PortNode* node) {
    if (node->previous)
        node->previous->next = node->next;
    else if (head_ == node)
        head_ = node->next;
    if (node->next) node->next->previous = node->previous;
    node->previous = node->next = nullptr;
}

PortNode* PortList::Find(HANDLE device) const {
    PortNode* node = head_;
    for (int step = 0; node && step < kPortWalkLimit; ++step, node = node->next)
        if (node->entry.device == device) return node;
    return nullptr;
}

namespace {
// Constant-initialised and without a destructor: usable from exit handlers in any order, and
// nothing is left behind when the library is unloaded.
constinit PortList gPorts;
static_assert(std::is_trivially_destructible_v<PortList>);
}  // namespace

PortList& Ports() { return gPorts; }

namespace {
// How long a node waits for its driver to finish an outstanding wait request before it is
// given up (kept, not freed), ms.
constexpr int kWaitDrainMs = 2000;
}  // namespace

void ReleaseNode(PortNode* node) {
    if (node->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (node->wait.issued.load(std::memory_order_acquire)) {
        auto pending = [&] {
            return static_cast<NTSTATUS>(__atomic_load_n(&node->wait.overlapped.Internal, __ATOMIC_ACQUIRE)) ==
                   STATUS_PENDING;
        };
        for (int waited = 0; pending() && waited < kWaitDrainMs; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // A driver that never completes the request keeps writing rights to the buffers: the
        // node is left allocated rather than freed under it.
        if (pending()) return;
    }
    if (node->wait.overlapped.hEvent) CloseHandle(node->wait.overlapped.hEvent);
    delete node;
}

}  // namespace dized
