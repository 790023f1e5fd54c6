// Read by transfer type: vendor request with its time-out (0), bulk IN (1), interrupt IN (2).
#include "DrvLocal.h"

namespace dedodavi {

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
