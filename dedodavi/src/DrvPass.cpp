// Every request the driver has no routine of its own for goes to the bus driver unchanged.
#include "DrvLocal.h"

namespace dedodavi {

NTSTATUS PassToBus(PDEVICE_OBJECT device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(Context(device)->lowerDevice, irp);
}

NTSTATUS DispatchPass(PDEVICE_OBJECT device, PIRP irp) {
    ROZOD_TRACE("DrvPass", "DispatchPass");
    return PassToBus(device, irp);
}

}  // namespace dedodavi
