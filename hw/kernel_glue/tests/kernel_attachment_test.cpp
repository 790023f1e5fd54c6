// The machine's PCI CAN board inside the kernel model: mapped windows, the shared line.
#include "hw/kernel_attachment.h"

#include <gtest/gtest.h>

#include "kernel/wdm.h"

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
