// Timed vendor transfers (the read of transfer type 0) and the bulk settings the control
// requests keep.
#include <cstring>

#include "DrvLocal.h"

namespace dedodavi {

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

void SetBulkTimeout(SensorDeviceContext* ctx, ULONG milliseconds) {
    ROZOD_TRACE("DrvVendor", "SetBulkTimeout");
    ctx->timeout = LONGLONG(milliseconds) * 10000;  // 100 ns units
}

ULONG GetBulkTimeout(SensorDeviceContext* ctx) {
    ROZOD_TRACE("DrvVendor", "GetBulkTimeout");
    return ULONG(ctx->timeout / 10000);
}

// Kept for the application; no transfer uses it.
void SetBulkStartAddress(SensorDeviceContext* ctx, ULONG address) {
    ROZOD_TRACE("DrvVendor", "SetBulkStartAddress");
    ctx->bulkStartAddress = address;
    ctx->bulkStartAddressSet = TRUE;
}

void ResetBulkStartAddress(SensorDeviceContext* ctx) {
    ROZOD_TRACE("DrvVendor", "ResetBulkStartAddress");
    ctx->bulkStartAddress = 0;
    ctx->bulkStartAddressSet = FALSE;
}

}  // namespace dedodavi
