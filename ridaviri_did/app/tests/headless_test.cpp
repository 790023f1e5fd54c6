// The headless run end to end on a bus of simulated nodes and a simulated clock: command line,
// check, N samples printed and saved, failures with their message text and exit code.
#include "ridaviri/headless.h"

#include <gtest/gtest.h>

#include <sstream>
#include <unistd.h>

#include "fake_can.h"
#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "ridaviri/configuration.h"

namespace ridaviri {
namespace {

namespace fs = std::filesystem;
using testing::FakeCan;
using testing::FakeNode;
using testing::FakeTicks;

TEST(HeadlessCommandLine, Arguments) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        const char* errorPart;  // part of the error text (UTF-8)
    };
    const Case cases[] = {
        {{"--headless", "--interface", "usb", "--interval", "500", "--samples", "20", "--csv", "a.csv"}, true, ""},
        {{"--help"}, true, ""},
        {{}, true, ""},
        {{"--headless"}, false, "--csv"},
        {{"--headless", "--csv", "a.csv", "--interface", "lan"}, false, "can か usb"},
        {{"--headless", "--csv", "a.csv", "--interval", "99"}, false, "--interval"},
        {{"--headless", "--csv", "a.csv", "--interval", "1e3"}, false, "--interval"},
        {{"--headless", "--csv", "a.csv", "--samples", "0"}, false, "--samples"},
        {{"--headless", "--csv", "a.csv", "--samples", "65536"}, false, "--samples"},
        {{"--headless", "--csv"}, false, "値がありません"},
        {{"--verbose"}, false, "不明な引数"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        std::string error;
        auto o = ParseCommandLine(c.args, &error);
        EXPECT_EQ(o.has_value(), c.ok) << error;
        if (!c.ok) {
            EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        }
    }
    std::string error;
    auto o = ParseCommandLine(cases[0].args, &error);
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->headless);
    EXPECT_EQ(o->interface, kInterfaceUsb);
    EXPECT_EQ(o->intervalMs, 500u);
    EXPECT_EQ(o->samples, 20u);
    EXPECT_EQ(o->csv, fs::path("a.csv"));
    EXPECT_NE(HelpText().find("--headless --interface can"), std::string::npos) << "examples";
}

class HeadlessRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("ridaviri_headless_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    int Run(const HeadlessOptions& o) {
        platform::sync::LocalTime start{};
        start.year = 2026;
        start.month = 12;
        start.day = 9;
        start.hour = 23;
        start.minute = 59;
        start.second = 58;
        SimulatedClock clock(start);
        HeadlessEnvironment env{can_, ticks_, clock, folder_, out_, err_};
        return RunHeadless(o, env);
    }
    HeadlessOptions Options(uint32_t samples) {
        HeadlessOptions o;
        o.headless = true;
        o.interface = kInterfaceCan;
        o.intervalMs = 1000;
        o.samples = samples;
        o.csv = folder_ / "run.csv";
        return o;
    }

    FakeNode Node(uint32_t node, uint16_t id, uint32_t raw) {
        FakeNode n;
        n.node = node;
        n.identity = SensorIdentity{'T', 0x9A, (4 << 10) | 1, static_cast<uint16_t>(node)};
        n.idNumber = id;
        n.raw = raw;
        return n;
    }

    fs::path folder_;
    FakeTicks ticks_;
    FakeCan can_{ticks_};
    std::ostringstream out_, err_;
};

TEST_F(HeadlessRun, MeasuresNSamplesAcrossMidnightPrintsAndSavesThem) {
    can_.nodes = {Node(1, 1, 250000), Node(2, 2, 0x80000000u | 50000)};
    ASSERT_EQ(Run(Options(5)), 0) << err_.str();
    std::istringstream lines(out_.str());
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) all.push_back(line);
    ASSERT_EQ(all.size(), 5u) << out_.str();
    EXPECT_NE(all[0].find("CH1=25.0000 CH2=-5.0000"), std::string::npos) << all[0];
    EXPECT_EQ(all[0].rfind("1 ", 0), 0u);
    EXPECT_EQ(all[4].rfind("5 ", 0), 0u);
    EXPECT_NE(all[4].find("24:00:0"), std::string::npos) << "hours go on past midnight: " << all[4];

    auto csv = platform::ReadHostFile(folder_ / "run.csv");
    ASSERT_TRUE(csv);
    int sampleLines = 0;
    std::istringstream rows(*csv);
    while (std::getline(rows, line)) sampleLines += line.find(",25.00,-5.00,0.00,") != std::string::npos;
    EXPECT_EQ(sampleLines, 5) << *csv;
    EXPECT_TRUE(fs::exists(folder_ / kConfigurationFileName)) << "the configuration is written at the end";
}

TEST_F(HeadlessRun, NoUnitFailsWithTheMessageText) {
    EXPECT_EQ(Run(Options(3)), 1);
    EXPECT_NE(err_.str().find("計測機器が接続されていません。"), std::string::npos) << err_.str();
    EXPECT_TRUE(out_.str().empty());
    EXPECT_FALSE(fs::exists(folder_ / "run.csv"));
}

TEST_F(HeadlessRun, AUnitFallingSilentEndsTheRunWithMessage75) {
    can_.nodes = {Node(1, 1, 250000)};
    // Silent from the second poll on: the check and the first poll are answered.
    struct Silencer : FakeCan {
        using FakeCan::FakeCan;
        int polls = 0;
        uint32_t SendMessage(CanHandle port, const CanMessage* m, uint32_t count) override {
            if (m->data[1] == kCmdReadMeasurement && ++polls >= 2) nodes[0].silent = true;
            return FakeCan::SendMessage(port, m, count);
        }
    } silencer(ticks_);
    silencer.nodes = can_.nodes;
    platform::sync::LocalTime start{};
    start.year = 2026;
    start.month = 1;
    start.day = 1;
    SimulatedClock clock(start);
    HeadlessEnvironment env{silencer, ticks_, clock, folder_, out_, err_};
    EXPECT_EQ(RunHeadless(Options(5), env), 1);
    EXPECT_NE(err_.str().find("計測中の機器からの応答がありません。"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("計測が途中で終了しました。"), std::string::npos) << err_.str();
    // The silent poll's sample is stored with 0 for the silent channel, as the log would hold it.
    EXPECT_NE(out_.str().find("2 "), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("CH1=0.0000"), std::string::npos) << out_.str();
    EXPECT_EQ(out_.str().find("3 "), std::string::npos) << out_.str();
}

}  // namespace
}  // namespace ridaviri
