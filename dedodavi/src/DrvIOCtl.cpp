// The IOCTL_USBCL_ housekeeping requests. Input and output share the system buffer.
#include <cstring>

#include "DrvLocal.h"

namespace dedodavi {
namespace {

struct Call {
    SensorDeviceContext* ctx;
    UCHAR* buffer;
    ULONG in, out;
};

NTSTATUS Standard(SensorDeviceContext* ctx, hw::UrbFunction function, USHORT value, USHORT index,
                  UCHAR* data = nullptr, ULONG length = 0, ULONG* got = nullptr) {
    hw::Urb urb;
    urb.function = function;
    urb.value = value;
    urb.index = index;
    urb.in = data != nullptr;
    urb.buffer = data;
    urb.length = length;
    NTSTATUS status = SubmitUrbSync(ctx, &urb);
    if (got) *got = urb.length;
    return status;
}

USHORT Word(const UCHAR* p) { return USHORT(p[0] | (p[1] << 8)); }
ULONG Dword(const UCHAR* p) { return ULONG(p[0]) | (ULONG(p[1]) << 8) | (ULONG(p[2]) << 16) | (ULONG(p[3]) << 24); }
void PutDword(UCHAR* p, ULONG v) { std::memcpy(p, &v, 4); }

// Resets run with the pipe-ready event cleared so reads, writes and closes wait for them.
void BeginReset(SensorDeviceContext* ctx) {
    KIRQL irql;
    KeAcquireSpinLock(&ctx->lock, &irql);
    KeClearEvent(&ctx->pipeReadyEvent);
    KeReleaseSpinLock(&ctx->lock, irql);
}
void EndReset(SensorDeviceContext* ctx) {
    KIRQL irql;
    KeAcquireSpinLock(&ctx->lock, &irql);
    KeSetEvent(&ctx->pipeReadyEvent, IO_NO_INCREMENT, FALSE);
    KeReleaseSpinLock(&ctx->lock, irql);
}

// Status, 16 bits, from the device, an interface or an endpoint.
NTSTATUS GetStatus(Call& c, hw::UrbFunction function, USHORT index, ULONG_PTR* info) {
    if (c.out < 2) return STATUS_INVALID_BUFFER_SIZE;
    UCHAR data[2] = {0, 0};
    ULONG got = 0;
    NTSTATUS status = Standard(c.ctx, function, 0, index, data, 2, &got);
    if (!NT_SUCCESS(status)) return status;
    std::memcpy(c.buffer, data, 2);
    *info = 2;
    return STATUS_SUCCESS;
}

NTSTATUS Feature(Call& c, hw::UrbFunction function) {
    if (c.in < 4) return STATUS_INVALID_PARAMETER;
    return Standard(c.ctx, function, Word(c.buffer), Word(c.buffer + 2));
}

NTSTATUS Control(Call& c, ULONG code, ULONG_PTR* info) {
    SensorDeviceContext* ctx = c.ctx;
    switch (code) {
    case IOCTL_USBCL_GET_DEVICE_DESCRIPTOR:
        if (c.out < 18) return STATUS_INVALID_BUFFER_SIZE;
        std::memcpy(c.buffer, ctx->config.deviceDescriptor, 18);
        *info = 18;
        return STATUS_SUCCESS;
    case IOCTL_USBCL_GET_CONFIG_DESCRIPTOR: {
        const auto& cfg = *ctx->config.configDescriptor;
        if (c.out < cfg.size()) return STATUS_INVALID_BUFFER_SIZE;
        std::memcpy(c.buffer, cfg.data(), cfg.size());
        *info = cfg.size();
        return STATUS_SUCCESS;
    }
    case IOCTL_USBCL_RESET_DEVICE: {
        BeginReset(ctx);
        ULONG portStatus = 0;
        NTSTATUS status = BusIoctlSync(ctx, IOCTL_INTERNAL_USB_GET_PORT_STATUS, &portStatus);
        if (NT_SUCCESS(status)) status = BusIoctlSync(ctx, IOCTL_INTERNAL_USB_RESET_PORT, nullptr);
        EndReset(ctx);
        return status;
    }
    case IOCTL_USBCL_RESET_PIPE: {
        if (c.in < 2) return STATUS_INVALID_PARAMETER;
        USHORT number = Word(c.buffer);
        if (number < 1 || number > 2 || number > ctx->config.pipes->size()) return STATUS_INVALID_PARAMETER;
        BeginReset(ctx);
        hw::Urb urb;
        urb.function = hw::UrbFunction::kResetPipe;
        urb.pipe = (*ctx->config.pipes)[number - 1].pipeHandle;
        NTSTATUS status = SubmitUrbSync(ctx, &urb);
        EndReset(ctx);
        return status;
    }
    case IOCTL_USBCL_GET_DEVICE_STATUS: {
        NTSTATUS status = GetStatus(c, hw::UrbFunction::kGetStatusFromDevice, 0, info);
        if (NT_SUCCESS(status)) ctx->lastDeviceStatus = Word(c.buffer);
        return status;
    }
    case IOCTL_USBCL_GET_INTERFACE_STATUS: return GetStatus(c, hw::UrbFunction::kGetStatusFromInterface, 0, info);
    case IOCTL_USBCL_GET_ENDPOINT_STATUS:
        if (c.in < 2) return STATUS_INVALID_PARAMETER;
        return GetStatus(c, hw::UrbFunction::kGetStatusFromEndpoint, Word(c.buffer), info);
    case IOCTL_USBCL_REMOTE_WAKEUP_ON:
        return Standard(ctx, hw::UrbFunction::kSetFeatureToDevice, hw::USB_FEATURE_REMOTE_WAKEUP, 0);
    case IOCTL_USBCL_REMOTE_WAKEUP_OFF:
        return Standard(ctx, hw::UrbFunction::kClearFeatureToDevice, hw::USB_FEATURE_REMOTE_WAKEUP, 0);
    case IOCTL_USBCL_GET_ENDPOINT_NUMBER: {
        if (c.in < 2 || c.out < 2) return STATUS_INVALID_PARAMETER;
        USHORT selector = Word(c.buffer);
        if (selector > 1) return STATUS_INVALID_PARAMETER;
        ULONG number = 0;
        if (!FindPipe(ctx, hw::USB_ENDPOINT_BULK, selector == 1, &number)) return STATUS_INVALID_PARAMETER;
        USHORT n = USHORT(number);
        std::memcpy(c.buffer, &n, 2);
        *info = 2;
        return STATUS_SUCCESS;
    }
    case IOCTL_USBCL_SET_BULK_TIMEOUT:
        if (c.in < 4) return STATUS_INVALID_PARAMETER;
        SetBulkTimeout(ctx, Dword(c.buffer));
        return STATUS_SUCCESS;
    case IOCTL_USBCL_GET_BULK_TIMEOUT:
        if (c.out < 4) return STATUS_INVALID_BUFFER_SIZE;
        PutDword(c.buffer, GetBulkTimeout(ctx));
        *info = 4;
        return STATUS_SUCCESS;
    case IOCTL_USBCL_SET_BULK_START_ADDRESS:
        if (c.in < 4) return STATUS_INVALID_PARAMETER;
        SetBulkStartAddress(ctx, Dword(c.buffer));
        return STATUS_SUCCESS;
    case IOCTL_USBCL_RESET_BULK_START_ADDRESS:
        ResetBulkStartAddress(ctx);
        return STATUS_SUCCESS;
    case IOCTL_USBCL_SET_TRANS_TYPE:
        if (c.in < 4) return STATUS_INVALID_PARAMETER;
        ctx->config.transferType = Dword(c.buffer);
        return STATUS_SUCCESS;
    case IOCTL_USBCL_GET_TRANS_TYPE:
        if (c.out < 4) return STATUS_INVALID_BUFFER_SIZE;
        PutDword(c.buffer, ctx->config.transferType);
        *info = 4;
        return STATUS_SUCCESS;
    case IOCTL_USBCL_GET_DESCRIPTOR: return ReadDescriptorsAndSelect(ctx);
    case IOCTL_USBCL_CLEAR_FEATURE_DEVICE: return Feature(c, hw::UrbFunction::kClearFeatureToDevice);
    case IOCTL_USBCL_CLEAR_FEATURE_INTERFACE: return Feature(c, hw::UrbFunction::kClearFeatureToInterface);
    case IOCTL_USBCL_CLEAR_FEATURE_ENDPOINT: return Feature(c, hw::UrbFunction::kClearFeatureToEndpoint);
    case IOCTL_USBCL_SET_FEATURE_DEVICE: return Feature(c, hw::UrbFunction::kSetFeatureToDevice);
    case IOCTL_USBCL_SET_FEATURE_INTERFACE: return Feature(c, hw::UrbFunction::kSetFeatureToInterface);
    case IOCTL_USBCL_SET_FEATURE_ENDPOINT: return Feature(c, hw::UrbFunction::kSetFeatureToEndpoint);
    case IOCTL_USBCL_GET_CONFIGURATION:
    case IOCTL_USBCL_GET_INTERFACE: {
        if (c.out < 1) return STATUS_INVALID_BUFFER_SIZE;
        UCHAR value = 0;
        ULONG got = 0;
        NTSTATUS status = Standard(ctx,
                                   code == IOCTL_USBCL_GET_CONFIGURATION ? hw::UrbFunction::kGetConfiguration
                                                                         : hw::UrbFunction::kGetInterface,
                                   0, ctx->config.interfaceNumber, &value, 1, &got);
        if (!NT_SUCCESS(status)) return status;
        c.buffer[0] = value;
        *info = 1;
        return STATUS_SUCCESS;
    }
    case IOCTL_USBCL_SELECT_CONFIGURATION: return SelectInterface(ctx);
    case IOCTL_USBCL_SELECT_INTERFACE: {
        hw::Urb urb;
        urb.function = hw::UrbFunction::kSelectInterface;
        urb.configuration_handle = ctx->config.configurationHandle;
        urb.interface_number = 0;
        urb.alternate_setting = 0;
        return SubmitUrbSync(ctx, &urb);
    }
    case IOCTL_USBCL_SET_DESCRIPTOR: {
        hw::Urb urb;
        urb.function = hw::UrbFunction::kSetDescriptorToDevice;
        urb.in = false;
        urb.descriptor_type = hw::USB_DESC_DEVICE;
        urb.buffer = ctx->config.deviceDescriptor;
        urb.length = 18;
        NTSTATUS status = SubmitUrbSync(ctx, &urb);
        if (!NT_SUCCESS(status)) return status;
        hw::Urb cfgUrb;
        cfgUrb.function = hw::UrbFunction::kSetDescriptorToDevice;
        cfgUrb.descriptor_type = hw::USB_DESC_CONFIGURATION;
        cfgUrb.buffer = ctx->config.configDescriptor->data();
        cfgUrb.length = ULONG(ctx->config.configDescriptor->size());
        return SubmitUrbSync(ctx, &cfgUrb);
    }
    default: return STATUS_INVALID_PARAMETER;
    }
}

}  // namespace

NTSTATUS DispatchIoctl(PDEVICE_OBJECT device, PIRP irp) {
    SensorDeviceContext* ctx = Context(device);
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    ULONG code = sp->Parameters.DeviceIoControl.IoControlCode;
    Call c{ctx, static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer), sp->Parameters.DeviceIoControl.InputBufferLength,
           sp->Parameters.DeviceIoControl.OutputBufferLength};
    ROZOD_TRACE("DrvIOCtl", "DispatchIoctl");
    // Answered before admission: the application can learn that its device went away.
    if (code == IOCTL_USBCL_GET_DRIVER_STATUS) {
        if (c.out < 4 || !c.buffer) return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
        PutDword(c.buffer, ctx->surpriseRemoved ? 1 : 0);
        return CompleteRequest(irp, STATUS_SUCCESS, 4);
    }
    if (!Admit(ctx)) {
        ROZOD_TRACE("DrvIOCtl", "DispatchIoctl");
        return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
    }
    ULONG_PTR info = 0;
    NTSTATUS status;
    static UCHAR none[4];
    if (!c.buffer) {
        c.buffer = none;
        c.in = c.out = 0;
    }
    status = Control(c, code, &info);
    ROZOD_TRACE("DrvIOCtl", "DispatchIoctl");
    CompleteRequest(irp, status, NT_SUCCESS(status) ? info : 0);
    DecrementOutstanding(ctx);
    return status;
}

}  // namespace dedodavi
