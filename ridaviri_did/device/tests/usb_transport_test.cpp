// The USB transport and the sensor check over it, against the sensor driver in the kernel
// model with simulated USB sensor units plugged into a simulated host. Real ticks: every wait
// is bounded by the transfers' time-outs, and no assertion depends on how long anything took.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "dedodavi/dedodavi.h"
#include "hw/kernel_attachment.h"
#include "hw/usb.h"
#include "platform/device.h"
#include "ridaviri/sensor_check.h"
#include "ridaviri/wrap_dev.h"

namespace ridaviri {
namespace {

class NoCan : public CanLibrary {
public:
    CanHandle OpenPort(const char*) override { return kCanOpenFailed; }
    uint32_t ClosePort(CanHandle) override { return 0xC000000Au; }
    uint32_t SetConfig(CanHandle, const CanConfig&) override { return 0xC000000Au; }
    uint32_t SetAcceptanceFilter(CanHandle, uint32_t, uint32_t) override { return 0xC000000Au; }
    uint32_t GetStatus(CanHandle, CanStatus*) override { return 0xC000000Au; }
    uint32_t Activate(CanHandle) override { return 0xC000000Au; }
    uint32_t Deactivate(CanHandle) override { return 0xC000000Au; }
    uint32_t ClearBuffer(CanHandle, uint32_t) override { return 0xC000000Au; }
    uint32_t SendMessage(CanHandle, const CanMessage*, uint32_t) override { return 0xC000000Au; }
    uint32_t ReceiveMessage(CanHandle, CanMessage*, uint32_t*) override { return 0xC000000Au; }
};

class RecordingUi : public CheckUi {
public:
    void ShowOpeningDialog() override { ++openingDialogs; }
    void RunIdSettingDialog() override { ++idDialogs; }
    int openingDialogs = 0;
    int idDialogs = 0;
};

class UsbTransportTest : public ::testing::Test {
protected:
    UsbTransportTest() : data(16), transport(data, messages, can, ticks), procedures(data, transport, messages, ui) {
        data.interfaceKind = kInterfaceUsb;
        transport.SetAbortHandler([this](int code) { aborts.push_back(code); });
        machine_ = std::make_unique<kernel::Machine>();
        dedodavi::Register(*machine_);
    }
    ~UsbTransportTest() override {
        // Whatever the test left open is closed as the program would at exit.
        for (ChannelRecord& r : data.channels) {
            if (r.usbHandle != kInvalidDeviceHandle) CloseHandle(reinterpret_cast<HANDLE>(r.usbHandle));
        }
        for (ChannelRecord& r : data.found) {
            if (r.usbHandle != kInvalidDeviceHandle) CloseHandle(reinterpret_cast<HANDLE>(r.usbHandle));
        }
        machine_->DrainWorker();
        EXPECT_TRUE(machine_->verifier().Clean()) << machine_->verifier().Describe();
        for (auto pdo : pdos_) {
            if (machine_->TopOfStack(pdo)) machine_->Remove(pdo);
        }
        machine_->DrainWorker();
        machine_.reset();
        for (int port : ports_) host_.Unplug(port);
    }
    SensorIdentity Identity(uint16_t serial) const { return SensorIdentity{'U', 0x9A, (5 << 10) | 2, serial}; }
    // A unit with the given ID number; its serial is its plug order.
    void Plug(uint16_t id, double celsius = 25.0) {
        hw::SensorSettings s;
        const uint16_t serial = static_cast<uint16_t>(sensors_.size() + 1);
        s.identity = {'U', 0x9A, static_cast<uint16_t>((5 << 10) | 2), serial};
        s.id_number = id;
        s.profile = hw::TemperatureProfile::Constant(celsius);
        s.reply_delay_us = 200;
        hw::SensorUsbIdentity identity;
        sensors_.push_back(
            std::make_unique<hw::SensorUsbDevice>(std::make_shared<hw::SensorFirmware>(clock_, s), identity));
        const int port = host_.Plug(sensors_.back().get());
        ports_.push_back(port);
        NTSTATUS status = STATUS_UNSUCCESSFUL;
        pdos_.push_back(machine_->PlugIn(
            hw::MakeUsbPhysicalDevice(host_, port, identity), &status));
        ASSERT_EQ(status, STATUS_SUCCESS);
    }
    int ValidFound() const {
        int n = 0;
        for (const ChannelRecord& r : data.found) n += r.usbHandle != kInvalidDeviceHandle;
        return n;
    }

