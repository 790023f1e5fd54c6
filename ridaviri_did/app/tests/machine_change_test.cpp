// The monitor on a machine whose CAN board is not plugged in at first, with USB units whose
// manufacturing numbers carry the awkward year bytes 10 (line feed), 13 (carriage return) and
// 48 ("0"), and one USB unit and the board that are plugged in while the monitor runs. The
// process boots the machine of $PLATFORM_MACHINE at its first device call; the tests change it
// through its control socket, as machinectl does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "hw/machine.h"
#include "platform/device.h"
#include "platform/hostfile.h"
#include "ridaviri/configuration.h"
#include "ridaviri/device_changes.h"
#include "ridaviri/headless.h"
#include "ridaviri/measurement_clock.h"
#include "ridaviri/sensor_check.h"
#include "ridaviri/transport_seams.h"
#include "ridaviri/wrap_dev.h"

namespace ridaviri {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kMachine = R"([Machine]
Name=monitor-changes
FastMode=1

[Bus CAN1]
BitTimeNs=12000

[Board 1]
Kind=FIFO
Channels=2
Bus=CAN1
SubsystemId=0x2402
Revision=3
ChannelInterruptMask=0xFE
InterruptLine=11
Plugged=0

[CanSensor 1]
Bus=CAN1
Node=1
IdNumber=1
Identity=T26-04001-0001
Profile=constant:20

[UsbSensor 10]
IdNumber=21
Identity=U10-05002-0021
YearByte=10
Profile=constant:21

[UsbSensor 13]
IdNumber=22
Identity=U13-05002-0022
YearByte=13
Profile=constant:22

[UsbSensor 48]
IdNumber=23
Identity=U48-05002-0023
YearByte=48
Profile=constant:23

[UsbSensor 4]
IdNumber=24
Identity=U26-05002-0024
Profile=constant:24
Plugged=0
)";

// Long enough for anything that is not stuck (a hang guard, not a timing assertion).
constexpr auto kHangGuard = 20s;

class RecordingUi : public CheckUi {
public:
    void ShowOpeningDialog() override { ++openingDialogs; }
    int openingDialogs = 0;
};

// Device-change notifications waiting for the "user-interface thread" (the test's).
class ChangeQueue {
public:
    void Post() {
        std::lock_guard lock(mutex_);
        ++pending_;
        changed_.notify_all();
    }
    // Waits for at least one notification; takes all that came. 0 when none came in time.
    int Take() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kHangGuard, [&] { return pending_ > 0; });
        return std::exchange(pending_, 0);
    }
    // Takes what came meanwhile without waiting.
    int TakeNow() {
        std::lock_guard lock(mutex_);
        return std::exchange(pending_, 0);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int pending_ = 0;
};

class MachineChanges : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new fs::path(fs::temp_directory_path() / ("ridaviri_changes_" + std::to_string(::getpid())));
        fs::remove_all(*root_);
        fs::create_directories(*root_);
        ASSERT_TRUE(platform::WriteHostFileAtomic(*root_ / "machine.ini", kMachine));
        ::setenv("PLATFORM_ROOT", (*root_ / "prefix").c_str(), 1);
        ::setenv("PLATFORM_MACHINE", (*root_ / "machine.ini").c_str(), 1);
    }
    static void TearDownTestSuite() {
        fs::remove_all(*root_);
        delete root_;
    }

    // One command to the running machine; its answer.
    static std::string Control(const std::string& command) {
        // Any device call boots the machine (and its control socket) if it is not running yet.
        SetupDiDestroyDeviceInfoList(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT));
        std::string answer;
        std::string error;
        if (!hw::SendControlCommand(hw::ControlSocketPath(::getpid()), command, &answer, &error)) return "error " + error;
        return answer;
    }

    int RunHeadless(const fs::path& programFolder, InterfaceKind interface, std::string* err) {
        fs::create_directories(programFolder);
        platform::sync::LocalTime start{};
        start.year = 2026;
        start.month = 12;
        start.day = 9;
        start.hour = 12;
        SimulatedClock clock(start);
        std::ostringstream o, e;
        HeadlessEnvironment env{can_, ticks_, clock, programFolder, o, e};
        HeadlessOptions options;
        options.headless = true;
        options.interface = interface;
        options.samples = 2;
        options.csv = programFolder / "run.csv";
        const int result = ridaviri::RunHeadless(options, env);
        *err = e.str();
        return result;
    }

    static fs::path* root_;
    DizedLibrary can_;
    SystemTicks ticks_;
};

fs::path* MachineChanges::root_ = nullptr;

