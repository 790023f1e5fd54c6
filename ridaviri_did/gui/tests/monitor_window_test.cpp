// The monitor's window end to end, offscreen, on a machine of the test's own: the CAN library,
// the board driver and a simulated bus with three sensor nodes of constant temperatures, the
// measurement paced by a simulated clock. Every dialog is filled through its own controls by
// the scripted dialog runner; every numbered message is recorded and answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>

#include "expected_configuration.h"
#include "hw/machine.h"
#include "platform/hostfile.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "qtsupport/dialog_runner.h"
#include "qtsupport/gui_test.h"
#include "ridaviri/gui/aux_windows.h"
#include "ridaviri/gui/program.h"
#include "ridaviri/measurement_log.h"

namespace ridaviri::gui {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using qtsupport::ClickButton;
using qtsupport::testing::Find;

constexpr const char* kMachine = R"([Machine]
Name=window-test
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

[CanSensor 1]
Bus=CAN1
Node=1
IdNumber=1
Identity=T26-04001-0001
Profile=constant:20.5

[CanSensor 2]
Bus=CAN1
Node=2
IdNumber=2
Identity=T26-04001-0002
Profile=constant:36.25

[CanSensor 3]
Bus=CAN1
Node=3
IdNumber=3
Identity=T26-04001-0003
Profile=constant:71
)";

// One command to this process's machine, as machinectl sends it; the answer, or the failing
// call's error.
std::string MachineControl(const std::string& command) {
    std::string answer;
    std::string error;
    if (!hw::SendControlCommand(hw::ControlSocketPath(::getpid()), command, &answer, &error)) return "error " + error;
    return answer;
}

template <typename Predicate>
bool Pump(Predicate done, std::chrono::milliseconds timeout = 20s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    QApplication::processEvents();
    return true;
}

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

platform::sync::LocalTime Noon() {
    platform::sync::LocalTime t{};
    t.year = 2026;
    t.month = 12;
    t.day = 9;
    t.hour = 12;
    return t;
}

class MonitorWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new fs::path(fs::temp_directory_path() / ("ridaviri_window_" + std::to_string(::getpid())));
        fs::remove_all(*root_);
        fs::create_directories(*root_ / "runtime");
        ASSERT_TRUE(platform::WriteHostFileAtomic(*root_ / "machine.ini", kMachine));
        ::setenv("PLATFORM_ROOT", (*root_ / "prefix").c_str(), 1);
        ::setenv("PLATFORM_MACHINE", (*root_ / "machine.ini").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (*root_ / "runtime").c_str(), 1);
        std::string error;
        ASSERT_TRUE(platform::shell::ProvisionPrefix(&error)) << error;
    }
    static void TearDownTestSuite() {
        fs::remove_all(*root_);
        delete root_;
    }

    void SetUp() override {
        folder_ = *root_ / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(folder_);
        registry_ = std::make_unique<platform::registry::Registry>(folder_ / "registry");
        ASSERT_EQ(registry_->ProvisionHives(), platform::registry::Status::Ok);
        MonitorProgram::Seams seams;
        seams.windows.runner = &runner_;
        seams.windows.registry = registry_.get();
        seams.windows.askSaveFile = [this](const fs::path& folder) {
            askedIn_ = folder;
            return saveAs_;
        };
        seams.windows.askOpenFile = [](const fs::path&) { return std::optional<fs::path>(); };
        seams.present = [this](const MessageDefinition& box) {
            shown_.push_back(box.number);
            if (!IsQuestion(box.kind)) return kAnswerOk;
            if (answers_.empty()) return kAnswerNo;
            const int a = answers_.front();
            answers_.pop_front();
            return a;
        };
        program_ = std::make_unique<MonitorProgram>(can_, ticks_, clock_, folder_, std::move(seams));
        startMs_ = clock_.NowMs();
        // Time stands still until a test lets it run.
        clock_.SetHorizon(startMs_);
    }
    void TearDown() override {
        clock_.ClearHorizon();
        program_.reset();
        // The machine lives as long as the process: what a test unplugged is plugged again.
        for (const std::string& unit : unplugged_) MachineControl("plug " + unit);
    }

    void StartAndSilenceAll();

    CMainFrame& frame() { return program_->frame(); }
    TQViewModel& model() { return frame().model(); }
    MonitorData& data() { return program_->data(); }

    // Start-up with "CANバス" chosen in the opening dialog.
    void StartOnCan() {
        runner_.Queue([](QDialog& d) {
            Find<QRadioButton>(d, "rbCan")->setChecked(true);
            ClickButton(d, "btnOk");
        });
        ASSERT_TRUE(frame().Start());
        ASSERT_EQ(data().deviceCount, 3);
        ASSERT_TRUE(frame().isVisible());
    }

    // Lets the measurement run until `ms` after the start, then waits until the window shows
    // `drawn` samples.
    void RunUntil(uint64_t ms, std::size_t drawn) {
        clock_.SetHorizon(startMs_ + ms);
        ASSERT_TRUE(clock_.WaitUntilIdle(60s));
        ASSERT_TRUE(Pump([&] { return model().DrawnSamples() >= drawn; })) << model().DrawnSamples();
    }

    QString Text(const char* name) { return Find<QLineEdit>(frame(), name)->text(); }
    void Trigger(MonitorCommand command) {
        frame().UpdateCommands();
        ASSERT_TRUE(frame().action(command)->isEnabled()) << InfoOf(command).objectName;
        frame().action(command)->trigger();
        QApplication::processEvents();
    }

    static fs::path* root_;
    fs::path folder_;
    DizedLibrary can_;
    SystemTicks ticks_;
    SimulatedClock clock_{Noon()};
    qtsupport::ScriptedDialogRunner runner_;
    std::unique_ptr<platform::registry::Registry> registry_;
    std::vector<int> shown_;
    std::deque<int> answers_;
    std::optional<fs::path> saveAs_;
    fs::path askedIn_;
    std::unique_ptr<MonitorProgram> program_;
    uint64_t startMs_ = 0;
    std::vector<std::string> unplugged_;
};

