// The kernel model driven directly: synchronisation, time, pool, interrupts, registers,
// requests and the verifier's rules.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "kernel/wdm.h"
#include "machine_fixture.h"

using namespace testdrv;

namespace {

// Sends one control request from "user mode" and waits (bounded) for its completion.
struct Result {
    NTSTATUS returned = 0, status = STATUS_PENDING;
    ULONG_PTR info = 0;
};
Result Control(kernel::Machine& m, const std::shared_ptr<kernel::OpenFile>& f, ULONG code, ULONG in = 0,
               void* out = nullptr, ULONG outLength = 0) {
    auto r = std::make_shared<Result>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    kernel::UserRequest rq;
    rq.code = code;
    rq.input = &in;
    rq.inputLength = sizeof in;
    rq.output = out;
    rq.outputLength = outLength;
    r->returned = m.Submit(f, rq, [r, done](NTSTATUS s, ULONG_PTR i, bool) {
        r->status = s;
        r->info = i;
        done->store(true);
    });
    for (int i = 0; i < 5000 && !done->load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return *r;
}

class KernelTest : public MachineTest {
protected:
    std::shared_ptr<kernel::OpenFile> OpenTest(const char* path = "\\\\.\\TEST1") {
        std::shared_ptr<kernel::OpenFile> f;
        EXPECT_EQ(machine_->Open(path, &f), STATUS_SUCCESS);
        return f;
    }
};

// ---------------------------------------------------------------- synchronisation and time
TEST_F(KernelTest, EventsWaitWithTimeOutAndConsumeSynchronizationEvents) {
    KEVENT notification, synchronization;
    KeInitializeEvent(&notification, NotificationEvent, FALSE);
    KeInitializeEvent(&synchronization, SynchronizationEvent, TRUE);
    LARGE_INTEGER shortWait;
    shortWait.QuadPart = -10 * 10000;  // 10 ms
    EXPECT_EQ(KeWaitForSingleObject(&notification, Executive, KernelMode, FALSE, &shortWait), STATUS_TIMEOUT);
    EXPECT_EQ(KeWaitForSingleObject(&synchronization, Executive, KernelMode, FALSE, &shortWait), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&synchronization), 0) << "a synchronization event releases one wait";
    KeSetEvent(&notification, 0, FALSE);
    EXPECT_EQ(KeWaitForSingleObject(&notification, Executive, KernelMode, FALSE, &shortWait), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&notification), 1) << "a notification event stays set";
}

struct TimerProbe {
    KEVENT fired;
    std::thread::id thread;
    KIRQL irql = 0;
};
void ProbeDpc(PKDPC, PVOID context, PVOID, PVOID) {
    auto* p = static_cast<TimerProbe*>(context);
    p->thread = std::this_thread::get_id();
    p->irql = KeGetCurrentIrql();
    KeSetEvent(&p->fired, 0, FALSE);
}

TEST_F(KernelTest, TimerQueuesItsDeferredProcedureOnTheDpcThread) {
    TimerProbe probe;
    KeInitializeEvent(&probe.fired, NotificationEvent, FALSE);
    KTIMER timer;
    KDPC dpc;
    KeInitializeTimer(&timer);
    KeInitializeDpc(&dpc, ProbeDpc, &probe);
    LARGE_INTEGER due;
    due.QuadPart = -5 * 10000;
    EXPECT_FALSE(KeSetTimer(&timer, due, &dpc));
    LARGE_INTEGER bound;
    bound.QuadPart = -5000LL * 10000;
    ASSERT_EQ(KeWaitForSingleObject(&probe.fired, Executive, KernelMode, FALSE, &bound), STATUS_SUCCESS);
    EXPECT_NE(probe.thread, std::this_thread::get_id());
    EXPECT_EQ(probe.irql, DISPATCH_LEVEL);
    EXPECT_TRUE(KeReadStateTimer(&timer));
    EXPECT_FALSE(KeCancelTimer(&timer)) << "an expired one-shot timer is no longer queued";
}

TEST_F(KernelTest, CancelledTimerNeverRuns) {
    TimerProbe probe;
    KeInitializeEvent(&probe.fired, NotificationEvent, FALSE);
    KTIMER timer;
    KDPC dpc;
    KeInitializeTimer(&timer);
    KeInitializeDpc(&dpc, ProbeDpc, &probe);
    LARGE_INTEGER due;
    due.QuadPart = -50 * 10000;
    KeSetTimer(&timer, due, &dpc);
    EXPECT_TRUE(KeCancelTimer(&timer));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(KeReadStateEvent(&probe.fired), 0);
}

