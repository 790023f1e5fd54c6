// The kernel services the drivers are written against, with the kernel's own names and record
// layouts (reduced to the fields the drivers use). Everything runs in user mode inside the
// process's one machine (kernel/machine.h): dispatch routines on the caller's thread, service
// routines on the line's interrupt thread, deferred procedures on the DPC thread.
#pragma once

#include <cstdarg>

#include "kernel/basetypes.h"

// ---------------------------------------------------------------- IRQL and spin locks
typedef UCHAR KIRQL;
typedef KIRQL* PKIRQL;
#define PASSIVE_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2
// Device interrupt levels start here; the model uses one level for every line.
#define DIRQL_BASE 12

// A spin lock is one pointer-sized word (0 = free), usable in zero-filled memory after
// KeInitializeSpinLock.
typedef ULONG_PTR KSPIN_LOCK;
typedef KSPIN_LOCK* PKSPIN_LOCK;

void KeInitializeSpinLock(PKSPIN_LOCK lock);
void KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL oldIrql);
void KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL newIrql);
void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK lock);
void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK lock);
KIRQL KeGetCurrentIrql();
void KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql);
void KeLowerIrql(KIRQL newIrql);

// ---------------------------------------------------------------- lists
struct LIST_ENTRY {
    LIST_ENTRY* Flink;
    LIST_ENTRY* Blink;
};
typedef LIST_ENTRY* PLIST_ENTRY;
inline void InitializeListHead(PLIST_ENTRY h) { h->Flink = h->Blink = h; }
inline BOOLEAN IsListEmpty(const LIST_ENTRY* h) { return h->Flink == h; }
inline void InsertTailList(PLIST_ENTRY h, PLIST_ENTRY e) {
    e->Flink = h;
    e->Blink = h->Blink;
    h->Blink->Flink = e;
    h->Blink = e;
}
inline void InsertHeadList(PLIST_ENTRY h, PLIST_ENTRY e) {
    e->Flink = h->Flink;
    e->Blink = h;
    h->Flink->Blink = e;
    h->Flink = e;
}
inline BOOLEAN RemoveEntryList(PLIST_ENTRY e) {
    PLIST_ENTRY f = e->Flink, b = e->Blink;
    b->Flink = f;
    f->Blink = b;
    return f == b;
}
inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY h) {
    PLIST_ENTRY e = h->Flink;
    RemoveEntryList(e);
    return e;
}
#define CONTAINING_RECORD(address, type, field) \
    (reinterpret_cast<type*>(reinterpret_cast<char*>(address) - offsetof(type, field)))

// ---------------------------------------------------------------- strings
struct UNICODE_STRING {
    USHORT Length;         // bytes, without a terminating zero
    USHORT MaximumLength;  // bytes
    PWSTR Buffer;
};
typedef UNICODE_STRING* PUNICODE_STRING;
typedef const UNICODE_STRING* PCUNICODE_STRING;

void RtlInitUnicodeString(PUNICODE_STRING s, PCWSTR text);
void RtlCopyUnicodeString(PUNICODE_STRING dst, PCUNICODE_STRING src);
NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING dst, PCWSTR text);
NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING dst, PCUNICODE_STRING src);
NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING s);
BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN caseInsensitive);
// Frees a string whose buffer the kernel allocated (interface link names).
void RtlFreeUnicodeString(PUNICODE_STRING s);
// Fills a 38-character "{...}" text of a GUID into a string the kernel allocates.
NTSTATUS RtlStringFromGUID(const GUID& guid, PUNICODE_STRING s);

// Debug trace: collected by the machine (Machine::Trace) and echoed to stderr when
// $KERNEL_TRACE is set.
ULONG DbgPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
#define KdPrint(args) DbgPrint args

// ---------------------------------------------------------------- pool
enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1, NonPagedPoolNx = 512 };
PVOID ExAllocatePoolWithTag(POOL_TYPE type, SIZE_T bytes, ULONG tag);
PVOID ExAllocatePool(POOL_TYPE type, SIZE_T bytes);
void ExFreePool(PVOID p);
void ExFreePoolWithTag(PVOID p, ULONG tag);
inline void RtlZeroMemory(void* p, SIZE_T n) { __builtin_memset(p, 0, n); }
inline void RtlCopyMemory(void* d, const void* s, SIZE_T n) { __builtin_memcpy(d, s, n); }
inline void RtlMoveMemory(void* d, const void* s, SIZE_T n) { __builtin_memmove(d, s, n); }
inline void RtlFillMemory(void* d, SIZE_T n, UCHAR v) { __builtin_memset(d, v, n); }