// Regression: years 10 and 13 made Zuzodavu.INI unwritable (the run still exited 0) and year 48
// read back as 0, so the next start-up saw other units than it had configured.
TEST_F(MachineChanges, UnitsWithYearBytes10And13And48AreKeptInZuzodavuIni) {
    const fs::path program = *root_ / "years";
    std::string err;
    ASSERT_EQ(RunHeadless(program, kInterfaceUsb, &err), 0) << err;
    EXPECT_EQ(err.find("Zuzodavu.INI"), std::string::npos) << err;
    MonitorData data(1);
    ReadConfiguration(data, ConfigurationPath(program));
    std::vector<int> years;
    for (const ChannelRecord& r : data.channels) {
        if (!r.IsEmpty()) years.push_back(r.identity.year);
    }
    std::sort(years.begin(), years.end());
    EXPECT_EQ(years, (std::vector<int>{10, 13, 48}));
    // The next start finds the units it configured: no change of the configuration (68).
    ASSERT_EQ(RunHeadless(program, kInterfaceUsb, &err), 0) << err;
    EXPECT_EQ(err.find("[68]"), std::string::npos) << err;
}

// Regression: without a board the CAN check transacted on a port that never opened, showed
// messages 48 and 52 and ended the program instead of offering the opening dialog again.
TEST_F(MachineChanges, NoBoardButCanNodesConfiguredGivesTheOpeningDialog) {
    MonitorData data(16);
    data.interfaceKind = kInterfaceCan;
    data.channels[0].identity = SensorIdentity{'T', 26, (4 << 10) | 1, 1};
    data.channels[0].idNumber = 1;
    data.channels[0].canNode = 1;
    data.channels[0].channelNumber = 1;
    data.channels[0].measureSwitch = 1;
    ScriptedMessages messages;
    RecordingUi ui;
    SensorTransport transport(data, messages, can_, ticks_);
    std::vector<int> aborts;
    transport.SetAbortHandler([&](int code) { aborts.push_back(code); });
    SensorProcedures procedures(data, transport, messages, ui);
    data.stateWord.Set(state::STARTUP_CHECK);
    EXPECT_EQ(procedures.SensorCheck(), -1);
    EXPECT_EQ(ui.openingDialogs, 1);
    EXPECT_TRUE(messages.Numbers().empty()) << ::testing::PrintToString(messages.Numbers());
    EXPECT_TRUE(aborts.empty());
    EXPECT_EQ(transport.CanPort(), 0u);

    std::string err;
    EXPECT_EQ(RunHeadless(*root_ / "noboard", kInterfaceCan, &err), 1);
    EXPECT_EQ(err.find("[48]"), std::string::npos) << err;
    EXPECT_EQ(err.find("[52]"), std::string::npos) << err;
}

// Plugging a USB unit in, or a board, reaches the idle monitor through the system's
// device-change notifications; the recheck it runs reports the changed configuration (68).
TEST_F(MachineChanges, PluggingAUnitOrABoardRechecksTheIdleMonitor) {
    MonitorData data(16);
    data.interfaceKind = kInterfaceUsb;
    ScriptedMessages messages;
    RecordingUi ui;
    SensorTransport transport(data, messages, can_, ticks_);
    SensorProcedures procedures(data, transport, messages, ui);
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_EQ(procedures.SensorCheck(), 0) << ::testing::PrintToString(messages.Numbers());
    transport.CloseDevices();
    data.stateWord.Clear(state::STARTUP_CHECK);
    ASSERT_EQ(data.deviceCount, 3);

    ChangeQueue changes;
    DeviceChangeWatcher watcher([&] { changes.Post(); });
    ASSERT_TRUE(watcher.Watching());
    messages.Clear();

    ASSERT_EQ(Control("plug UsbSensor 4"), "ok\n");
    ASSERT_GT(changes.Take(), 0) << "no notification for the unit plugged in";
    procedures.OnDeviceChange();
    EXPECT_EQ(messages.Numbers(), std::vector<int>{68});
    EXPECT_TRUE(data.stateWord.Test(state::CHECK_NEEDED));
    EXPECT_FALSE(data.stateWord.Test(state::DEVICES_OPEN));
    int units = 0;
    for (const ChannelRecord& r : data.channels) units += !r.IsEmpty();
    EXPECT_EQ(units, 4);

    // The user's check clears the mark; then the unit goes away again.
    data.stateWord.Clear(state::CHECK_NEEDED);
    messages.Clear();
    ASSERT_EQ(Control("unplug UsbSensor 4"), "ok\n");
    ASSERT_GT(changes.Take(), 0) << "no notification for the unit unplugged";
    procedures.OnDeviceChange();
    EXPECT_EQ(messages.Numbers(), std::vector<int>{68});
    units = 0;
    for (const ChannelRecord& r : data.channels) units += !r.IsEmpty();
    EXPECT_EQ(units, 3);

    // A board's channels are device changes too.
    data.stateWord.Clear(state::CHECK_NEEDED);
    messages.Clear();
    ASSERT_EQ(Control("plug Board 1"), "ok\n");
    ASSERT_GT(changes.Take(), 0) << "no notification for the board plugged in";
    procedures.OnDeviceChange();
    EXPECT_TRUE(messages.Numbers().empty()) << "the USB units did not change";
    EXPECT_FALSE(data.stateWord.Test(state::DEVICES_OPEN));
    changes.TakeNow();
}

}  // namespace
}  // namespace ridaviri
