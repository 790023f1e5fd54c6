// libmachine.so: platform/device, the kernel model, the simulated hardware and the drivers,
// linked whole into one shared library so that a process holds one machine.
//
// Loading the library installs the boot loader: the first device call of a process (no
// kernel::Machine running yet) builds the machine of $PLATFORM_MACHINE, else of
// <prefix>/machine/default.ini, with the board driver and the sensor driver registered.
#include "dedodavi/dedodavi.h"
#include "hw/kernel_attachment.h"
#include "re7316/re7316.h"

namespace kernel {
// Version of the machine library's interface, for a future out-of-process machine daemon.
extern const int kMachineInterfaceVersion = 1;
}  // namespace kernel

namespace {

void RegisterDrivers(kernel::Machine& machine) {
    re7316::RegisterDriver(machine);
    dedodavi::Register(machine);
}

[[maybe_unused]] const bool gLoaderInstalled = [] {
    hw::InstallKernelMachineLoader(RegisterDrivers);
    return true;
}();

}  // namespace