TEST_F(KernelTest, TickCountAdvancesByTheTimeIncrement) {
    EXPECT_EQ(KeQueryTimeIncrement(), 156250u);
    LARGE_INTEGER a, b;
    KeQueryTickCount(&a);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));  // more than two 15.625 ms ticks
    KeQueryTickCount(&b);
    EXPECT_GE(b.QuadPart - a.QuadPart, 2);
}

TEST_F(KernelTest, DeferredProcedureIsQueuedOnceUntilItRuns) {
    TimerProbe probe;
    KeInitializeEvent(&probe.fired, NotificationEvent, FALSE);
    KDPC dpc;
    KeInitializeDpc(&dpc, ProbeDpc, &probe);
    KIRQL irql;
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    // Holding a spin lock keeps nothing from queueing, and a second insert finds it queued
    // unless the DPC thread was quicker.
    KeAcquireSpinLock(&lock, &irql);
    EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
    KeInsertQueueDpc(&dpc, nullptr, nullptr);
    KeReleaseSpinLock(&lock, irql);
    KeFlushQueuedDpcs();
    EXPECT_EQ(KeReadStateEvent(&probe.fired), 1);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

// A procedure that queues itself again while `again` is set, counting its runs.
struct Requeue {
    KDPC dpc;
    std::atomic<bool> again{true};
    std::atomic<int> runs{0};
};
void RequeueDpc(PKDPC dpc, PVOID context, PVOID, PVOID) {
    auto* r = static_cast<Requeue*>(context);
    ++r->runs;
    if (r->again) KeInsertQueueDpc(dpc, nullptr, nullptr);
}

TEST_F(KernelTest, FlushWaitsOnlyForProceduresQueuedBeforeIt) {
    // A device that keeps its procedure queued (as a busy channel does) must not starve a
    // flush on another device's removal path.
    Requeue r;
    KeInitializeDpc(&r.dpc, RequeueDpc, &r);
    KeInsertQueueDpc(&r.dpc, nullptr, nullptr);
    std::atomic<bool> flushed{false};
    std::thread flusher([&] {
        KeFlushQueuedDpcs();
        flushed = true;
    });
    for (int i = 0; i < 20000 && !flushed; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(flushed.load());
    EXPECT_GE(r.runs.load(), 1);
    r.again = false;
    flusher.join();
    // A run that saw `again` set queues it once more; the second flush waits for that one.
    KeFlushQueuedDpcs();
    KeFlushQueuedDpcs();
}

TEST_F(KernelTest, PoolFailureInjectionByCountAndByTag) {
    kernel::Pool& pool = machine_->pool();
    pool.FailAfter(1);
    void* a = ExAllocatePoolWithTag(NonPagedPool, 16, 'tseT');
    void* b = ExAllocatePoolWithTag(NonPagedPool, 16, 'tseT');
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(b, nullptr);
    pool.Reset();
    pool.FailTag('liaF');
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 16, 'liaF'), nullptr);
    void* c = ExAllocatePoolWithTag(NonPagedPool, 16, 'kO  ');
    EXPECT_NE(c, nullptr);
    EXPECT_EQ(pool.FailedAllocations(), 2u);
    size_t live = pool.LiveAllocations();
    ExFreePool(a);
    ExFreePool(c);
    EXPECT_EQ(pool.LiveAllocations(), live - 2);
    ExFreePool(c);
    EXPECT_EQ(machine_->verifier().Count(kernel::Rule::BadPoolFree), 1u);
    machine_->verifier().Clear();
}

TEST_F(KernelTest, DebugTraceIsCollected) {
    DbgPrint("step %d\n", 7);
    KdPrint(("[RoZod] Line%d\n", 12));
    EXPECT_TRUE(TraceHas("step 7"));
    EXPECT_TRUE(TraceHas("[RoZod] Line12"));
}

