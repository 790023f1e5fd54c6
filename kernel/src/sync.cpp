// Spin locks, IRQL, events, timers, deferred procedures, time and the worker threads.
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "internal.h"

namespace kernel {

namespace {
// Locks the thread holds, innermost last. Plain arrays: the main thread still takes locks in
// exit handlers, after destructors of thread-local objects would have run.
constexpr size_t kMaxHeld = 64;
thread_local PKSPIN_LOCK tHeld[kMaxHeld];
thread_local size_t tHeldCount = 0;
thread_local KIRQL tIrql = PASSIVE_LEVEL;
thread_local char tTag;  // its address identifies the thread as a lock owner

uintptr_t Me() { return reinterpret_cast<uintptr_t>(&tTag); }

// Dispatcher objects (events, timers) share one lock and one condition: waits are rare and
// short, and one condition makes every state change visible to every waiter.
std::mutex& HubMutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::condition_variable& HubCv() {
    static auto* cv = new std::condition_variable;
    return *cv;
}
}  // namespace

size_t HeldLockCount() { return tHeldCount; }
bool HoldsLock(PKSPIN_LOCK lock) { return std::find(tHeld, tHeld + tHeldCount, lock) != tHeld + tHeldCount; }
void SetIrql(KIRQL irql) { tIrql = irql; }

void AcquireRaw(PKSPIN_LOCK lock) {
    if (__atomic_load_n(lock, __ATOMIC_RELAXED) == Me()) {
        M().verifier.Report(Rule::SpinLockRecursion, "spin lock acquired again by the thread that holds it");
        std::fprintf(stderr, "kernel: recursive spin lock acquisition would deadlock\n");
        std::abort();
    }
    unsigned spins = 0;
    for (;;) {
        uintptr_t expected = 0;
        if (__atomic_compare_exchange_n(lock, &expected, Me(), false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) break;
        if (++spins > 64) sched_yield();
    }
    if (tHeldCount == kMaxHeld) {
        std::fprintf(stderr, "kernel: more than %zu spin locks held by one thread\n", kMaxHeld);
        std::abort();
    }
    tHeld[tHeldCount++] = lock;
}

void ReleaseRaw(PKSPIN_LOCK lock) {
    size_t i = tHeldCount;
    while (i > 0 && tHeld[i - 1] != lock) --i;
    if (i == 0) {
        M().verifier.Report(Rule::SpinLockNotHeld, "spin lock released by a thread that does not hold it");
    } else {
        std::copy(tHeld + i, tHeld + tHeldCount, tHeld + i - 1);
        --tHeldCount;
    }
    __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
}

void StressPoint() {
    // Long enough that the other runnable threads get the processor (timer slack included).
    constexpr auto kStressPause = std::chrono::microseconds(50);
    if (tHeldCount != 0 || tIrql != PASSIVE_LEVEL) return;
    Machine* machine = Machine::Current();
    if (machine && machine->verifier().state_->concurrencyStress.load(std::memory_order_relaxed))
        std::this_thread::sleep_for(kStressPause);
}

void CheckBalance(size_t depth, const char* what) {
    if (tHeldCount == depth) return;
    char text[160];
    if (tHeldCount > depth) {
        std::snprintf(text, sizeof text, "%s returned holding %zu spin lock(s)", what, tHeldCount - depth);
        M().verifier.Report(Rule::UnbalancedSpinLock, text);
        // Release what was left so the machine keeps running.
        while (tHeldCount > depth) __atomic_store_n(tHeld[--tHeldCount], 0, __ATOMIC_RELEASE);
    } else {
        std::snprintf(text, sizeof text, "%s released %zu spin lock(s) its caller held", what, depth - tHeldCount);
        M().verifier.Report(Rule::UnbalancedSpinLock, text);
    }
}

}  // namespace kernel

using namespace kernel;

void KeInitializeSpinLock(PKSPIN_LOCK lock) { __atomic_store_n(lock, 0, __ATOMIC_RELEASE); }
void KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL oldIrql) {
    *oldIrql = tIrql;
    AcquireRaw(lock);
    if (tIrql < DISPATCH_LEVEL) tIrql = DISPATCH_LEVEL;
}
void KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL newIrql) {
    ReleaseRaw(lock);
    tIrql = newIrql;
    StressPoint();
}
void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK lock) { AcquireRaw(lock); }
void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK lock) { ReleaseRaw(lock); }
KIRQL KeGetCurrentIrql() { return tIrql; }
void KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql) {
    *oldIrql = tIrql;
    tIrql = newIrql;
}
void KeLowerIrql(KIRQL newIrql) { tIrql = newIrql; }