// ---------------------------------------------------------------- dispatcher objects
enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };
enum KWAIT_REASON { Executive = 0, UserRequest = 13 };
enum KPROCESSOR_MODE_VALUES { KernelMode = 0, UserMode = 1 };
typedef CHAR KPROCESSOR_MODE;
#define IO_NO_INCREMENT 0

// Events live in driver memory (zero-filled extensions); KeInitializeEvent makes them usable.
struct KEVENT {
    LONG State;
    ULONG Type;
};
typedef KEVENT* PKEVENT;
void KeInitializeEvent(PKEVENT ev, EVENT_TYPE type, BOOLEAN state);
LONG KeSetEvent(PKEVENT ev, LONG increment, BOOLEAN wait);
void KeClearEvent(PKEVENT ev);
LONG KeResetEvent(PKEVENT ev);
LONG KeReadStateEvent(PKEVENT ev);

struct KDPC;
typedef KDPC* PKDPC;
typedef void KDEFERRED_ROUTINE(PKDPC dpc, PVOID context, PVOID arg1, PVOID arg2);
typedef KDEFERRED_ROUTINE* PKDEFERRED_ROUTINE;
struct KDPC {
    PKDEFERRED_ROUTINE DeferredRoutine;
    PVOID DeferredContext;
    PVOID SystemArgument1;
    PVOID SystemArgument2;
    ULONG_PTR Inserted;  // 1 while queued; touched only by the kernel
};
void KeInitializeDpc(PKDPC dpc, PKDEFERRED_ROUTINE routine, PVOID context);
BOOLEAN KeInsertQueueDpc(PKDPC dpc, PVOID arg1, PVOID arg2);
BOOLEAN KeRemoveQueueDpc(PKDPC dpc);
// Waits until every deferred procedure queued so far has run. Not from the DPC thread.
void KeFlushQueuedDpcs();

struct KTIMER {
    LONG State;  // signalled once expired
    ULONG Type;  // kept apart from the event types so a wait can tell them apart
    ULONG_PTR Inserted;
    LONGLONG DueTime;  // 100 ns units on the model's interrupt-time clock
    LONG Period;       // ms, 0 for a one-shot timer
    PKDPC Dpc;
};
typedef KTIMER* PKTIMER;
void KeInitializeTimer(PKTIMER timer);
// dueTime < 0: relative, in 100 ns units; >= 0: absolute system time (KeQuerySystemTime).
BOOLEAN KeSetTimer(PKTIMER timer, LARGE_INTEGER dueTime, PKDPC dpc);
BOOLEAN KeSetTimerEx(PKTIMER timer, LARGE_INTEGER dueTime, LONG periodMs, PKDPC dpc);
BOOLEAN KeCancelTimer(PKTIMER timer);
BOOLEAN KeReadStateTimer(PKTIMER timer);

// Waits on a KEVENT or KTIMER; timeout in 100 ns units (negative: relative), null: forever.
// Returns STATUS_SUCCESS or STATUS_TIMEOUT.
NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON reason, KPROCESSOR_MODE mode,
                               BOOLEAN alertable, PLARGE_INTEGER timeout);
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE mode, BOOLEAN alertable, PLARGE_INTEGER interval);
void KeStallExecutionProcessor(ULONG microseconds);

// ---------------------------------------------------------------- time
// Ticks since the machine booted; one tick is KeQueryTimeIncrement() 100 ns units.
void KeQueryTickCount(PLARGE_INTEGER ticks);
ULONG KeQueryTimeIncrement();
// 100 ns units since 1601-01-01 (UTC).
void KeQuerySystemTime(PLARGE_INTEGER time);
// 100 ns units since boot, full resolution.
ULONGLONG KeQueryInterruptTime();

// ---------------------------------------------------------------- objects
struct DRIVER_OBJECT;
struct DEVICE_OBJECT;
struct IRP;
struct FILE_OBJECT;
struct MDL;
struct KINTERRUPT;
typedef DRIVER_OBJECT* PDRIVER_OBJECT;
typedef DEVICE_OBJECT* PDEVICE_OBJECT;
typedef IRP* PIRP;
typedef FILE_OBJECT* PFILE_OBJECT;
typedef MDL* PMDL;
typedef KINTERRUPT* PKINTERRUPT;