fs::path* MonitorWindowTest::root_ = nullptr;

TEST_F(MonitorWindowTest, AMeasurementOnTheCanBusFromStartToExit) {
    StartOnCan();
    EXPECT_EQ(runner_.shown().front(), QStringLiteral("COpeningDlg"));

    // The commands as the state allows them: idle with three units.
    frame().UpdateCommands();
    for (MonitorCommand c : {MonitorCommand::Start, MonitorCommand::SensorCheck, MonitorCommand::OtherSettings,
                             MonitorCommand::Open, MonitorCommand::GraphScaling})
        EXPECT_TRUE(frame().action(c)->isEnabled()) << InfoOf(c).objectName;
    for (MonitorCommand c : {MonitorCommand::IdSetting, MonitorCommand::Stop, MonitorCommand::Save,
                             MonitorCommand::AllChannelGraph, MonitorCommand::MeasurementList, MonitorCommand::Close})
        EXPECT_FALSE(frame().action(c)->isEnabled()) << InfoOf(c).objectName;

    // 40 samples: the profiles' temperatures, 36 points, the time labels moved by four.
    Trigger(MonitorCommand::Start);
    RunUntil(39500, 40);
    EXPECT_EQ(Text("edtValue1"), "20.50");
    EXPECT_EQ(Text("edtValue2"), "36.25");
    EXPECT_EQ(Text("edtValue3"), "71.00");
    EXPECT_EQ(Text("edtValue4"), "");
    EXPECT_EQ(Text("edtInterval"), "1000");
    EXPECT_EQ(model().PointCount(), 36);
    EXPECT_EQ(Find<QLabel>(frame(), "lblTime0")->text(), "00:00:04");
    EXPECT_EQ(Find<QLabel>(frame(), "lblTime4")->text(), "00:00:40");
    EXPECT_EQ(Find<QLabel>(frame(), "lblTemperature0")->text(), "100.00");
    frame().UpdateCommands();
    EXPECT_TRUE(frame().action(MonitorCommand::Stop)->isEnabled());
    EXPECT_FALSE(frame().action(MonitorCommand::Start)->isEnabled());
    // The painted graph: each line at its temperature's row, in its channel's colour.
    const QImage graph = Find<QWidget>(frame(), "graph")->grab().toImage();
    ASSERT_EQ(graph.width(), kMainGraphWidth);
    for (auto [channel, celsius] : {std::pair{1, 20.5}, std::pair{2, 36.25}, std::pair{3, 71.0}}) {
        const int y = int(PixelY(celsius, kMainGraphHeight, {1, 100, 0}));
        const QColor expected(kChannelColours[channel - 1].r, kChannelColours[channel - 1].g, kChannelColours[channel - 1].b);
        const bool found = graph.pixelColor(345, y) == expected || graph.pixelColor(345, y + 1) == expected;
        EXPECT_TRUE(found) << "CH" << channel << " at y " << y;
    }
    EXPECT_EQ(graph.pixelColor(345, 10), QColor(Qt::white));

    // The graph windows: the main window hidden meanwhile, each shows its channels.
    Trigger(MonitorCommand::AllChannelGraph);
    CAllChannelGraphWnd* first = frame().windows().GraphWindow(0);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(frame().isVisible());
    EXPECT_TRUE(first->isVisible());
    ASSERT_TRUE(Pump([&] { return first->model().DisplayIndex() == data().SampleIndex(); }));
    ASSERT_TRUE(Pump([&] { return Find<QLineEdit>(*first, "edtValue2")->text() == "36.25"; }));
    EXPECT_EQ(Find<QLineEdit>(*first, "edtInterval1")->text(), "1000");
    EXPECT_EQ(first->model().PointCount(), 36);
    Find<QPushButton>(*first, "btnSwitch")->click();
    CAllChannelGraphWnd* second = frame().windows().GraphWindow(1);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->isVisible());
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(Find<QLabel>(*second, "lblGraph1")->text(), "CH11");
    Find<QPushButton>(*second, "btnClose")->click();
    QApplication::processEvents();
    EXPECT_TRUE(frame().isVisible());
    EXPECT_EQ(frame().windows().GraphWindow(1), nullptr);

    // The list: the newest samples, never more than 60 rows.
    Trigger(MonitorCommand::MeasurementList);
    CMeasurementListWnd* list = frame().windows().ListWindow();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(Pump([&] { return list->items().rowCount() == 40; }));
    RunUntil(69500, 70);
    ASSERT_TRUE(Pump([&] { return list->items().rowCount() == 60 && list->items().data(list->items().index(59, 0), Qt::DisplayRole).toString() == "70"; }));
    EXPECT_EQ(list->items().data(list->items().index(0, 0), Qt::DisplayRole).toString(), "11");
    EXPECT_EQ(list->items().headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), "CH3");
    EXPECT_EQ(Find<QTableView>(*list, "lstData")->currentIndex().row(), 59) << "the newest row selected";

    // The second unit is unplugged: its field says "通信異常", message 75 (shown on the window's
    // thread while the measurement thread waits for it) ends the measurement.
    ASSERT_EQ(MachineControl("unplug CanSensor 2").rfind("ok", 0), 0u);
    unplugged_.push_back("CanSensor 2");
    clock_.SetHorizon(startMs_ + 74500);
    ASSERT_TRUE(Pump([&] { return !model().Measure().Running(); }));
    model().Measure().Join();
    EXPECT_EQ(shown_, std::vector<int>{75});
    shown_.clear();
    const std::size_t last = data().SampleIndex() - 1;
    EXPECT_EQ(data().samples.At(last, 1), 0.0);
    EXPECT_EQ(data().samples.At(last, 2), 71.0);
    ASSERT_TRUE(Pump([&] { return Text("edtValue2") == U("通信異常"); }));
    EXPECT_EQ(Text("edtValue1"), "20.50");
    frame().UpdateCommands();
    EXPECT_FALSE(frame().action(MonitorCommand::Stop)->isEnabled());

    // Save: the file is the log writer's, byte for byte, in the log folder.
    saveAs_ = folder_ / "log" / "run";
    Trigger(MonitorCommand::Save);
    EXPECT_EQ(askedIn_, folder_ / "log");
    const auto saved = platform::ReadHostFile(folder_ / "log" / "run.csv");
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, *BuildMeasurementLog(data()));

    // Exit: the configuration file byte for byte, the placement kept.
    frame().close();
    EXPECT_TRUE(shown_.empty());
    const auto ini = platform::ReadHostFile(folder_ / "Zuzodavu.INI");
    ASSERT_TRUE(ini);
    EXPECT_EQ(*ini, ridaviri::testing::ExpectedConfiguration(2)) << "the second unit stopped answering";
    EXPECT_FALSE(ReadWindowPlacement(*registry_).Empty());
}