void IoAcquireCancelSpinLock(PKIRQL irql) { KeAcquireSpinLock(&M().cancelLock, irql); }
void IoReleaseCancelSpinLock(KIRQL irql) { KeReleaseSpinLock(&M().cancelLock, irql); }

// ---------------------------------------------------------------- events and waits
namespace {
constexpr ULONG kTimerType = 8;
}

void KeInitializeEvent(PKEVENT ev, EVENT_TYPE type, BOOLEAN state) {
    std::lock_guard lk(HubMutex());
    ev->Type = type;
    ev->State = state ? 1 : 0;
}
LONG KeSetEvent(PKEVENT ev, LONG, BOOLEAN) {
    std::lock_guard lk(HubMutex());
    LONG old = ev->State;
    ev->State = 1;
    HubCv().notify_all();
    return old;
}
void KeClearEvent(PKEVENT ev) {
    std::lock_guard lk(HubMutex());
    ev->State = 0;
}
LONG KeResetEvent(PKEVENT ev) {
    std::lock_guard lk(HubMutex());
    LONG old = ev->State;
    ev->State = 0;
    return old;
}
LONG KeReadStateEvent(PKEVENT ev) {
    std::lock_guard lk(HubMutex());
    return ev->State;
}

namespace {
// Converts a kernel time-out (negative: relative 100 ns units; positive: absolute system
// time) into a steady-clock deadline.
std::chrono::steady_clock::time_point Deadline(LONGLONG t) {
    auto now = std::chrono::steady_clock::now();
    LONGLONG rel;
    if (t < 0) {
        rel = -t;
    } else {
        LARGE_INTEGER sys;
        KeQuerySystemTime(&sys);
        rel = t > sys.QuadPart ? t - sys.QuadPart : 0;
    }
    return now + std::chrono::nanoseconds(rel * 100);
}
}  // namespace

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER timeout) {
    auto* ev = static_cast<PKEVENT>(object);  // KTIMER starts with the same two fields
    bool raised = tIrql >= DISPATCH_LEVEL;
    std::unique_lock lk(HubMutex());
    auto ready = [&] { return ev->State != 0; };
    auto consume = [&] {
        if (ev->Type == SynchronizationEvent) ev->State = 0;
    };
    if (ready()) {
        consume();
        return STATUS_SUCCESS;
    }
    if (timeout && timeout->QuadPart == 0) return STATUS_TIMEOUT;
    if (raised) {
        lk.unlock();
        M().verifier.Report(Rule::WaitAtRaisedIrql, "wait with a time-out at DISPATCH_LEVEL or above");
        return STATUS_TIMEOUT;
    }
    if (!timeout) {
        HubCv().wait(lk, ready);
    } else if (!HubCv().wait_until(lk, Deadline(timeout->QuadPart), ready)) {
        return STATUS_TIMEOUT;
    }
    consume();
    return STATUS_SUCCESS;
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER interval) {
    std::this_thread::sleep_until(Deadline(interval->QuadPart));
    return STATUS_SUCCESS;
}
void KeStallExecutionProcessor(ULONG microseconds) {
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

// ---------------------------------------------------------------- time
ULONGLONG KeQueryInterruptTime() { return M().InterruptTime(); }
void KeQueryTickCount(PLARGE_INTEGER ticks) {
    Machine::Impl& m = M();
    ticks->QuadPart = static_cast<LONGLONG>(m.InterruptTime() / m.options.timeIncrement);
}
ULONG KeQueryTimeIncrement() { return M().options.timeIncrement; }
void KeQuerySystemTime(PLARGE_INTEGER time) {
    // 100 ns units between 1601-01-01 and 1970-01-01.
    constexpr LONGLONG kEpochDelta = 116444736000000000LL;
    auto since = std::chrono::system_clock::now().time_since_epoch();
    time->QuadPart = kEpochDelta + std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
}

// ---------------------------------------------------------------- timers
void KeInitializeTimer(PKTIMER timer) {
    std::lock_guard lk(HubMutex());
    timer->State = 0;
    timer->Type = kTimerType;
    timer->Inserted = 0;
    timer->DueTime = 0;
    timer->Period = 0;
    timer->Dpc = nullptr;
}
BOOLEAN KeSetTimerEx(PKTIMER timer, LARGE_INTEGER dueTime, LONG periodMs, PKDPC dpc) {
    Machine::Impl& m = M();
    LONGLONG now = static_cast<LONGLONG>(m.InterruptTime());
    LONGLONG due;
    if (dueTime.QuadPart < 0) {
        due = now - dueTime.QuadPart;
    } else {
        LARGE_INTEGER sys;
        KeQuerySystemTime(&sys);
        due = now + std::max<LONGLONG>(0, dueTime.QuadPart - sys.QuadPart);
    }
    {
        std::lock_guard lk(HubMutex());
        timer->State = 0;
    }
    return m.timers->Set(timer, due, periodMs, dpc);
}
BOOLEAN KeSetTimer(PKTIMER timer, LARGE_INTEGER dueTime, PKDPC dpc) { return KeSetTimerEx(timer, dueTime, 0, dpc); }
BOOLEAN KeCancelTimer(PKTIMER timer) { return M().timers->Cancel(timer); }
BOOLEAN KeReadStateTimer(PKTIMER timer) {
    std::lock_guard lk(HubMutex());
    return timer->State != 0;
}

namespace kernel {

TimerQueue::TimerQueue(Machine::Impl& m) : machine_(m), thread_([this] { Run(); }) {}
TimerQueue::~TimerQueue() { Stop(); }
void TimerQueue::Stop() {
    {
        std::lock_guard lk(m_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}
bool TimerQueue::RemoveLocked(PKTIMER timer) {
    if (!timer->Inserted) return false;
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second == timer) {
            timers_.erase(it);
            break;
        }
    }
    timer->Inserted = 0;
    return true;
}
bool TimerQueue::Set(PKTIMER timer, LONGLONG due, LONG periodMs, PKDPC dpc) {
    std::lock_guard lk(m_);
    bool was = RemoveLocked(timer);
    timer->DueTime = due;
    timer->Period = periodMs;
    timer->Dpc = dpc;
    timer->Inserted = 1;
    timers_.emplace(due, timer);
    cv_.notify_all();
    return was;
}
bool TimerQueue::Cancel(PKTIMER timer) {
    std::lock_guard lk(m_);
    return RemoveLocked(timer);
}
void TimerQueue::Run() {
    std::unique_lock lk(m_);
    while (!stop_) {
        if (timers_.empty()) {
            cv_.wait(lk);
            continue;
        }
        LONGLONG now = static_cast<LONGLONG>(machine_.InterruptTime());
        auto first = timers_.begin();
        if (first->first > now) {
            cv_.wait_for(lk, std::chrono::nanoseconds((first->first - now) * 100));
            continue;
        }
        PKTIMER t = first->second;
        timers_.erase(first);
        PKDPC dpc = t->Dpc;
        if (t->Period > 0) {
            t->DueTime = now + LONGLONG(t->Period) * 10000;
            timers_.emplace(t->DueTime, t);
        } else {
            t->Inserted = 0;
        }
        {
            std::lock_guard hub(HubMutex());
            t->State = 1;
            HubCv().notify_all();
        }
        if (dpc) machine_.dpc->Insert(dpc, nullptr, nullptr);
    }
}

// ---------------------------------------------------------------- deferred procedures
DpcQueue::DpcQueue() : thread_([this] { Run(); }) {}
DpcQueue::~DpcQueue() { Stop(); }
void DpcQueue::Stop() {
    {
        std::lock_guard lk(m_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}
bool DpcQueue::Insert(PKDPC dpc, PVOID a1, PVOID a2) {
    std::lock_guard lk(m_);
    if (dpc->Inserted) return false;
    dpc->Inserted = 1;
    dpc->SystemArgument1 = a1;
    dpc->SystemArgument2 = a2;
    queue_.emplace_back(dpc, ++inserted_);
    cv_.notify_all();
    return true;
}
bool DpcQueue::Remove(PKDPC dpc) {
    std::lock_guard lk(m_);
    if (!dpc->Inserted) return false;
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(), [&](const auto& e) { return e.first == dpc; }),
                 queue_.end());
    dpc->Inserted = 0;
    cv_.notify_all();
    return true;
}
void DpcQueue::Flush() {
    if (OnDpcThread()) return;
    std::unique_lock lk(m_);
    // Procedures queued later do not hold the caller up (a busy device could starve it).
    const unsigned long long last = inserted_;
    cv_.wait(lk, [&] {
        return stop_ || ((queue_.empty() || queue_.front().second > last) && (!running_ || runningSeq_ > last));
    });
}
void DpcQueue::Run() {
    std::unique_lock lk(m_);
    for (;;) {
        cv_.wait(lk, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        PKDPC dpc = queue_.front().first;
        runningSeq_ = queue_.front().second;
        queue_.pop_front();
        dpc->Inserted = 0;
        PKDEFERRED_ROUTINE routine = dpc->DeferredRoutine;
        PVOID ctx = dpc->DeferredContext, a1 = dpc->SystemArgument1, a2 = dpc->SystemArgument2;
        running_ = true;
        lk.unlock();
        SetIrql(DISPATCH_LEVEL);
        size_t depth = HeldLockCount();
        routine(dpc, ctx, a1, a2);
        CheckBalance(depth, "deferred procedure");
        SetIrql(PASSIVE_LEVEL);
        lk.lock();
        running_ = false;
        cv_.notify_all();
    }
}

// ---------------------------------------------------------------- work queue
WorkQueue::WorkQueue(const char*) : thread_([this] { Run(); }) {}
WorkQueue::~WorkQueue() { Stop(); }
void WorkQueue::Post(std::function<void()> job) {
    std::lock_guard lk(m_);
    if (stop_) return;
    jobs_.push_back(std::move(job));
    cv_.notify_all();
}
void WorkQueue::Drain() {
    if (OnQueueThread()) return;
    std::unique_lock lk(m_);
    cv_.wait(lk, [&] { return stop_ || (jobs_.empty() && !busy_); });
}
void WorkQueue::Stop() {
    {
        std::lock_guard lk(m_);
        if (stop_ && !thread_.joinable()) return;
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable() && !OnQueueThread()) thread_.join();
}
void WorkQueue::Run() {
    std::unique_lock lk(m_);
    for (;;) {
        cv_.wait(lk, [&] { return stop_ || !jobs_.empty(); });
        // Jobs posted before the stop still run, so closes and removals are not lost.
        if (jobs_.empty()) return;
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lk.unlock();
        job();
        lk.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

}  // namespace kernel

void KeInitializeDpc(PKDPC dpc, PKDEFERRED_ROUTINE routine, PVOID context) {
    dpc->DeferredRoutine = routine;
    dpc->DeferredContext = context;
    dpc->SystemArgument1 = dpc->SystemArgument2 = nullptr;
    dpc->Inserted = 0;
}
BOOLEAN KeInsertQueueDpc(PKDPC dpc, PVOID a1, PVOID a2) { return M().dpc->Insert(dpc, a1, a2); }
BOOLEAN KeRemoveQueueDpc(PKDPC dpc) { return M().dpc->Remove(dpc); }
void KeFlushQueuedDpcs() { M().dpc->Flush(); }
