// The machine's PCI CAN board inside the kernel model: mapped windows, the shared line.
#include "hw/kernel_attachment.h"

#include <gtest/gtest.h>

#include "dedodavi/dedodavi.h"
#include "kernel/wdm.h"
#include "platform/device.h"

using namespace hw;

TEST(KernelAttachment, WindowsAreMappedAndTheBoardDrivesItsVector) {
    kernel::Machine km;
    auto m = Machine::FromText(DefaultMachineText(), std::make_shared<ManualClock>(), nullptr);
    ASSERT_TRUE(m);
    KernelAttachment att(km, *m);
    PciCanBoard* board = m->board("Board 1");
    for (unsigned i = 0; i < 2; ++i) {
        PHYSICAL_ADDRESS pa;
        pa.QuadPart = board->channel(i).window_base();
        auto* base = static_cast<volatile UCHAR*>(MmMapIoSpace(pa, kChannelWindowLength, MmNonCached));
        ASSERT_NE(base, nullptr);
        EXPECT_EQ(READ_REGISTER_UCHAR(base + BRD_CHANNEL_INDEX), i);
        MmUnmapIoSpace(const_cast<UCHAR*>(base), kChannelWindowLength);
    }
    board->channel(0).Write8(BRD_MODE, 1);  // FIFO logic on: the status word drives the line
    board->channel(0).Write8(BRD_INT_ENABLE, IS_BOARD_EVENT);
    board->RaiseBoardEvent();
    EXPECT_TRUE(km.Line(11).IsRaised());
    board->channel(0).Read16(BRD_INT_STATUS);
    EXPECT_FALSE(km.Line(11).IsRaised());
    // No driver serves the board in this test: nothing was added.
    EXPECT_EQ(att.ChannelPdos("Board 1"), (std::vector<PDEVICE_OBJECT>{nullptr, nullptr}));
}

