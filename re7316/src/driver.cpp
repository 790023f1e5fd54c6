// The driver frame: load, add device with its slot and port name, plug and play, power, and
// the channel's request interface (open, close, cleanup, read, write, control codes).
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <mutex>

#include "channel.h"
#include "re7316/re7316.h"

namespace re7316 {
namespace {

// Channel slot numbers 0-254 in use.
constexpr ULONG kSlots = 255;
UCHAR g_slotInUse[kSlots];
std::mutex g_slotLock;
// Port link numbers tried, DIZED1 upward.
constexpr int kMaxLinks = 255;
// Wait after switching the FIFO logic on, us.
constexpr ULONG kFifoStartUs = 50;
// Smallest latency timer a bus-master board gets, PCI clocks.
constexpr UCHAR kMinLatency = 16, kLatency = 32;
// PCI configuration space, bytes: read whole at start, written back whole after start and
// after every return to D0.
constexpr ULONG kConfigSize = 256;

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR info = 0) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? info : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

// ---- outstanding-request count
NTSTATUS Enter(ChannelContext* c) {
    ++c->outstanding;
    if (c->removing) return STATUS_DELETE_PENDING;
    if (c->notAccepting) return STATUS_DEVICE_NOT_CONNECTED;
    return STATUS_SUCCESS;
}
void Leave(ChannelContext* c) {
    if (--c->outstanding == 0) KeSetEvent(&c->removeEvent, 0, FALSE);
}

NTSTATUS OnCompletionSignal(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), 0, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS ForwardAndWait(ChannelContext* c, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, OnCompletionSignal, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(c->lower, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

// Configuration space access through the bus driver; bytes transferred or a failure.
NTSTATUS ConfigAccess(ChannelContext* c, bool write, void* buffer, ULONG offset, ULONG length) {
    PIRP irp = IoAllocateIrp(c->lower->StackSize, FALSE);
    if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION sl = IoGetNextIrpStackLocation(irp);
    sl->MajorFunction = IRP_MJ_PNP;
    sl->MinorFunction = write ? IRP_MN_WRITE_CONFIG : IRP_MN_READ_CONFIG;
    sl->Parameters.ReadWriteConfig.WhichSpace = PCI_WHICHSPACE_CONFIG;
    sl->Parameters.ReadWriteConfig.Buffer = buffer;
    sl->Parameters.ReadWriteConfig.Offset = offset;
    sl->Parameters.ReadWriteConfig.Length = length;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoSetCompletionRoutine(irp, OnCompletionSignal, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(c->lower, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    NTSTATUS s = irp->IoStatus.Status;
    IoFreeIrp(irp);
    return s;
}

ULONG ConfigWord(const UCHAR* cfg, ULONG offset, ULONG bytes) {
    ULONG v = 0;
    for (ULONG i = 0; i < bytes; ++i) v |= ULONG(cfg[offset + i]) << (8 * i);
    return v;
}

// Memory decoding on (bus mastering and a usable latency timer for the bus-master board).
NTSTATUS WriteBackConfig(ChannelContext* c) {
    UCHAR* cfg = c->configSpace;
    cfg[0x04] |= 0x02;
    if (c->pci.deviceId == kBusMasterDeviceId) {
        cfg[0x04] |= 0x04;
        if (cfg[0x0D] < kMinLatency) cfg[0x0D] = kLatency;
    }
    return ConfigAccess(c, true, cfg, 0, kConfigSize);
}

NTSTATUS ReadIdentity(ChannelContext* c) {
    NTSTATUS s = ConfigAccess(c, false, c->configSpace, 0, kConfigSize);
    if (!NT_SUCCESS(s)) return s;
    const UCHAR* cfg = c->configSpace;
    CanPciInfo& p = c->pci;
    p.vendorId = ConfigWord(cfg, 0x00, 2);
    p.deviceId = ConfigWord(cfg, 0x02, 2);
    p.revisionId = cfg[0x08];
    p.classCode = ConfigWord(cfg, 0x09, 3);
    for (int i = 0; i < 6; ++i) p.bar[i] = ConfigWord(cfg, 0x10 + 4 * i, 4);
    p.subsystemVendorId = ConfigWord(cfg, 0x2C, 2);
    p.subsystemId = ConfigWord(cfg, 0x2E, 2);
    p.interruptLine = cfg[0x3C];
    return STATUS_SUCCESS;
}

void ReadBoardIdentity(ChannelContext* c) {
    ULONG sub = c->pci.subsystemId;
    if (sub & 0x2000) {
        c->boardType = (sub >> 10) & 7;
        c->modelNumber = c->pci.deviceId * 100 + (sub & 0x7F);
        c->channelIndex = c->regs.Read8(BRD_CHANNEL_INDEX) & 0x0F;
        c->channelInterrupt = (c->regs.Read8(BRD_CHANNEL_INT) >> c->channelIndex) & 1;
    } else {
        c->boardType = (sub >> 8) & 0x0F;
        c->modelNumber = c->pci.deviceId;
        c->channelIndex = 0;
        c->channelInterrupt = 1;
    }
    c->pci.boardSwitch = c->boardType == 2 ? 0 : c->regs.Read8(BRD_SWITCH);
}

// The deferred procedure synchronises with the interrupt object and reads the channel: it
// may not be queued again, and one already running must end, before the object is freed
// (and before the device goes).
void Disconnect(ChannelContext* c) {
    if (c->interrupt) Synchronized(c, [](ChannelContext* ch) { ch->dpcBlocked = true; });
    KeRemoveQueueDpc(&c->self->Dpc);
    KeFlushQueuedDpcs();
    if (c->interrupt) {
        PKINTERRUPT i = c->interrupt;
        IoDisconnectInterrupt(i);
        c->interrupt = nullptr;
        c->interruptConnected = false;
    }
}

void Unmap(ChannelContext* c) {
    if (c->regs.base) MmUnmapIoSpace(const_cast<UCHAR*>(c->regs.base), c->regs.length);
    c->regs = Registers{};
}

NTSTATUS StartDevice(ChannelContext* c, PIRP irp) {
    NTSTATUS s = ForwardAndWait(c, irp);
    if (!NT_SUCCESS(s)) return s;
    s = ReadIdentity(c);
    if (!NT_SUCCESS(s)) return s;
    WriteBackConfig(c);
    c->fifoBoard = c->pci.deviceId != kBasicBoardDeviceId;
    if (c->removed) return STATUS_DELETE_PENDING;
    PCM_RESOURCE_LIST res = IoGetCurrentIrpStackLocation(irp)->Parameters.StartDevice.AllocatedResourcesTranslated;
    if (!res || res->Count == 0) return STATUS_INSUFFICIENT_RESOURCES;
    c->memoryRanges = 0;
    bool haveInterrupt = false;
    for (ULONG i = 0; i < res->List[0].PartialResourceList.Count; ++i) {
        const auto& d = res->List[0].PartialResourceList.PartialDescriptors[i];
        if (d.Type == CmResourceTypeMemory) {
            if (c->memoryRanges < std::size(c->memory))
                c->memory[c->memoryRanges++] = {static_cast<ULONGLONG>(d.u.Memory.Start.QuadPart), d.u.Memory.Length};
            if (c->regs.base) continue;
            c->registerPhysical = d.u.Memory.Start;
            c->regs.base = static_cast<volatile UCHAR*>(MmMapIoSpace(d.u.Memory.Start, d.u.Memory.Length, MmNonCached));
            c->regs.length = d.u.Memory.Length;
        } else if (d.Type == CmResourceTypePort) {
            c->portStart = static_cast<ULONG>(d.u.Port.Start.QuadPart);
            c->portLength = d.u.Port.Length;
        } else if (d.Type == CmResourceTypeInterrupt) {
            haveInterrupt = true;
            c->vector = d.u.Interrupt.Vector;
            c->level = static_cast<KIRQL>(d.u.Interrupt.Level);
            c->affinity = d.u.Interrupt.Affinity;
            c->mode = (d.Flags & CM_RESOURCE_INTERRUPT_LATCHED) ? Latched : LevelSensitive;
        }
    }
    if (!c->regs.base || !haveInterrupt) return STATUS_INSUFFICIENT_RESOURCES;
    ReadBoardIdentity(c);
    if (!c->interfaceName.Buffer) {
        s = IoRegisterDeviceInterface(c->pdo, c->boardType == 2 ? &kInterfaceType2 : &kInterfaceCan, nullptr,
                                      &c->interfaceName);
        if (!NT_SUCCESS(s)) return s;
    }
    IoSetDeviceInterfaceState(&c->interfaceName, TRUE);
    c->dpcBlocked = false;
    s = IoConnectInterrupt(&c->interrupt, Isr, c, nullptr, c->vector, c->level, c->level, c->mode, TRUE,
                           c->affinity, FALSE);
    if (!NT_SUCCESS(s)) {
        c->interrupt = nullptr;
        return STATUS_NO_SUCH_DEVICE;
    }
    c->interruptConnected = true;
    if (c->fifoBoard) {
        c->regs.Write8(BRD_MODE, BRD_MODE_FIFO_ON);
        KeStallExecutionProcessor(kFifoStartUs);
    }
    ResetController(c);
    c->openCount = 0;
    if (!c->interfaceNotification) {
        // The first arrival (this channel's own interface is among the existing ones) writes
        // the port name into the device key.
        IoRegisterPlugPlayNotification(EventCategoryDeviceInterfaceChange,
                                       PNPNOTIFY_DEVICE_INTERFACE_INCLUDE_EXISTING_INTERFACES,
                                       const_cast<GUID*>(c->boardType == 2 ? &kInterfaceType2 : &kInterfaceCan),
                                       c->self->DriverObject, OnInterfaceChange, c, &c->interfaceNotification);
    }
    c->notAccepting = 0;
    c->removed = false;
    return STATUS_SUCCESS;
}

void StopNotifications(ChannelContext* c) {
    if (c->interfaceNotification) IoUnregisterPlugPlayNotification(c->interfaceNotification);
    c->interfaceNotification = nullptr;
}

// Frees what the channel holds while the controller is already unreachable or stopped.
void ReleaseQueues(ChannelContext* c) {
    CompletePendingWait(c, STATUS_DELETE_PENDING);
    Ring* rings[] = {&c->tx, &c->rx, &c->err};
    for (Ring* r : rings) {
        if (r->base) ExFreePoolWithTag(r->base, kPoolTag);
        *r = Ring{};
    }
    c->controllerOpen = false;
    FreeQueuedEvents(c);
}

NTSTATUS RemoveDevice(ChannelContext* c, PIRP irp) {
    c->notAccepting = 1;
    if (!c->removed || !c->removing) {
        c->removed = true;
        c->removing = 1;
        Leave(c);  // the count's initial 1
        KeWaitForSingleObject(&c->removeEvent, Executive, KernelMode, FALSE, nullptr);
    }
    Disconnect(c);
    StopNotifications(c);
    ReleaseQueues(c);
    Unmap(c);
    if (c->linkCreated) IoDeleteSymbolicLink(&c->link);
    c->linkCreated = false;
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoSkipCurrentIrpStackLocation(irp);
    NTSTATUS s = IoCallDriver(c->lower, irp);
    if (c->interfaceName.Buffer) {
        IoSetDeviceInterfaceState(&c->interfaceName, FALSE);
        RtlFreeUnicodeString(&c->interfaceName);
    }
    {
        std::lock_guard lk(g_slotLock);
        g_slotInUse[c->slot] = 0;
    }
    IoDetachDevice(c->lower);
    IoDeleteDevice(c->self);
    return s;
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT d, PIRP irp) {
    ChannelContext* c = Ctx(d);
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    switch (sl->MinorFunction) {
    case IRP_MN_START_DEVICE:
        return Complete(irp, StartDevice(c, irp));
    case IRP_MN_QUERY_STOP_DEVICE:
        return Complete(irp, STATUS_UNSUCCESSFUL);
    case IRP_MN_QUERY_REMOVE_DEVICE:
        c->notAccepting = 1;
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        c->notAccepting = 0;
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
        c->notAccepting = 1;
        c->removed = true;
        Disconnect(c);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_REMOVE_DEVICE:
        return RemoveDevice(c, irp);
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(c->lower, irp);
}

void DevicePowerDone(PDEVICE_OBJECT, UCHAR, POWER_STATE, PVOID context, PIO_STATUS_BLOCK) {
    KeSetEvent(static_cast<PKEVENT>(context), 0, FALSE);
}

// A device power request for `state` through the channel's stack, waited for.
void RequestDevicePower(ChannelContext* c, DEVICE_POWER_STATE state) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    POWER_STATE ps;
    ps.DeviceState = state;
    if (PoRequestPowerIrp(c->pdo, IRP_MN_SET_POWER, ps, DevicePowerDone, &done, nullptr) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
}

// Passes a power request down and waits until the lower driver has completed it.
NTSTATUS PowerDownTheStackAndWait(ChannelContext* c, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, OnCompletionSignal, &done, TRUE, TRUE, TRUE);
    if (PoCallDriver(c->lower, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

void RecordPowerState(ChannelContext* c, DEVICE_POWER_STATE state) {
    c->powerState = state;
    POWER_STATE ps;
    ps.DeviceState = state;
    PoSetPowerState(c->self, DevicePowerState, ps);
}

// Set-power: a system state maps to D0 (working) or D3 (any other). Going down, the device
// request is made (or the state recorded) before the request goes down; going up, the request
// goes down first, then the device is brought up (and its configuration written back).
NTSTATUS Power(ChannelContext* c, PIRP irp) {
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    if (sl->MinorFunction == IRP_MN_SET_POWER) {
        const bool system = sl->Parameters.Power.Type == SystemPowerState;
        const DEVICE_POWER_STATE target =
            system ? (sl->Parameters.Power.State.SystemState == PowerSystemWorking ? PowerDeviceD0 : PowerDeviceD3)
                   : sl->Parameters.Power.State.DeviceState;
        if (target < c->powerState) {
            NTSTATUS s = PowerDownTheStackAndWait(c, irp);
            if (NT_SUCCESS(s)) {
                if (system) {
                    RequestDevicePower(c, PowerDeviceD0);
                } else {
                    RecordPowerState(c, target);
                    if (target == PowerDeviceD0) WriteBackConfig(c);
                }
            }
            PoStartNextPowerIrp(irp);
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return s;
        }
        if (system) {
            if (target > c->powerState) RequestDevicePower(c, target);
        } else {
            RecordPowerState(c, target);
        }
    }
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(c->lower, irp);
}

NTSTATUS DispatchPower(PDEVICE_OBJECT d, PIRP irp) {
    ChannelContext* c = Ctx(d);
    NTSTATUS s = Enter(c);
    if (NT_SUCCESS(s)) {
        s = Power(c, irp);
    } else {
        PoStartNextPowerIrp(irp);
        Complete(irp, s);
    }
    Leave(c);
    return s;
}

NTSTATUS DispatchSystemControl(PDEVICE_OBJECT d, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(Ctx(d)->lower, irp);
}

// ---- open, close, cleanup
NTSTATUS DispatchCreate(PDEVICE_OBJECT d, PIRP irp) {
    ChannelContext* c = Ctx(d);
    NTSTATUS s = Enter(c);
    if (NT_SUCCESS(s)) {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        bool busy = c->openCount > 0;
        if (!busy) c->openCount = 1;
        IoReleaseCancelSpinLock(irql);
        if (busy) {
            s = STATUS_ACCESS_DENIED;
        } else {
            ResetController(c);
            if (!c->channelInterrupt) c->regs.Write8(BRD_EVENT_ROUTE, 1);
            s = OpenChannel(c);
            if (!NT_SUCCESS(s)) {
                IoAcquireCancelSpinLock(&irql);
                c->openCount = 0;
                IoReleaseCancelSpinLock(irql);
            }
        }
    }
    Complete(irp, s);
    Leave(c);
    return s;
}

NTSTATUS DispatchClose(PDEVICE_OBJECT d, PIRP irp) {
    ChannelContext* c = Ctx(d);
    NTSTATUS s = Enter(c);
    if (NT_SUCCESS(s)) {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        bool open = c->openCount > 0;
        c->openCount = 0;
        IoReleaseCancelSpinLock(irql);
        if (!open)
            s = STATUS_NOT_LOCKED;
        else
            CloseChannel(c);
    }
    Complete(irp, s);
    Leave(c);
    return s;
}

NTSTATUS DispatchCleanup(PDEVICE_OBJECT d, PIRP irp) {
    CompletePendingWait(Ctx(d), STATUS_SUCCESS);
    return Complete(irp, STATUS_SUCCESS);
}

// ---- read, write
NTSTATUS Write(ChannelContext* c, PIRP irp) {
    ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Write.Length;
    if (length < sizeof(CanMessage)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
    if (!c->controllerOpen || Stopped(c) || BusOff(c)) return Complete(irp, STATUS_ACCESS_VIOLATION);
    if (CyclicOn(c)) return Complete(irp, STATUS_DEVICE_PROTOCOL_ERROR);
    ULONG n = length / sizeof(CanMessage);
    if (!QueueMessages(c, static_cast<const CanMessage*>(irp->AssociatedIrp.SystemBuffer), n))
        return Complete(irp, STATUS_DISK_FULL);
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS Read(ChannelContext* c, PIRP irp) {
    ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    if (length < sizeof(CanMessage)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
    ULONG n = ReadMessages(c, static_cast<CanMessage*>(irp->AssociatedIrp.SystemBuffer), length / sizeof(CanMessage));
    if (n == 0) return Complete(irp, STATUS_NO_DATA_DETECTED);
    return Complete(irp, STATUS_SUCCESS, n * sizeof(CanMessage));
}

template <NTSTATUS (*Fn)(ChannelContext*, PIRP)>
NTSTATUS Counted(PDEVICE_OBJECT d, PIRP irp) {
    ChannelContext* c = Ctx(d);
    NTSTATUS s = Enter(c);
    s = NT_SUCCESS(s) ? Fn(c, irp) : Complete(irp, s);
    Leave(c);
    return s;
}

// ---- control codes
int AccessWidth(ULONG code, ULONG byteCode) { return code == byteCode ? 1 : code == byteCode + 4 ? 2 : 4; }

// The diagnostic register access reaches only the channel's own window (and port range).
bool InChannelMemory(ChannelContext* c, ULONG address, int width) {
    for (ULONG i = 0; i < c->memoryRanges; ++i) {
        const auto& r = c->memory[i];
        if (address >= r.start && ULONGLONG(address) + width <= r.start + r.length) return true;
    }
    return false;
}
bool InChannelPorts(ChannelContext* c, ULONG port, int width) {
    return c->portLength && port >= c->portStart && ULONGLONG(port) + width <= ULONGLONG(c->portStart) + c->portLength;
}

NTSTATUS MemoryAccess(ChannelContext* c, ULONG address, int width, bool write, ULONG* value) {
    if (!InChannelMemory(c, address, width)) return STATUS_ACCESS_DENIED;
    PHYSICAL_ADDRESS pa;
    pa.QuadPart = address;
    auto* p = static_cast<volatile UCHAR*>(MmMapIoSpace(pa, width, MmNonCached));
    if (!p) return STATUS_INVALID_PARAMETER;
    if (width == 1) {
        if (write)
            WRITE_REGISTER_UCHAR(p, static_cast<UCHAR>(*value));
        else
            *value = READ_REGISTER_UCHAR(p);
    } else if (width == 2) {
        auto* w = reinterpret_cast<volatile USHORT*>(p);
        if (write)
            WRITE_REGISTER_USHORT(w, static_cast<USHORT>(*value));
        else
            *value = READ_REGISTER_USHORT(w);
    } else {
        auto* w = reinterpret_cast<volatile ULONG*>(p);
        if (write)
            WRITE_REGISTER_ULONG(w, *value);
        else
            *value = READ_REGISTER_ULONG(w);
    }
    MmUnmapIoSpace(const_cast<UCHAR*>(p), width);
    return STATUS_SUCCESS;
}

NTSTATUS PortAccess(ChannelContext* c, ULONG port, int width, bool write, ULONG* value) {
    if (!InChannelPorts(c, port, width)) return STATUS_ACCESS_DENIED;
    auto address = static_cast<ULONG_PTR>(port);
    if (width == 1) {
        if (write)
            WRITE_PORT_UCHAR(reinterpret_cast<PUCHAR>(address), static_cast<UCHAR>(*value));
        else
            *value = READ_PORT_UCHAR(reinterpret_cast<PUCHAR>(address));
    } else if (width == 2) {
        if (write)
            WRITE_PORT_USHORT(reinterpret_cast<PUSHORT>(address), static_cast<USHORT>(*value));
        else
            *value = READ_PORT_USHORT(reinterpret_cast<PUSHORT>(address));
    } else {
        if (write)
            WRITE_PORT_ULONG(reinterpret_cast<PULONG>(address), *value);
        else
            *value = READ_PORT_ULONG(reinterpret_cast<PULONG>(address));
    }
    return STATUS_SUCCESS;
}

NTSTATUS Control(ChannelContext* c, PIRP irp) {
    auto& p = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl;
    const ULONG in = p.InputBufferLength, out = p.OutputBufferLength, code = p.IoControlCode;
    auto* buf = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
    auto word = [&](int i) {
        ULONG v;
        std::memcpy(&v, buf + 4 * i, 4);
        return v;
    };
    auto put = [&](int i, ULONG v) { std::memcpy(buf + 4 * i, &v, 4); };
    if (!c->controllerOpen && code != IOCTL_CAN_GET_PCI_INFO && code != IOCTL_CAN_GET_DEVICE_INFO &&
        code != IOCTL_CAN_GET_BOARD_INFO)
        return Complete(irp, STATUS_NOT_LOCKED);
    switch (code) {
    case IOCTL_CAN_GET_PCI_INFO:
        if (out < sizeof(CanPciInfo)) return Complete(irp, STATUS_SUCCESS, 0);
        std::memcpy(buf, &c->pci, sizeof c->pci);
        return Complete(irp, STATUS_SUCCESS, sizeof c->pci);
    case IOCTL_CAN_GET_DEVICE_INFO:
        if (out < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        put(0, 0);
        return Complete(irp, STATUS_SUCCESS, 4);
    case IOCTL_CAN_PORT_READ_BYTE:
    case IOCTL_CAN_PORT_READ_WORD:
    case IOCTL_CAN_PORT_READ_DWORD:
    case IOCTL_CAN_MEMORY_READ_BYTE:
    case IOCTL_CAN_MEMORY_READ_WORD:
    case IOCTL_CAN_MEMORY_READ_DWORD: {
        if (in < 4 || out < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        bool port = code <= IOCTL_CAN_PORT_READ_DWORD;
        int width = AccessWidth(code, port ? IOCTL_CAN_PORT_READ_BYTE : IOCTL_CAN_MEMORY_READ_BYTE);
        ULONG value = 0;
        NTSTATUS s = port ? PortAccess(c, word(0), width, false, &value) : MemoryAccess(c, word(0), width, false, &value);
        if (NT_SUCCESS(s)) put(0, value);
        return Complete(irp, s, 4);
    }
    case IOCTL_CAN_PORT_WRITE_BYTE:
    case IOCTL_CAN_PORT_WRITE_WORD:
    case IOCTL_CAN_PORT_WRITE_DWORD:
    case IOCTL_CAN_MEMORY_WRITE_BYTE:
    case IOCTL_CAN_MEMORY_WRITE_WORD:
    case IOCTL_CAN_MEMORY_WRITE_DWORD: {
        if (in < 8) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        bool port = code <= IOCTL_CAN_PORT_WRITE_DWORD;
        int width = AccessWidth(code, port ? IOCTL_CAN_PORT_WRITE_BYTE : IOCTL_CAN_MEMORY_WRITE_BYTE);
        ULONG value = word(1);
        return Complete(irp, port ? PortAccess(c, word(0), width, true, &value)
                                  : MemoryAccess(c, word(0), width, true, &value));
    }
    case IOCTL_CAN_PCI_CONFIG_READ:
    case IOCTL_CAN_PCI_CONFIG_WRITE: {
        bool write = code == IOCTL_CAN_PCI_CONFIG_WRITE;
        if (in < (write ? 12u : 8u) || (!write && out < 4)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        ULONG offset = word(0), widthCode = word(write ? 2 : 1);
        if (widthCode > 2) return Complete(irp, STATUS_INVALID_PARAMETER);
        ULONG width = 1u << widthCode;
        if (offset >= kConfigSize || offset + width > kConfigSize) return Complete(irp, STATUS_ACCESS_DENIED);
        ULONG value = write ? word(1) : 0;
        NTSTATUS s = ConfigAccess(c, write, &value, offset, width);
        if (NT_SUCCESS(s) && !write) put(0, value);
        return Complete(irp, s, write ? 0 : 4);
    }
    case IOCTL_CAN_WAIT_EVENT:
        if (out < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        return WaitForEvent(c, irp);
    case IOCTL_CAN_RELEASE_WAIT:
        ReleaseWait(c);
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_CAN_SET_CONFIG: {
        if (in < sizeof(CanConfig)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        if (!Stopped(c)) return Complete(irp, STATUS_ACCESS_VIOLATION);
        CanConfig cfg;
        std::memcpy(&cfg, buf, sizeof cfg);
        NTSTATUS s = ValidateConfig(c, cfg);
        if (NT_SUCCESS(s)) s = ApplyConfig(c, cfg);
        return Complete(irp, s);
    }
    case IOCTL_CAN_GET_CONFIG:
        if (out < sizeof(CanConfig)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        std::memcpy(buf, &c->config, sizeof c->config);
        return Complete(irp, STATUS_SUCCESS, sizeof c->config);
    case IOCTL_CAN_ACTIVATE:
        if (!Stopped(c)) return Complete(irp, STATUS_ACCESS_VIOLATION);
        Activate(c);
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_CAN_DEACTIVATE:
        if (Stopped(c) || BusOff(c)) return Complete(irp, STATUS_ACCESS_VIOLATION);
        Deactivate(c);
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_CAN_GET_STATUS: {
        if (out < sizeof(CanStatus)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        CanStatus st{};
        GetStatus(c, &st);
        std::memcpy(buf, &st, sizeof st);
        return Complete(irp, STATUS_SUCCESS, sizeof st);
    }
    case IOCTL_CAN_SET_EVENT_MASK:
        if (in < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        SetEventMask(c, word(0));
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_CAN_GET_EVENT_MASK:
        if (out < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        put(0, GetEventMask(c));
        return Complete(irp, STATUS_SUCCESS, 4);
    case IOCTL_CAN_SET_FILTER:
        if (in < 8) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        if (!Stopped(c)) return Complete(irp, STATUS_ACCESS_VIOLATION);
        SetFilter(c, word(0), word(1));
        return Complete(irp, STATUS_SUCCESS);
    case IOCTL_CAN_GET_FILTER:
        if (out < 8) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        put(0, c->acceptanceCode);
        put(1, c->acceptanceMask);
        return Complete(irp, STATUS_SUCCESS, 8);
    case IOCTL_CAN_CLEAR:
        if (in < 4) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        return Complete(irp, Clear(c, word(0)));
    case IOCTL_CAN_GET_ERRORS: {
        if (out < sizeof(CanErrorRecord)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        ULONG n = ReadErrors(c, reinterpret_cast<CanErrorRecord*>(buf), out / sizeof(CanErrorRecord));
        if (n == 0) return Complete(irp, STATUS_NO_DATA_DETECTED);
        return Complete(irp, STATUS_SUCCESS, n * sizeof(CanErrorRecord));
    }
    case IOCTL_CAN_SET_FIFO_TRIGGER:
        if (in < 12) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        return Complete(irp, SetFifoTrigger(c, word(0), word(1), word(2)));
    case IOCTL_CAN_GET_FIFO_TRIGGER: {
        if (in < 4 || out < 8) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        ULONG mode = 0, level = 0;
        NTSTATUS s = GetFifoTrigger(c, word(0), &mode, &level);
        if (NT_SUCCESS(s)) {
            put(0, mode);
            put(1, level);
        }
        return Complete(irp, s, 8);
    }
    case IOCTL_CAN_CYCLIC_SEND: {
        if (in < sizeof(CanMessage)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        CanMessage m;
        std::memcpy(&m, buf, sizeof m);
        return Complete(irp, CyclicSend(c, m));
    }
    case IOCTL_CAN_STOP_CYCLIC_SEND:
        return Complete(irp, StopCyclicSend(c));
    case IOCTL_CAN_GET_COMPLETIONS: {
        if (out < sizeof(CanMessage)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        ULONG n = ReadCompletions(c, reinterpret_cast<CanMessage*>(buf), out / sizeof(CanMessage));
        if (n == 0) return Complete(irp, STATUS_NO_DATA_DETECTED);
        return Complete(irp, STATUS_SUCCESS, n * sizeof(CanMessage));
    }
    case IOCTL_CAN_GET_BOARD_INFO: {
        if (out < sizeof(CanBoardInfo)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        CanBoardInfo info{};
        std::memcpy(&info, buf, 4);  // word 0 is the caller's
        info.vendorId = c->pci.vendorId;
        info.deviceId = c->pci.deviceId;
        info.subsystemId = c->pci.subsystemId;
        info.revisionId = c->pci.revisionId;
        info.boardSwitch = c->pci.boardSwitch;
        info.modelNumber = c->modelNumber;
        info.channelNumber = c->channelIndex + 1;
        info.channelInterrupt = c->channelInterrupt;
        std::memcpy(buf, &info, sizeof info);
        return Complete(irp, STATUS_SUCCESS, sizeof info);
    }
    default:
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

// ---- add device, unload
NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    ULONG slot = kSlots;
    {
        std::lock_guard lk(g_slotLock);
        for (ULONG s = 0; s < kSlots; ++s)
            if (!g_slotInUse[s]) {
                g_slotInUse[s] = 1;
                slot = s;
                break;
            }
    }
    if (slot == kSlots) return STATUS_INSUFFICIENT_RESOURCES;
    WCHAR name[32];
    std::swprintf(name, 32, L"\\Device\\DiZed%lu", static_cast<unsigned long>(slot));
    UNICODE_STRING us;
    RtlInitUnicodeString(&us, name);
    PDEVICE_OBJECT d;
    NTSTATUS s = IoCreateDevice(driver, sizeof(ChannelContext), &us, 0x22, 0, FALSE, &d);
    if (!NT_SUCCESS(s)) {
        std::lock_guard lk(g_slotLock);
        g_slotInUse[slot] = 0;
        return s;
    }
    auto* c = new (d->DeviceExtension) ChannelContext();
    c->self = d;
    c->pdo = pdo;
    c->slot = slot;
    std::wcscpy(c->deviceName, name);
    UNICODE_STRING target;
    RtlInitUnicodeString(&target, c->deviceName);
    for (int m = 1; m <= kMaxLinks; ++m) {
        std::swprintf(c->linkName, 32, L"\\DosDevices\\DIZED%d", m);
        RtlInitUnicodeString(&c->link, c->linkName);
        NTSTATUS ls = IoCreateSymbolicLink(&c->link, &target);
        if (ls == STATUS_OBJECT_NAME_COLLISION) continue;
        c->linkCreated = NT_SUCCESS(ls);
        break;
    }
    IoInitializeDpcRequest(d, EventDpc);
    KeInitializeSpinLock(&c->resizeLock);
    KeInitializeSpinLock(&c->spare);
    InitializeListHead(&c->queuedEvents);
    KeInitializeEvent(&c->removeEvent, NotificationEvent, FALSE);
    POWER_STATE ps;
    ps.DeviceState = PowerDeviceD3;
    c->powerState = PowerDeviceD3;
    PoSetPowerState(d, DevicePowerState, ps);
    c->lower = IoAttachDeviceToDeviceStack(d, pdo);
    d->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    d->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

void Unload(PDRIVER_OBJECT driver) {
    // Devices still present (normally all were removed first) are released as on remove.
    while (PDEVICE_OBJECT d = driver->DeviceObject) {
        ChannelContext* c = Ctx(d);
        Disconnect(c);
        StopNotifications(c);
        ReleaseQueues(c);
        Unmap(c);
        if (c->linkCreated) IoDeleteSymbolicLink(&c->link);
        if (c->interfaceName.Buffer) {
            IoSetDeviceInterfaceState(&c->interfaceName, FALSE);
            RtlFreeUnicodeString(&c->interfaceName);
        }
        if (c->lower) IoDetachDevice(c->lower);
        IoDeleteDevice(d);
    }
}

}  // namespace

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    {
        std::lock_guard lk(g_slotLock);
        std::memset(g_slotInUse, 0, sizeof g_slotInUse);
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_READ] = Counted<Read>;
    driver->MajorFunction[IRP_MJ_WRITE] = Counted<Write>;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = Counted<Control>;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}

void RegisterDriver(kernel::Machine& machine) {
    machine.RegisterDriver(L"RE7316", DriverEntry, {L"PCI\\VEN_1B3E&DEV_1C94", L"PCI\\VEN_1B3E&DEV_1C95",
                                                    L"PCI\\VEN_1B3E&DEV_1C96", L"PCI\\VEN_1B3E&DEV_1C97"});
}

}  // namespace re7316
