// Draws the monitor's windows into PNG files for people to look at: the main window before,
// during (plotting, with the graph scrolled) and after a measurement (blanked by the settings),
// both all-channel graph windows, the list, and every dialog. The measurement is a real one
// on a machine of the tool's own, paced by the system clock (about half a minute).
// Usage: ridaviri_screenshots <output folder>   ($PLATFORM_ROOT a scratch prefix)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/hostfile.h"
#include "platform/shell.h"
#include "qtsupport/dialog_runner.h"
#include "qtsupport/sjis_text.h"
#include "ridaviri/gui/aux_windows.h"
#include "ridaviri/gui/dialogs.h"
#include "ridaviri/gui/program.h"

namespace fs = std::filesystem;
using namespace ridaviri;
using namespace ridaviri::gui;

namespace {

// Five units whose temperatures move visibly within half a minute.
constexpr const char* kMachine = R"([Machine]
Name=screenshots
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
IdNumber=101
Identity=T26-04001-0101
Profile=sine:24,6,12

[CanSensor 2]
Bus=CAN1
Node=2
IdNumber=102
Identity=T26-04001-0102
Profile=ramp:35,60

[CanSensor 3]
Bus=CAN1
Node=3
IdNumber=103
Identity=T26-04001-0103
Profile=sine:62,9,20

[CanSensor 4]
Bus=CAN1
Node=4
IdNumber=104
Identity=T26-04002-0104
Profile=noise:48,1.5,4

[CanSensor 5]
Bus=CAN1
Node=5
IdNumber=105
Identity=T26-04002-0105
Profile=sine:80,4,8
)";

QString g_folder;
int g_count = 0;

