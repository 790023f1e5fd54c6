// The main window the editor's picture tools open their editors from: advanced mode (every
// page shows), the sample project open, its dialogs run by the tool's runner and no message
// waiting for an answer.
#pragma once

#include "platform/sjis.h"
#include "platform/winpath.h"
#include "qtsupport/dialog_runner.h"
#include "zeriru/gui/main_form.h"
#include "zeriru/ui.h"

#include <QApplication>

#include <string>

namespace zeriru::gui {

class SampleMainWindow {
public:
    // `env` and `runner` outlive the window; `editor` is the editor's folder (Windows path).
    SampleMainWindow(const std::string& editor, EditorEnvironment& env, qtsupport::DialogRunner& runner)
        : form_(Seams(env, runner)) {
        form_.show();
        const std::string sample = editor + platform::sjis::S("samples\\見本アプリ\\見本アプリ.PJ2");
        form_.StartUp({platform::winpath::ToHostPath(sample)->string()});
    }

    TMainForm& form() { return form_; }

private:
    // Also switches the editor to advanced mode, which the window reads as it is made.
    TMainForm::Seams Seams(EditorEnvironment& env, qtsupport::DialogRunner& runner) {
        EditorOptions options = env.settings().ReadOptions();
        options.mode = 1;
        env.settings().WriteOptions(options);
        ui_.onProcessMessages = [] { QApplication::processEvents(); };
        TMainForm::Seams seams;
        seams.ui = &ui_;
        seams.runner = &runner;
        seams.environment = &env;
        seams.openUrl = [](const std::string&) { return true; };
        return seams;
    }

    ScriptedUi ui_;  // declared before form_: made first
    TMainForm form_;
};

}  // namespace zeriru::gui
