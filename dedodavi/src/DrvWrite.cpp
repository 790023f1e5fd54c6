// Write: the whole buffer as one bulk transfer on the bulk OUT pipe.
#include "DrvLocal.h"

namespace dedodavi {

NTSTATUS DispatchWrite(PDEVICE_OBJECT device, PIRP irp) {
    SensorDeviceContext* ctx = Context(device);
    ROZOD_TRACE("DrvWrite", "DispatchWrite");
    if (!Admit(ctx)) {
        ROZOD_TRACE("DrvWrite", "DispatchWrite");
        return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
    }
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    if (sp->Parameters.Write.Length == 0 || !irp->MdlAddress) {
        ROZOD_TRACE("DrvWrite", "DispatchWrite");
        DecrementOutstanding(ctx);
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
    }
    WaitPipeReady(ctx);
    ctx->config.transferType = kTransBulk;
    const SensorPipe* pipe = FindPipe(ctx, hw::USB_ENDPOINT_BULK, false);
    if (!pipe) {
        ROZOD_TRACE("DrvWrite", "DispatchWrite");
        DecrementOutstanding(ctx);
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
    }
    ROZOD_TRACE("DrvWrite", "DispatchWrite");
    return StartAsyncTransfer(device, irp, *pipe, false);
}

}  // namespace dedodavi