TEST_F(MonitorWindowTest, SettingsRefuseDuplicatedChannelNumbersAndOddIntervals) {
    StartOnCan();
    const ChannelTable before = data().channels;
    runner_.Queue([](QDialog& settings) {
        EXPECT_EQ(Find<QTableWidget>(settings, "lstChannels")->rowCount(), 3);
        ClickButton(settings, "btnChannelNumber");
        ClickButton(settings, "btnInterval");
        ClickButton(settings, "btnSend");
        EXPECT_TRUE(settings.isVisible()) << "refused";
        ClickButton(settings, "btnMeasuredChannels");
    });
    runner_.Queue([](QDialog& numbers) {
        Find<QComboBox>(numbers, "cmbId")->setCurrentIndex(0);       // ID 1
        Find<QComboBox>(numbers, "cmbChannel")->setCurrentIndex(1);  // CH2, as the unit with ID 2
        ClickButton(numbers, "btnSet");
        ClickButton(numbers, "btnClose");
    });
    runner_.Queue([](QDialog& interval) {
        Find<QLineEdit>(interval, "edtInterval")->setText("2550");
        ClickButton(interval, "btnOk");
        EXPECT_TRUE(interval.isVisible());
    });
    Trigger(MonitorCommand::OtherSettings);
    EXPECT_EQ(shown_, (std::vector<int>{21, 19, 19}));
    EXPECT_EQ(runner_.shown().back(), QStringLiteral("CIntervalDlg"));
    for (int i = 0; i < kChannelCount; ++i) {
        EXPECT_EQ(data().channels[i].channelNumber, before[i].channelNumber) << i;
        EXPECT_EQ(data().channels[i].interval, before[i].interval) << i;
    }
}