// ---------------------------------------------------------------- interrupts and registers
TEST_F(KernelTest, SharedLineRunsEveryServiceRoutineAndOnlyTheOwnerClaims) {
    Plug(0);
    Plug(1);
    auto f1 = OpenTest("\\\\.\\TEST1"), f2 = OpenTest("\\\\.\\TEST2");
    ASSERT_TRUE(f1 && f2);
    EXPECT_EQ(Control(*machine_, f2, IOCTL_TEST_FIRE, 9).status, STATUS_SUCCESS);
    ULONG n1 = 0, n2 = 0;
    for (int i = 0; i < 5000 && n2 == 0; ++i) {
        Control(*machine_, f2, IOCTL_TEST_ISR_COUNT, 0, &n2, 4);
        if (!n2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Control(*machine_, f1, IOCTL_TEST_ISR_COUNT, 0, &n1, 4);
    EXPECT_EQ(n2, 1u);
    EXPECT_EQ(n1, 0u);
    EXPECT_FALSE(machine_->Line(5).IsMasked());
    machine_->Close(f1);
    machine_->Close(f2);
}

BOOLEAN NeverMine(PKINTERRUPT, PVOID context) {
    static_cast<std::atomic<int>*>(context)->fetch_add(1);
    return FALSE;
}

TEST_F(KernelTest, UnclaimedLineIsMaskedAndReportedInsteadOfSpinning) {
    std::atomic<int> calls{0};
    PKINTERRUPT io = nullptr;
    ASSERT_EQ(IoConnectInterrupt(&io, NeverMine, &calls, nullptr, 9, DIRQL_BASE, DIRQL_BASE, LevelSensitive, TRUE, 1,
                                 FALSE),
              STATUS_SUCCESS);
    kernel::InterruptLine& line = machine_->Line(9);
    line.Raise();
    for (int i = 0; i < 5000 && !line.IsMasked(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(line.IsMasked());
    EXPECT_EQ(line.UnclaimedCount(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(calls.load(), 1) << "a masked line is not serviced again";
    EXPECT_TRUE(TraceHas("kernel: interrupt line 9 raised but not claimed; masked"));
    line.Lower();
    EXPECT_FALSE(line.IsMasked());
    IoDisconnectInterrupt(io);
}

// A device whose cause appears just after its routine looked: the routine finds nothing the
// first time, while the device lowers and raises its line again.
struct LateCause {
    kernel::InterruptLine* line = nullptr;
    std::atomic<int> calls{0};
};
BOOLEAN LateCauseIsr(PKINTERRUPT, PVOID context) {
    auto* d = static_cast<LateCause*>(context);
    if (d->calls.fetch_add(1) == 0) {
        d->line->Lower();  // the cause the previous round left is gone...
        d->line->Raise();  // ...and a new one arrives after the routine read its status
        return FALSE;
    }
    d->line->Lower();
    return TRUE;
}

TEST_F(KernelTest, LineRaisedAgainDuringAnUnclaimedRoundIsServicedAgainNotMasked) {
    LateCause d;
    d.line = &machine_->Line(10);
    PKINTERRUPT io = nullptr;
    ASSERT_EQ(IoConnectInterrupt(&io, LateCauseIsr, &d, nullptr, 10, DIRQL_BASE, DIRQL_BASE, LevelSensitive, TRUE, 1,
                                 FALSE),
              STATUS_SUCCESS);
    d.line->Raise();
    for (int i = 0; i < 5000 && (d.calls.load() < 2 || d.line->IsRaised()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(d.calls.load(), 2);
    EXPECT_FALSE(d.line->IsMasked());
    EXPECT_EQ(d.line->UnclaimedCount(), 0u);
    IoDisconnectInterrupt(io);
}

struct Exclusion {
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> isrRuns{0};
    kernel::InterruptLine* line = nullptr;
};
void Occupy(Exclusion* e) {
    if (e->inside.fetch_add(1) != 0) e->overlaps.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    e->inside.fetch_sub(1);
}
BOOLEAN ExclusionIsr(PKINTERRUPT, PVOID context) {
    auto* e = static_cast<Exclusion*>(context);
    Occupy(e);
    e->isrRuns.fetch_add(1);
    e->line->Lower();
    return TRUE;
}
BOOLEAN ExclusionSync(PVOID context) {
    Occupy(static_cast<Exclusion*>(context));
    return TRUE;
}

TEST_F(KernelTest, SynchronizedExecutionExcludesTheServiceRoutine) {
    Exclusion e;
    e.line = &machine_->Line(11);
    PKINTERRUPT io = nullptr;
    ASSERT_EQ(IoConnectInterrupt(&io, ExclusionIsr, &e, nullptr, 11, DIRQL_BASE, DIRQL_BASE, LevelSensitive, TRUE, 1,
                                 FALSE),
              STATUS_SUCCESS);
    std::thread raiser([&] {
        for (int i = 0; i < 50; ++i) {
            e.line->Raise();
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    for (int i = 0; i < 100; ++i) KeSynchronizeExecution(io, ExclusionSync, &e);
    raiser.join();
    IoDisconnectInterrupt(io);
    EXPECT_GT(e.isrRuns.load(), 0);
    EXPECT_EQ(e.overlaps.load(), 0);
}

TEST_F(KernelTest, RegisterAccessOutsideMappedWindowIsAVerifierFailure) {
    Plug(0);
    auto f = OpenTest();
    ULONG v = 0;
    EXPECT_EQ(Control(*machine_, f, IOCTL_TEST_REGISTER_READ, kRegStatus, &v, 4).status, STATUS_SUCCESS);
    EXPECT_TRUE(machine_->verifier().Clean());
    Control(*machine_, f, IOCTL_TEST_REGISTER_READ, 0x40, &v, 4);
    EXPECT_EQ(machine_->verifier().Count(kernel::Rule::RegisterOutsideWindow), 1u);
    EXPECT_EQ(v, 0xFFu);
    machine_->verifier().Clear();
    PHYSICAL_ADDRESS nowhere;
    nowhere.QuadPart = 0x12340000;
    EXPECT_EQ(MmMapIoSpace(nowhere, 4, MmNonCached), nullptr);
    machine_->Close(f);
}

// ---------------------------------------------------------------- requests and the verifier
TEST_F(KernelTest, PendingRequestCompletedFromTheDeferredProcedure) {
    Plug(0);
    auto f = OpenTest();
    ULONG value = 0;
    auto done = std::make_shared<std::atomic<bool>>(false);
    kernel::UserRequest rq;
    rq.code = IOCTL_TEST_PEND;
    rq.output = &value;
    rq.outputLength = 4;
    auto status = std::make_shared<NTSTATUS>(0);
    NTSTATUS r = machine_->Submit(f, rq, [done, status](NTSTATUS s, ULONG_PTR, bool pending) {
        *status = s;
        EXPECT_TRUE(pending);
        done->store(true);
    });
    EXPECT_EQ(r, STATUS_PENDING);
    EXPECT_EQ(Control(*machine_, f, IOCTL_TEST_FIRE, 77).status, STATUS_SUCCESS);
    for (int i = 0; i < 5000 && !done->load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(done->load());
    EXPECT_EQ(*status, STATUS_SUCCESS);
    EXPECT_EQ(value, 77u);
    EXPECT_TRUE(TraceHas("tdrv: dpc 77"));
    machine_->Close(f);
}

TEST_F(KernelTest, VerifierRulesBrokenByTheDriver) {
    struct Case {
        ULONG code;
        kernel::Rule rule;
    };
    const Case cases[] = {
        {IOCTL_TEST_DOUBLE_COMPLETE, kernel::Rule::DoubleCompletion},
        {IOCTL_TEST_PEND_UNMARKED, kernel::Rule::PendingNotMarked},
        {IOCTL_TEST_LEAK_LOCK, kernel::Rule::UnbalancedSpinLock},
        {IOCTL_TEST_COMPLETE_WITH_CANCEL, kernel::Rule::CompletedWithCancelRoutine},
    };
    Plug(0);
    auto f = OpenTest();
    for (const Case& c : cases) {
        SCOPED_TRACE(kernel::RuleName(c.rule));
        Control(*machine_, f, c.code);
        EXPECT_EQ(machine_->verifier().Count(c.rule), 1u) << machine_->verifier().Describe();
        // Regression: the leaked lock's IRQL stayed raised on the caller's thread.
        EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
        machine_->verifier().Clear();
    }
    // The machine keeps running after each: the leaked lock was released.
    EXPECT_EQ(Control(*machine_, f, IOCTL_TEST_ECHO).status, STATUS_SUCCESS);
    machine_->Close(f);
}

TEST_F(KernelTest, ConfigurationSpaceIsReadThroughTheBusDriver) {
    Plug(0);
    auto f = OpenTest();
    ULONG id = 0;
    Result r = Control(*machine_, f, IOCTL_TEST_CONFIG_READ, 0, &id, 4);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(id, 0x56781234u);
    machine_->Close(f);
}

TEST_F(KernelTest, BuiltControlRequestDownTheStackSignalsItsEvent) {
    PDEVICE_OBJECT pdo = Plug(0);
    ASSERT_NE(pdo, nullptr);
    PDEVICE_OBJECT top = machine_->TopOfStack(pdo);
    ASSERT_NE(top, pdo);
    EXPECT_EQ(top->StackSize, 2);
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK iosb{};
    char in[6] = "hello", out[8] = {};
    // A request a driver builds itself carries no file object.
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_TEST_ECHO, top, in, 6, out, 8, FALSE, &done, &iosb);
    IoGetNextIrpStackLocation(irp)->FileObject = nullptr;
    if (IoCallDriver(top, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    EXPECT_EQ(iosb.Status, STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, 6u);
    EXPECT_STREQ(out, "hello");
    EXPECT_EQ(KeReadStateEvent(&done), 1);
}

}  // namespace

namespace {

class PortWindow : public kernel::RegisterWindow {
public:
    ULONG Read(ULONG offset, int width) override { return last_ + offset + static_cast<ULONG>(width); }
    void Write(ULONG offset, int, ULONG value) override { last_ = value + offset; }
    ULONG last_ = 0;
};

TEST_F(KernelTest, PortAccessorsReachTheMappedPortRangeOnly) {
    PortWindow w;
    machine_->MapPorts(0x300, 8, &w);
    WRITE_PORT_UCHAR(reinterpret_cast<PUCHAR>(0x302), 0x40);
    EXPECT_EQ(w.last_, 0x42u);
    EXPECT_EQ(READ_PORT_USHORT(reinterpret_cast<PUSHORT>(0x304)), 0x42u + 4 + 2);
    EXPECT_EQ(READ_PORT_ULONG(reinterpret_cast<PULONG>(0x304)), 0x42u + 4 + 4);
    EXPECT_TRUE(machine_->verifier().Clean());
    // The last dword of the range starts at 0x304; one at 0x306 reaches past it.
    EXPECT_EQ(READ_PORT_ULONG(reinterpret_cast<PULONG>(0x306)), 0xFFFFFFFFu);
    EXPECT_EQ(machine_->verifier().Count(kernel::Rule::RegisterOutsideWindow), 1u);
    machine_->verifier().Clear();
    machine_->UnmapPorts(0x300);
}

TEST_F(KernelTest, UnmappedWindowReadsAllOnesWithoutAVerifierFailure) {
    PortWindow w;
    machine_->MapRegisters(0xE0000000ull, 0x100, &w);
    PHYSICAL_ADDRESS pa;
    pa.QuadPart = 0xE0000010;
    auto* regs = static_cast<volatile UCHAR*>(MmMapIoSpace(pa, 0x10, MmNonCached));
    ASSERT_NE(regs, nullptr);
    EXPECT_EQ(READ_REGISTER_UCHAR(regs + 1), 0x10u + 1 + 1) << "offsets count from the window's start";
    machine_->UnmapRegisters(0xE0000000ull);  // the device went away
    EXPECT_EQ(READ_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(regs)), 0xFFFFFFFFu);
    EXPECT_TRUE(machine_->verifier().Clean());
    MmUnmapIoSpace(const_cast<UCHAR*>(regs), 0x10);
}

struct PowerDone {
    std::atomic<bool> called{false};
    NTSTATUS status = 0;
    DEVICE_POWER_STATE state = PowerDeviceUnspecified;
};
void OnPowerDone(PDEVICE_OBJECT, UCHAR, POWER_STATE state, PVOID context, PIO_STATUS_BLOCK iosb) {
    auto* d = static_cast<PowerDone*>(context);
    d->status = iosb->Status;
    d->state = state.DeviceState;
    d->called = true;
}

TEST_F(KernelTest, RequestedPowerIrpRunsItsCompletionCallback) {
    PDEVICE_OBJECT pdo = Plug(0);
    PowerDone done;
    POWER_STATE d3;
    d3.DeviceState = PowerDeviceD3;
    EXPECT_EQ(PoRequestPowerIrp(pdo, IRP_MN_SET_POWER, d3, OnPowerDone, &done, nullptr), STATUS_PENDING);
    for (int i = 0; i < 5000 && !done.called; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(done.called);
    EXPECT_EQ(done.status, STATUS_SUCCESS);
    EXPECT_EQ(done.state, PowerDeviceD3);
}

}  // namespace

namespace {

NTSTATUS SignalDone(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), 0, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// The standard bus interface reads and writes configuration space without a request each.
TEST_F(KernelTest, BusInterfaceFromTheBusDriverReachesConfigurationSpace) {
    PDEVICE_OBJECT pdo = Plug(0);
    PDEVICE_OBJECT top = machine_->TopOfStack(pdo);
    BUS_INTERFACE_STANDARD bus{};
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION sl = IoGetNextIrpStackLocation(irp);
    sl->MajorFunction = IRP_MJ_PNP;
    sl->MinorFunction = IRP_MN_QUERY_INTERFACE;
    sl->Parameters.QueryInterface.InterfaceType = &GUID_BUS_INTERFACE_STANDARD;
    sl->Parameters.QueryInterface.Size = sizeof bus;
    sl->Parameters.QueryInterface.Version = 1;
    sl->Parameters.QueryInterface.Interface = reinterpret_cast<INTERFACE*>(&bus);
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(top, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    EXPECT_EQ(irp->IoStatus.Status, STATUS_SUCCESS);
    IoFreeIrp(irp);
    ASSERT_NE(bus.GetBusData, nullptr);
    USHORT vendor = 0;
    EXPECT_EQ(bus.GetBusData(bus.Context, PCI_WHICHSPACE_CONFIG, &vendor, 0, 2), 2u);
    EXPECT_EQ(vendor, 0x1234);
    USHORT command = 0x0002;  // memory space decoding
    EXPECT_EQ(bus.SetBusData(bus.Context, PCI_WHICHSPACE_CONFIG, &command, 4, 2), 2u);
    USHORT back = 0;
    bus.GetBusData(bus.Context, PCI_WHICHSPACE_CONFIG, &back, 4, 2);
    EXPECT_EQ(back, 0x0002);
}

}  // namespace

namespace {

// A bus device that completes internal requests later, from its own thread (as the USB host
// completes transfers).
class SlowBusDevice : public kernel::PhysicalDevice {
public:
    ~SlowBusDevice() override {
        if (worker_.joinable()) worker_.join();
    }
    std::wstring HardwareId() const override { return L"PASS\\SLOW"; }
    NTSTATUS InternalDeviceControl(PDEVICE_OBJECT, PIRP irp) override {
        IoMarkIrpPending(irp);
        if (worker_.joinable()) worker_.join();
        worker_ = std::thread([irp] {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            auto* p = static_cast<ULONG*>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
            *p += 1;
            irp->IoStatus.Status = STATUS_SUCCESS;
            irp->IoStatus.Information = 0;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
        });
        return STATUS_PENDING;
    }

private:
    std::thread worker_;
};

// A filter that passes everything down with a completion routine that propagates pending.
NTSTATUS PassCompletion(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    if (irp->PendingReturned) IoMarkIrpPending(irp);
    static_cast<std::atomic<int>*>(context)->fetch_add(1);
    return STATUS_SUCCESS;
}
std::atomic<int> gPassCompletions{0};
NTSTATUS PassDispatch(PDEVICE_OBJECT d, PIRP irp) {
    auto* lower = *static_cast<PDEVICE_OBJECT*>(d->DeviceExtension);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, PassCompletion, &gPassCompletions, TRUE, TRUE, TRUE);
    return IoCallDriver(lower, irp);
}
NTSTATUS PassPnp(PDEVICE_OBJECT d, PIRP irp) {
    auto* lower = *static_cast<PDEVICE_OBJECT*>(d->DeviceExtension);
    bool remove = IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_REMOVE_DEVICE;
    IoSkipCurrentIrpStackLocation(irp);
    NTSTATUS s = IoCallDriver(lower, irp);
    if (remove) {
        IoDetachDevice(lower);
        IoDeleteDevice(d);
    }
    return s;
}
NTSTATUS PassAdd(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT d;
    NTSTATUS s = IoCreateDevice(driver, sizeof(PDEVICE_OBJECT), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &d);
    if (!NT_SUCCESS(s)) return s;
    *static_cast<PDEVICE_OBJECT*>(d->DeviceExtension) = IoAttachDeviceToDeviceStack(d, pdo);
    d->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
NTSTATUS PassEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& f : driver->MajorFunction) f = PassDispatch;
    driver->MajorFunction[IRP_MJ_PNP] = PassPnp;
    driver->DriverExtension->AddDevice = PassAdd;
    return STATUS_SUCCESS;
}

TEST_F(KernelTest, PendedRequestPropagatesThroughACompletionRoutineToItsEvent) {
    machine_->RegisterDriver(L"pass", PassEntry, {L"PASS\\"});
    auto bus = std::make_shared<SlowBusDevice>();
    PDEVICE_OBJECT pdo = machine_->PlugIn(bus);
    ASSERT_NE(pdo, nullptr);
    PDEVICE_OBJECT top = machine_->TopOfStack(pdo);
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK iosb{};
    static ULONG counter;  // outlives the test should the request never complete
    counter = 41;
    // An internal request as a USB function driver builds it: the block in Argument1.
    PIRP irp = IoBuildDeviceIoControlRequest(CTL_CODE(0x22, 0, METHOD_NEITHER, FILE_ANY_ACCESS), top, nullptr, 0,
                                             nullptr, 0, TRUE, &done, &iosb);
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = &counter;
    int before = gPassCompletions.load();
    EXPECT_EQ(IoCallDriver(top, irp), STATUS_PENDING);
    LARGE_INTEGER bound;
    bound.QuadPart = -5000LL * 10000;
    ASSERT_EQ(KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, &bound), STATUS_SUCCESS);
    EXPECT_EQ(iosb.Status, STATUS_SUCCESS);
    EXPECT_EQ(counter, 42u);
    EXPECT_EQ(gPassCompletions.load(), before + 1);
    // Pending returned through the filter without a verifier complaint (fixture checks).
}

}  // namespace

namespace {

// A bus device that keeps every internal request until the test completes it, so that the
// completion runs after IoCallDriver has returned (the case of a real bus driver's thread).
class HeldBusDevice : public kernel::PhysicalDevice {
public:
    std::wstring HardwareId() const override { return L"PASS\\HELD"; }
    NTSTATUS InternalDeviceControl(PDEVICE_OBJECT, PIRP irp) override {
        IoMarkIrpPending(irp);
        held_ = irp;
        return STATUS_PENDING;
    }
    void CompleteHeld() {
        PIRP irp = held_;
        held_ = nullptr;
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }

private:
    PIRP held_ = nullptr;
};

struct KeptRequest {
    int runs = 0;
    bool completeAgain = false;
};

// Keeps the request and ends it itself before returning: completes it once more when asked
// (the request then reaches the top with nobody else's routine left), and frees it.
NTSTATUS KeepAndFree(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* kept = static_cast<KeptRequest*>(context);
    ++kept->runs;
    if (kept->completeAgain) IoCompleteRequest(irp, IO_NO_INCREMENT);
    IoFreeIrp(irp);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// After a routine that returns STATUS_MORE_PROCESSING_REQUIRED, the request belongs to its
// owner, who may already have freed it: the kernel must not touch it any more (the address
// sanitizer reports a use after free otherwise), and a completion the owner makes from within
// the routine is not a double completion.
TEST_F(KernelTest, RequestKeptAndFreedByItsCompletionRoutineIsNotTouchedAgain) {
    machine_->RegisterDriver(L"pass", PassEntry, {L"PASS\\"});
    auto bus = std::make_shared<HeldBusDevice>();
    PDEVICE_OBJECT pdo = machine_->PlugIn(bus);
    ASSERT_NE(pdo, nullptr);
    PDEVICE_OBJECT top = machine_->TopOfStack(pdo);
    for (bool completeAgain : {false, true}) {
        KeptRequest kept;
        kept.completeAgain = completeAgain;
        PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
        ASSERT_NE(irp, nullptr);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = CTL_CODE(0x22, 1, METHOD_NEITHER, FILE_ANY_ACCESS);
        IoSetCompletionRoutine(irp, KeepAndFree, &kept, TRUE, TRUE, TRUE);
        EXPECT_EQ(IoCallDriver(top, irp), STATUS_PENDING);
        bus->CompleteHeld();  // IoCallDriver has returned: the free is the last reference
        EXPECT_EQ(kept.runs, 1) << "complete again: " << completeAgain;
        EXPECT_EQ(machine_->verifier().Count(kernel::Rule::DoubleCompletion), 0u) << "complete again: " << completeAgain;
    }
}

}  // namespace
