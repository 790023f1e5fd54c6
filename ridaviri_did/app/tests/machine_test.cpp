// The headless run on the simulated machine, through the whole stack: the CAN library, the
// board driver, the simulated board and bus with three sensor nodes (IDs 5, 0 and 7), and the
// sensor driver with two simulated USB units. The process boots the machine of
// $PLATFORM_MACHINE at its first device call, so this is a process of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <unistd.h>

#include "platform/hostfile.h"
#include "ridaviri/headless.h"
#include "ridaviri/measurement_clock.h"
#include "ridaviri/transport_seams.h"

namespace ridaviri {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMachine = R"([Machine]
Name=monitor-test
FastMode=1

[Bus CAN1]
BitTimeNs=12000

[Board 1]
Kind=FIFO
Channels=2
Bus=CAN1
SubsystemId=0x2402
Revision=3
Switch=0x00
ChannelInterruptMask=0xFE
InterruptLine=11

[CanSensor 5]
Bus=CAN1
Node=5
IdNumber=5
Identity=T26-04001-0005
Profile=constant:20.5

[CanSensor 6]
Bus=CAN1
Node=6
IdNumber=0
Identity=T26-04001-0006
Profile=constant:99

[CanSensor 7]
Bus=CAN1
Node=7
IdNumber=7
Identity=T26-04001-0007
Profile=constant:-3.25

[UsbSensor 1]
IdNumber=11
Identity=U26-05002-0011
Profile=constant:25

[UsbSensor 2]
IdNumber=12
Identity=U26-05002-0012
Profile=constant:30.5
)";

class MachineRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new fs::path(fs::temp_directory_path() / ("ridaviri_machine_" + std::to_string(::getpid())));
        fs::remove_all(*root_);
        fs::create_directories(*root_ / "program");
        ASSERT_TRUE(platform::WriteHostFileAtomic(*root_ / "machine.ini", kMachine));
        ::setenv("PLATFORM_ROOT", (*root_ / "prefix").c_str(), 1);
        ::setenv("PLATFORM_MACHINE", (*root_ / "machine.ini").c_str(), 1);
    }
    static void TearDownTestSuite() {
        fs::remove_all(*root_);
        delete root_;
    }

    int Run(InterfaceKind interface, uint32_t samples, std::string* out, std::string* err) {
        platform::sync::LocalTime start{};
        start.year = 2026;
        start.month = 12;
        start.day = 9;
        start.hour = 12;
        SimulatedClock clock(start);
        std::ostringstream o, e;
        HeadlessEnvironment env{can_, ticks_, clock, *root_ / "program", o, e};
        HeadlessOptions options;
        options.headless = true;
        options.interface = interface;
        options.intervalMs = 1000;
        options.samples = samples;
        options.csv = *root_ / (interface == kInterfaceCan ? "can.csv" : "usb.csv");
        const int result = RunHeadless(options, env);
        *out = o.str();
        *err = e.str();
        return result;
    }

    static fs::path* root_;
    DizedLibrary can_;
    SystemTicks ticks_;
};

fs::path* MachineRun::root_ = nullptr;

TEST_F(MachineRun, CanCheckDropsTheIdLessNodeAndMeasuresTheOtherTwo) {
    std::string out, err;
    ASSERT_EQ(Run(kInterfaceCan, 3, &out, &err), 0) << err;
    // Message 65 for the node without ID; the other two are measured on channels 1 and 2.
    EXPECT_NE(err.find("[65]"), std::string::npos) << err;
    std::istringstream lines(out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        EXPECT_NE(line.find("CH1=20.5000 CH2=-3.2500"), std::string::npos) << line;
        EXPECT_EQ(line.find("CH3"), std::string::npos) << line;
    }
    EXPECT_EQ(n, 3) << out;
    auto csv = platform::ReadHostFile(*root_ / "can.csv");
    ASSERT_TRUE(csv);
    EXPECT_NE(csv->find("12:00:02:000,20.50,-3.25,0.00"), std::string::npos) << *csv;
}

TEST_F(MachineRun, UsbCheckAndMeasurement) {
    std::string out, err;
    ASSERT_EQ(Run(kInterfaceUsb, 2, &out, &err), 0) << err;
    std::istringstream lines(out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        EXPECT_NE(line.find("CH1=25.0000 CH2=30.5000"), std::string::npos) << line;
    }
    EXPECT_EQ(n, 2) << out;
    EXPECT_TRUE(fs::exists(*root_ / "usb.csv"));
}

}  // namespace
}  // namespace ridaviri