    MonitorData data;
    ScriptedMessages messages;
    SystemTicks ticks;
    NoCan can;
    SensorTransport transport;
    RecordingUi ui;
    SensorProcedures procedures;
    std::vector<int> aborts;

    hw::SteadyClock clock_;
    hw::UsbHost host_{clock_};
    std::vector<std::unique_ptr<hw::SensorUsbDevice>> sensors_;
    std::vector<int> ports_;
    std::unique_ptr<kernel::Machine> machine_;
    std::vector<PDEVICE_OBJECT> pdos_;
};

TEST_F(UsbTransportTest, SearchResults) {
    EXPECT_EQ(transport.UsbFindDevices(), 1) << "no unit";
    for (int i = 0; i < 11; ++i) Plug(static_cast<uint16_t>(100 + i));
    EXPECT_EQ(transport.UsbFindDevices(), 2);
    EXPECT_EQ(ValidFound(), 10) << "ten kept";
    EXPECT_TRUE(data.stateWord.Test(state::DEVICES_OPEN));
    // The eleventh was closed again: every unit but the ten kept can be opened.
    data.deviceCount = 10;
    EXPECT_EQ(transport.CloseDevices(), 0);
    EXPECT_EQ(ValidFound(), 0);
    EXPECT_FALSE(data.stateWord.Test(state::DEVICES_OPEN));
    EXPECT_EQ(transport.UsbFindDevices(), 2) << "all eleven can be opened again";
    data.deviceCount = 10;
    EXPECT_EQ(transport.CloseDevices(), 0);
}

TEST_F(UsbTransportTest, AUnitThatCannotBeOpenedIsSkipped) {
    Plug(11);
    Plug(12);
    ASSERT_EQ(transport.UsbFindDevices(), 0);
    const DeviceHandle held = data.found[0].usbHandle;  // kept open: the driver admits one opener
    data.found[0].usbHandle = kInvalidDeviceHandle;
    EXPECT_EQ(transport.CloseFoundSlot(1), 0);
    EXPECT_EQ(transport.UsbFindDevices(), 0);
    EXPECT_EQ(ValidFound(), 1);
    EXPECT_EQ(transport.CloseFoundSlot(0), 0);
    EXPECT_TRUE(CloseHandle(reinterpret_cast<HANDLE>(held)));
}

TEST_F(UsbTransportTest, TransactionsByCommand) {
    Plug(42, -12.5);
    ASSERT_EQ(transport.UsbFindDevices(), 0);
    SensorReply reply;
    ASSERT_EQ(transport.UsbTransactFound(0, MakeReadInfo(kInfoIdentity), &reply), 0);
    EXPECT_EQ(reply.Identity(), Identity(1));
    ASSERT_EQ(transport.UsbTransactFound(0, MakeReadInfo(kInfoIdNumber), &reply), 0);
    EXPECT_EQ(reply.IdNumber(), 42);
    // Sub-code 3 cannot be turned back: the transaction fails, the unit stays usable.
    EXPECT_EQ(transport.UsbTransactFound(0, MakeReadInfo(3), &reply), -1);
    // Write-only commands: SetClock and SetIdNumber get no read.
    EXPECT_EQ(transport.UsbTransactFound(0, MakeSetClock(12, 0, 0), &reply), 0);
    EXPECT_EQ(transport.UsbTransactFound(0, MakeSetIdNumber(77), &reply), 0);
    ASSERT_EQ(transport.UsbTransactFound(0, MakeReadInfo(kInfoIdNumber), &reply), 0);
    EXPECT_EQ(reply.IdNumber(), 77);
    EXPECT_EQ(sensors_[0]->firmware().settings().id_number, 77);
    // The found-table path reads no measurement reply; the channel path does.
    data.channels[0].usbHandle = data.found[0].usbHandle;
    data.channels[0].measureSwitch = 1;
    ASSERT_EQ(transport.UsbTransactChannel(0, MakeReadMeasurement(), &reply), 0);
    EXPECT_DOUBLE_EQ(ConvertRawValue(reply.MeasuredValue()).celsius, -12.5);
    data.channels[0].measureSwitch = 0;
    EXPECT_EQ(transport.UsbTransactChannel(0, MakeReadMeasurement(), &reply), -1);
    EXPECT_EQ(aborts, std::vector<int>{0});
    data.channels[0].usbHandle = kInvalidDeviceHandle;
    EXPECT_EQ(transport.CloseFoundSlot(0), 0);
}

TEST_F(UsbTransportTest, TwoUnitsWithTheSameIdChangeNothing) {
    Plug(300);
    Plug(300);
    data.channels[0].identity = Identity(9);
    data.channels[0].idNumber = 9;
    data.channels[0].channelNumber = 1;
    const ChannelTable before = data.channels;
    procedures.MenuSensorCheck();
    EXPECT_EQ(messages.Numbers(), std::vector<int>{6});
    EXPECT_TRUE(data.stateWord.Test(state::CHECK_NEEDED));
    for (int i = 0; i < kChannelCount; ++i) {
        EXPECT_EQ(data.channels[i].identity, before[i].identity);
        EXPECT_EQ(data.channels[i].idNumber, before[i].idNumber);
    }
    EXPECT_EQ(ValidFound(), 0) << "both units closed again";
    EXPECT_FALSE(data.stateWord.Test(state::DEVICES_OPEN));
}

TEST_F(UsbTransportTest, StartupCheckThenPollOfTheConfiguredUnits) {
    Plug(11, 25.0);
    Plug(12, 30.0);
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_EQ(procedures.SensorCheck(), 0) << ::testing::PrintToString(messages.Numbers());
    EXPECT_EQ(data.deviceCount, 2);
    EXPECT_EQ(data.channels[0].idNumber, 11);
    EXPECT_EQ(data.channels[1].idNumber, 12);
    EXPECT_EQ(data.channels[1].channelNumber, 2);
    EXPECT_EQ(data.channels[0].inputMode, 1);
    ASSERT_NE(data.channels[1].usbHandle, kInvalidDeviceHandle);
    EXPECT_TRUE(messages.Numbers().empty()) << ::testing::PrintToString(messages.Numbers());

    // Items 10-19 are never asked, whatever their SEND bit.
    PollItems items = BuildPollItems(data.channels);
    items[12].request |= kPollSend;
    EXPECT_EQ(transport.PollChannels(items, 1000), 0);
    EXPECT_DOUBLE_EQ(ConvertRawValue(items[0].value).celsius, 25.0);
    EXPECT_DOUBLE_EQ(ConvertRawValue(items[1].value).celsius, 30.0);
    EXPECT_FALSE(items[12].NoReply());
    EXPECT_EQ(items[12].value, 0u);
    EXPECT_EQ(transport.CloseDevices(), 0);
    EXPECT_EQ(data.channels[0].usbHandle, kInvalidDeviceHandle);
}

TEST_F(UsbTransportTest, SingleUnitWithoutIdAsksAndOpensTheIdDialog) {
    Plug(0);
    data.stateWord.Set(state::STARTUP_CHECK);
    messages.Answer(kAnswerYes);
    EXPECT_EQ(procedures.SensorCheck(), -1);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{106});
    EXPECT_EQ(ui.idDialogs, 1);
    EXPECT_EQ(ValidFound(), 0) << "the unit is closed for the dialog";

