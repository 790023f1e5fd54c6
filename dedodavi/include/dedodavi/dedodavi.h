// DeDodAvi, the USB temperature sensor's function driver: its device interface class and its
// control codes. Below it is the USB bus driver, reached with the internal control codes and
// request blocks of hw/usb.h.
#pragma once

#include <memory>

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

namespace dedodavi {

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// Registers the driver for "USB\VID_..." devices.
void Register(kernel::Machine& machine);

}  // namespace dedodavi
