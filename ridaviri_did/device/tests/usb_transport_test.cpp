// The USB transport and the sensor check over it, against the sensor driver in the kernel
// model with simulated USB sensor units plugged into a simulated host. Real ticks: every wait
// is bounded by the transfers' time-outs, and no assertion depends on how long anything took.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "dedodavi/dedodavi.h"
#include "hw/kernel_attachment.h"
#include "hw/usb.h"
#include "platform/device.h"
#include "platform/sjis.h"
#include "ridaviri/calibration_dialog.h"
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

// System ticks, or (brief) a tick that moves by what the program sleeps while each sleep
// takes a millisecond: the 5 s time-outs of a silent unit pass in a moment. Replies of a
// unit that answers take a fraction of a millisecond, far less than a brief sleep's step.
class TestTicks : public TransportTicks {
public:
    uint32_t Tick() override { return brief ? now_.load() : system_.Tick(); }
    void Sleep(uint32_t ms) override {
        if (!brief) return system_.Sleep(ms);
        now_ += ms;
        system_.Sleep(1);
    }
    std::atomic<bool> brief{false};

private:
    SystemTicks system_;
    std::atomic<uint32_t> now_{1000};
};

class RecordingUi : public CheckUi {
public:
    void ShowOpeningDialog() override { ++openingDialogs; }
    void RunIdSettingDialog() override { ++idDialogs; }
    void ShowText(const std::string& text, MessageBoxKind kind) override { texts.push_back({text, kind}); }
    // The recheck restores the cursor once it has merged what it found.
    void SetWaitCursor(bool busy) override {
        if (!busy && afterRecheck) std::exchange(afterRecheck, nullptr)();
    }
    int openingDialogs = 0;
    int idDialogs = 0;
    std::vector<std::pair<std::string, MessageBoxKind>> texts;
    std::function<void()> afterRecheck;  // once, when the next recheck has merged
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
    void Plug(uint16_t id, double celsius = 25.0, hw::SensorFault fault = hw::SensorFault::kNone,
              uint8_t powerFrequency = 0, uint8_t replyBytes = 8) {
        hw::SensorSettings s;
        const uint16_t serial = static_cast<uint16_t>(sensors_.size() + 1);
        s.identity = {'U', 0x9A, static_cast<uint16_t>((5 << 10) | 2), serial};
        s.id_number = id;
        s.profile = hw::TemperatureProfile::Constant(celsius);
        s.reply_delay_us = 200;
        s.fault = fault;
        s.power_frequency = powerFrequency;
        hw::SensorUsbIdentity identity;
        identity.reply_bytes = replyBytes;
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
    TestTicks ticks;
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

// A unit that sends more than the 40 bytes a read takes: the read ends with the more-data
// error and a full buffer, which counts as done (regression: the bus turned the oversize reply
// into a failure and the driver reported no bytes, so no such read could succeed).
TEST_F(UsbTransportTest, AReplyLongerThanTheReadBufferCountsAsRead) {
    Plug(31, 18.25, hw::SensorFault::kNone, 0, 64);
    ASSERT_EQ(transport.UsbFindDevices(), 0);
    SensorReply reply;
    ASSERT_EQ(transport.UsbTransactFound(0, MakeReadInfo(kInfoIdNumber), &reply), 0);
    EXPECT_EQ(reply.IdNumber(), 31);
    data.channels[0].usbHandle = data.found[0].usbHandle;
    data.channels[0].measureSwitch = 1;
    ASSERT_EQ(transport.UsbTransactChannel(0, MakeReadMeasurement(), &reply), 0);
    EXPECT_DOUBLE_EQ(ConvertRawValue(reply.MeasuredValue()).celsius, 18.25);
    // The power-frequency dialog's own reads take the same rule.
    data.channels[0].usbHandle = kInvalidDeviceHandle;
    EXPECT_EQ(transport.CloseFoundSlot(0), 0);
    EXPECT_EQ(procedures.PowerFrequencyRead(), kPowerFrequency50Hz);
    EXPECT_TRUE(ui.texts.empty());
}

// A unit that takes no request (its bulk OUT endpoint NAKs) fails the write at its time-out;
// one that never answers fails the read at its. Both are cancelled and the handle stays usable.
TEST_F(UsbTransportTest, WriteAndReadTimeOuts) {
    ticks.brief = true;
    Plug(41, 20.0, hw::SensorFault::kBusy);
    ASSERT_EQ(transport.UsbFindDevices(), 0);
    transport.SetCurrentUsbHandle(data.found[0].usbHandle);
    const WireBytes command = EncodeCommand(MakeReadInfo(kInfoIdNumber));
    uint32_t start = ticks.Tick();
    EXPECT_EQ(transport.UsbWriteCommand(command.data(), start, kUsbTransferTimeoutMs), -1);
    EXPECT_GE(ticks.Tick() - start, kUsbTransferTimeoutMs);

    sensors_[0]->firmware().SetFault(hw::SensorFault::kNoAnswer);
    start = ticks.Tick();
    EXPECT_EQ(transport.UsbWriteCommand(command.data(), start, kUsbTransferTimeoutMs), 1) << "the unit takes it";
    uint8_t reply[12];
    EXPECT_EQ(transport.UsbReadReply(reply, start, kUsbTransferTimeoutMs), -2);
    EXPECT_GE(ticks.Tick() - start, kUsbTransferTimeoutMs);

    sensors_[0]->firmware().SetFault(hw::SensorFault::kNone);
    SensorReply answer;
    ASSERT_EQ(transport.UsbTransactFound(0, MakeReadInfo(kInfoIdNumber), &answer), 0) << "the handle still works";
    EXPECT_EQ(answer.IdNumber(), 41);
    EXPECT_EQ(transport.CloseFoundSlot(0), 0);
}

// Units that do not answer during a check are dropped with message 48, shown once: not again
// for the second silent unit, nor in a later check of the same program run.
TEST_F(UsbTransportTest, Message48IsShownOnceForSilentUnits) {
    ticks.brief = true;
    Plug(51, 20.0);
    Plug(52, 21.0, hw::SensorFault::kNoAnswer);
    Plug(53, 22.0, hw::SensorFault::kNoAnswer);
    procedures.MenuSensorCheck();
    EXPECT_EQ(messages.Numbers(), (std::vector<int>{48, 73}));
    EXPECT_EQ(data.channels[0].idNumber, 51);
    EXPECT_TRUE(data.channels[1].IsEmpty()) << "the silent units are not taken";
    EXPECT_EQ(ValidFound(), 0);
    messages.Clear();
    procedures.MenuSensorCheck();
    EXPECT_EQ(messages.Numbers(), std::vector<int>{}) << "no second message 48 in this run";
}

TEST_F(UsbTransportTest, PowerFrequencyReadAndSendOverUsb) {
    Plug(61, 20.0, hw::SensorFault::kNone, 0);
    Plug(62, 20.0, hw::SensorFault::kNone, 1);
    EXPECT_EQ(procedures.PowerFrequencyRead(), kPowerFrequency50Hz) << "the first unit's answer";
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0].first, platform::sjis::S(kPowerFrequencyMixed));
    EXPECT_EQ(ui.texts[0].second, MessageBoxKind::Information);
    EXPECT_EQ(ValidFound(), 0) << "every unit closed again";