typedef NTSTATUS DRIVER_DISPATCH(PDEVICE_OBJECT device, PIRP irp);
typedef DRIVER_DISPATCH* PDRIVER_DISPATCH;
typedef NTSTATUS DRIVER_ADD_DEVICE(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo);
typedef DRIVER_ADD_DEVICE* PDRIVER_ADD_DEVICE;
typedef void DRIVER_UNLOAD(PDRIVER_OBJECT driver);
typedef DRIVER_UNLOAD* PDRIVER_UNLOAD;
typedef NTSTATUS DRIVER_INITIALIZE(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
typedef DRIVER_INITIALIZE* PDRIVER_INITIALIZE;
typedef void DRIVER_CANCEL(PDEVICE_OBJECT device, PIRP irp);
typedef DRIVER_CANCEL* PDRIVER_CANCEL;
typedef NTSTATUS IO_COMPLETION_ROUTINE(PDEVICE_OBJECT device, PIRP irp, PVOID context);
typedef IO_COMPLETION_ROUTINE* PIO_COMPLETION_ROUTINE;
typedef void IO_DPC_ROUTINE(PKDPC dpc, PDEVICE_OBJECT device, PIRP irp, PVOID context);
typedef IO_DPC_ROUTINE* PIO_DPC_ROUTINE;

#define IRP_MJ_CREATE 0x00
#define IRP_MJ_CLOSE 0x02
#define IRP_MJ_READ 0x03
#define IRP_MJ_WRITE 0x04
#define IRP_MJ_FLUSH_BUFFERS 0x09
#define IRP_MJ_DEVICE_CONTROL 0x0e
#define IRP_MJ_INTERNAL_DEVICE_CONTROL 0x0f
#define IRP_MJ_SHUTDOWN 0x10
#define IRP_MJ_CLEANUP 0x12
#define IRP_MJ_POWER 0x16
#define IRP_MJ_SYSTEM_CONTROL 0x17
#define IRP_MJ_PNP 0x1b
#define IRP_MJ_MAXIMUM_FUNCTION 0x1b

#define IRP_MN_START_DEVICE 0x00
#define IRP_MN_QUERY_REMOVE_DEVICE 0x01
#define IRP_MN_REMOVE_DEVICE 0x02
#define IRP_MN_CANCEL_REMOVE_DEVICE 0x03
#define IRP_MN_STOP_DEVICE 0x04
#define IRP_MN_QUERY_STOP_DEVICE 0x05
#define IRP_MN_CANCEL_STOP_DEVICE 0x06
#define IRP_MN_QUERY_DEVICE_RELATIONS 0x07
#define IRP_MN_QUERY_INTERFACE 0x08
#define IRP_MN_QUERY_CAPABILITIES 0x09
#define IRP_MN_READ_CONFIG 0x0F
#define IRP_MN_WRITE_CONFIG 0x10
#define IRP_MN_QUERY_ID 0x13
#define IRP_MN_SURPRISE_REMOVAL 0x17

#define IRP_MN_WAIT_WAKE 0x00
#define IRP_MN_POWER_SEQUENCE 0x01
#define IRP_MN_SET_POWER 0x02
#define IRP_MN_QUERY_POWER 0x03

struct DRIVER_EXTENSION {
    PDRIVER_OBJECT DriverObject;
    PDRIVER_ADD_DEVICE AddDevice;
};

struct DRIVER_OBJECT {
    PDEVICE_OBJECT DeviceObject;  // first of the driver's devices, linked by NextDevice
    ULONG Flags;
    DRIVER_EXTENSION* DriverExtension;
    UNICODE_STRING DriverName;
    PDRIVER_UNLOAD DriverUnload;
    PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

#define FILE_DEVICE_UNKNOWN 0x22
#define FILE_DEVICE_BUS_EXTENDER 0x2a
#define FILE_DEVICE_SECURE_OPEN 0x00000100
#define FILE_AUTOGENERATED_DEVICE_NAME 0x00000080

#define DO_BUFFERED_IO 0x00000004
#define DO_EXCLUSIVE 0x00000008
#define DO_DIRECT_IO 0x00000010
#define DO_DEVICE_INITIALIZING 0x00000080
#define DO_POWER_PAGABLE 0x00002000

struct DEVICE_OBJECT {
    PDRIVER_OBJECT DriverObject;
    PDEVICE_OBJECT NextDevice;
    PDEVICE_OBJECT AttachedDevice;  // the device above this one in its stack
    PIRP CurrentIrp;
    ULONG Flags;
    ULONG Characteristics;
    PVOID DeviceExtension;  // zero-filled, the size given to IoCreateDevice
    ULONG DeviceType;
    CHAR StackSize;  // stack locations a request to this device needs
    ULONG AlignmentRequirement;
    KDPC Dpc;  // IoInitializeDpcRequest / IoRequestDpc
};

struct FILE_OBJECT {
    PDEVICE_OBJECT DeviceObject;
    PVOID FsContext;
    PVOID FsContext2;
    UNICODE_STRING FileName;  // the rest of the opened path: "\ref" for an interface path
    ULONG Flags;
};

struct MDL {
    MDL* Next;
    PVOID StartVa;
    ULONG ByteCount;
    PVOID MappedSystemVa;
};
PMDL IoAllocateMdl(PVOID va, ULONG length, BOOLEAN secondary, BOOLEAN chargeQuota, PIRP irp);
void IoFreeMdl(PMDL mdl);
void MmBuildMdlForNonPagedPool(PMDL mdl);
enum MM_PAGE_PRIORITY { LowPagePriority = 0, NormalPagePriority = 16, HighPagePriority = 32 };
PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, MM_PAGE_PRIORITY priority);
inline PVOID MmGetMdlVirtualAddress(PMDL mdl) { return mdl->StartVa; }
inline ULONG MmGetMdlByteCount(PMDL mdl) { return mdl->ByteCount; }

struct IO_STATUS_BLOCK {
    NTSTATUS Status;
    ULONG_PTR Information;
};
typedef IO_STATUS_BLOCK* PIO_STATUS_BLOCK;

// ---------------------------------------------------------------- PnP and power records
enum DEVICE_POWER_STATE { PowerDeviceUnspecified = 0, PowerDeviceD0, PowerDeviceD1, PowerDeviceD2, PowerDeviceD3 };
enum SYSTEM_POWER_STATE {
    PowerSystemUnspecified = 0, PowerSystemWorking, PowerSystemSleeping1, PowerSystemSleeping2,
    PowerSystemSleeping3, PowerSystemHibernate, PowerSystemShutdown, PowerSystemMaximum
};
enum POWER_STATE_TYPE { SystemPowerState = 0, DevicePowerState = 1 };
union POWER_STATE {
    SYSTEM_POWER_STATE SystemState;
    DEVICE_POWER_STATE DeviceState;
};
enum POWER_ACTION { PowerActionNone = 0 };

struct DEVICE_CAPABILITIES {
    USHORT Size;
    USHORT Version;
    ULONG DeviceD1 : 1;
    ULONG DeviceD2 : 1;
    ULONG LockSupported : 1;
    ULONG EjectSupported : 1;
    ULONG Removable : 1;
    ULONG DockDevice : 1;
    ULONG UniqueID : 1;
    ULONG SilentInstall : 1;
    ULONG RawDeviceOK : 1;
    ULONG SurpriseRemovalOK : 1;
    ULONG Address;
    ULONG UINumber;
    DEVICE_POWER_STATE DeviceState[PowerSystemMaximum];
    SYSTEM_POWER_STATE SystemWake;
    DEVICE_POWER_STATE DeviceWake;
};
typedef DEVICE_CAPABILITIES* PDEVICE_CAPABILITIES;

enum CM_RESOURCE_TYPE_VALUES {
    CmResourceTypeNull = 0, CmResourceTypePort = 1, CmResourceTypeInterrupt = 2, CmResourceTypeMemory = 3
};
#define CM_RESOURCE_INTERRUPT_LEVEL_SENSITIVE 0
#define CM_RESOURCE_INTERRUPT_LATCHED 1
#define CmResourceShareShared 3

struct CM_PARTIAL_RESOURCE_DESCRIPTOR {
    UCHAR Type;
    UCHAR ShareDisposition;
    USHORT Flags;
    union {
        struct {
            PHYSICAL_ADDRESS Start;
            ULONG Length;
        } Generic, Port, Memory;
        struct {
            ULONG Level;
            ULONG Vector;
            ULONG_PTR Affinity;
        } Interrupt;
    } u;
};
typedef CM_PARTIAL_RESOURCE_DESCRIPTOR* PCM_PARTIAL_RESOURCE_DESCRIPTOR;
// Up to eight resources per device are enough for the boards of this system.
#define CM_MODEL_MAX_DESCRIPTORS 8
struct CM_PARTIAL_RESOURCE_LIST {
    USHORT Version;
    USHORT Revision;
    ULONG Count;
    CM_PARTIAL_RESOURCE_DESCRIPTOR PartialDescriptors[CM_MODEL_MAX_DESCRIPTORS];
};
struct CM_FULL_RESOURCE_DESCRIPTOR {
    ULONG InterfaceType;
    ULONG BusNumber;
    CM_PARTIAL_RESOURCE_LIST PartialResourceList;
};
struct CM_RESOURCE_LIST {
    ULONG Count;
    CM_FULL_RESOURCE_DESCRIPTOR List[1];
};
typedef CM_RESOURCE_LIST* PCM_RESOURCE_LIST;

#define PCI_WHICHSPACE_CONFIG 0

// Interface returned by IRP_MN_QUERY_INTERFACE for GUID_BUS_INTERFACE_STANDARD.
typedef ULONG GET_SET_DEVICE_DATA(PVOID context, ULONG dataType, PVOID buffer, ULONG offset, ULONG length);
struct INTERFACE {
    USHORT Size;
    USHORT Version;
    PVOID Context;
    void (*InterfaceReference)(PVOID);
    void (*InterfaceDereference)(PVOID);
};
struct BUS_INTERFACE_STANDARD {
    USHORT Size;
    USHORT Version;
    PVOID Context;
    void (*InterfaceReference)(PVOID);
    void (*InterfaceDereference)(PVOID);
    GET_SET_DEVICE_DATA* SetBusData;
    GET_SET_DEVICE_DATA* GetBusData;
};
extern const GUID GUID_BUS_INTERFACE_STANDARD;

// ---------------------------------------------------------------- requests
#define SL_PENDING_RETURNED 0x01
#define SL_INVOKE_ON_CANCEL 0x20
#define SL_INVOKE_ON_SUCCESS 0x40
#define SL_INVOKE_ON_ERROR 0x80

struct IO_STACK_LOCATION {
    UCHAR MajorFunction;
    UCHAR MinorFunction;
    UCHAR Flags;
    UCHAR Control;
    union {
        struct {
            ULONG DesiredAccess;
            ULONG Options;
            USHORT ShareAccess;
        } Create;
        // Fields after the first are pointer-aligned as in the kernel's own layout, so that
        // Others.Argument1..4 overlay them one each (USB request blocks travel in Argument1).
        struct {
            ULONG Length;
            alignas(sizeof(void*)) ULONG Key;
            LARGE_INTEGER ByteOffset;
        } Read;
        struct {
            ULONG Length;
            alignas(sizeof(void*)) ULONG Key;
            LARGE_INTEGER ByteOffset;
        } Write;
        struct {
            ULONG OutputBufferLength;
            alignas(sizeof(void*)) ULONG InputBufferLength;
            alignas(sizeof(void*)) ULONG IoControlCode;
            PVOID Type3InputBuffer;
        } DeviceIoControl;
        struct {
            PDEVICE_CAPABILITIES Capabilities;
        } DeviceCapabilities;
        struct {
            const GUID* InterfaceType;
            USHORT Size;
            USHORT Version;
            INTERFACE* Interface;
            PVOID InterfaceSpecificData;
        } QueryInterface;
        struct {
            PCM_RESOURCE_LIST AllocatedResources;
            PCM_RESOURCE_LIST AllocatedResourcesTranslated;
        } StartDevice;
        struct {
            ULONG WhichSpace;
            PVOID Buffer;
            ULONG Offset;
            ULONG Length;
        } ReadWriteConfig;
        struct {
            ULONG_PTR SystemContext;
            POWER_STATE_TYPE Type;
            POWER_STATE State;
            POWER_ACTION ShutdownType;
        } Power;
        struct {
            PVOID Argument1;
            PVOID Argument2;
            PVOID Argument3;
            PVOID Argument4;
        } Others;
    } Parameters;
    PDEVICE_OBJECT DeviceObject;
    PFILE_OBJECT FileObject;
    PIO_COMPLETION_ROUTINE CompletionRoutine;
    PVOID Context;
};
typedef IO_STACK_LOCATION* PIO_STACK_LOCATION;
static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode) ==
                  offsetof(IO_STACK_LOCATION, Parameters.Others.Argument3),
              "control code overlays Argument3");

