// The USB bus driver's side of one device on a port of the host: request blocks go to the
// host's port and complete on the host's thread; a cancelled request asks the host to cancel
// its request block; port status and port reset go to the root hub.
#include <cstdio>
#include <map>
#include <mutex>

#include "hw/kernel_attachment.h"
#include "kernel/wdm.h"

namespace hw {
namespace {

NTSTATUS Complete(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

class UsbPhysicalDevice final : public kernel::PhysicalDevice, public std::enable_shared_from_this<UsbPhysicalDevice> {
public:
    UsbPhysicalDevice(UsbHost& host, int port, const SensorUsbIdentity& identity) : host_(host), port_(port) {
        wchar_t id[64];
        std::swprintf(id, 64, L"USB\\VID_%04X&PID_%04X", unsigned(identity.vendor_id), unsigned(identity.product_id));
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
            auto* out = static_cast<ULONG*>(sp->Parameters.Others.Argument1);
            if (!out) return Complete(irp, STATUS_INVALID_PARAMETER);
            *out = host_.PortStatus(port_);
            return Complete(irp, STATUS_SUCCESS);
        }
        if (code == IOCTL_INTERNAL_USB_RESET_PORT)
            return Complete(irp, host_.ResetPort(port_) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL);
        if (code != IOCTL_INTERNAL_USB_SUBMIT_URB) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
        auto* urb = static_cast<Urb*>(sp->Parameters.Others.Argument1);
        if (!urb) return Complete(irp, STATUS_INVALID_PARAMETER);
        {
            std::lock_guard<std::mutex> lock(mu_);
            inflight_[irp] = urb;
        }
        IoMarkIrpPending(irp);
        std::weak_ptr<UsbPhysicalDevice> self = weak_from_this();
        urb->on_complete = [self, irp](Urb& u) {
            if (auto me = self.lock()) {
                std::lock_guard<std::mutex> lock(me->mu_);
                me->inflight_.erase(irp);
            }
            IoSetCancelRoutine(irp, nullptr);
            Complete(irp, UsbdToNtStatus(u.status));
        };
        irp->Tail.Overlay.DriverContext[0] = this;
        IoSetCancelRoutine(irp, CancelUrb);
        // Cancelled before the routine was set: the block is cancelled as soon as the host
        // has it, so that the one completion path stays the host's.
        bool cancelNow = irp->Cancel && IoSetCancelRoutine(irp, nullptr);
        host_.Submit(port_, urb);
        // From here on the request may already be completed and gone: only its address is used.
        if (cancelNow) {
            std::lock_guard<std::mutex> lock(mu_);
            if (inflight_.count(irp)) host_.Cancel(port_, urb);
        }
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

    UsbHost& host_;
    int port_;
    std::wstring id_;
    std::mutex mu_;
    std::map<PIRP, Urb*> inflight_;
};

}  // namespace

NTSTATUS UsbdToNtStatus(uint32_t usbd) {
    switch (usbd) {
    case USBD_STATUS_SUCCESS: return STATUS_SUCCESS;
    case USBD_STATUS_CANCELED: return STATUS_CANCELLED;
    // The device sent more than the buffer holds: the buffer is full, and the request says so
    // with a warning, as a USB stack does.
    case USBD_STATUS_BUFFER_OVERRUN: return STATUS_BUFFER_OVERFLOW;
    case USBD_STATUS_DEVICE_GONE: return STATUS_DEVICE_NOT_CONNECTED;
    case USBD_STATUS_INVALID_PARAMETER:
    case USBD_STATUS_INVALID_PIPE_HANDLE:
    case USBD_STATUS_INVALID_URB_FUNCTION: return STATUS_INVALID_PARAMETER;
    default: return STATUS_UNSUCCESSFUL;
    }
}

std::shared_ptr<kernel::PhysicalDevice> MakeUsbPhysicalDevice(UsbHost& host, int port, const SensorUsbIdentity& identity) {
    return std::make_shared<UsbPhysicalDevice>(host, port, identity);
}

}  // namespace hw
