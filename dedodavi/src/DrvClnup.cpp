// Cleanup (the last handle of a file is closed): passed to the bus driver.
#include "DrvLocal.h"

namespace dedodavi {

NTSTATUS DispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    ROZOD_TRACE("DrvClnup", "DispatchCleanup");
    return PassToBus(device, irp);
}

}  // namespace dedodavi
