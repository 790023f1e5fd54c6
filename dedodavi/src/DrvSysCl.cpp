// System control (management instrumentation): passed to the bus driver.
#include "DrvLocal.h"

namespace dedodavi {

NTSTATUS DispatchSystemControl(PDEVICE_OBJECT device, PIRP irp) {
    ROZOD_TRACE("DrvSysCl", "DispatchSystemControl");
    return PassToBus(device, irp);
}

}  // namespace dedodavi