struct IRP {
    PMDL MdlAddress;
    ULONG Flags;
    union {
        PVOID SystemBuffer;
    } AssociatedIrp;
    IO_STATUS_BLOCK IoStatus;
    KPROCESSOR_MODE RequestorMode;
    BOOLEAN PendingReturned;
    CHAR StackCount;
    CHAR CurrentLocation;  // 1-based; StackCount + 1 before the first IoCallDriver
    BOOLEAN Cancel;
    KIRQL CancelIrql;
    PDRIVER_CANCEL CancelRoutine;
    PVOID UserBuffer;
    struct {
        struct {
            PVOID DriverContext[4];
            LIST_ENTRY ListEntry;
            PIO_STACK_LOCATION CurrentStackLocation;
        } Overlay;
    } Tail;
    PIO_STATUS_BLOCK UserIosb;
    PKEVENT UserEvent;
    IO_STACK_LOCATION* Stack;  // StackCount entries, index 0 is location 1
    PVOID KernelPrivate;       // the I/O manager's bookkeeping; drivers leave it alone
};

inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) { return irp->Tail.Overlay.CurrentStackLocation; }
inline PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP irp) { return irp->Tail.Overlay.CurrentStackLocation - 1; }
inline void IoSetNextIrpStackLocation(PIRP irp) {
    irp->CurrentLocation--;
    irp->Tail.Overlay.CurrentStackLocation--;
}
inline void IoSkipCurrentIrpStackLocation(PIRP irp) {
    irp->CurrentLocation++;
    irp->Tail.Overlay.CurrentStackLocation++;
}
inline void IoCopyCurrentIrpStackLocationToNext(PIRP irp) {
    PIO_STACK_LOCATION cur = IoGetCurrentIrpStackLocation(irp), next = IoGetNextIrpStackLocation(irp);
    RtlCopyMemory(next, cur, offsetof(IO_STACK_LOCATION, CompletionRoutine));
    next->Control = 0;
}
// Atomic: a completion on another thread may mark the location above at the same time.
inline void IoMarkIrpPending(PIRP irp) {
    __atomic_fetch_or(&IoGetCurrentIrpStackLocation(irp)->Control, UCHAR(SL_PENDING_RETURNED), __ATOMIC_RELAXED);
}
inline void IoSetCompletionRoutine(PIRP irp, PIO_COMPLETION_ROUTINE routine, PVOID context,
                                   BOOLEAN onSuccess, BOOLEAN onError, BOOLEAN onCancel) {
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->CompletionRoutine = routine;
    next->Context = context;
    next->Control = 0;
    if (onSuccess) next->Control |= SL_INVOKE_ON_SUCCESS;
    if (onError) next->Control |= SL_INVOKE_ON_ERROR;
    if (onCancel) next->Control |= SL_INVOKE_ON_CANCEL;
}
// Atomic exchange of the request's cancel routine; returns the previous one.
PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine);

