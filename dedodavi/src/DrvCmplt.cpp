// Completion routines. They run where the bus driver completes (its thread, at dispatch
// level) and only signal, count, copy the length and free.
#include "DrvLocal.h"

namespace dedodavi {

// A request of our own (or one passed down to be waited for) came back: the waiter takes it
// over again.
NTSTATUS SignalDone(PDEVICE_OBJECT, PIRP, PVOID event) {
    ROZOD_TRACE("DrvCmplt", "SignalDone");
    KeSetEvent(static_cast<PKEVENT>(event), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// A bulk or interrupt transfer of a read or write ended: the bytes transferred become the
// request's count, the request block goes, and the request completes with the bus driver's
// status. A transfer that overran the buffer (more data) keeps its count: the buffer is full.
NTSTATUS AsyncDone(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* ac = static_cast<AsyncContext*>(context);
    ROZOD_TRACE("DrvCmplt", "AsyncDone");
    if (irp->PendingReturned) IoMarkIrpPending(irp);
    const NTSTATUS status = irp->IoStatus.Status;
    irp->IoStatus.Information = NT_SUCCESS(status) || status == STATUS_BUFFER_OVERFLOW ? ac->urb->length : 0;
    DecrementOutstanding(ac->ctx);
    delete ac->urb;
    ExFreePool(ac);
    return STATUS_SUCCESS;
}

}  // namespace dedodavi
