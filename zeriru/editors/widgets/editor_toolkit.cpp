#include "zeriru/editors/widgets/editor_toolkit.h"

#include "qtsupport/sjis_text.h"
#include "zeriru/editor_environment.h"
#include "zeriru/editors/installed_files.h"
#include "zeriru/editors/widgets/shared_dialogs.h"
#include "zeriru/setting_editor.h"
#include "zeriru/ui.h"

#include <QLineEdit>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;

EditorToolkit::EditorToolkit(Ui& ui, qtsupport::DialogRunner& runner, QWidget* parent, EditorData& data,
                             std::function<void(int, bool)> showHint)
    : ui_(ui), runner_(runner), parent_(parent), data_(data), showHint_(std::move(showHint)) {}

EditorToolkit::EditorToolkit(Ui& ui, qtsupport::DialogRunner& runner, QWidget* parent,
                             std::unique_ptr<EditorData> data, std::function<void(int, bool)> showHint)
    : ui_(ui), runner_(runner), parent_(parent), ownData_(std::move(data)), data_(*ownData_),
      showHint_(std::move(showHint)) {}

std::unique_ptr<EditorToolkit> EditorToolkit::ForSettingEditor(SettingEditorContext& context,
                                                               qtsupport::DialogRunner& runner, QWidget* parent) {
    EditorEnvironment& env = context.environment;
    auto data = std::make_unique<EditorData>(env.settings(), env.machine(), env.hostEditorFolder());
    return std::unique_ptr<EditorToolkit>(
        new EditorToolkit(context.ui, runner, parent, std::move(data), context.showHint));
}

void EditorToolkit::ShowHint(int index, bool allowSuppress) {
    if (showHint_) showHint_(index, allowSuppress);
}

bool EditorToolkit::RunParameterDialog(DefineParamDialogModel& model) {
    TfrmDefineParamDialog dialog(model, *this, parent_);
    return Run(dialog) == QDialog::Accepted;
}

bool EditorToolkit::EditDefineParameters(QLineEdit& parameterEdit, const std::string& defineText) {
    std::optional<DefineParamDialogModel> model =
        OpenDefineParameters(ui_, data_.defineParams(), defineText, ToSjis(parameterEdit.text()),
                             DefineParamDialogModel::Origin::SettingEditor);
    if (!model || !RunParameterDialog(*model)) return false;
    parameterEdit.setText(ToQString(model->ParameterPart()));
    return true;
}

std::optional<std::string> EditorToolkit::RunDefineBuilder(const std::string& text, int mask) {
    DefineBuilderDialogModel model(data_.defineCategories(), data_.defineParams(), mask, text);
    TfrmDefineBuilderDialog dialog(model, *this, parent_);
    if (Run(dialog) != QDialog::Accepted) return std::nullopt;
    return model.text();
}

bool EditorToolkit::RunOsDialog(OsDialogModel& model) {
    TfrmOSDialog dialog(model, parent_);
    return Run(dialog) == QDialog::Accepted;
}

std::optional<OsTarget> EditorToolkit::EditOsTarget(const OsTarget& current) {
    OsDialogModel model(current, data_.projectOs().mask, false);
    if (!RunOsDialog(model)) return std::nullopt;
    return model.Result();
}

std::optional<std::string> EditorToolkit::SelectInstalledFile(const std::string& message, const std::string& label,
                                                              const std::string& extensions,
                                                              const std::string& emptyMessage) {
    static const TIniDocument kNoProject;
    const TIniDocument& project = data_.project() ? *data_.project() : kNoProject;
    FileSelectDialogModel model(ReadInstalledFiles(project), message, label, extensions);
    if (model.WouldListNothing()) {
        ui_.ShowMessage(emptyMessage);
        return std::nullopt;
    }
    TfrmFileSelectDialog dialog(model, ui_, parent_);
    if (Run(dialog) != QDialog::Accepted) return std::nullopt;
    return model.result();
}

}  // namespace zeriru::gui
