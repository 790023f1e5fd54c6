// Plug and play: start with descriptors and selection, stop, query and cancel requests,
// surprise removal and removal, capabilities.
#include <cstring>

#include "DrvLocal.h"

namespace dedodavi {
namespace {

// Passes the request down and waits for the bus driver to finish it.
NTSTATUS PassDownAndWait(SensorDeviceContext* ctx, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(ctx->lowerDevice, irp);
    if (status == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

NTSTATUS GetDescriptor(SensorDeviceContext* ctx, UCHAR type, UCHAR* buffer, ULONG length, ULONG* got) {
    hw::Urb urb;
    urb.function = hw::UrbFunction::kGetDescriptorFromDevice;
    urb.in = true;
    urb.descriptor_type = type;
    urb.buffer = buffer;
    urb.length = length;
    NTSTATUS status = SubmitUrbSync(ctx, &urb);
    *got = urb.length;
    return status;
}

void StopDevice(SensorDeviceContext* ctx) {
    ROZOD_TRACE("DrvPnP", "StopDevice");
    hw::Urb urb;
    urb.function = hw::UrbFunction::kSelectConfiguration;
    urb.configuration = nullptr;  // unconfigure
    SubmitUrbSync(ctx, &urb);
    ctx->config.configured = FALSE;
}

}  // namespace

NTSTATUS SelectInterface(SensorDeviceContext* ctx) {
    ROZOD_TRACE("DrvPnP", "SelectInterface");
    std::vector<UCHAR>& cfg = *ctx->config.configDescriptor;
    hw::Urb urb;
    urb.function = hw::UrbFunction::kSelectConfiguration;
    urb.configuration = cfg.data();
    NTSTATUS status = SubmitUrbSync(ctx, &urb);
    if (!NT_SUCCESS(status)) return status;
    if (urb.interfaces.empty()) return STATUS_UNSUCCESSFUL;
    const hw::UsbInterfaceInfo& first = urb.interfaces.front();
    std::vector<SensorPipe> pipes;
    for (const hw::UsbPipeInfo& p : first.pipes) {
        SensorPipe s{};
        s.maximumPacketSize = p.max_packet;
        s.endpointAddress = p.endpoint_address;
        s.interval = p.interval;
        s.pipeType = p.type;
        s.pipeHandle = p.handle;
        s.maximumTransferSize = ctx->maximumTransferSize;
        s.opened = ctx->config.opened;
        pipes.push_back(s);
    }
    *ctx->config.pipes = std::move(pipes);
    ctx->config.interfaceNumber = first.number;
    ctx->config.alternateSetting = first.alternate;
    ctx->config.configurationHandle = urb.configuration_handle;
    ctx->config.configured = TRUE;
    return STATUS_SUCCESS;
}

NTSTATUS ReadDescriptorsAndSelect(SensorDeviceContext* ctx) {
    ROZOD_TRACE("DrvPnP", "StartDevice");
    ULONG got = 0;
    NTSTATUS status = GetDescriptor(ctx, hw::USB_DESC_DEVICE, ctx->config.deviceDescriptor, 18, &got);
    if (!NT_SUCCESS(status)) return status;
    std::vector<UCHAR> cfg(kFirstConfigRead);
    status = GetDescriptor(ctx, hw::USB_DESC_CONFIGURATION, cfg.data(), kFirstConfigRead, &got);
    if (!NT_SUCCESS(status)) return status;
    if (got < 9) return STATUS_UNSUCCESSFUL;
    ULONG total = ULONG(cfg[2]) | (ULONG(cfg[3]) << 8);
    if (total > kFirstConfigRead) {
        ROZOD_TRACE("DrvPnP", "StartDevice");
        cfg.assign(total, 0);
        status = GetDescriptor(ctx, hw::USB_DESC_CONFIGURATION, cfg.data(), total, &got);
        if (!NT_SUCCESS(status)) return status;
    }
    cfg.resize(total < got ? total : got);
    *ctx->config.configDescriptor = std::move(cfg);
    return SelectInterface(ctx);
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    SensorDeviceContext* ctx = Context(device);
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    ROZOD_TRACE("DrvPnP", "DispatchPnp");
    NTSTATUS status;
    switch (sp->MinorFunction) {
    case IRP_MN_START_DEVICE:
        status = PassDownAndWait(ctx, irp);
        if (NT_SUCCESS(status)) {
            DbgPrint("[RoZod] DrvPnP StartDevice CV00.99R12 Line%d\n", __LINE__);
            status = ReadDescriptorsAndSelect(ctx);
            if (NT_SUCCESS(status)) ctx->started = TRUE;
        }
        return CompleteRequest(irp, status, 0);
    case IRP_MN_QUERY_STOP_DEVICE:
        if (ctx->started) ctx->stopRequested = TRUE;
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassToBus(device, irp);
    case IRP_MN_CANCEL_STOP_DEVICE:
        ctx->stopRequested = FALSE;
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassToBus(device, irp);
    case IRP_MN_STOP_DEVICE:
        StopDevice(ctx);
        ctx->started = FALSE;
        ctx->stopRequested = FALSE;
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassToBus(device, irp);
    case IRP_MN_QUERY_REMOVE_DEVICE:
        if (ctx->started) {
            ctx->removeRequested = TRUE;
            // Wait until no request but this one (and the device's own count) is left.
            KeWaitForSingleObject(&ctx->idleEvent, Executive, KernelMode, FALSE, nullptr);
        }
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassToBus(device, irp);
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        ctx->removeRequested = FALSE;
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassToBus(device, irp);
    case IRP_MN_SURPRISE_REMOVAL:
        ROZOD_TRACE("DrvPnP", "SurpriseRemoval");
        ctx->removed = TRUE;
        ctx->surpriseRemoved = TRUE;
        AbortPipes(ctx);
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassToBus(device, irp);
    case IRP_MN_REMOVE_DEVICE: {
        ROZOD_TRACE("DrvPnP", "RemoveDevice");
        ctx->removed = TRUE;
        AbortPipes(ctx);
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoSkipCurrentIrpStackLocation(irp);
        status = IoCallDriver(ctx->lowerDevice, irp);
        DecrementOutstanding(ctx);  // the device's own count
        KeWaitForSingleObject(&ctx->removeEvent, Executive, KernelMode, FALSE, nullptr);
        IoSetDeviceInterfaceState(&ctx->interfaceName, FALSE);
        RtlFreeUnicodeString(&ctx->interfaceName);
        delete ctx->config.configDescriptor;
        delete ctx->config.pipes;
        ctx->config.configDescriptor = nullptr;
        ctx->config.pipes = nullptr;
        IoDetachDevice(ctx->lowerDevice);
        IoDeleteDevice(device);
        return status;
    }
    case IRP_MN_QUERY_CAPABILITIES:
        status = PassDownAndWait(ctx, irp);
        if (NT_SUCCESS(status) && sp->Parameters.DeviceCapabilities.Capabilities)
            sp->Parameters.DeviceCapabilities.Capabilities->SurpriseRemovalOK = 1;
        return CompleteRequest(irp, status, irp->IoStatus.Information);
    default:
        return PassToBus(device, irp);
    }
}

}  // namespace dedodavi
