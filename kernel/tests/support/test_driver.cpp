#include "test_driver.h"

#include <cstring>
#include <cwchar>

#include "kernel/wdm.h"

namespace testdrv {

Faults& DriverFaults() {
    static Faults f;
    return f;
}

// ---------------------------------------------------------------- the device
TestDevice::TestDevice(ULONGLONG physical, ULONG vector, bool direct)
    : physical_(physical), vector_(vector), direct_(direct) {
    // Vendor 0x1234, device 0x5678 at offsets 0 and 2, as PCI configuration space starts.
    config_[0] = 0x34;
    config_[1] = 0x12;
    config_[2] = 0x78;
    config_[3] = 0x56;
}
std::vector<kernel::Resource> TestDevice::Resources() const {
    kernel::Resource mem;
    mem.kind = kernel::Resource::Memory;
    mem.start = physical_;
    mem.length = kWindowLength;
    kernel::Resource irq;
    irq.kind = kernel::Resource::Interrupt;
    irq.vector = vector_;
    return {mem, irq};
}
ULONG TestDevice::ReadConfig(void* buffer, ULONG offset, ULONG length) {
    std::lock_guard lk(m_);
    if (offset >= config_.size()) return 0;
    ULONG n = std::min<ULONG>(length, static_cast<ULONG>(config_.size() - offset));
    std::memcpy(buffer, config_.data() + offset, n);
    return n;
}
ULONG TestDevice::WriteConfig(const void* buffer, ULONG offset, ULONG length) {
    std::lock_guard lk(m_);
    if (offset >= config_.size()) return 0;
    ULONG n = std::min<ULONG>(length, static_cast<ULONG>(config_.size() - offset));
    std::memcpy(config_.data() + offset, buffer, n);
    return n;
}
ULONG TestDevice::Read(ULONG offset, int) {
    bool lower = false;
    ULONG v = 0;
    {
        std::lock_guard lk(m_);
        if (offset == kRegValue) v = value_;
        if (offset == kRegStatus) {
            v = pending_ ? 1 : 0;
            lower = pending_;
            pending_ = false;
        }
    }
    if (lower) line_->Lower();  // never with the model's lock held
    return v;
}
void TestDevice::Write(ULONG offset, int, ULONG value) {
    bool raise = false;
    {
        std::lock_guard lk(m_);
        if (offset == kRegValue) value_ = value;
        if (offset == kRegCommand && value == 1) {
            pending_ = true;
            raise = true;
        }
    }
    if (raise) line_->Raise();
}
void TestDevice::Attach(kernel::Machine& machine) {
    line_ = &machine.Line(vector_);
    machine.MapRegisters(physical_, kWindowLength, this);
}
void TestDevice::Detach(kernel::Machine& machine) { machine.UnmapRegisters(physical_); }

// ---------------------------------------------------------------- the driver
namespace {

struct Context {
    PDEVICE_OBJECT self, pdo, lower;
    UNICODE_STRING interfaceName;
    WCHAR deviceName[32];
    WCHAR linkName[32];
    UNICODE_STRING link;
    bool linked;
    bool accepting;
    LONG openCount;
    volatile UCHAR* registers;
    PKINTERRUPT interrupt;
    ULONG isrCount;       // touched under the interrupt's lock
    ULONG deliveredValue; // ISR -> DPC, under the interrupt's lock
    LIST_ENTRY held;      // pended requests, under the cancel spin lock
    KSPIN_LOCK leak;
    KTIMER timer;
    KDPC timerDpc;
    PIRP timerIrp;
};

Context* Ctx(PDEVICE_OBJECT d) { return static_cast<Context*>(d->DeviceExtension); }

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR info = 0) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = info;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

void CancelHeld(PDEVICE_OBJECT, PIRP irp) {
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    IoReleaseCancelSpinLock(irp->CancelIrql);
    DbgPrint("tdrv: cancel\n");
    Complete(irp, STATUS_CANCELLED);
}

// Takes the oldest held request out of cancellation; null when none (or it is being
// cancelled right now).
PIRP TakeHeld(Context* c) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    PIRP irp = nullptr;
    while (!IsListEmpty(&c->held)) {
        PLIST_ENTRY e = RemoveHeadList(&c->held);
        PIRP candidate = CONTAINING_RECORD(e, IRP, Tail.Overlay.ListEntry);
        bool cancellable = candidate->Tail.Overlay.DriverContext[0] != nullptr;
        if (!cancellable || IoSetCancelRoutine(candidate, nullptr)) {
            irp = candidate;
            break;
        }
        // Its cancel routine runs: it expects the entry in a list, keep it self-linked.
        InitializeListHead(e);
    }
    IoReleaseCancelSpinLock(irql);
    return irp;
}

