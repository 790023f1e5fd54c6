// Puts the simulated hardware of a hw::Machine into the kernel model: every PCI CAN channel
// becomes a physical device with its configuration space, register window and interrupt
// line; plugging and unplugging in the machine become plug-and-play arrival and surprise
// removal. (USB sensors need the kernel's USB request blocks, which this does not yet map.)
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hw/machine.h"
#include "kernel/machine.h"

namespace hw {

class KernelAttachment final : public MachineListener {
public:
    // Maps every board's windows, wires its line, and plugs in what is plugged now.
    KernelAttachment(kernel::Machine& kernel, Machine& machine);
    ~KernelAttachment() override;

    void OnArrival(const MachineDevice& device) override;
    void OnSurpriseRemoval(const MachineDevice& device) override;

    // The physical device objects of a board's channels (null while unplugged).
    std::vector<PDEVICE_OBJECT> ChannelPdos(const std::string& board);

private:
    struct Vector;
    struct Board;
    kernel::Machine& kernel_;
    Machine& machine_;
    std::mutex mu_;
    std::map<unsigned, std::unique_ptr<Vector>> vectors_;
    std::map<std::string, std::unique_ptr<Board>> boards_;
};

// Installs the loader that platform/device runs when a process makes its first device call:
// `register_drivers` registers the drivers with the kernel machine, then the machine of the
// description file (written from the default machine when missing) is built and attached; it
// lives until the process ends.
void InstallKernelMachineLoader(std::function<void(kernel::Machine&)> register_drivers = {});

}  // namespace hw
