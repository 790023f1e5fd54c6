// EditorToolkit: the one object a setting editor's dialogs are built with. It carries what the
// main window hands an editor (the Ui, the dialog runner, the parent window, the hint dialog)
// and the editor's data (EditorData: settings, mode, machine, ZERIRU.DAT, DEFINE.DAT,
// DEFINEPARAM.DAT, the project), and opens the shared dialogs: the define parameter dialog
// ("詳細"), the define builder, the OS target dialog and the file select dialog.
//
//   std::unique_ptr<EditorToolkit> kit = EditorToolkit::ForSettingEditor(context, runner, parent);
//   kit->data().SetProject(&project);              // in SettingEditor::Fill
//   TfrmIniFileDialog dialog(*kit, model);          // the editor's own dialog
//   return kit->Run(dialog) == QDialog::Accepted;   // in SettingEditor::ShowModal
#pragma once

#include "qtsupport/dialog_runner.h"
#include "zeriru/editors/define_dialogs.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/editors/os_target.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLineEdit;

namespace zeriru {
class Ui;
struct SettingEditorContext;
}  // namespace zeriru

namespace zeriru::gui {

class EditorToolkit {
public:
    // `showHint(index, allowSuppress)`: the main window's hint dialog (nothing when empty).
    EditorToolkit(Ui& ui, qtsupport::DialogRunner& runner, QWidget* parent, EditorData& data,
                  std::function<void(int, bool)> showHint = {});
    // The toolkit of one run of a setting editor, owning its EditorData.
    static std::unique_ptr<EditorToolkit> ForSettingEditor(SettingEditorContext& context,
                                                           qtsupport::DialogRunner& runner, QWidget* parent);

    Ui& ui() { return ui_; }
    qtsupport::DialogRunner& runner() { return runner_; }
    // The window the editor's dialogs belong to.
    QWidget* parent() const { return parent_; }
    EditorData& data() { return data_; }
    bool advancedMode() const { return data_.advancedMode(); }

    // Shows a modal dialog through the runner; QDialog::Accepted or QDialog::Rejected.
    int Run(QDialog& dialog) { return runner_.Run(dialog); }
    void ShowHint(int index, bool allowSuppress = true);

    // "詳細" beside a parameter edit: the define parameter dialog of `defineText` on the edit's
    // parameters (decoded, "," separated); on OK the edit receives the new ones. False when
    // the dialog did not open (its message was shown) or was cancelled.
    bool EditDefineParameters(QLineEdit& parameterEdit, const std::string& defineText);
    // Any parameter dialog model.
    bool RunParameterDialog(DefineParamDialogModel& model);
    // The define builder on `text` offering the defines of `mask`; the edited text on OK.
    std::optional<std::string> RunDefineBuilder(const std::string& text, int mask);

    // The OS target dialog on one item, offering the systems of the project-wide mask; the new
    // target on OK.
    std::optional<OsTarget> EditOsTarget(const OsTarget& current);
    // Any OS dialog model (several items: OsDialogModel with severalItems, then ApplyTo).
    bool RunOsDialog(OsDialogModel& model);

    // The file select dialog over the files the project of data() installs; `emptyMessage` is
    // shown instead when it would list nothing. The chosen line on OK.
    std::optional<std::string> SelectInstalledFile(const std::string& message, const std::string& label,
                                                   const std::string& extensions, const std::string& emptyMessage);

private:
    Ui& ui_;
    qtsupport::DialogRunner& runner_;
    QWidget* parent_;
    std::unique_ptr<EditorData> ownData_;
    EditorData& data_;
    std::function<void(int, bool)> showHint_;

    EditorToolkit(Ui& ui, qtsupport::DialogRunner& runner, QWidget* parent, std::unique_ptr<EditorData> data,
                  std::function<void(int, bool)> showHint);
};

}  // namespace zeriru::gui