BOOLEAN Isr(PKINTERRUPT, PVOID context) {
    auto* c = static_cast<Context*>(context);
    // Shared line: not ours unless our status register says so.
    if (!(READ_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(c->registers + kRegStatus)) & 1)) return FALSE;
    c->deliveredValue = READ_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(c->registers + kRegValue));
    ++c->isrCount;
    IoRequestDpc(c->self, nullptr, nullptr);
    return TRUE;
}

// What a synchronized routine copies out of the state it shares with the ISR.
struct Snapshot {
    Context* c;
    ULONG value;
};

BOOLEAN TakeValue(PVOID context) {
    auto* s = static_cast<Snapshot*>(context);
    s->value = s->c->deliveredValue;
    return TRUE;
}

void DpcForIsr(PKDPC, PDEVICE_OBJECT device, PIRP, PVOID) {
    Context* c = Ctx(device);
    Snapshot snap{c, 0};
    KeSynchronizeExecution(c->interrupt, TakeValue, &snap);
    ULONG value = snap.value;
    DbgPrint("tdrv: dpc %lu\n", static_cast<unsigned long>(value));
    if (PIRP irp = TakeHeld(c)) {
        void* out = irp->MdlAddress ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority)
                                    : irp->AssociatedIrp.SystemBuffer;
        std::memcpy(out, &value, sizeof value);
        Complete(irp, STATUS_SUCCESS, sizeof value);
    }
}

void TimerDpc(PKDPC, PVOID context, PVOID, PVOID) {
    auto* c = static_cast<Context*>(context);
    PIRP irp = c->timerIrp;
    c->timerIrp = nullptr;
    if (irp) Complete(irp, STATUS_SUCCESS);
}

BOOLEAN ReadIsrCount(PVOID context) {
    auto* s = static_cast<Snapshot*>(context);
    s->value = s->c->isrCount;
    return TRUE;
}