TEST_F(MonitorWindowTest, GraphScalingAndTheChannelSelectionThroughTheirControls) {
    StartOnCan();
    runner_.Queue([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), U("グラフスケーリング（標準型）"));
        QTest::keyClick(Find<QLineEdit>(d, "edtMax"), Qt::Key_Return);
        EXPECT_TRUE(d.isVisible()) << "Enter in a field does not close the dialog";
        Find<QLineEdit>(d, "edtMax")->setText("100.005");
        ClickButton(d, "btnOk");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.focusWidget(), Find<QLineEdit>(d, "edtMax"));
        Find<QLineEdit>(d, "edtMax")->setText("80");
        Find<QLineEdit>(d, "edtMin")->setText("-20");
        Find<QComboBox>(d, "cmbMultiplier")->setCurrentIndex(2);
        ClickButton(d, "btnOk");
    });
    Trigger(MonitorCommand::GraphScaling);
    EXPECT_EQ(shown_, std::vector<int>{7});
    EXPECT_EQ(data().settings.scale, "100");
    EXPECT_EQ(Find<QLabel>(frame(), "lblTemperature0")->text(), "80.00");
    EXPECT_EQ(Find<QLabel>(frame(), "lblTemperature10")->text(), "-20.00");
    EXPECT_EQ(Find<QLabel>(frame(), "lblTime1")->text(), "00:15:00");

    // Escape and Enter in a field do not close a dialog; the channel selection needs a box.
    Trigger(MonitorCommand::Start);
    RunUntil(1500, 2);
    runner_.Queue([](QDialog& d) {
        QTest::keyClick(&d, Qt::Key_Escape);
        EXPECT_TRUE(d.isVisible());
        ClickButton(d, "btnClearAll");
        ClickButton(d, "btnOk");
        EXPECT_TRUE(d.isVisible());
        Find<QCheckBox>(d, "chkCh3")->setChecked(true);
        EXPECT_FALSE(Find<QCheckBox>(d, "chkCh4")->isEnabled());
        ClickButton(d, "btnOk");
    });
    Trigger(MonitorCommand::DisplayChannelSelection);
    EXPECT_EQ(shown_, (std::vector<int>{7, 41}));
    EXPECT_EQ(data().channels[0].graphDisplay, 0);
    EXPECT_EQ(data().channels[2].graphDisplay, 1);
    Trigger(MonitorCommand::Stop);
}

