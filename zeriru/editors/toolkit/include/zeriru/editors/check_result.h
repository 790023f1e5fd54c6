// The one result every check of the editors' dialogs returns: the message to show, the page
// and the control that take the user back to what is wrong, and whether the define parameter
// dialog opens after the message. Models return it; the dialog frame shows it
// (TEditorDialogFrame::ShowCheck), so every editor reports a failed check the same way.
#pragma once

#include <optional>
#include <string>

namespace zeriru {

class Ui;

struct CheckResult {
    // Shown in a plain message box (Shift-JIS).
    std::string message;
    // Object name (component name) of the control to focus, e.g. "edtSubKey"; empty: none.
    std::string field;
    // Object name of the page to bring to the front; empty: every page that holds `field`.
    std::string page;
    // After the message the define parameter dialog opens on the define group of `field`
    // ("パラメータが入力されていません。..." of the define parameter rule).
    bool openParameterDialog = false;
    // Caption of the message box; empty: the application's title.
    std::string caption;
};

// nullopt: the check passed.
using CheckOutcome = std::optional<CheckResult>;

// A failed check on `field` with `message`.
inline CheckOutcome Fail(std::string message, std::string field = {}) {
    return CheckResult{std::move(message), std::move(field), {}, false, {}};
}

// Shows the message of a failed check in a plain message box through the Ui seam.
void ShowCheckMessage(Ui& ui, const CheckResult& result);

}  // namespace zeriru