    // The dialog: read, then set 256 (a set ID on both transports).
    procedures.BeginIdSetting();
    IdReadout readout;
    ASSERT_EQ(procedures.IdRead(&readout), 0);
    EXPECT_EQ(readout.manufacturingNumber, "U26-05002-0001");
    EXPECT_EQ(readout.idText, "\x96\xA2\x90\xDD\x92\xE8");  // 未設定
    EXPECT_EQ(procedures.IdSet("256"), 0);
    EXPECT_EQ(sensors_[0]->firmware().settings().id_number, 256);
    procedures.IdDialogClose();  // start-up: the check runs again and takes the unit
    EXPECT_EQ(data.channels[0].idNumber, 256);
    EXPECT_EQ(data.stateWord.Mode(), state::kModeIdle);
    EXPECT_EQ(messages.Numbers().back(), 80);
}

TEST_F(UsbTransportTest, IdSetRefusesAnotherUnitThanTheOneRead) {
    Plug(5);
    IdReadout readout;
    ASSERT_EQ(procedures.IdRead(&readout), 0);
    // Swapped for another unit between "読み込み" and "設定".
    machine_->Remove(pdos_[0]);
    machine_->DrainWorker();
    host_.Unplug(ports_[0]);
    ports_.erase(ports_.begin());
    Plug(6);
    messages.Clear();
    EXPECT_EQ(procedures.IdSet("99"), -1);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{10});
    EXPECT_EQ(sensors_[1]->firmware().settings().id_number, 6);
}