NTSTATUS IoCallDriver(PDEVICE_OBJECT device, PIRP irp);
void IoCompleteRequest(PIRP irp, CHAR priorityBoost);
BOOLEAN IoCancelIrp(PIRP irp);
void IoAcquireCancelSpinLock(PKIRQL irql);
void IoReleaseCancelSpinLock(KIRQL irql);
PIRP IoAllocateIrp(CHAR stackSize, BOOLEAN chargeQuota);
void IoFreeIrp(PIRP irp);
void IoReuseIrp(PIRP irp, NTSTATUS status);
// A synchronous internal or device control request: completion copies the output, fills
// *iosb and sets *event; the I/O manager frees the request.
PIRP IoBuildDeviceIoControlRequest(ULONG code, PDEVICE_OBJECT device, PVOID input, ULONG inputLength,
                                   PVOID output, ULONG outputLength, BOOLEAN internal, PKEVENT event,
                                   PIO_STATUS_BLOCK iosb);

// ---------------------------------------------------------------- devices
NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name, ULONG type,
                        ULONG characteristics, BOOLEAN exclusive, PDEVICE_OBJECT* device);
void IoDeleteDevice(PDEVICE_OBJECT device);
PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target);
void IoDetachDevice(PDEVICE_OBJECT lower);
PDEVICE_OBJECT IoGetAttachedDeviceReference(PDEVICE_OBJECT device);
void ObDereferenceObject(PVOID object);
void IoInitializeDpcRequest(PDEVICE_OBJECT device, PIO_DPC_ROUTINE routine);
inline void IoRequestDpc(PDEVICE_OBJECT device, PIRP irp, PVOID context) { KeInsertQueueDpc(&device->Dpc, irp, context); }

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING deviceName);
NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link);