void Settle(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

void Save(QWidget& widget, const char* name) {
    Settle();
    const QString path = g_folder + "/" + QString::fromLatin1(name) + ".png";
    if (!widget.window()->grab().save(path)) std::cerr << "cannot write " << path.toStdString() << '\n';
    ++g_count;
}

// Shows a dialog without its own loop, saves it, closes it.
void Shot(QDialog& dialog, const char* name) {
    dialog.show();
    dialog.adjustSize();
    Save(dialog, name);
    dialog.hide();
}

// Lets the event loop run for `ms` of real time.
void RunFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: ridaviri_screenshots <output folder>\n"
                     "example: PLATFORM_ROOT=/tmp/p ridaviri_screenshots shots\n";
        return 2;
    }
    const fs::path scratch = fs::temp_directory_path() / ("ridaviri_screenshots_" + std::to_string(::getpid()));
    fs::create_directories(scratch / "program");
    if (!platform::WriteHostFileAtomic(scratch / "machine.ini", kMachine)) return 1;
    ::setenv("PLATFORM_MACHINE", (scratch / "machine.ini").c_str(), 1);

    QApplication app(argc, argv);
    g_folder = QString::fromLocal8Bit(argv[1]);
    qtsupport::UseJapaneseFont();
    QDir().mkpath(g_folder);
    std::string error;
    if (!platform::shell::ProvisionPrefix(&error)) {
        std::cerr << error << '\n';
        return 1;
    }

    DizedLibrary can;
    SystemTicks ticks;
    SystemClock clock;
    qtsupport::ScriptedDialogRunner runner;
    MonitorProgram::Seams seams;
    seams.windows.runner = &runner;
    seams.present = [](const MessageDefinition& box) { return IsQuestion(box.kind) ? kAnswerNo : kAnswerOk; };
    MonitorProgram program(can, ticks, clock, scratch / "program", std::move(seams));
    CMainFrame& frame = program.frame();
    TQViewModel& model = frame.model();

    runner.Queue([](QDialog& d) {
        d.findChild<QRadioButton*>("rbCan")->setChecked(true);
        Save(d, "opening_dialog");
        qtsupport::ClickButton(d, "btnOk");
    });
    if (!frame.Start()) return 1;
    frame.resize(frame.sizeHint());
    Save(frame, "main_window_idle");

    // The settings: the list, then every sub-dialog; the interval becomes 500 ms.
    runner.Queue([&runner](QDialog& d) {
        d.resize(d.sizeHint());
        Save(d, "settings_dialog");
        runner.Queue([](QDialog& p) { Save(p, "precision_dialog"); });
        qtsupport::ClickButton(d, "btnPrecision");
        runner.Queue([](QDialog& n) {
            n.findChild<QComboBox*>("cmbId")->setCurrentIndex(0);
            n.findChild<QComboBox*>("cmbChannel")->setCurrentIndex(0);
            Save(n, "channel_number_dialog");
            qtsupport::ClickButton(n, "btnClose");
        });
        qtsupport::ClickButton(d, "btnChannelNumber");
        runner.Queue([](QDialog& i) {
            i.findChild<QLineEdit*>("edtInterval")->setText("500");
            Save(i, "interval_dialog");
            qtsupport::ClickButton(i, "btnOk");
        });
        qtsupport::ClickButton(d, "btnInterval");
        runner.Queue([](QDialog& s) { Save(s, "measured_channels_dialog"); });
        qtsupport::ClickButton(d, "btnMeasuredChannels");
        runner.Queue([](QDialog& s) { Save(s, "calibration_switches_dialog"); });
        qtsupport::ClickButton(d, "btnCalibrationSwitches");
        qtsupport::ClickButton(d, "btnSend");
    });
    frame.action(MonitorCommand::OtherSettings)->trigger();
    Save(frame, "main_window_blank");

    // A measurement of about 45 samples: the graph fills and scrolls.
    frame.UpdateCommands();
    frame.action(MonitorCommand::Start)->trigger();
    RunFor(23000);
    Save(frame, "main_window_measuring");

    frame.action(MonitorCommand::AllChannelGraph)->trigger();
    RunFor(1500);
    if (CAllChannelGraphWnd* first = frame.windows().GraphWindow(0)) {
        first->resize(first->sizeHint());
        Save(*first, "all_channel_graph_1");
        first->findChild<QPushButton*>("btnSwitch")->click();
        RunFor(800);
        if (CAllChannelGraphWnd* second = frame.windows().GraphWindow(1)) {
            Save(*second, "all_channel_graph_2");
            second->close();
        }
    }
    Settle();
    frame.action(MonitorCommand::MeasurementList)->trigger();
    RunFor(1500);
    if (CMeasurementListWnd* list = frame.windows().ListWindow()) {
        Save(*list, "measurement_list");
        runner.Queue([](QDialog& s) { Save(s, "list_channels_dialog"); });
        list->findChild<QPushButton*>("btnSelect")->click();
        list->close();
    }
    runner.Queue([](QDialog& s) { Save(s, "graph_channels_dialog"); });
    frame.action(MonitorCommand::DisplayChannelSelection)->trigger();

    // Ten samples per point: the same measurement on a longer time axis.
    runner.Queue([](QDialog& g) {
        g.findChild<QComboBox*>("cmbMultiplier")->setCurrentIndex(1);
        Save(g, "graph_scaling_standard");
        qtsupport::ClickButton(g, "btnOk");
    });
    frame.action(MonitorCommand::GraphScaling)->trigger();
    Save(frame, "main_window_scale_10");
    frame.action(MonitorCommand::Stop)->trigger();
    Settle();

    {
        GraphScalingDialogModel high(1, {1, 100, 0}, 500, program.messages());
        CGraphScalingDlg dialog(high, &frame);
        Shot(dialog, "graph_scaling_high_precision");
    }
    {
        IdSettingDialogModel id(model.Procedures());
        CIdSettingDlg dialog(id, &frame);
        dialog.show();
        Save(dialog, "id_setting_dialog");
        dialog.setVisible(false);
    }
    {
        PowerFrequencyDialogModel power(model.Procedures());
        power.checked = kPowerFrequency50Hz;
        CPowerFrequencyDlg dialog(power, &frame);
        Shot(dialog, "power_frequency_dialog");
    }
    {
        CalibrationDialogModel calibration(program.data(), program.transport(), model.Procedures(),
                                           program.messages());
        CCalibrationDlg dialog(calibration, &frame);
        Shot(dialog, "calibration_dialog");
    }
    {
        ManufacturingNumberModel numbers(program.data(), program.messages());
        CManufacturingNumberDlg dialog(numbers, &frame);
        dialog.findChild<QComboBox*>("cmbChannel")->setCurrentIndex(0);
        dialog.findChild<QPushButton*>("btnShow")->click();
        Shot(dialog, "manufacturing_number_dialog");
    }
    {
        CVersionDlg dialog(&frame);
        Shot(dialog, "version_box");
    }
    {
        QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kApplicationTitle),
                        qtsupport::ToDisplayText(LookupMessage(115).text), QMessageBox::Yes | QMessageBox::No, &frame);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        box.show();
        Save(box, "message_box");
        box.hide();
    }
    frame.close();
    std::printf("%d pictures in %s\n", g_count, g_folder.toLocal8Bit().constData());
    fs::remove_all(scratch);
    return 0;
}
