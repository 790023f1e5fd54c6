// Interrupt lines and objects, interrupt-synchronised execution, register windows and the
// register and port accessors.
#include <cstdio>

#include "internal.h"

namespace kernel {

LineImpl::LineImpl(Machine::Impl& m, ULONG vector) : machine_(m), vector_(vector), thread_([this] { Run(); }) {}
LineImpl::~LineImpl() { Stop(); }

void LineImpl::Stop() {
    {
        std::lock_guard lk(m_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
    // Interrupts a driver never disconnected go with the machine.
    std::lock_guard lk(m_);
    for (InterruptObject* io : connections_) delete io;
    connections_.clear();
}

void LineImpl::Raise() {
    std::lock_guard lk(m_);
    raised_ = true;
    edge_ = true;
    cv_.notify_all();
}
void LineImpl::Lower() {
    std::lock_guard lk(m_);
    raised_ = false;
    masked_ = false;
    cv_.notify_all();
}
bool LineImpl::IsRaised() const {
    std::lock_guard lk(m_);
    return raised_;
}
bool LineImpl::IsMasked() const {
    std::lock_guard lk(m_);
    return masked_;
}
unsigned LineImpl::UnclaimedCount() const {
    std::lock_guard lk(m_);
    return unclaimed_;
}

NTSTATUS LineImpl::Connect(InterruptObject* io) {
    std::lock_guard lk(m_);
    for (InterruptObject* c : connections_)
        if (!c->shared || !io->shared) return STATUS_INVALID_PARAMETER;
    connections_.push_back(io);
    masked_ = false;  // the new routine may claim what the others did not
    cv_.notify_all();
    return STATUS_SUCCESS;
}

void LineImpl::Disconnect(InterruptObject* io) {
    std::unique_lock lk(m_);
    connections_.erase(std::remove(connections_.begin(), connections_.end(), io), connections_.end());
    if (std::this_thread::get_id() == thread_.get_id() || HoldsLock(io->lock)) return;
    // A service round that may still be running this routine finishes first.
    cv_.wait(lk, [&] { return !serving_ || stop_; });
}

// The line's interrupt thread: while the line is raised (or was raised since the last round)
// and not masked, run every connected service routine under its interrupt's lock.
void LineImpl::Run() {
    std::unique_lock lk(m_);
    for (;;) {
        cv_.wait(lk, [&] { return stop_ || ((raised_ || edge_) && !masked_ && !connections_.empty()); });
        if (stop_) return;
        edge_ = false;
        serving_ = true;
        std::vector<InterruptObject*> list = connections_;
        lk.unlock();
        bool claimed = false;
        for (InterruptObject* io : list) {
            AcquireRaw(io->lock);
            SetIrql(io->syncIrql);
            size_t depth = HeldLockCount();
            BOOLEAN r = io->routine(reinterpret_cast<PKINTERRUPT>(io), io->context);
            CheckBalance(depth, "interrupt service routine");
            SetIrql(PASSIVE_LEVEL);
            ReleaseRaw(io->lock);
            claimed = claimed || r;
        }
        lk.lock();
        serving_ = false;
        cv_.notify_all();
        if (!claimed && raised_ && !edge_) {
            // Nobody owns what keeps the line raised: mask it instead of spinning. (A line
            // raised again while the routines ran may hold a cause they looked for too early:
            // it gets another round first.)
            masked_ = true;
            ++unclaimed_;
            lk.unlock();
            char text[80];
            std::snprintf(text, sizeof text, "kernel: interrupt line %u raised but not claimed; masked",
                          static_cast<unsigned>(vector_));
            machine_.AddTrace(text);
            lk.lock();
        } else if (claimed && raised_) {
            // Give a model thread that lowers the line a chance to run between rounds.
            lk.unlock();
            std::this_thread::yield();
            lk.lock();
        }
    }
}

InterruptLine& Machine::Line(ULONG vector) {
    std::lock_guard lk(impl_->lineMutex);
    auto& p = impl_->lines[vector];
    if (!p) p = std::make_unique<LineImpl>(*impl_, vector);
    return *p;
}

namespace {
// Finds the window holding [address, address + width) of a mapping or a port range.
RegisterWindow* Resolve(Machine::Impl& m, uintptr_t address, int width, bool port, ULONG* offset, bool* gone) {
    *gone = false;
    if (port) {
        for (auto& w : m.ports) {
            if (address >= w.start && address + width <= w.start + w.length) {
                *offset = static_cast<ULONG>(address - w.start);
                return w.window;
            }
        }
        return nullptr;
    }
    auto it = m.mappings.upper_bound(address);
    if (it == m.mappings.begin()) return nullptr;
    --it;
    const Mapping& mp = it->second;
    if (address + width > mp.va + mp.length) return nullptr;
    if (!mp.window) {
        *gone = true;
        return nullptr;
    }
    *offset = mp.offset + static_cast<ULONG>(address - mp.va);
    return mp.window;
}

ULONG Access(uintptr_t address, int width, bool port, bool write, ULONG value) {
    Machine::Impl& m = M();
    if (HoldsLock(&m.cancelLock))
        m.verifier.Report(Rule::CancelLockAcrossRegisterAccess, "register access while holding the cancel spin lock");
    // Shared lock across the call: unmapping a window waits for accesses in progress.
    std::shared_lock lk(m.mapMutex);
    ULONG offset = 0;
    bool gone = false;
    RegisterWindow* w = Resolve(m, address, width, port, &offset, &gone);
    if (!w) {
        if (!gone) {
            char text[120];
            std::snprintf(text, sizeof text, "%s %s of %d byte(s) at 0x%lx", port ? "port" : "register",
                          write ? "write" : "read", width, static_cast<unsigned long>(address));
            lk.unlock();
            m.verifier.Report(Rule::RegisterOutsideWindow, text);
        }
        // A device that went away reads as all ones.
        return width == 1 ? 0xFF : width == 2 ? 0xFFFF : 0xFFFFFFFF;
    }
    if (write) {
        w->Write(offset, width, value);
        return 0;
    }
    return w->Read(offset, width);
}
}  // namespace

}  // namespace kernel

using namespace kernel;

NTSTATUS IoConnectInterrupt(PKINTERRUPT* interrupt, PKSERVICE_ROUTINE routine, PVOID context, PKSPIN_LOCK spinLock,
                            ULONG vector, KIRQL, KIRQL synchronizeIrql, KINTERRUPT_MODE, BOOLEAN shareVector, KAFFINITY,
                            BOOLEAN) {
    Machine::Impl& m = M();
    auto* io = new InterruptObject;
    io->lock = spinLock ? spinLock : &io->ownLock;
    io->routine = routine;
    io->context = context;
    io->syncIrql = synchronizeIrql > DISPATCH_LEVEL ? synchronizeIrql : DIRQL_BASE;
    io->shared = shareVector != 0;
    io->line = static_cast<LineImpl*>(&m.self->Line(vector));
    NTSTATUS s = io->line->Connect(io);
    if (!NT_SUCCESS(s)) {
        delete io;
        return s;
    }
    *interrupt = reinterpret_cast<PKINTERRUPT>(io);
    return STATUS_SUCCESS;
}

void IoDisconnectInterrupt(PKINTERRUPT interrupt) {
    auto* io = reinterpret_cast<InterruptObject*>(interrupt);
    if (!io) return;
    io->line->Disconnect(io);
    delete io;
}

BOOLEAN KeSynchronizeExecution(PKINTERRUPT interrupt, PKSYNCHRONIZE_ROUTINE routine, PVOID context) {
    auto* io = reinterpret_cast<InterruptObject*>(interrupt);
    KIRQL old = KeGetCurrentIrql();
    AcquireRaw(io->lock);
    SetIrql(io->syncIrql);
    size_t depth = HeldLockCount();
    BOOLEAN r = routine(context);
    CheckBalance(depth, "synchronized routine");
    ReleaseRaw(io->lock);
    SetIrql(old);
    StressPoint();
    return r;
}

KIRQL KeAcquireInterruptSpinLock(PKINTERRUPT interrupt) {
    auto* io = reinterpret_cast<InterruptObject*>(interrupt);
    KIRQL old = KeGetCurrentIrql();
    AcquireRaw(io->lock);
    SetIrql(io->syncIrql);
    return old;
}
void KeReleaseInterruptSpinLock(PKINTERRUPT interrupt, KIRQL oldIrql) {
    auto* io = reinterpret_cast<InterruptObject*>(interrupt);
    ReleaseRaw(io->lock);
    SetIrql(oldIrql);
}

PVOID MmMapIoSpace(PHYSICAL_ADDRESS physical, SIZE_T length, MEMORY_CACHING_TYPE) {
    Machine::Impl& m = M();
    auto start = static_cast<ULONGLONG>(physical.QuadPart);
    std::unique_lock lk(m.mapMutex);
    for (auto& w : m.memory) {
        if (start >= w.start && start + length <= w.start + w.length && length > 0) {
            constexpr size_t kPage = 4096;
            size_t span = (length + (start % kPage) + kPage - 1) / kPage * kPage;
            if (!m.vaBase || m.vaNext + span > m.vaSize) return nullptr;
            uintptr_t va = reinterpret_cast<uintptr_t>(m.vaBase) + m.vaNext + start % kPage;
            m.vaNext += span;
            m.mappings[va] = Mapping{va, length, start, w.window, static_cast<ULONG>(start - w.start)};
            return reinterpret_cast<PVOID>(va);
        }
    }
    return nullptr;
}

void MmUnmapIoSpace(PVOID base, SIZE_T) {
    Machine::Impl& m = M();
    std::unique_lock lk(m.mapMutex);
    m.mappings.erase(reinterpret_cast<uintptr_t>(base));
}

UCHAR READ_REGISTER_UCHAR(volatile UCHAR* reg) {
    return static_cast<UCHAR>(Access(reinterpret_cast<uintptr_t>(reg), 1, false, false, 0));
}
USHORT READ_REGISTER_USHORT(volatile USHORT* reg) {
    return static_cast<USHORT>(Access(reinterpret_cast<uintptr_t>(reg), 2, false, false, 0));
}
ULONG READ_REGISTER_ULONG(volatile ULONG* reg) { return Access(reinterpret_cast<uintptr_t>(reg), 4, false, false, 0); }
void WRITE_REGISTER_UCHAR(volatile UCHAR* reg, UCHAR v) { Access(reinterpret_cast<uintptr_t>(reg), 1, false, true, v); }
void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT v) { Access(reinterpret_cast<uintptr_t>(reg), 2, false, true, v); }
void WRITE_REGISTER_ULONG(volatile ULONG* reg, ULONG v) { Access(reinterpret_cast<uintptr_t>(reg), 4, false, true, v); }
UCHAR READ_PORT_UCHAR(PUCHAR port) { return static_cast<UCHAR>(Access(reinterpret_cast<uintptr_t>(port), 1, true, false, 0)); }
USHORT READ_PORT_USHORT(PUSHORT port) {
    return static_cast<USHORT>(Access(reinterpret_cast<uintptr_t>(port), 2, true, false, 0));
}
ULONG READ_PORT_ULONG(PULONG port) { return Access(reinterpret_cast<uintptr_t>(port), 4, true, false, 0); }
void WRITE_PORT_UCHAR(PUCHAR port, UCHAR v) { Access(reinterpret_cast<uintptr_t>(port), 1, true, true, v); }
void WRITE_PORT_USHORT(PUSHORT port, USHORT v) { Access(reinterpret_cast<uintptr_t>(port), 2, true, true, v); }
void WRITE_PORT_ULONG(PULONG port, ULONG v) { Access(reinterpret_cast<uintptr_t>(port), 4, true, true, v); }
