// The main view end to end without widgets: the opening dialog and the check on a bus of
// simulated nodes, the commands as the state allows them, a measurement on a simulated clock
// filling the graph, a unit falling silent, saving, opening, the settings and the exit.
#include "ridaviri/ui/tq_view.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "expected_configuration.h"
#include "fake_can.h"
#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "ridaviri/measurement_log.h"
#include "scripted_windows.h"

namespace ridaviri {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::sjis::S;
using testing::ExpectedConfiguration;
using testing::FakeCan;
using testing::FakeNode;
using testing::FakeTicks;
using testing::ScriptedWindows;

uint32_t Raw(double celsius) { return RawFromCelsius(celsius); }

FakeNode Node(uint32_t node, uint16_t id, double celsius) {
    FakeNode n;
    n.node = node;
    n.identity = SensorIdentity{'T', 26, uint16_t((4 << 10) | 1), uint16_t(node)};
    n.idNumber = id;
    n.raw = Raw(celsius);
    return n;
}

class ViewTest : public ::testing::Test {
protected:
    ViewTest()
        : folder_(fs::temp_directory_path() / ("ridaviri_view_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name())),
          clock_(Start()),
          call_([this](std::function<void()> task) {
              std::lock_guard lock(postedMutex_);
              posted_.push_back(std::move(task));
          }),
          transport_(data_, messages_, can_, ticks_) {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        view_ = std::make_unique<TQViewModel>(
            TQViewModel::Environment{data_, transport_, messages_, clock_, windows_, call_, folder_, writer_});
        startMs_ = clock_.NowMs();
        // Time stands still until a test lets it run.
        clock_.SetHorizon(startMs_);
    }
    ~ViewTest() override {
        clock_.ClearHorizon();
        call_.Close();
        view_.reset();
        fs::remove_all(folder_);
    }

    static platform::sync::LocalTime Start() {
        platform::sync::LocalTime t{};
        t.year = 2026;
        t.month = 12;
        t.day = 9;
        t.hour = 10;
        return t;
    }

    // Lets the measurement run until `ms` after the start of the test, then waits until the
    // view has drawn `drawn` samples.
    void RunUntil(uint64_t ms, std::size_t drawn) {
        clock_.SetHorizon(startMs_ + ms);
        ASSERT_TRUE(clock_.WaitUntilIdle(60s));
        for (int i = 0; i < 2000 && view_->DrawnSamples() < drawn; ++i) std::this_thread::sleep_for(1ms);
        ASSERT_EQ(view_->DrawnSamples(), drawn);
    }

    // Three units on channels 1-3, checked at start-up over CAN.
    void StartUpWithThreeUnits() {
        can_.nodes = {Node(1, 1, 20.5), Node(2, 2, -3.25), Node(3, 3, 99)};
        ASSERT_TRUE(view_->FirstUpdate());
        ASSERT_EQ(data_.deviceCount, 3);
    }

    fs::path folder_;
    MonitorData data_;
    ScriptedMessages messages_;
    SimulatedClock clock_;
    ScriptedWindows windows_;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    WindowThreadCall call_;
    FakeTicks ticks_;
    FakeCan can_{ticks_};
    SensorTransport transport_;
    PlatformProfileWriter writer_;
    std::unique_ptr<TQViewModel> view_;
    uint64_t startMs_ = 0;
};

TEST_F(ViewTest, StartUpChecksTheChosenBusAndEnablesTheCommands) {
    StartUpWithThreeUnits();
    EXPECT_EQ(windows_.openingPreselections, std::vector<int>{0});
    EXPECT_EQ(data_.channels[2].channelNumber, 3);
    EXPECT_FALSE(data_.stateWord.Test(state::STARTUP_CHECK));
    EXPECT_TRUE(view_->Enabled(MonitorCommand::Start));
    EXPECT_TRUE(view_->Enabled(MonitorCommand::OtherSettings));
    EXPECT_FALSE(view_->Enabled(MonitorCommand::IdSetting)) << "three units";
    EXPECT_FALSE(view_->Enabled(MonitorCommand::Stop));
    EXPECT_FALSE(view_->Enabled(MonitorCommand::AllChannelGraph));
    const TQViewModel::View v = view_->CurrentView();
    EXPECT_EQ(v.interval, "1000");
    EXPECT_EQ(v.timeLabels[0], "00:00:00");
    EXPECT_EQ(v.timeLabels[1], "00:00:09");
    EXPECT_EQ(v.temperatureLabels[0], "100.00");
    EXPECT_EQ(v.temperatureLabels[10], "0.00");
    EXPECT_FALSE(v.graph.plot);
}

TEST_F(ViewTest, AMeasurementFillsTheGraphScrollsAndEndsWhenAUnitFallsSilent) {
    StartUpWithThreeUnits();
    view_->Execute(MonitorCommand::Start);
    EXPECT_EQ(view_->GraphMode(), kGraphPlot);
    RunUntil(39500, 40);
    EXPECT_TRUE(view_->Enabled(MonitorCommand::Stop));
    EXPECT_TRUE(view_->Enabled(MonitorCommand::AllChannelGraph));
    EXPECT_FALSE(view_->Enabled(MonitorCommand::Start));
    EXPECT_FALSE(view_->Enabled(MonitorCommand::Open));

    TQViewModel::View v = view_->CurrentView();
    EXPECT_EQ(view_->PointCount(), 36);
    EXPECT_EQ(v.values[0], "20.50");
    EXPECT_EQ(v.values[1], "-3.25");
    EXPECT_EQ(v.values[2], "99.00");
    EXPECT_EQ(v.values[3], "");
    EXPECT_EQ(v.timeLabels[0], "00:00:04") << "40 samples: the graph moved four points";
    EXPECT_EQ(v.timeLabels[4], "00:00:40");
    ASSERT_EQ(v.graph.lines.size(), 3u);
    EXPECT_EQ(v.graph.lines[1].channel, 2);
    ASSERT_EQ(v.graph.lines[1].points.size(), 36u);
    EXPECT_DOUBLE_EQ(v.graph.lines[1].points[35][0], 350);
    EXPECT_DOUBLE_EQ(v.graph.lines[1].points[35][1], PixelY(-3.25, kMainGraphHeight, {1, 100, 0}));

    // The second unit is unplugged: the sample of that poll is stored (0 for it), its field
    // says so, message 75 ends the measurement and the stop command goes off.
    can_.nodes[1].silent = true;
    clock_.SetHorizon(startMs_ + 42500);
    ASSERT_TRUE(messages_.WaitForCount(1, 60s));
    view_->Measure().Join();
    EXPECT_EQ(messages_.Numbers(), std::vector<int>{75});
    EXPECT_FALSE(view_->Measure().Running());
    ASSERT_EQ(data_.SampleIndex(), 41u);
    EXPECT_EQ(data_.samples.At(40, 0), 20.5);
    EXPECT_EQ(data_.samples.At(40, 1), 0.0);
    EXPECT_EQ(data_.channels[1].noResponse, 1);
    EXPECT_EQ(view_->CurrentView().values[1], S("通信異常"));
    EXPECT_EQ(view_->CurrentView().values[0], "20.50");
    EXPECT_TRUE(data_.stateWord.Test(state::UNSAVED));
    EXPECT_FALSE(view_->Enabled(MonitorCommand::Stop));
    EXPECT_TRUE(view_->Enabled(MonitorCommand::Save));

    // Saved as run1.csv in the log folder, byte for byte what the log writer makes.
    windows_.saveFile = folder_ / "log" / "run1";
    view_->Execute(MonitorCommand::Save);
    EXPECT_EQ(windows_.lastFolder, folder_ / "log");
    const auto saved = platform::ReadHostFile(folder_ / "log" / "run1.csv");
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, *BuildMeasurementLog(data_));
    EXPECT_FALSE(data_.stateWord.Test(state::UNSAVED));
}

TEST_F(ViewTest, ExitWhileMeasuringAsksToSaveAndWritesTheConfiguration) {
    StartUpWithThreeUnits();
    view_->Execute(MonitorCommand::Start);
    RunUntil(4500, 5);
    messages_.Answer(kAnswerYes);
    windows_.saveFile = folder_ / "exit.csv";
    view_->Exit();
    EXPECT_EQ(messages_.Numbers(), std::vector<int>{143});
    EXPECT_FALSE(view_->Measure().Running());
    ASSERT_TRUE(fs::exists(folder_ / "exit.csv"));
    const auto ini = platform::ReadHostFile(folder_ / kConfigurationFileName);
    ASSERT_TRUE(ini);
    EXPECT_EQ(*ini, ExpectedConfiguration());
}

TEST_F(ViewTest, TheOpeningDialogsEndButtonClosesAndViewerRunsNoCheck) {
    windows_.openingChoices = {-1};
    EXPECT_FALSE(view_->FirstUpdate());
    EXPECT_EQ(windows_.closeRequests, 1);

    windows_.openingChoices = {kInterfaceViewer};
    can_.nodes = {Node(1, 1, 20)};
    EXPECT_TRUE(view_->FirstUpdate());
    EXPECT_EQ(data_.interfaceKind, kInterfaceViewer);
    EXPECT_EQ(can_.opens, 0) << "no sensor check";
    EXPECT_FALSE(view_->Enabled(MonitorCommand::Start));
    EXPECT_FALSE(view_->Enabled(MonitorCommand::SensorCheck));
    EXPECT_TRUE(view_->Enabled(MonitorCommand::Open));
}

TEST_F(ViewTest, AFailedCheckShowsTheOpeningDialogAgain) {
    windows_.openingChoices = {kInterfaceCan, kInterfaceViewer};
    EXPECT_TRUE(view_->FirstUpdate());
    EXPECT_EQ(messages_.Numbers(), std::vector<int>{1});
    EXPECT_EQ(windows_.openingPreselections.size(), 2u);
    EXPECT_EQ(data_.interfaceKind, kInterfaceViewer);
}

TEST_F(ViewTest, HighPrecisionLabelsStopAt200) {
    {
        MonitorData stored(1);
        stored.interfaceKind = kInterfaceViewer;
        stored.channels[0].precisionModel = 1;
        stored.channels[0].interval = 2000;
        stored.settings = {0, 0, "10", "250", "-20"};
        PlatformProfileWriter writer;
        ASSERT_EQ(WriteConfiguration(stored, folder_, writer), 0);
    }
    ASSERT_TRUE(view_->FirstUpdate());
    EXPECT_EQ(windows_.openingPreselections, std::vector<int>{kInterfaceViewer});
    const TQViewModel::View v = view_->CurrentView();
    EXPECT_EQ(v.temperatureLabels[0], "200.000");
    EXPECT_EQ(v.temperatureLabels[10], "-20.000");
    EXPECT_DOUBLE_EQ(view_->Graph().Get().max, 200);
    EXPECT_EQ(v.timeLabels[1], "00:03:00") << "2000 ms x 9 x 10";
}

TEST_F(ViewTest, OtherSettingsApplyTheWorkingCopyAndBlankTheGraph) {
    StartUpWithThreeUnits();
    view_->Execute(MonitorCommand::Start);
    RunUntil(2500, 3);
    view_->Execute(MonitorCommand::Stop);
    messages_.Answer(kAnswerNo);  // question 115: do not save
    windows_.settings = [&](SettingsDialogModel& settings) {
        EXPECT_EQ(data_.found[2].idNumber, 3) << "the working copy";
        IntervalDialogModel interval(data_, messages_);
        EXPECT_EQ(interval.Apply(2550), -1);
        EXPECT_EQ(interval.Apply(2000), 0);
        EXPECT_EQ(data_.channels[0].interval, 1000u) << "not before sending";
        return settings.Send() == 0;
    };
    view_->Execute(MonitorCommand::OtherSettings);
    EXPECT_EQ(messages_.Numbers(), (std::vector<int>{115, 21}));
    EXPECT_FALSE(data_.stateWord.Test(state::UNSAVED));
    EXPECT_EQ(data_.channels[2].interval, 2000u);
    EXPECT_EQ(view_->GraphMode(), kGraphBlank);
    const TQViewModel::View v = view_->CurrentView();
    EXPECT_EQ(v.interval, "2000");
    EXPECT_EQ(v.values[0], "");
    EXPECT_EQ(v.timeLabels[1], "00:00:18");
    EXPECT_EQ(data_.samples.At(1, 0), 0.0);
}

TEST_F(ViewTest, DisplayChannelSelectionNeedsData) {
    StartUpWithThreeUnits();
    // Enabled only with data, so the rule is reached through a check the command makes itself.
    data_.stateWord.Set(state::STOP_REQUEST);
    view_->Execute(MonitorCommand::DisplayChannelSelection);
    EXPECT_EQ(messages_.Numbers(), std::vector<int>{51});
    EXPECT_TRUE(windows_.Shown().empty() || windows_.Shown().back() != "channelSelection");
}

TEST_F(ViewTest, AnOpenedLogIsShownAndRescaled) {
    StartUpWithThreeUnits();
    view_->Execute(MonitorCommand::Start);
    RunUntil(59500, 60);
    view_->Execute(MonitorCommand::Stop);
    windows_.saveFile = folder_ / "sixty.csv";
    view_->Execute(MonitorCommand::Save);

    windows_.openFile = folder_ / "sixty.csv";
    view_->Execute(MonitorCommand::Open);
    EXPECT_EQ(data_.stateWord.Mode(), state::kModeFileShown);
    EXPECT_EQ(view_->GraphMode(), kGraphPlot);
    EXPECT_EQ(view_->PointCount(), 36);
    TQViewModel::View v = view_->CurrentView();
    EXPECT_EQ(v.graph.lines.size(), 20u) << "a shown file plots all twenty channels";
    EXPECT_EQ(v.values[2], "99.00");
    EXPECT_EQ(v.timeLabels[0], "00:00:24");
    EXPECT_TRUE(view_->Enabled(MonitorCommand::AllChannelGraph));

    windows_.graphScaling = [](GraphScalingDialogModel& m) {
        m.multiplier = 1;  // x 10
        m.maxText = "120.00";
        bool accepted = false;
        m.Ok(&accepted);
        return accepted;
    };
    view_->Execute(MonitorCommand::GraphScaling);
    EXPECT_EQ(data_.settings.scale, "10");
    EXPECT_EQ(data_.settings.max, "120.00");
    EXPECT_EQ(view_->PointCount(), 7) << "samples 0, 9, 19, ..., 59";
    v = view_->CurrentView();
    EXPECT_EQ(v.temperatureLabels[0], "120.00");
    EXPECT_DOUBLE_EQ(v.graph.lines[0].points[6][1], PixelY(20.5, kMainGraphHeight, {10, 120, 0}));

    // The graph channel selection of a shown file works on the twenty positions.
    windows_.channelSelection = [](ChannelSelectionModel& m) {
        m.SetChecked(0, false);
        return m.Ok() == 0;
    };
    view_->Execute(MonitorCommand::DisplayChannelSelection);
    v = view_->CurrentView();
    EXPECT_DOUBLE_EQ(v.graph.lines[0].points[6][1], PixelY(0, kMainGraphHeight, {10, 120, 0}))
        << "a channel not chosen runs at 0 °C";
}

TEST_F(ViewTest, ManufacturingNumberAndVersion) {
    StartUpWithThreeUnits();
    std::string text;
    windows_.manufacturingNumber = [&](ManufacturingNumberModel& m) { m.Show(2, &text); };
    view_->Execute(MonitorCommand::ManufacturingNumber);
    EXPECT_EQ(text, "T26-04001-0003");
    view_->Execute(MonitorCommand::About);
    view_->Execute(MonitorCommand::Close);  // never enabled: nothing
    const auto shown = windows_.Shown();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "version"), 1);
}

}  // namespace
}  // namespace ridaviri
