// libmachine.so: platform/device, the kernel model, the simulated hardware and the drivers,
// linked whole into one shared library so that a process holds one machine.
namespace kernel {
// Version of the machine library's interface, for a future out-of-process machine daemon.
extern const int kMachineInterfaceVersion = 1;
}  // namespace kernel
