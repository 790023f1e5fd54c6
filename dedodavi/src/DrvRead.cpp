// Read by transfer type: vendor request with its time-out (0), bulk IN (1), interrupt IN (2).
#include <cstring>

#include "DrvLocal.h"

namespace dedodavi {
namespace {

NTSTATUS VendorRead(SensorDeviceContext* ctx, PIRP irp, ULONG length) {
    ROZOD_TRACE("DrvVendor", "VendorRead");
    // Data then the request block's room, as one allocation.
    auto* buffer = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPool, length + 80, kPoolTag));
    PVOID va = irp->MdlAddress ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority) : nullptr;
    if (!buffer || !va) {
        if (buffer) ExFreePool(buffer);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    hw::Urb urb;
    urb.function = hw::UrbFunction::kVendorDevice;
    urb.in = true;
    urb.short_ok = true;
    urb.request = 0;
    urb.value = 0;
    urb.index = 0;
    urb.buffer = buffer;
    urb.length = length;
    LARGE_INTEGER timeout;
    timeout.QuadPart = -ctx->timeout;
    NTSTATUS status = SubmitUrbSync(ctx, &urb, &timeout);
    ULONG got = 0;
    if (NT_SUCCESS(status)) {
        got = urb.length < length ? urb.length : length;
        std::memcpy(va, buffer, got);
    }
    ExFreePool(buffer);
    irp->IoStatus.Information = got;
    ROZOD_TRACE("DrvVendor", "VendorRead");
    return status;
}

}  // namespace

NTSTATUS DispatchRead(PDEVICE_OBJECT device, PIRP irp) {
    SensorDeviceContext* ctx = Context(device);
    ROZOD_TRACE("DrvRead", "DispatchRead");
    if (!Admit(ctx)) {
        ROZOD_TRACE("DrvRead", "DispatchRead");
        return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
    }
    ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    if (length == 0 || !irp->MdlAddress) {
        ROZOD_TRACE("DrvRead", "DispatchRead");
        DecrementOutstanding(ctx);
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
    }
    WaitPipeReady(ctx);
    const SensorPipe* pipe = nullptr;
    switch (ctx->config.transferType) {
    case kTransVendor: {
        NTSTATUS status = VendorRead(ctx, irp, length);
        ULONG_PTR got = NT_SUCCESS(status) ? irp->IoStatus.Information : 0;
        CompleteRequest(irp, status, got);
        DecrementOutstanding(ctx);
        return status;
    }
    case kTransBulk: pipe = FindPipe(ctx, hw::USB_ENDPOINT_BULK, true); break;
    case kTransInterrupt: pipe = FindPipe(ctx, hw::USB_ENDPOINT_INTERRUPT, true); break;
    default: break;
    }
    if (!pipe) {
        ROZOD_TRACE("DrvRead", "DispatchRead");
        DecrementOutstanding(ctx);
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
    }
    ROZOD_TRACE("DrvRead", "DispatchRead");
    return StartAsyncTransfer(device, irp, *pipe, true);
}

}  // namespace dedodavi