TEST_F(UsbTransportTest, StartupCheckWithoutUnitsShowsMessage1AndTheOpeningDialogAgain) {
    data.stateWord.Set(state::STARTUP_CHECK);
    EXPECT_EQ(procedures.SensorCheck(), -1);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{1});
    EXPECT_EQ(ui.openingDialogs, 1);
}

// Start over USB rechecks the units (their handles go into the channel table), the polls read
// them one by one, and stop closes them again.
TEST_F(UsbTransportTest, MeasurementStartRechecksPollsAndStopCloses) {
    Plug(11, 21.5);
    Plug(12, 22.5);
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_EQ(procedures.SensorCheck(), 0);
    ASSERT_EQ(transport.CloseDevices(), 0);
    data.stateWord.Clear(state::STARTUP_CHECK);
    ASSERT_EQ(data.channels[0].usbHandle, kInvalidDeviceHandle);

    platform::sync::LocalTime start{};
    start.year = 2026;
    start.month = 12;
    start.day = 9;
    start.hour = 10;
    SimulatedClock clock(start);
    DeviceMeasurementHooks hooks(transport, procedures);
    {
        Measurement measurement(data, hooks, messages, clock);
        transport.SetAbortHandler([&](int code) { measurement.Abort(code); });
        clock.SetHorizon(clock.NowMs() + 1500);
        ASSERT_EQ(measurement.Start(), 0);
        ASSERT_TRUE(clock.WaitUntilIdle(std::chrono::seconds(60)));
        EXPECT_EQ(data.SampleIndex(), 2u);
        EXPECT_NE(data.channels[1].usbHandle, kInvalidDeviceHandle);
        clock.ClearHorizon();
        measurement.Stop();
        measurement.Join();
        transport.SetAbortHandler({});
    }
    EXPECT_DOUBLE_EQ(data.samples.At(1, 0), 21.5);
    EXPECT_DOUBLE_EQ(data.samples.At(1, 1), 22.5);
    EXPECT_TRUE(messages.Numbers().empty()) << ::testing::PrintToString(messages.Numbers());
    EXPECT_EQ(data.channels[0].usbHandle, kInvalidDeviceHandle);
    EXPECT_EQ(data.channels[1].usbHandle, kInvalidDeviceHandle);
    EXPECT_FALSE(data.stateWord.Test(state::DEVICES_OPEN));
}

}  // namespace
}  // namespace ridaviri