    ui.texts.clear();
    EXPECT_EQ(procedures.PowerFrequencySend(kPowerFrequency60Hz), 0);
    EXPECT_EQ(sensors_[0]->firmware().settings().power_frequency, 1);
    EXPECT_EQ(sensors_[1]->firmware().settings().power_frequency, 1);
    EXPECT_EQ(procedures.PowerFrequencyRead(), kPowerFrequency60Hz);
    EXPECT_TRUE(ui.texts.empty()) << "both alike now";
    EXPECT_EQ(ValidFound(), 0);
    EXPECT_FALSE(data.stateWord.Test(state::DEVICES_OPEN));

    // A unit that takes no request: the send fails with its box and the dialog stays open.
    ticks.brief = true;
    sensors_[1]->firmware().SetFault(hw::SensorFault::kBusy);
    EXPECT_EQ(procedures.PowerFrequencySend(kPowerFrequency50Hz), -1);
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0].first, platform::sjis::S(kPowerFrequencySendFailed));
    EXPECT_EQ(ValidFound(), 0);
}

// The calibration dialog on units that hold known temperatures: pass 1 against 0 °C with the
// units at 0.5 and 20.2 °C, pass 2 against 100 °C with them at 100.3 and 120.6 °C.
TEST_F(UsbTransportTest, CalibrationPassesComputeTheFactorsOfEveryUnit) {
    Plug(71, 0.5);
    Plug(72, 20.2);
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_EQ(procedures.SensorCheck(), 0);
    ASSERT_EQ(transport.CloseDevices(), 0);
    data.stateWord.Clear(state::STARTUP_CHECK);
    ASSERT_EQ(data.channels[0].channelNumber, 1);
    ASSERT_EQ(data.channels[1].channelNumber, 2);

    CalibrationDialogModel dialog(data, transport, procedures, messages);
    EXPECT_EQ(dialog.Title(), platform::sjis::S("校正機能（標準型）"));
    ASSERT_EQ(dialog.Measure(1, "0"), 0);
    EXPECT_EQ(dialog.ReferenceText(1), "0.00");
    EXPECT_EQ(dialog.FieldText(1, 1), "-0.50");
    EXPECT_EQ(dialog.FieldText(1, 2), "-20.20");
    EXPECT_EQ(dialog.FieldText(1, 3), "");
    EXPECT_FALSE(dialog.ComputeEnabled());
    EXPECT_FALSE(data.stateWord.Test(state::DEVICES_OPEN)) << "closed after the pass";

    sensors_[0]->firmware().SetProfile(hw::TemperatureProfile::Constant(100.3));
    sensors_[1]->firmware().SetProfile(hw::TemperatureProfile::Constant(120.6));
    ASSERT_EQ(dialog.Measure(2, "100"), 0);
    EXPECT_EQ(dialog.ReferenceText(2), "100.00");
    EXPECT_EQ(dialog.FieldText(2, 1), "-0.30");
    EXPECT_EQ(dialog.FieldText(2, 2), "-20.60");
    ASSERT_TRUE(dialog.ComputeEnabled());
    ASSERT_EQ(dialog.Compute(), 0);
    EXPECT_NEAR(data.channels[0].factorA, 0.998, 1e-5);
    EXPECT_NEAR(data.channels[0].factorB, 0.5, 1e-5);
    EXPECT_NEAR(data.channels[1].factorA, 1.004, 1e-5);
    EXPECT_NEAR(data.channels[1].factorB, 20.2, 1e-5);
    EXPECT_TRUE(messages.Numbers().empty()) << ::testing::PrintToString(messages.Numbers());

    // A unit that stops answering after the recheck fails pass 2 with message 16 through the
    // check's error report: the units are closed and computing is off until the pass is
    // measured again.
    ticks.brief = true;
    ui.afterRecheck = [&] { sensors_[1]->firmware().SetFault(hw::SensorFault::kNoAnswer); };
    EXPECT_EQ(dialog.Measure(2, "100"), -1);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{16});
    EXPECT_FALSE(dialog.ComputeEnabled());
    EXPECT_FALSE(data.stateWord.Test(state::DEVICES_OPEN));
    EXPECT_EQ(ValidFound(), 0);

    // A unit that does not answer the recheck abandons it: devices closed, both tables reset.
    messages.Clear();
    EXPECT_EQ(dialog.Measure(1, "0"), -1);
    EXPECT_TRUE(messages.Numbers().empty()) << "a recheck reports nothing";
    EXPECT_TRUE(data.channels[0].IsEmpty());
    EXPECT_EQ(ValidFound(), 0);
}

}  // namespace
}  // namespace ridaviri
