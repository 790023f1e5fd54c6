// How modal dialogs are shown. The windows open every modal dialog through a DialogRunner:
// the real one runs the dialog's own event loop (exec); the scripted one hands the shown
// dialog to a test, which fills its controls and presses its own OK button, so the dialog's
// checks run exactly as for a user, without a display.
#pragma once

#include <QDialog>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

namespace qtsupport {

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Shows the dialog modally; returns QDialog::Accepted or QDialog::Rejected.
    virtual int Run(QDialog& dialog) = 0;
};

class ExecDialogRunner : public DialogRunner {
public:
    int Run(QDialog& dialog) override { return dialog.exec(); }
};

class ScriptedDialogRunner : public DialogRunner {
public:
    using Script = std::function<void(QDialog&)>;

    // The script for the next dialog shown. It finds controls by object name, fills them and
    // clicks buttons; a dialog still open after its script is cancelled. A dialog without a
    // script is cancelled at once.
    void Queue(Script script) { scripts_.push_back(std::move(script)); }
    // Object names of the dialogs shown, in order.
    const std::vector<QString>& shown() const { return shown_; }
    std::size_t pending() const { return scripts_.size(); }

    int Run(QDialog& dialog) override;

private:
    std::deque<Script> scripts_;
    std::vector<QString> shown_;
};

// Clicks the dialog's button of that object name (or, for a QDialogButtonBox button, of that
// standard role: "ok", "cancel"); false when there is none or it is disabled.
bool ClickButton(QDialog& dialog, const QString& objectName);

}  // namespace qtsupport
