// Request counting, admission, synchronous bus requests (waited for, with a time-out if given)
// and the start of the asynchronous transfers of reads and writes.
#include "DrvLocal.h"

namespace dedodavi {

void IncrementOutstanding(SensorDeviceContext* ctx) {
    LONG n = __atomic_add_fetch(&ctx->outstanding, 1, __ATOMIC_SEQ_CST);
    if (n == 2) KeClearEvent(&ctx->idleEvent);
}

void DecrementOutstanding(SensorDeviceContext* ctx) {
    LONG n = __atomic_sub_fetch(&ctx->outstanding, 1, __ATOMIC_SEQ_CST);
    if (n == 1) KeSetEvent(&ctx->idleEvent, IO_NO_INCREMENT, FALSE);
    if (n == 0) KeSetEvent(&ctx->removeEvent, IO_NO_INCREMENT, FALSE);
}

bool Admit(SensorDeviceContext* ctx) {
    IncrementOutstanding(ctx);
    bool ok = ctx->started && !ctx->removed && !ctx->removeRequested && !ctx->stopRequested &&
              __atomic_load_n(&ctx->outstanding, __ATOMIC_SEQ_CST) < 3;
    if (!ok) DecrementOutstanding(ctx);
    return ok;
}

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

void WaitPipeReady(SensorDeviceContext* ctx) {
    KeWaitForSingleObject(&ctx->pipeReadyEvent, Executive, KernelMode, FALSE, nullptr);
}

namespace {

// One internal request of our own, waited for; on time-out it is cancelled and still waited
// for, so the request block is never left with the bus driver.
NTSTATUS InternalSync(SensorDeviceContext* ctx, ULONG code, PVOID argument, PLARGE_INTEGER timeout) {
    PIRP irp = IoAllocateIrp(ctx->lowerDevice->StackSize, FALSE);
    if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.Others.Argument1 = argument;
    next->Parameters.DeviceIoControl.IoControlCode = code;
    IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(ctx->lowerDevice, irp);
    if (status == STATUS_PENDING) {
        if (KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, timeout) == STATUS_TIMEOUT) {
            ROZOD_TRACE("DrvInside", "CallUSBD");
            IoCancelIrp(irp);
            KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        }
    }
    status = irp->IoStatus.Status;
    IoFreeIrp(irp);
    return status;
}

}  // namespace

NTSTATUS SubmitUrbSync(SensorDeviceContext* ctx, hw::Urb* urb, PLARGE_INTEGER timeout) {
    return InternalSync(ctx, IOCTL_INTERNAL_USB_SUBMIT_URB, urb, timeout);
}

NTSTATUS BusIoctlSync(SensorDeviceContext* ctx, ULONG code, PVOID argument) {
    return InternalSync(ctx, code, argument, nullptr);
}

const SensorPipe* FindPipe(SensorDeviceContext* ctx, UCHAR type, bool in, ULONG* number) {
    auto& pipes = *ctx->config.pipes;
    for (size_t i = 0; i < pipes.size(); ++i) {
        if (pipes[i].pipeType == type && ((pipes[i].endpointAddress & 0x80) != 0) == in) {
            if (number) *number = ULONG(i + 1);
            return &pipes[i];
        }
    }
    return nullptr;
}

// The request was admitted (counted); the completion routine lowers the count.
NTSTATUS StartAsyncTransfer(PDEVICE_OBJECT device, PIRP irp, const SensorPipe& pipe, bool in) {
    SensorDeviceContext* ctx = Context(device);
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    ULONG length = in ? sp->Parameters.Read.Length : sp->Parameters.Write.Length;
    auto* ac = static_cast<AsyncContext*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(AsyncContext), kPoolTag));
    PVOID va = irp->MdlAddress ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority) : nullptr;
    if (!ac || !va) {
        if (ac) ExFreePool(ac);
        DecrementOutstanding(ctx);
        return CompleteRequest(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    ac->ctx = ctx;
    ac->urb = new hw::Urb();
    ac->urb->function = hw::UrbFunction::kBulkOrInterruptTransfer;
    ac->urb->pipe = pipe.pipeHandle;
    ac->urb->in = in;
    ac->urb->short_ok = true;
    ac->urb->buffer = static_cast<uint8_t*>(va);
    ac->urb->length = length;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.Others.Argument1 = ac->urb;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    IoSetCompletionRoutine(irp, AsyncDone, ac, TRUE, TRUE, TRUE);
    return IoCallDriver(ctx->lowerDevice, irp);
}

void AbortPipes(SensorDeviceContext* ctx) {
    for (const SensorPipe& p : *ctx->config.pipes) {
        hw::Urb urb;
        urb.function = hw::UrbFunction::kAbortPipe;
        urb.pipe = p.pipeHandle;
        SubmitUrbSync(ctx, &urb);
    }
}

}  // namespace dedodavi