// The interface's link name is allocated by the kernel (RtlFreeUnicodeString frees it).
NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT pdo, const GUID* classGuid, PUNICODE_STRING referenceString,
                                   PUNICODE_STRING linkName);
NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING linkName, BOOLEAN enable);

enum IO_NOTIFICATION_EVENT_CATEGORY { EventCategoryDeviceInterfaceChange = 2 };
#define PNPNOTIFY_DEVICE_INTERFACE_INCLUDE_EXISTING_INTERFACES 0x00000001
extern const GUID GUID_DEVICE_INTERFACE_ARRIVAL;
extern const GUID GUID_DEVICE_INTERFACE_REMOVAL;
struct DEVICE_INTERFACE_CHANGE_NOTIFICATION {
    USHORT Version;
    USHORT Size;
    GUID Event;
    GUID InterfaceClassGuid;
    PUNICODE_STRING SymbolicLinkName;
};
typedef NTSTATUS DRIVER_NOTIFICATION_CALLBACK_ROUTINE(PVOID notification, PVOID context);
typedef DRIVER_NOTIFICATION_CALLBACK_ROUTINE* PDRIVER_NOTIFICATION_CALLBACK_ROUTINE;
// Callbacks run on the kernel's worker thread, one at a time, in the order of the changes.
NTSTATUS IoRegisterPlugPlayNotification(IO_NOTIFICATION_EVENT_CATEGORY category, ULONG flags, PVOID filter,
                                        PDRIVER_OBJECT driver, PDRIVER_NOTIFICATION_CALLBACK_ROUTINE callback,
                                        PVOID context, PVOID* entry);
