// The USB sensor as the sensor driver reaches it through the bus driver: enumeration with its
// descriptors, selection, the 8-byte command and its reply on the three read paths,
// cancellation, features, port reset and surprise removal.
#include "hw/usb.h"

#include <gtest/gtest.h>

#include <future>

using namespace hw;

namespace {

class UsbSensor : public ::testing::Test {
protected:
    void SetUp() override {
        SensorSettings s;
        s.identity = {'U', 0x8B, static_cast<uint16_t>((12 << 10) | 7), 42};
        s.id_number = 11;
        s.profile = TemperatureProfile::Constant(-12.5);
        s.reply_delay_us = 2000;
        device = std::make_unique<SensorUsbDevice>(std::make_shared<SensorFirmware>(clock, s), SensorUsbIdentity{});
        port = host.Plug(device.get());
    }
    void TearDown() override { host.Unplug(port); }
    // Submits and waits for the completion (bounded).
    uint32_t Run(Urb& urb) {
        std::promise<void> done;
        urb.on_complete = [&](Urb&) { done.set_value(); };
        host.Submit(port, &urb);
        EXPECT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
        return urb.status;
    }
    void Select() {
        std::vector<uint8_t> cfg(device->configuration_descriptor());
        Urb u;
        u.function = UrbFunction::kSelectConfiguration;
        u.configuration = cfg.data();
        ASSERT_EQ(Run(u), USBD_STATUS_SUCCESS);
        ASSERT_EQ(u.interfaces.size(), 1u);
        for (const auto& p : u.interfaces[0].pipes) {
            if (p.type == USB_ENDPOINT_BULK && !(p.endpoint_address & 0x80) && !bulk_out) bulk_out = p.handle;
            if (p.type == USB_ENDPOINT_BULK && (p.endpoint_address & 0x80) && !bulk_in) bulk_in = p.handle;
            if (p.type == USB_ENDPOINT_INTERRUPT && (p.endpoint_address & 0x80) && !int_in) int_in = p.handle;
        }
    }
    uint32_t Write(std::vector<uint8_t> bytes) {
        Urb u;
        u.pipe = bulk_out;
        u.buffer = bytes.data();
        u.length = static_cast<uint32_t>(bytes.size());
        return Run(u);
    }
    ManualClock clock;
    UsbHost host{clock};
    std::unique_ptr<SensorUsbDevice> device;
    int port = 0;
    uint32_t bulk_out = 0, bulk_in = 0, int_in = 0;
};

}  // namespace

TEST_F(UsbSensor, EnumeratesWithOneInterfaceAndThreeEndpoints) {
    EXPECT_EQ(host.PortStatus(port), USBD_PORT_CONNECTED | USBD_PORT_ENABLED);
    uint8_t dd[18] = {};
    Urb u;
    u.function = UrbFunction::kGetDescriptorFromDevice;
    u.descriptor_type = USB_DESC_DEVICE;
    u.buffer = dd;
    u.length = sizeof dd;
    ASSERT_EQ(Run(u), USBD_STATUS_SUCCESS);
    EXPECT_EQ(u.length, 18u);
    EXPECT_EQ(dd[0], 18);
    EXPECT_EQ(dd[1], USB_DESC_DEVICE);
    EXPECT_EQ(dd[8] | (dd[9] << 8), 0x1B3E);
    EXPECT_EQ(dd[17], 1);  // one configuration
    // The configuration as the driver reads it: a first read, then the total length.
    uint8_t cfg[521] = {};
    Urb c;
    c.function = UrbFunction::kGetDescriptorFromDevice;
    c.descriptor_type = USB_DESC_CONFIGURATION;
    c.buffer = cfg;
    c.length = sizeof cfg;
    ASSERT_EQ(Run(c), USBD_STATUS_SUCCESS);
    uint16_t total = static_cast<uint16_t>(cfg[2] | (cfg[3] << 8));
    EXPECT_EQ(total, 9 + 9 + 3 * 7);
    EXPECT_EQ(c.length, total);
    EXPECT_EQ(cfg[9 + 4], 3);  // endpoints of interface 0
    Urb g;
    uint8_t conf = 0xFF;
    g.function = UrbFunction::kGetConfiguration;
    g.buffer = &conf;
    g.length = 1;
    ASSERT_EQ(Run(g), USBD_STATUS_SUCCESS);
    EXPECT_EQ(conf, 0);
    Select();
    EXPECT_EQ(bulk_out & 0xFF, 0x01u);
    EXPECT_EQ(bulk_in & 0xFF, 0x82u);
    EXPECT_EQ(int_in & 0xFF, 0x83u);
    ASSERT_EQ(Run(g), USBD_STATUS_SUCCESS);
    EXPECT_EQ(conf, 1);
}

