// The bus driver's side of one USB device: request blocks go to the host's port and complete
// on the host's thread; a cancelled request asks the host to cancel its request block.
#include <map>
#include <mutex>

#include "DrvLocal.h"

namespace dedodavi {
namespace {

class UsbPhysicalDevice final : public kernel::PhysicalDevice, public std::enable_shared_from_this<UsbPhysicalDevice> {
public:
    UsbPhysicalDevice(hw::UsbHost& host, int port, uint16_t vid, uint16_t pid) : host_(host), port_(port) {
        wchar_t id[64];
        swprintf(id, 64, L"USB\\VID_%04X&PID_%04X", unsigned(vid), unsigned(pid));
        id_ = id;
    }
    std::wstring HardwareId() const override { return id_; }
    std::wstring DeviceDescription() const override { return L"USB sensor"; }
    void FillCapabilities(DEVICE_CAPABILITIES& caps) override {
        caps.Removable = 1;
        caps.DeviceState[PowerSystemWorking] = PowerDeviceD0;
        for (int s = PowerSystemSleeping1; s < PowerSystemMaximum; ++s) caps.DeviceState[s] = PowerDeviceD3;
    }

    NTSTATUS InternalDeviceControl(PDEVICE_OBJECT, PIRP irp) override {
        PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
        ULONG code = sp->Parameters.DeviceIoControl.IoControlCode;
        if (code == IOCTL_INTERNAL_USB_GET_PORT_STATUS) {
            *static_cast<ULONG*>(sp->Parameters.Others.Argument1) = host_.PortStatus(port_);
            return CompleteRequest(irp, STATUS_SUCCESS, 0);
        }
        if (code == IOCTL_INTERNAL_USB_RESET_PORT)
            return CompleteRequest(irp, host_.ResetPort(port_) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL, 0);
        if (code != IOCTL_INTERNAL_USB_SUBMIT_URB) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
        auto* urb = static_cast<hw::Urb*>(sp->Parameters.Others.Argument1);
        {
            std::lock_guard<std::mutex> lock(mu_);
            inflight_[irp] = urb;
        }
        IoMarkIrpPending(irp);
        std::weak_ptr<UsbPhysicalDevice> self = weak_from_this();
        urb->on_complete = [self, irp](hw::Urb& u) {
            auto me = self.lock();
            if (me) {
                std::lock_guard<std::mutex> lock(me->mu_);
                me->inflight_.erase(irp);
            }
            IoSetCancelRoutine(irp, nullptr);
            irp->IoStatus.Status = UsbdToNt(u.status);
            irp->IoStatus.Information = 0;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
        };
        irp->Tail.Overlay.DriverContext[0] = this;
        IoSetCancelRoutine(irp, CancelUrb);
        if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
            // Cancelled before it got here: still hand it to the host and cancel it at once,
            // so the one completion path stays the host's.
            host_.Submit(port_, urb);
            host_.Cancel(port_, urb);
            return STATUS_PENDING;
        }
        host_.Submit(port_, urb);
        return STATUS_PENDING;
    }

private:
    static void CancelUrb(PDEVICE_OBJECT, PIRP irp) {
        IoReleaseCancelSpinLock(irp->CancelIrql);
        auto* me = static_cast<UsbPhysicalDevice*>(irp->Tail.Overlay.DriverContext[0]);
        // Under our lock the request block cannot complete and go away meanwhile; the host
        // runs the cancelled completion later on its own thread.
        std::lock_guard<std::mutex> lock(me->mu_);
        auto it = me->inflight_.find(irp);
        if (it != me->inflight_.end()) me->host_.Cancel(me->port_, it->second);
    }

    hw::UsbHost& host_;
    int port_;
    std::wstring id_;
    std::mutex mu_;
    std::map<PIRP, hw::Urb*> inflight_;
};

}  // namespace

std::shared_ptr<kernel::PhysicalDevice> MakeUsbPhysicalDevice(hw::UsbHost& host, int port, uint16_t vendorId,
                                                              uint16_t productId) {
    return std::make_shared<UsbPhysicalDevice>(host, port, vendorId, productId);
}

}  // namespace dedodavi
