// Puts the simulated hardware of a hw::Machine into the kernel model: every PCI CAN channel
// becomes a physical device with its configuration space, register window and interrupt
// line, every USB sensor a physical device whose bus driver carries request blocks to its
// port of the USB host; plugging and unplugging in the machine become plug-and-play arrival
// and surprise removal. The function drivers know nothing of this: they see a PCI function
// or a USB device below them.
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
    // The physical device object of a USB sensor (null while unplugged).
    PDEVICE_OBJECT UsbPdo(const std::string& sensor);

private:
    struct Vector;
    struct Board;
    kernel::Machine& kernel_;
    Machine& machine_;
    std::mutex mu_;
    std::map<unsigned, std::unique_ptr<Vector>> vectors_;
    std::map<std::string, std::unique_ptr<Board>> boards_;
    std::map<std::string, PDEVICE_OBJECT> usb_;
};

// The USB bus driver's side of the device on `port` of `host` (hardware ID
// "USB\VID_vvvv&PID_pppp"): IOCTL_INTERNAL_USB_SUBMIT_URB carries a hw::Urb to the port and
// completes when the host did (cancelling the request cancels the block), GET_PORT_STATUS and
// RESET_PORT reach the root hub.
std::shared_ptr<kernel::PhysicalDevice> MakeUsbPhysicalDevice(UsbHost& host, int port, const SensorUsbIdentity& identity);
// The NT status a request block's completion status gives its request.
NTSTATUS UsbdToNtStatus(uint32_t usbd);

// Installs the loader that platform/device runs when a process makes its first device call:
// `register_drivers` registers the drivers with the kernel machine, then the machine of the
// description file (written from the default machine when missing) is built, attached and
// answers machinectl on ControlSocketPath(getpid()). It stops when the kernel machine goes
// away, after the drivers were unloaded (Machine::AtHardwareShutdown).
void InstallKernelMachineLoader(std::function<void(kernel::Machine&)> register_drivers = {});

}  // namespace hw