TEST_F(UsbSensor, CommandThenReplyOnEachReadPath) {
    Select();
    host.SetFastMode(true);
    struct {
        const char* path;
        UrbFunction function;
        uint32_t* pipe;
    } paths[] = {
        {"bulk", UrbFunction::kBulkOrInterruptTransfer, &bulk_in},
        {"interrupt", UrbFunction::kBulkOrInterruptTransfer, &int_in},
        {"vendor", UrbFunction::kVendorDevice, nullptr},
    };
    for (const auto& p : paths) {
        // ReadInfo 1, words big-endian on the wire.
        ASSERT_EQ(Write({0, 9, 0, 1, 0, 0, 0, 0}), USBD_STATUS_SUCCESS);
        uint8_t buf[40] = {};
        Urb r;
        r.function = p.function;
        r.pipe = p.pipe ? *p.pipe : 0;
        r.in = true;
        r.buffer = buf;
        r.length = sizeof buf;
        ASSERT_EQ(Run(r), USBD_STATUS_SUCCESS) << p.path;
        EXPECT_EQ(r.length, 8u) << p.path;  // a short transfer ends the read
        EXPECT_EQ(buf[2], 'U');
        EXPECT_EQ(buf[3], 0x8B);
        EXPECT_EQ((buf[4] << 8) | buf[5], (12 << 10) | 7);
        EXPECT_EQ((buf[6] << 8) | buf[7], 42);
    }
    // ReadMeasurement: -12.5 degC, sign and magnitude.
    ASSERT_EQ(Write({0, 6, 0, 0, 0, 0, 0, 0}), USBD_STATUS_SUCCESS);
    uint8_t buf[40];
    Urb r;
    r.pipe = bulk_in;
    r.buffer = buf;
    r.length = 40;
    ASSERT_EQ(Run(r), USBD_STATUS_SUCCESS);
    uint32_t raw = (uint32_t(buf[2]) << 24) | (buf[3] << 16) | (buf[4] << 8) | buf[5];
    EXPECT_EQ(raw, 0x80000000u | 125000u);
}

