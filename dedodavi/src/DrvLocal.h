// What the driver's modules share: the per-device context, the trace line and the routines
// one module offers another.
#pragma once

#include <vector>

#include "dedodavi/dedodavi.h"
#include "kernel/wdm.h"

// Every step leaves one debug line: module, routine, source line.
#define ROZOD_TRACE(module, routine) DbgPrint("[RoZod] %s %s Line%d\n", module, routine, __LINE__)

namespace dedodavi {

inline constexpr ULONG kMaxTransfer = 51200;   // bytes per transfer, every pipe
inline constexpr ULONG kFirstConfigRead = 521; // bytes of the first configuration read
inline constexpr ULONG kPoolTag = 'DzoR';
// Read transfer types.
inline constexpr ULONG kTransVendor = 0, kTransBulk = 1, kTransInterrupt = 2;

struct SensorPipe {
    USHORT maximumPacketSize;
    UCHAR endpointAddress;
    UCHAR interval;
    UCHAR pipeType;
    ULONG pipeHandle;
    ULONG maximumTransferSize;
    ULONG opened;
};

struct SensorConfigInfo {
    UCHAR opened;
    UCHAR deviceDescriptor[18];
    std::vector<UCHAR>* configDescriptor;  // all of it
    std::vector<SensorPipe>* pipes;         // interface information: the selected interface's pipes
    UCHAR interfaceNumber, alternateSetting;
    ULONG configurationHandle;
    BOOLEAN configured;
    ULONG transferType;
};

struct SensorDeviceContext {
    PDEVICE_OBJECT lowerDevice, physicalDevice;
    DEVICE_CAPABILITIES capabilities;
    DEVICE_POWER_STATE devicePowerState;
    PIRP pendingPowerRequest;
    ULONG maximumTransferSize;
    LONG outstanding;
    KEVENT removeEvent, idleEvent, pipeReadyEvent;
    KSPIN_LOCK lock;
    BOOLEAN started, removed, removeRequested, stopRequested, surpriseRemoved;
    ULONG bulkStartAddress;
    BOOLEAN bulkStartAddressSet;
    LONGLONG timeout;  // 100 ns units
    USHORT lastDeviceStatus;
    UNICODE_STRING interfaceName;
    SensorConfigInfo config;
};

inline SensorDeviceContext* Context(PDEVICE_OBJECT device) {
    return static_cast<SensorDeviceContext*>(device->DeviceExtension);
}

// Request counting (the outstanding count starts at 1 for the device itself).
void IncrementOutstanding(SensorDeviceContext* ctx);
void DecrementOutstanding(SensorDeviceContext* ctx);
// Admission of open, close, read, write and control requests: counts the request and tells
// whether it may go on; a refused request is not counted.
bool Admit(SensorDeviceContext* ctx);
NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information);
void WaitPipeReady(SensorDeviceContext* ctx);

// Bus requests.
NTSTATUS SubmitUrbSync(SensorDeviceContext* ctx, hw::Urb* urb, PLARGE_INTEGER timeout = nullptr);
NTSTATUS BusIoctlSync(SensorDeviceContext* ctx, ULONG code, PVOID argument);
// Bulk or interrupt transfer for the request's buffer, completed by the bus driver.
NTSTATUS StartAsyncTransfer(PDEVICE_OBJECT device, PIRP irp, const SensorPipe& pipe, bool in);
const SensorPipe* FindPipe(SensorDeviceContext* ctx, UCHAR type, bool in, ULONG* number = nullptr);
// The request block of an asynchronous transfer and the device it counts against.
struct AsyncContext {
    SensorDeviceContext* ctx;
    hw::Urb* urb;
};
// Completion routines: signal the event in the context; end an asynchronous transfer.
NTSTATUS SignalDone(PDEVICE_OBJECT device, PIRP irp, PVOID event);
NTSTATUS AsyncDone(PDEVICE_OBJECT device, PIRP irp, PVOID context);
// Vendor read (transfer type 0) with the device's time-out; the bytes go to the request's
// buffer and count.
NTSTATUS VendorRead(SensorDeviceContext* ctx, PIRP irp, ULONG length);
// Bulk settings of the control requests: time-out in milliseconds, start address.
void SetBulkTimeout(SensorDeviceContext* ctx, ULONG milliseconds);
ULONG GetBulkTimeout(SensorDeviceContext* ctx);
void SetBulkStartAddress(SensorDeviceContext* ctx, ULONG address);
void ResetBulkStartAddress(SensorDeviceContext* ctx);
// Start: descriptors and selection of the first interface.
NTSTATUS ReadDescriptorsAndSelect(SensorDeviceContext* ctx);
NTSTATUS SelectInterface(SensorDeviceContext* ctx);
void AbortPipes(SensorDeviceContext* ctx);

// The request goes down to the bus driver unchanged (this driver's stack location skipped).
NTSTATUS PassToBus(PDEVICE_OBJECT device, PIRP irp);

DRIVER_ADD_DEVICE AddDevice;
DRIVER_DISPATCH DispatchCreate, DispatchClose, DispatchRead, DispatchWrite, DispatchIoctl, DispatchCleanup,
    DispatchPnp, DispatchPower, DispatchSystemControl, DispatchPass;

}  // namespace dedodavi