NTSTATUS OnCompletionSignal(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), 0, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Passes the request down and waits for it (start, configuration reads).
NTSTATUS ForwardAndWait(Context* c, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, OnCompletionSignal, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(c->lower, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

NTSTATUS ConfigRead(Context* c, ULONG offset, ULONG* value) {
    PIRP irp = IoAllocateIrp(c->lower->StackSize, FALSE);
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION sl = IoGetNextIrpStackLocation(irp);
    sl->MajorFunction = IRP_MJ_PNP;
    sl->MinorFunction = IRP_MN_READ_CONFIG;
    sl->Parameters.ReadWriteConfig.WhichSpace = PCI_WHICHSPACE_CONFIG;
    sl->Parameters.ReadWriteConfig.Buffer = value;
    sl->Parameters.ReadWriteConfig.Offset = offset;
    sl->Parameters.ReadWriteConfig.Length = 4;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoSetCompletionRoutine(irp, OnCompletionSignal, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(c->lower, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    NTSTATUS s = irp->IoStatus.Status;
    IoFreeIrp(irp);
    return s;
}

NTSTATUS Hold(Context* c, PIRP irp, bool cancellable) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    if (cancellable && irp->Cancel) {
        IoReleaseCancelSpinLock(irql);
        return Complete(irp, STATUS_CANCELLED);
    }
    IoMarkIrpPending(irp);
    irp->Tail.Overlay.DriverContext[0] = cancellable ? irp : nullptr;
    if (cancellable) IoSetCancelRoutine(irp, CancelHeld);
    InsertTailList(&c->held, &irp->Tail.Overlay.ListEntry);
    IoReleaseCancelSpinLock(irql);
    return STATUS_PENDING;
}

NTSTATUS DispatchControl(PDEVICE_OBJECT d, PIRP irp) {
    Context* c = Ctx(d);
    if (!c->accepting) return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    auto& p = sl->Parameters.DeviceIoControl;
    void* buf = irp->AssociatedIrp.SystemBuffer;
    ULONG in = 0;
    if (p.InputBufferLength >= 4) std::memcpy(&in, buf, 4);
    switch (p.IoControlCode) {
    case IOCTL_TEST_ECHO:
        return Complete(irp, STATUS_SUCCESS, std::min(p.InputBufferLength, p.OutputBufferLength));
    case IOCTL_TEST_ECHO_DIRECT: {
        void* out = MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
        ULONG n = std::min(p.InputBufferLength, p.OutputBufferLength);
        if (!out || !buf) return Complete(irp, STATUS_INVALID_PARAMETER);
        std::memcpy(out, buf, n);
        return Complete(irp, STATUS_SUCCESS, n);
    }
    case IOCTL_TEST_PEND:
        if (p.OutputBufferLength < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        return Hold(c, irp, true);
    case IOCTL_TEST_PEND_NO_CANCEL:
        return Hold(c, irp, false);
    case IOCTL_TEST_FIRE:
        if (p.InputBufferLength < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        WRITE_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(c->registers + kRegValue), in);
        WRITE_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(c->registers + kRegCommand), 1);
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_TEST_DOUBLE_COMPLETE:
        Complete(irp, STATUS_SUCCESS);
        Complete(irp, STATUS_SUCCESS);
        return STATUS_SUCCESS;
    case IOCTL_TEST_STATUS:
        return Complete(irp, static_cast<NTSTATUS>(in));
    case IOCTL_TEST_ISR_COUNT: {
        if (p.OutputBufferLength < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        Snapshot snap{c, 0};
        KeSynchronizeExecution(c->interrupt, ReadIsrCount, &snap);
        ULONG n = snap.value;
        std::memcpy(buf, &n, 4);
        return Complete(irp, STATUS_SUCCESS, 4);
    }
    case IOCTL_TEST_CONFIG_READ: {
        ULONG value = 0;
        NTSTATUS s = ConfigRead(c, in, &value);
        if (NT_SUCCESS(s)) std::memcpy(buf, &value, 4);
        return Complete(irp, s, NT_SUCCESS(s) ? 4 : 0);
    }
    case IOCTL_TEST_TIMER: {
        if (c->timerIrp) return Complete(irp, STATUS_DEVICE_BUSY);
        IoMarkIrpPending(irp);
        c->timerIrp = irp;
        LARGE_INTEGER due;
        due.QuadPart = -LONGLONG(in) * 10000;
        KeSetTimer(&c->timer, due, &c->timerDpc);
        return STATUS_PENDING;
    }
    case IOCTL_TEST_REGISTER_READ: {
        ULONG v = READ_REGISTER_UCHAR(c->registers + in);
        std::memcpy(buf, &v, 4);
        return Complete(irp, STATUS_SUCCESS, 4);
    }
    case IOCTL_TEST_PEND_UNMARKED:
        Complete(irp, STATUS_SUCCESS);
        return STATUS_PENDING;
    case IOCTL_TEST_LEAK_LOCK: {
        KIRQL irql;
        KeAcquireSpinLock(&c->leak, &irql);
        return Complete(irp, STATUS_SUCCESS);
    }
    case IOCTL_TEST_COMPLETE_WITH_CANCEL:
        IoSetCancelRoutine(irp, CancelHeld);
        return Complete(irp, STATUS_SUCCESS);
    default:
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

NTSTATUS DispatchCreate(PDEVICE_OBJECT d, PIRP irp) {
    Context* c = Ctx(d);
    if (!c->accepting) return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
    // One opener at a time.
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    bool busy = c->openCount > 0;
    if (!busy) ++c->openCount;
    IoReleaseCancelSpinLock(irql);
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    std::wstring file = kernel::ToWide(&sl->FileObject->FileName);
    DbgPrint("tdrv: create %s%s\n", kernel::Narrow(file).c_str(), busy ? " refused" : "");
    return Complete(irp, busy ? STATUS_ACCESS_DENIED : STATUS_SUCCESS);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT d, PIRP irp) {
    Context* c = Ctx(d);
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    c->openCount = 0;
    IoReleaseCancelSpinLock(irql);
    DbgPrint("tdrv: close\n");
    return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS DispatchCleanup(PDEVICE_OBJECT, PIRP irp) {
    DbgPrint("tdrv: cleanup\n");
    return Complete(irp, STATUS_SUCCESS);
}

// Write keeps up to 64 bytes; read hands them back (more than fits: buffer overflow).
struct Store {
    std::mutex m;
    std::vector<UCHAR> bytes;
};
Store& DataStore() {
    static Store s;
    return s;
}

// The transfer buffer of a read or write, as the device's I/O method delivers it.
UCHAR* TransferBuffer(PDEVICE_OBJECT d, PIRP irp) {
    if (d->Flags & DO_DIRECT_IO)
        return irp->MdlAddress ? static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority))
                               : nullptr;
    return static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
}

NTSTATUS DispatchWrite(PDEVICE_OBJECT d, PIRP irp) {
    if (!Ctx(d)->accepting) return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
    ULONG n = IoGetCurrentIrpStackLocation(irp)->Parameters.Write.Length;
    UCHAR* p = TransferBuffer(d, irp);
    if (n == 0 || n > 64 || !p) return Complete(irp, STATUS_INVALID_PARAMETER);
    std::lock_guard lk(DataStore().m);
    DataStore().bytes.assign(p, p + n);
    return Complete(irp, STATUS_SUCCESS, n);
}

NTSTATUS DispatchRead(PDEVICE_OBJECT d, PIRP irp) {
    if (!Ctx(d)->accepting) return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
    ULONG n = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    if (n == kPendingReadLength) return Hold(Ctx(d), irp, true);
    std::lock_guard lk(DataStore().m);
    auto& b = DataStore().bytes;
    if (b.empty()) return Complete(irp, STATUS_NO_DATA_DETECTED);
    ULONG take = std::min<ULONG>(n, static_cast<ULONG>(b.size()));
    UCHAR* out = TransferBuffer(d, irp);
    if (!out) return Complete(irp, STATUS_INVALID_PARAMETER);
    std::memcpy(out, b.data(), take);
    bool more = take < b.size();
    b.clear();
    return Complete(irp, more ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS, take);
}

void FailHeld(Context* c, NTSTATUS status) {
    while (PIRP irp = TakeHeld(c)) Complete(irp, status);
}

NTSTATUS StartDevice(Context* c, PIRP irp) {
    NTSTATUS s = ForwardAndWait(c, irp);
    if (!NT_SUCCESS(s)) return s;
    if (DriverFaults().failStart) return STATUS_UNSUCCESSFUL;
    PCM_RESOURCE_LIST res = IoGetCurrentIrpStackLocation(irp)->Parameters.StartDevice.AllocatedResourcesTranslated;
    ULONG vector = 0;
    for (ULONG i = 0; i < res->List[0].PartialResourceList.Count; ++i) {
        auto& d = res->List[0].PartialResourceList.PartialDescriptors[i];
        if (d.Type == CmResourceTypeMemory)
            c->registers = static_cast<volatile UCHAR*>(MmMapIoSpace(d.u.Memory.Start, d.u.Memory.Length, MmNonCached));
        if (d.Type == CmResourceTypeInterrupt) vector = d.u.Interrupt.Vector;
    }
    if (!c->registers) return STATUS_INSUFFICIENT_RESOURCES;
    s = IoConnectInterrupt(&c->interrupt, Isr, c, nullptr, vector, DIRQL_BASE, DIRQL_BASE, LevelSensitive, TRUE, 1, FALSE);
    if (!NT_SUCCESS(s)) return s;
    IoSetDeviceInterfaceState(&c->interfaceName, TRUE);
    c->accepting = true;
    return STATUS_SUCCESS;
}

void ReleaseHardware(Context* c) {
    // The deferred procedure synchronises with the interrupt object, which disconnecting
    // deletes: let a procedure the last interrupt queued finish first. The device raises its
    // interrupt only on request, and none arrives once it is being stopped.
    KeFlushQueuedDpcs();
    if (c->interrupt) IoDisconnectInterrupt(c->interrupt);
    c->interrupt = nullptr;
    if (c->registers) MmUnmapIoSpace(const_cast<UCHAR*>(c->registers), kWindowLength);
    c->registers = nullptr;
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT d, PIRP irp) {
    Context* c = Ctx(d);
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    switch (sl->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        NTSTATUS s = StartDevice(c, irp);
        DbgPrint("tdrv: start 0x%08x\n", static_cast<unsigned>(s));
        return Complete(irp, s);
    }
    case IRP_MN_STOP_DEVICE:
        c->accepting = false;
        ReleaseHardware(c);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_REMOVE_DEVICE:
        if (DriverFaults().refuseQueryRemove) return Complete(irp, STATUS_UNSUCCESSFUL);
        c->accepting = false;
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        c->accepting = true;
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
        DbgPrint("tdrv: surprise removal\n");
        c->accepting = false;
        if (!DriverFaults().keepPendingOnSurpriseRemoval) FailHeld(c, STATUS_DEVICE_NOT_CONNECTED);
        ReleaseHardware(c);
        IoSetDeviceInterfaceState(&c->interfaceName, FALSE);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_REMOVE_DEVICE: {
        DbgPrint("tdrv: remove\n");
        c->accepting = false;
        if (!DriverFaults().keepPendingOnSurpriseRemoval) FailHeld(c, STATUS_DELETE_PENDING);
        ReleaseHardware(c);
        KeCancelTimer(&c->timer);
        IoSetDeviceInterfaceState(&c->interfaceName, FALSE);
        RtlFreeUnicodeString(&c->interfaceName);
        if (c->linked) IoDeleteSymbolicLink(&c->link);
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoSkipCurrentIrpStackLocation(irp);
        NTSTATUS s = IoCallDriver(c->lower, irp);
        IoDetachDevice(c->lower);
        IoDeleteDevice(d);
        return s;
    }
    case IRP_MN_QUERY_CAPABILITIES: {
        NTSTATUS s = ForwardAndWait(c, irp);
        if (NT_SUCCESS(s)) sl->Parameters.DeviceCapabilities.Capabilities->SurpriseRemovalOK = 1;
        return Complete(irp, s);
    }
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(c->lower, irp);
}

NTSTATUS DispatchPower(PDEVICE_OBJECT d, PIRP irp) {
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    if (sl->MinorFunction == IRP_MN_SET_POWER && sl->Parameters.Power.Type == SystemPowerState) {
        POWER_STATE ps;
        ps.DeviceState = sl->Parameters.Power.State.SystemState == PowerSystemWorking ? PowerDeviceD0 : PowerDeviceD3;
        PoSetPowerState(d, DevicePowerState, ps);
        DbgPrint("tdrv: power D%d\n", ps.DeviceState - 1);
    }
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(Ctx(d)->lower, irp);
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    static std::atomic<int> serial{0};
    WCHAR name[32];
    std::swprintf(name, 32, L"\\Device\\TestDev%d", serial++);
    UNICODE_STRING us;
    RtlInitUnicodeString(&us, name);
    PDEVICE_OBJECT d;
    NTSTATUS s = IoCreateDevice(driver, sizeof(Context), &us, FILE_DEVICE_UNKNOWN, 0, FALSE, &d);
    if (!NT_SUCCESS(s)) return s;
    Context* c = Ctx(d);
    c->self = d;
    c->pdo = pdo;
    std::wcscpy(c->deviceName, name);
    InitializeListHead(&c->held);
    KeInitializeSpinLock(&c->leak);
    KeInitializeTimer(&c->timer);
    KeInitializeDpc(&c->timerDpc, TimerDpc, c);
    IoInitializeDpcRequest(d, DpcForIsr);
    // First free "\DosDevices\TEST<m>".
    UNICODE_STRING target;
    RtlInitUnicodeString(&target, c->deviceName);
    for (int m = 1; m < 100 && !c->linked; ++m) {
        std::swprintf(c->linkName, 32, L"\\DosDevices\\TEST%d", m);
        RtlInitUnicodeString(&c->link, c->linkName);
        NTSTATUS ls = IoCreateSymbolicLink(&c->link, &target);
        if (ls == STATUS_OBJECT_NAME_COLLISION) continue;
        c->linked = NT_SUCCESS(ls);
        break;
    }
    UNICODE_STRING ref;
    RtlInitUnicodeString(&ref, L"ref");
    IoRegisterDeviceInterface(pdo, &kTestInterface, &ref, &c->interfaceName);
    c->lower = IoAttachDeviceToDeviceStack(d, pdo);
    WCHAR id[64];
    ULONG len = 0;
    bool direct = NT_SUCCESS(IoGetDeviceProperty(pdo, DevicePropertyHardwareID, sizeof id, id, &len)) &&
                  std::wcsstr(id, L"_DIRECT") != nullptr;
    d->Flags |= direct ? DO_DIRECT_IO : DO_BUFFERED_IO;
    d->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

void Unload(PDRIVER_OBJECT) { DbgPrint("tdrv: unload\n"); }

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_READ] = DispatchRead;
    driver->MajorFunction[IRP_MJ_WRITE] = DispatchWrite;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    DbgPrint("tdrv: loaded\n");
    return STATUS_SUCCESS;
}

}  // namespace

void RegisterTestDriver(kernel::Machine& machine) { machine.RegisterDriver(L"tdrv", DriverEntry, {L"TEST\\"}); }

}  // namespace testdrv
