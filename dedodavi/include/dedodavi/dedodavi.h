// DeDodAvi, the USB temperature sensor's function driver: its device interface class, its
// control codes, and the bus side it runs on (a port of the simulated USB host).
#pragma once

#include <memory>
#include <string>

#include "can_common/ntstatus.h"
#include "hw/usb.h"
#include "kernel/machine.h"

namespace dedodavi {

// {12D64ED7-D299-435E-BB62-F451679E4E9B}
inline constexpr GUID kInterfaceClass = {0x12D64ED7, 0xD299, 0x435E, {0xBB, 0x62, 0xF4, 0x51, 0x67, 0x9E, 0x4E, 0x9B}};

inline constexpr ULONG kUsbClDeviceType = 0x23;
constexpr ULONG UsbClCode(ULONG function) { return (kUsbClDeviceType << 16) | (function << 2); }

}  // namespace dedodavi

#define IOCTL_USBCL_GET_DEVICE_DESCRIPTOR dedodavi::UsbClCode(0x00)
#define IOCTL_USBCL_GET_CONFIG_DESCRIPTOR dedodavi::UsbClCode(0x01)
#define IOCTL_USBCL_RESET_DEVICE dedodavi::UsbClCode(0x02)
#define IOCTL_USBCL_RESET_PIPE dedodavi::UsbClCode(0x03)
#define IOCTL_USBCL_GET_DEVICE_STATUS dedodavi::UsbClCode(0x05)
#define IOCTL_USBCL_GET_INTERFACE_STATUS dedodavi::UsbClCode(0x06)
#define IOCTL_USBCL_GET_ENDPOINT_STATUS dedodavi::UsbClCode(0x07)
#define IOCTL_USBCL_REMOTE_WAKEUP_ON dedodavi::UsbClCode(0x08)
#define IOCTL_USBCL_REMOTE_WAKEUP_OFF dedodavi::UsbClCode(0x09)
#define IOCTL_USBCL_GET_ENDPOINT_NUMBER dedodavi::UsbClCode(0x0A)
#define IOCTL_USBCL_SET_BULK_TIMEOUT dedodavi::UsbClCode(0x0C)
#define IOCTL_USBCL_GET_BULK_TIMEOUT dedodavi::UsbClCode(0x0D)
#define IOCTL_USBCL_SET_BULK_START_ADDRESS dedodavi::UsbClCode(0x0E)
#define IOCTL_USBCL_RESET_BULK_START_ADDRESS dedodavi::UsbClCode(0x0F)
#define IOCTL_USBCL_GET_DRIVER_STATUS dedodavi::UsbClCode(0x10)
#define IOCTL_USBCL_SET_TRANS_TYPE dedodavi::UsbClCode(0x12)
#define IOCTL_USBCL_GET_TRANS_TYPE dedodavi::UsbClCode(0x13)
#define IOCTL_USBCL_GET_DESCRIPTOR dedodavi::UsbClCode(0x14)
#define IOCTL_USBCL_CLEAR_FEATURE_DEVICE dedodavi::UsbClCode(0x15)
#define IOCTL_USBCL_CLEAR_FEATURE_INTERFACE dedodavi::UsbClCode(0x16)
#define IOCTL_USBCL_CLEAR_FEATURE_ENDPOINT dedodavi::UsbClCode(0x17)
#define IOCTL_USBCL_SET_FEATURE_DEVICE dedodavi::UsbClCode(0x18)
#define IOCTL_USBCL_SET_FEATURE_INTERFACE dedodavi::UsbClCode(0x19)
#define IOCTL_USBCL_SET_FEATURE_ENDPOINT dedodavi::UsbClCode(0x1A)
#define IOCTL_USBCL_GET_CONFIGURATION dedodavi::UsbClCode(0x1B)
#define IOCTL_USBCL_SELECT_CONFIGURATION dedodavi::UsbClCode(0x1C)
#define IOCTL_USBCL_GET_INTERFACE dedodavi::UsbClCode(0x1D)
#define IOCTL_USBCL_SELECT_INTERFACE dedodavi::UsbClCode(0x1E)
#define IOCTL_USBCL_SET_DESCRIPTOR dedodavi::UsbClCode(0x1F)

// Internal control codes of the USB bus driver (sent to the physical device object).
// Submit: Others.Argument1 is the hw::Urb to carry. Port status: Argument1 points to a ULONG.
#define IOCTL_INTERNAL_USB_SUBMIT_URB 0x00220003u
#define IOCTL_INTERNAL_USB_RESET_PORT 0x00220007u
#define IOCTL_INTERNAL_USB_GET_PORT_STATUS 0x00220013u

namespace dedodavi {

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// Registers the driver for "USB\VID_..." devices.
void Register(kernel::Machine& machine);

// The bus driver's side of one device on a port of the USB host: request blocks, port status
// and port reset, cancellation of a submitted request block.
std::shared_ptr<kernel::PhysicalDevice> MakeUsbPhysicalDevice(hw::UsbHost& host, int port, uint16_t vendorId,
                                                              uint16_t productId);

}  // namespace dedodavi
