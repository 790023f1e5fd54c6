// Every request the driver has no routine of its own for goes to the bus driver unchanged.
#include "DrvLocal.h"

namespace dedodavi {

NTSTATUS DispatchPass(PDEVICE_OBJECT device, PIRP irp) {
    ROZOD_TRACE("DrvPass", "DispatchPass");
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(Context(device)->lowerDevice, irp);
}

}  // namespace dedodavi
