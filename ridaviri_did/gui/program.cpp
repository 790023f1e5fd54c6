#include "ridaviri/gui/program.h"

#include <QApplication>

#include <iostream>

#include "platform/prefix.h"
#include "platform/shell.h"
#include "qtsupport/single_instance.h"
#include "qtsupport/sjis_text.h"
#include "ridaviri/measurement_clock.h"
#include "ridaviri/ui/device_dialogs.h"

namespace ridaviri::gui {

MonitorProgram::MonitorProgram(CanLibrary& can, TransportTicks& ticks, MeasurementClock& clock,
                               std::filesystem::path programFolder, Seams seams)
    : posts_(&dispatcher_),
      call_(posts_.poster()),
      messages_(call_,
                seams.present ? seams.present
                              : HandedOverMessages::Presenter([this](const MessageDefinition& box) {
                                    QWidget* parent = QApplication::activeModalWidget();
                                    if (!parent && frame_ && frame_->isVisible()) parent = frame_.get();
                                    return ShowMonitorMessage(parent, box);
                                })),
      transport_(data_, messages_, can, ticks) {
    frame_ = std::make_unique<CMainFrame>(CMainFrame::Environment{data_, transport_, messages_, clock, call_,
                                                                  std::move(programFolder), writer_, seams.windows});
}

MonitorProgram::~MonitorProgram() {
    // A measurement thread waiting for a box or a save gets its answer now, so that stopping
    // the measurement below never waits on the window.
    call_.Close();
    posts_.Close();
    frame_.reset();
}

int RunWindowProgram(int& argc, char** argv) {
    QApplication app(argc, argv);
    // Qt has taken its own options; the window takes none of its own.
    if (QApplication::arguments().size() > 1) {
        std::cerr << "ridaviri_did: 不明な引数です: " << QApplication::arguments().at(1).toStdString()
                  << " (ridaviri_did --help)\n";
        return 2;
    }
    qtsupport::UseJapaneseFont();
    qtsupport::SingleInstance single(kApplicationTitle);
    if (single.otherCopyRunning()) {
        qtsupport::SingleInstance::AskToFront(kApplicationTitle);
        return 0;
    }
    std::string error;
    if (!platform::shell::ProvisionPrefix(&error)) {
        std::cerr << "ridaviri_did: プレフィックスを用意できません: " << error << "\n";
        return 1;
    }
    DizedLibrary can;
    SystemTicks ticks;
    SystemClock clock;
    MonitorProgram::Seams seams;
    seams.windows.onClosed = [] { QApplication::quit(); };
    MonitorProgram program(can, ticks, clock, platform::DriveCFolder() / "Program Files" / platform::kProgramFolderName,
                           std::move(seams));
    if (!single.ServeBringToFront(kApplicationTitle, &program.frame()))
        std::cerr << "ridaviri_did: " << single.error() << "\n";
    if (!program.frame().Start()) return 0;
    return app.exec();
}

}  // namespace ridaviri::gui