// Returns once no callback of the entry runs any more (unless called from that callback).
NTSTATUS IoUnregisterPlugPlayNotification(PVOID entry);

enum DEVICE_REGISTRY_PROPERTY {
    DevicePropertyDeviceDescription = 0, DevicePropertyHardwareID = 1, DevicePropertyCompatibleIDs = 2,
    DevicePropertyClassGuid = 6, DevicePropertyDriverKeyName = 7, DevicePropertyFriendlyName = 9,
    DevicePropertyBusNumber = 14, DevicePropertyAddress = 16
};
NTSTATUS IoGetDeviceProperty(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property, ULONG bufferLength,
                             PVOID buffer, PULONG resultLength);

// Work items run on the kernel's worker thread.
struct IO_WORKITEM;
typedef IO_WORKITEM* PIO_WORKITEM;
typedef void IO_WORKITEM_ROUTINE(PDEVICE_OBJECT device, PVOID context);
typedef IO_WORKITEM_ROUTINE* PIO_WORKITEM_ROUTINE;
enum WORK_QUEUE_TYPE { CriticalWorkQueue = 0, DelayedWorkQueue = 1 };
PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT device);
void IoFreeWorkItem(PIO_WORKITEM item);
void IoQueueWorkItem(PIO_WORKITEM item, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE queue, PVOID context);

// ---------------------------------------------------------------- power
NTSTATUS PoCallDriver(PDEVICE_OBJECT device, PIRP irp);
void PoStartNextPowerIrp(PIRP irp);
POWER_STATE PoSetPowerState(PDEVICE_OBJECT device, POWER_STATE_TYPE type, POWER_STATE state);
typedef void REQUEST_POWER_COMPLETE(PDEVICE_OBJECT device, UCHAR minorFunction, POWER_STATE state, PVOID context,
                                    PIO_STATUS_BLOCK ioStatus);
typedef REQUEST_POWER_COMPLETE* PREQUEST_POWER_COMPLETE;
// Sends a device power request to the top of pdo's stack; the callback runs when it completes.
NTSTATUS PoRequestPowerIrp(PDEVICE_OBJECT pdo, UCHAR minorFunction, POWER_STATE state,
                           PREQUEST_POWER_COMPLETE completion, PVOID context, PIRP* irp);

// ---------------------------------------------------------------- interrupts and registers
enum KINTERRUPT_MODE { LevelSensitive = 0, Latched = 1 };
typedef BOOLEAN KSERVICE_ROUTINE(PKINTERRUPT interrupt, PVOID context);
typedef KSERVICE_ROUTINE* PKSERVICE_ROUTINE;
typedef BOOLEAN KSYNCHRONIZE_ROUTINE(PVOID context);
typedef KSYNCHRONIZE_ROUTINE* PKSYNCHRONIZE_ROUTINE;
typedef ULONG_PTR KAFFINITY;

// vector: the line number (the translated resource's Vector).
NTSTATUS IoConnectInterrupt(PKINTERRUPT* interrupt, PKSERVICE_ROUTINE routine, PVOID context, PKSPIN_LOCK spinLock,
                            ULONG vector, KIRQL irql, KIRQL synchronizeIrql, KINTERRUPT_MODE mode,
                            BOOLEAN shareVector, KAFFINITY affinity, BOOLEAN floatingSave);
