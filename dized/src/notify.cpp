#include "notify.h"

#include <errno.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "can_common/can_records.h"
#include "kxdevio.h"

namespace dized {

namespace {

// Re-issues of a wait request that fails at once before the thread starts to back off.
constexpr int kImmediateRetries = 3;
// Back-off between failing wait requests: first and longest pause, ms.
constexpr DWORD kFirstBackoffMs = 1;
constexpr DWORD kLongestBackoffMs = 100;
// Rounds of waiting for the thread to end, and the length of each wait, ms (about 2 s).
constexpr int kStopRounds = 100;
constexpr DWORD kStopStepMs = 10;

// Serialises posts: several ports may post to one window descriptor.
std::mutex gPostLock;

// Waits for the stop event at most `ms`; true when the thread is to end.
bool PauseOrStop(PortNode* node, DWORD ms) {
    HANDLE stop = node->entry.stopEvent.load(std::memory_order_relaxed);
    if (!stop || WaitForSingleObject(stop, ms) == WAIT_FAILED) {
        timespec t{0, static_cast<long>(ms) * 1000000L};
        nanosleep(&t, nullptr);
    }
    return node->stopping.load(std::memory_order_acquire);
}

void* NotificationThread(void* argument) {
    auto* node = static_cast<PortNode*>(argument);
    PortEntry& entry = node->entry;
    WaitBuffer& wait = node->wait;
    // A descriptor that the application closed must not end the process when a post hits it.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    wait.overlapped = OVERLAPPED{};
    wait.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE waitSet[2] = {entry.stopEvent.load(), wait.overlapped.hEvent};
    int failures = 0;
    DWORD backoff = kFirstBackoffMs;
    // A wait request that keeps failing (device gone) pauses between tries instead of spinning.
    auto failed = [&] {
        if (++failures <= kImmediateRetries) return node->stopping.load(std::memory_order_acquire);
        bool stop = PauseOrStop(node, backoff);
        backoff = std::min(backoff * 2, kLongestBackoffMs);
        return stop;
    };
    while (!node->stopping.load(std::memory_order_acquire) && wait.overlapped.hEvent) {
        DWORD bytes = 0;
        wait.bits = 0;
        wait.issued.store(true, std::memory_order_release);
        if (KxDevioDeviceIoControl(entry.device, IOCTL_CAN_WAIT_EVENT, nullptr, 0, &wait.bits, 4, &bytes,
                                   &wait.overlapped)) {
            ResetEvent(wait.overlapped.hEvent);
            failures = 0;
            backoff = kFirstBackoffMs;
            Dispatch(entry, wait.bits);
            continue;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            if (failed()) break;
            continue;
        }
        DWORD which = WaitForMultipleObjects(2, waitSet, FALSE, INFINITE);
        if (which == WAIT_OBJECT_0) break;
        if (which == WAIT_OBJECT_0 + 1) {
            ResetEvent(wait.overlapped.hEvent);
            failures = 0;
            backoff = kFirstBackoffMs;
            // The driver completes the wait without data when the port is released.
            if (static_cast<NTSTATUS>(wait.overlapped.Internal) == STATUS_SUCCESS &&
                wait.overlapped.InternalHigh >= 4)
                Dispatch(entry, wait.bits);
            continue;
        }
        if (failed()) break;
    }
    // The request's event stays open with the node: the driver signals it when it finally
    // completes the outstanding wait.
    if (HANDLE exited = entry.exitedEvent.load()) SetEvent(exited);
    ReleaseNode(node);
    return nullptr;
}

}  // namespace

bool StartNotificationThread(PortNode* node) {
    node->references.fetch_add(1, std::memory_order_relaxed);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, NotificationThread, node) != 0) {
        node->references.fetch_sub(1, std::memory_order_relaxed);
        return false;
    }
    node->entry.thread = thread;
    node->entry.threadRunning = true;
    // Time-critical: the highest real-time priority; a process without the right to it keeps
    // the thread at its default priority.
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(thread, SCHED_FIFO, &param);
    return true;
}

void StopNotificationThread(PortNode* node) {
    PortEntry& entry = node->entry;
    node->stopping.store(true, std::memory_order_release);
    if (HANDLE stop = entry.stopEvent.load()) SetEvent(stop);
    if (!entry.threadRunning) return;
    entry.threadRunning = false;
    // Called from the port's own callback: the thread ends once the callback returns.
    if (pthread_equal(entry.thread, pthread_self())) {
        pthread_detach(entry.thread);
        return;
    }
    HANDLE exited = entry.exitedEvent.load();
    for (int round = 0; round < kStopRounds; ++round) {
        if (exited && WaitForSingleObject(exited, kStopStepMs) == WAIT_OBJECT_0) {
            // Past its exited event the thread only drops its reference and returns.
            pthread_join(entry.thread, nullptr);
            return;
        }
        timespec until;
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_nsec += static_cast<long>(kStopStepMs) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        if (pthread_timedjoin_np(entry.thread, nullptr, &until) == 0) return;
    }
    pthread_detach(entry.thread);
}

void Dispatch(const PortEntry& entry, std::uint32_t bits) {
    if (bits == 0) return;
    if (HANDLE event = entry.notifyEvent.load(std::memory_order_relaxed)) SetEvent(event);
    void* window = entry.notifyWindow.load(std::memory_order_relaxed);
    std::uint32_t message = entry.notifyMessage.load(std::memory_order_relaxed);
    std::uint32_t user = entry.notifyUserValue.load(std::memory_order_relaxed);
    if (window && message != 0) PostWindowMessage(window, message, bits, user);
    if (CanNotifyProc callback = entry.notifyCallback.load(std::memory_order_relaxed)) callback(bits, user);
}

void PostWindowMessage(void* window, std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
    // CAN_WINDOW_FROM_FD stores the descriptor one above its number.
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(window) - 1);
    const CanWindowMessage posted{message, wParam, lParam};
    std::lock_guard lk(gPostLock);
    ssize_t n = send(fd, &posted, sizeof posted, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0 || errno != ENOTSOCK) return;
    // A pipe: write only when it has room, so that a reader that stopped reading cannot block
    // the notification thread.
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 0) != 1 || !(p.revents & POLLOUT)) return;
    if (write(fd, &posted, sizeof posted) < 0 && errno == EPIPE) {
        // The write raised SIGPIPE on this thread, where it is blocked: take it back.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        timespec none{0, 0};
        sigtimedwait(&pipe, nullptr, &none);
    }
}

}  // namespace dized
