// Power: a query while the device is open is refused; a system set-power request first sends
// the device request its capabilities map the system state to; device states are recorded.
#include "DrvLocal.h"

namespace dedodavi {
namespace {

void DevicePowerDone(PDEVICE_OBJECT, UCHAR, POWER_STATE, PVOID context, PIO_STATUS_BLOCK) {
    ROZOD_TRACE("DrvPower", "DevicePowerDone");
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
}

// The device state a system state maps to, by the capabilities the bus reported.
DEVICE_POWER_STATE MapSystemState(SensorDeviceContext* ctx, SYSTEM_POWER_STATE sys) {
    DEVICE_POWER_STATE d = sys < PowerSystemMaximum ? ctx->capabilities.DeviceState[sys] : PowerDeviceD3;
    if (d == PowerDeviceUnspecified) d = sys == PowerSystemWorking ? PowerDeviceD0 : PowerDeviceD3;
    return d;
}

}  // namespace

NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    SensorDeviceContext* ctx = Context(device);
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    ROZOD_TRACE("DrvPower", "DispatchPower");
    if (sp->MinorFunction == IRP_MN_QUERY_POWER && ctx->config.opened) {
        PoStartNextPowerIrp(irp);
        return CompleteRequest(irp, STATUS_NOT_SUPPORTED, 0);
    }
    if (sp->MinorFunction == IRP_MN_SET_POWER && sp->Parameters.Power.Type == SystemPowerState) {
        // The matching device request goes through this stack first (and is recorded there),
        // then the system request continues down.
        POWER_STATE state;
        state.DeviceState = MapSystemState(ctx, sp->Parameters.Power.State.SystemState);
        if (state.DeviceState != ctx->devicePowerState) {
            KEVENT done;
            KeInitializeEvent(&done, NotificationEvent, FALSE);
            if (NT_SUCCESS(PoRequestPowerIrp(ctx->physicalDevice, IRP_MN_SET_POWER, state, DevicePowerDone, &done, nullptr)))
                KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        }
    }
    if (sp->MinorFunction == IRP_MN_SET_POWER && sp->Parameters.Power.Type == DevicePowerState) {
        ctx->devicePowerState = sp->Parameters.Power.State.DeviceState;
        PoSetPowerState(device, DevicePowerState, sp->Parameters.Power.State);
    }
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(ctx->lowerDevice, irp);
}

}  // namespace dedodavi
