// Open: one opener at a time, and only once a configuration is selected.
#include "DrvLocal.h"

namespace dedodavi {

NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    SensorDeviceContext* ctx = Context(device);
    ROZOD_TRACE("DrvCreat", "DispatchCreate");
    if (!Admit(ctx)) {
        ROZOD_TRACE("DrvCreat", "DispatchCreate");
        return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
    }
    NTSTATUS status = STATUS_SUCCESS;
    if (ctx->config.opened || !ctx->config.configured) {
        ROZOD_TRACE("DrvCreat", "DispatchCreate");
        status = STATUS_INVALID_HANDLE;
    } else {
        ctx->config.opened = 1;
        for (SensorPipe& p : *ctx->config.pipes) p.opened = 1;
    }
    CompleteRequest(irp, status, 0);
    DecrementOutstanding(ctx);
    return status;
}

}  // namespace dedodavi