namespace {
// The smallest function driver: attaches to each channel and passes plug and play down.
struct Ext {
    PDEVICE_OBJECT lower;
};
NTSTATUS Pnp(PDEVICE_OBJECT d, PIRP irp) {
    auto* ext = static_cast<Ext*>(d->DeviceExtension);
    UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    PDEVICE_OBJECT lower = ext->lower;
    IoSkipCurrentIrpStackLocation(irp);
    NTSTATUS s = IoCallDriver(lower, irp);
    if (minor == IRP_MN_REMOVE_DEVICE) {
        IoDetachDevice(lower);
        IoDeleteDevice(d);
    }
    return s;
}
NTSTATUS Add(PDRIVER_OBJECT drv, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT fdo = nullptr;
    NTSTATUS s = IoCreateDevice(drv, sizeof(Ext), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo);
    if (s != STATUS_SUCCESS) return s;
    static_cast<Ext*>(fdo->DeviceExtension)->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
void Unload(PDRIVER_OBJECT) {}
NTSTATUS Entry(PDRIVER_OBJECT drv, PUNICODE_STRING) {
    drv->DriverExtension->AddDevice = Add;
    drv->MajorFunction[IRP_MJ_PNP] = Pnp;
    drv->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
}  // namespace

TEST(KernelAttachment, PluggingTheBoardAddsAChannelDeviceEachAndUnpluggingRemovesThem) {
    kernel::Machine km;
    km.RegisterDriver(L"canmini", Entry, {L"PCI\\VEN_1B3E&DEV_1C96"});
    auto m = Machine::FromText(DefaultMachineText(), std::make_shared<ManualClock>(), nullptr);
    ASSERT_TRUE(m);
    KernelAttachment att(km, *m);
    auto pdos = att.ChannelPdos("Board 1");
    ASSERT_EQ(pdos.size(), 2u);
    EXPECT_NE(pdos[0], nullptr);
    EXPECT_NE(pdos[1], nullptr);
    std::string error;
    ASSERT_TRUE(m->Unplug("Board 1", &error)) << error;
    EXPECT_EQ(att.ChannelPdos("Board 1"), (std::vector<PDEVICE_OBJECT>{nullptr, nullptr}));
    ASSERT_TRUE(m->Plug("Board 1", &error)) << error;
    pdos = att.ChannelPdos("Board 1");
    EXPECT_NE(pdos[0], nullptr);
    km.DrainWorker();
    EXPECT_TRUE(km.verifier().Clean()) << km.verifier().Describe();
}

namespace {

const char kTwoUsbSensors[] =
    "[Machine]\nFastMode=1\n"
    "[UsbSensor 1]\nIdNumber=11\nIdentity=U26-05002-0011\nProfile=constant:25\n"
    "[UsbSensor 2]\nIdNumber=12\nIdentity=U26-05002-0012\nProfile=constant:30\nInterruptEndpoint=0\n";

// Overlapped request, waited for; false with *error on failure.
bool Wait(HANDLE h, BOOL started, OVERLAPPED* ov, DWORD* n, DWORD* error) {
    if (!started && GetLastError() == ERROR_IO_PENDING) started = GetOverlappedResult(h, ov, n, TRUE);
    if (!started) *error = GetLastError();
    return started;
}

}  // namespace

// The USB sensors of the machine become devices of the sensor driver: found by its interface
// class, enumerated with the descriptors of the simulated unit, gone on unplugging (an open
// handle sees the surprise removal) and back on plugging in again.
TEST(KernelAttachment, UsbSensorsArriveWithTheirDescriptorsLeaveAndComeBack) {
    auto m = Machine::FromText(kTwoUsbSensors, nullptr, nullptr);  // outlives the kernel's removal
    ASSERT_TRUE(m);
    kernel::Machine km;
    dedodavi::Register(km);
    KernelAttachment att(km, *m);
    ASSERT_NE(att.UsbPdo("UsbSensor 1"), nullptr);
    ASSERT_NE(att.UsbPdo("UsbSensor 2"), nullptr);
    auto paths = km.InterfacePaths(dedodavi::kInterfaceClass);
    ASSERT_EQ(paths.size(), 2u);

    struct Expect {
        size_t path;
        unsigned configLength;  // 9 configuration + 9 interface + 7 per endpoint
    };
    HANDLE first = INVALID_HANDLE_VALUE;
    for (Expect e : {Expect{0, 9 + 9 + 3 * 7}, Expect{1, 9 + 9 + 2 * 7}}) {
        HANDLE h = CreateFileA(paths[e.path].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        uint8_t d[64] = {};
        DWORD n = 0, error = 0;
        ASSERT_TRUE(Wait(h, DeviceIoControl(h, IOCTL_USBCL_GET_DEVICE_DESCRIPTOR, nullptr, 0, d, 18, &n, &ov), &ov, &n, &error));
        EXPECT_EQ(n, 18u);
        EXPECT_EQ(d[0], 18);
        EXPECT_EQ(d[1], USB_DESC_DEVICE);
        EXPECT_EQ(d[8] | (d[9] << 8), 0x1B3E) << "vendor";
        EXPECT_EQ(d[10] | (d[11] << 8), 0x7301) << "product";
        ASSERT_TRUE(Wait(h, DeviceIoControl(h, IOCTL_USBCL_GET_CONFIG_DESCRIPTOR, nullptr, 0, d, sizeof d, &n, &ov), &ov, &n, &error));
        EXPECT_EQ(n, e.configLength);
        EXPECT_EQ(d[1], USB_DESC_CONFIGURATION);
        EXPECT_EQ(d[9 + 1], USB_DESC_INTERFACE);
        EXPECT_EQ(d[9 + 5], 0xFF) << "vendor-specific interface class";
        CloseHandle(ov.hEvent);
        if (e.path == 0)
            first = h;
        else
            CloseHandle(h);
    }

    // A read waiting for a reply that never comes, then the unit is pulled out.
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    uint8_t reply[40];
    DWORD n = 0, error = 0;
    ASSERT_FALSE(ReadFile(first, reply, sizeof reply, &n, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    std::string text;
    ASSERT_TRUE(m->Unplug("UsbSensor 1", &text)) << text;
    EXPECT_FALSE(GetOverlappedResult(first, &ov, &n, TRUE)) << "the pending read ends with the unit";
    EXPECT_EQ(att.UsbPdo("UsbSensor 1"), nullptr);
    EXPECT_EQ(km.InterfacePaths(dedodavi::kInterfaceClass).size(), 1u);
    ULONG status = 0;
    ASSERT_TRUE(Wait(first, DeviceIoControl(first, IOCTL_USBCL_GET_DRIVER_STATUS, nullptr, 0, &status, 4, &n, &ov), &ov, &n, &error));
    EXPECT_EQ(status, 1u) << "surprise removal seen by the open handle";
    CloseHandle(first);

    ASSERT_TRUE(m->Plug("UsbSensor 1", &text)) << text;
    EXPECT_NE(att.UsbPdo("UsbSensor 1"), nullptr);
    paths = km.InterfacePaths(dedodavi::kInterfaceClass);
    ASSERT_EQ(paths.size(), 2u);
    // The unit is usable again: an ID read (ReadInfo 2) answers with its ID number.
    bool found = false;
    for (const auto& path : paths) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        const uint8_t readId[8] = {0, 9, 0, 2, 0, 0, 0, 0};
        ASSERT_TRUE(Wait(h, WriteFile(h, readId, 8, &n, &ov), &ov, &n, &error)) << error;
        ASSERT_TRUE(Wait(h, ReadFile(h, reply, sizeof reply, &n, &ov), &ov, &n, &error)) << error;
        EXPECT_EQ(n, 8u);
        if (reply[2] == 0 && reply[3] == 11) found = true;
        CloseHandle(h);
    }
    EXPECT_TRUE(found) << "the unit with ID 11 answers again";
    CloseHandle(ov.hEvent);
    km.DrainWorker();
    EXPECT_TRUE(km.verifier().Clean()) << km.verifier().Describe();
}