// Every unit falls silent: the measurement thread shows message 75 through the window's thread
// and waits for it. Meanwhile the window's thread stops the measurement, or exits: neither waits
// on that thread without a bound, and the box is shown (or dropped at the end) afterwards.
void MonitorWindowTest::StartAndSilenceAll() {
    StartOnCan();
    Trigger(MonitorCommand::Start);
    RunUntil(2500, 3);
    for (const char* unit : {"CanSensor 1", "CanSensor 2", "CanSensor 3"}) {
        const std::string answer = MachineControl(std::string("unplug ") + unit);
        ASSERT_EQ(answer.rfind("ok", 0), 0u) << answer;
        unplugged_.push_back(unit);
    }
    clock_.SetHorizon(startMs_ + 6500);
    // The measurement thread now waits for its box, which the window's thread has not shown.
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (program_->windowCall().Waiting() == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(2ms);
    ASSERT_EQ(program_->windowCall().Waiting(), 1)
        << "samples " << data().SampleIndex() << " mode " << data().stateWord.Mode() << " clock "
        << clock_.NowMs() - startMs_;
    EXPECT_TRUE(shown_.empty());
}

TEST_F(MonitorWindowTest, AMessageFromTheMeasurementThreadDoesNotBlockAStop) {
    StartAndSilenceAll();
    const auto begin = std::chrono::steady_clock::now();
    frame().action(MonitorCommand::Stop)->trigger();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    ASSERT_TRUE(Pump([&] { return !model().Measure().Running(); }));
    EXPECT_EQ(shown_, std::vector<int>{75});
    EXPECT_TRUE(data().stateWord.Test(state::UNSAVED));
}

TEST_F(MonitorWindowTest, AMessageFromTheMeasurementThreadDoesNotBlockTheExit) {
    StartAndSilenceAll();
    const auto begin = std::chrono::steady_clock::now();
    frame().close();
    EXPECT_EQ(shown_, std::vector<int>{143}) << "the exit's own question; 75 is still waiting";
    EXPECT_TRUE(fs::exists(folder_ / "Zuzodavu.INI"));
    program_.reset();  // the waiting box is dropped, the measurement thread ends
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);
}

TEST_F(MonitorWindowTest, TheWindowOpensWhereItWasClosed) {
    ASSERT_TRUE(WriteWindowPlacement(*registry_, {100, 120, 1100, 720, kShowNormal}));
    StartOnCan();
    EXPECT_EQ(frame().geometry(), QRect(100, 120, 1000, 600));
    frame().setGeometry(60, 70, 1020, 640);
    frame().close();
    EXPECT_EQ(ReadWindowPlacement(*registry_), (WindowPlacement{60, 70, 1080, 710, kShowNormal}));
}

// The program itself: a second copy brings the first to the front and ends; arguments the
// window does not know are refused.
TEST_F(MonitorWindowTest, OneCopyRunsAtATime) {
    auto spawn = [](std::vector<std::string> args) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            std::vector<char*> argv{const_cast<char*>(RIDAVIRI_PROGRAM)};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(RIDAVIRI_PROGRAM, argv.data());
            ::_exit(127);
        }
        return pid;
    };
    auto wait = [](pid_t pid, std::chrono::seconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            std::this_thread::sleep_for(20ms);
        }
        return -1;  // still running
    };
    const pid_t bad = spawn({"--bogus"});
    EXPECT_EQ(wait(bad, 30s), 2);

    // The first copy waits in its opening dialog; the second finds it and ends at once.
    const pid_t first = spawn({});
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (!platform::sync::NamedMutex::Open(kApplicationTitle) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(platform::sync::NamedMutex::Open(kApplicationTitle)) << "the first copy did not start";
    const pid_t second = spawn({});
    EXPECT_EQ(wait(second, 30s), 0);
    EXPECT_EQ(wait(first, 0s), -1) << "the first copy still runs";
    ::kill(first, SIGTERM);
    wait(first, 30s);
}

}  // namespace
}  // namespace ridaviri::gui