TEST_F(UsbSensor, ReadWaitsForTheReplyDelayAndCanBeCancelled) {
    Select();
    uint8_t buf[40];
    Urb r;
    r.pipe = bulk_in;
    r.buffer = buf;
    r.length = 40;
    bool completed = false;
    r.on_complete = [&](Urb&) { completed = true; };
    host.Submit(port, &r);
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_FALSE(completed);  // nothing to answer yet
    EXPECT_TRUE(host.Cancel(port, &r));
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_TRUE(completed);
    EXPECT_EQ(r.status, USBD_STATUS_CANCELED);

    ASSERT_EQ(Write({0, 9, 0, 2, 0, 0, 0, 0}), USBD_STATUS_SUCCESS);
    Urb r2;
    r2.pipe = bulk_in;
    r2.buffer = buf;
    r2.length = 40;
    std::promise<void> done;
    r2.on_complete = [&](Urb&) { done.set_value(); };
    host.Submit(port, &r2);
    ASSERT_TRUE(host.WaitIdle());
    auto f = done.get_future();
    EXPECT_EQ(f.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    clock.Advance(2000);
    ASSERT_EQ(f.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ((buf[2] << 8) | buf[3], 11);  // ID number
}

TEST_F(UsbSensor, HaltedEndpointStallsUntilPipeReset) {
    Select();
    Urb h;
    h.function = UrbFunction::kSetFeatureToEndpoint;
    h.value = USB_FEATURE_ENDPOINT_HALT;
    h.index = 0x01;
    ASSERT_EQ(Run(h), USBD_STATUS_SUCCESS);
    uint8_t st[2] = {};
    Urb s;
    s.function = UrbFunction::kGetStatusFromEndpoint;
    s.index = 0x01;
    s.buffer = st;
    s.length = 2;
    ASSERT_EQ(Run(s), USBD_STATUS_SUCCESS);
    EXPECT_EQ(st[0], 1);
    EXPECT_EQ(Write({0, 6, 0, 0, 0, 0, 0, 0}), USBD_STATUS_STALL_PID);
    Urb reset;
    reset.function = UrbFunction::kResetPipe;
    reset.pipe = bulk_out;
    ASSERT_EQ(Run(reset), USBD_STATUS_SUCCESS);
    EXPECT_EQ(Write({0, 6, 0, 0, 0, 0, 0, 0}), USBD_STATUS_SUCCESS);
    // Remote wake-up shows in the device status.
    Urb w;
    w.function = UrbFunction::kSetFeatureToDevice;
    w.value = USB_FEATURE_REMOTE_WAKEUP;
    ASSERT_EQ(Run(w), USBD_STATUS_SUCCESS);
    Urb ds;
    ds.function = UrbFunction::kGetStatusFromDevice;
    ds.buffer = st;
    ds.length = 2;
    ASSERT_EQ(Run(ds), USBD_STATUS_SUCCESS);
    EXPECT_EQ(st[0], 2);
    // Descriptors cannot be written.
    uint8_t dd[18];
    Urb sd;
    sd.function = UrbFunction::kSetDescriptorToDevice;
    sd.descriptor_type = USB_DESC_DEVICE;
    sd.buffer = dd;
    sd.length = 18;
    EXPECT_EQ(Run(sd), USBD_STATUS_STALL_PID);
}

TEST_F(UsbSensor, PortResetKeepsTheConfigurationAndAbortCancelsTransfers) {
    Select();
    uint8_t buf[40];
    Urb r;
    r.pipe = bulk_in;
    r.buffer = buf;
    r.length = 40;
    std::promise<void> done;
    r.on_complete = [&](Urb&) { done.set_value(); };
    host.Submit(port, &r);
    Urb abort;
    abort.function = UrbFunction::kAbortPipe;
    abort.pipe = bulk_in;
    ASSERT_EQ(Run(abort), USBD_STATUS_SUCCESS);
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(r.status, USBD_STATUS_CANCELED);
    EXPECT_TRUE(host.ResetPort(port));
    uint8_t conf = 0;
    Urb g;
    g.function = UrbFunction::kGetConfiguration;
    g.buffer = &conf;
    g.length = 1;
    ASSERT_EQ(Run(g), USBD_STATUS_SUCCESS);
    EXPECT_EQ(conf, 1);
}

TEST_F(UsbSensor, SurpriseRemovalCompletesPendingAndLaterRequests) {
    Select();
    uint8_t buf[40];
    Urb r;
    r.pipe = bulk_in;
    r.buffer = buf;
    r.length = 40;
    std::promise<void> done;
    r.on_complete = [&](Urb&) { done.set_value(); };
    host.Submit(port, &r);
    host.Unplug(port);
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(r.status, USBD_STATUS_DEVICE_GONE);
    EXPECT_EQ(host.PortStatus(port), 0u);
    EXPECT_EQ(Write({0, 6, 0, 0, 0, 0, 0, 0}), USBD_STATUS_DEVICE_GONE);
}

// A busy unit takes no command: its bulk OUT endpoint answers NAK, so the host keeps the
// transfer pending until it is cancelled; no reply is made for it.
TEST_F(UsbSensor, BusyUnitLeavesTheCommandPendingUntilCancelled) {
    Select();
    device->firmware().SetFault(SensorFault::kBusy);
    std::vector<uint8_t> command{0, 6, 0, 0, 0, 0, 0, 0};
    Urb w;
    w.pipe = bulk_out;
    w.buffer = command.data();
    w.length = 8;
    bool completed = false;
    w.on_complete = [&](Urb&) { completed = true; };
    host.Submit(port, &w);
    ASSERT_TRUE(host.WaitIdle());
    clock.Advance(1000000);
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_FALSE(completed);
    EXPECT_TRUE(host.Cancel(port, &w));
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_TRUE(completed);
    EXPECT_EQ(w.status, USBD_STATUS_CANCELED);
    device->firmware().SetFault(SensorFault::kNone);
    EXPECT_EQ(Write(command), USBD_STATUS_SUCCESS) << "takes commands again";
}