void IoDisconnectInterrupt(PKINTERRUPT interrupt);
// Runs routine under the interrupt's lock, excluded from the service routine.
BOOLEAN KeSynchronizeExecution(PKINTERRUPT interrupt, PKSYNCHRONIZE_ROUTINE routine, PVOID context);
KIRQL KeAcquireInterruptSpinLock(PKINTERRUPT interrupt);
void KeReleaseInterruptSpinLock(PKINTERRUPT interrupt, KIRQL oldIrql);

enum MEMORY_CACHING_TYPE { MmNonCached = 0, MmCached = 1 };
// Maps a physical range that lies inside one register window; null when none holds it.
PVOID MmMapIoSpace(PHYSICAL_ADDRESS physical, SIZE_T length, MEMORY_CACHING_TYPE cache);
void MmUnmapIoSpace(PVOID base, SIZE_T length);

UCHAR READ_REGISTER_UCHAR(volatile UCHAR* reg);
USHORT READ_REGISTER_USHORT(volatile USHORT* reg);
ULONG READ_REGISTER_ULONG(volatile ULONG* reg);
void WRITE_REGISTER_UCHAR(volatile UCHAR* reg, UCHAR value);
void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT value);
void WRITE_REGISTER_ULONG(volatile ULONG* reg, ULONG value);
// Port addresses are the I/O-space numbers of the translated port resources.
UCHAR READ_PORT_UCHAR(PUCHAR port);
USHORT READ_PORT_USHORT(PUSHORT port);
ULONG READ_PORT_ULONG(PULONG port);
void WRITE_PORT_UCHAR(PUCHAR port, UCHAR value);
void WRITE_PORT_USHORT(PUSHORT port, USHORT value);
void WRITE_PORT_ULONG(PULONG port, ULONG value);

// ---------------------------------------------------------------- registry
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_OPTION_NON_VOLATILE 0
#define OBJ_CASE_INSENSITIVE 0x40
#define OBJ_KERNEL_HANDLE 0x200
#define PLUGPLAY_REGKEY_DEVICE 1
#define PLUGPLAY_REGKEY_DRIVER 2

struct OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    PUNICODE_STRING ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};
typedef OBJECT_ATTRIBUTES* POBJECT_ATTRIBUTES;
inline void InitializeObjectAttributes(POBJECT_ATTRIBUTES a, PUNICODE_STRING name, ULONG attributes, HANDLE root,
                                       PVOID security) {
    a->Length = sizeof(OBJECT_ATTRIBUTES);
    a->RootDirectory = root;
    a->ObjectName = name;
    a->Attributes = attributes;
    a->SecurityDescriptor = security;
    a->SecurityQualityOfService = nullptr;
}

enum KEY_VALUE_INFORMATION_CLASS { KeyValueBasicInformation = 0, KeyValueFullInformation = 1, KeyValuePartialInformation = 2 };
struct KEY_VALUE_PARTIAL_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataLength;
    UCHAR Data[1];
};
enum KEY_INFORMATION_CLASS { KeyBasicInformation = 0 };
struct KEY_BASIC_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG NameLength;  // bytes
    WCHAR Name[1];
};

// Registry paths are kernel paths ("\Registry\Machine\..."); strings are WCHAR with a zero.
NTSTATUS ZwOpenKey(PHANDLE key, ULONG access, POBJECT_ATTRIBUTES attributes);
NTSTATUS ZwCreateKey(PHANDLE key, ULONG access, POBJECT_ATTRIBUTES attributes, ULONG titleIndex,
                     PUNICODE_STRING keyClass, ULONG options, PULONG disposition);
NTSTATUS ZwQueryValueKey(HANDLE key, PUNICODE_STRING name, KEY_VALUE_INFORMATION_CLASS cls, PVOID info,
                         ULONG length, PULONG resultLength);
NTSTATUS ZwSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG titleIndex, ULONG type, PVOID data, ULONG size);
NTSTATUS ZwDeleteValueKey(HANDLE key, PUNICODE_STRING name);
NTSTATUS ZwEnumerateKey(HANDLE key, ULONG index, KEY_INFORMATION_CLASS cls, PVOID info, ULONG length,
                        PULONG resultLength);
NTSTATUS ZwClose(HANDLE handle);
NTSTATUS IoOpenDeviceRegistryKey(PDEVICE_OBJECT pdo, ULONG which, ULONG access, PHANDLE key);
