// Close: waits for resets to end, then marks the device and its pipes closed.
#include "DrvLocal.h"

namespace dedodavi {

NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    SensorDeviceContext* ctx = Context(device);
    ROZOD_TRACE("DrvClose", "DispatchClose");
    // The file is gone whatever happens; a device that went away still forgets its opener so
    // that the remove path sees it closed.
    if (!Admit(ctx)) {
        ROZOD_TRACE("DrvClose", "DispatchClose");
        ctx->config.opened = 0;
        return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
    }
    WaitPipeReady(ctx);
    NTSTATUS status = STATUS_SUCCESS;
    if (!ctx->config.opened) {
        ROZOD_TRACE("DrvClose", "DispatchClose");
        status = STATUS_INVALID_HANDLE;
    } else {
        ctx->config.opened = 0;
        for (SensorPipe& p : *ctx->config.pipes) p.opened = 0;
    }
    CompleteRequest(irp, status, 0);
    DecrementOutstanding(ctx);
    return status;
}

}  // namespace dedodavi
