#include "zeriru/frmFiles/widgets/files_editor.h"

#include "platform/shell.h"
#include "platform/winfile.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/file_services.h"
#include "zeriru/frmFiles/files_lists.h"
#include "zeriru/frmFiles/widgets/files_dialog.h"
#include "zeriru/frmFiles/widgets/files_item_dialog.h"
#include "zeriru/frmFiles/widgets/files_small_views.h"

#include <QApplication>

namespace zeriru::gui {

namespace {

// The dialog in front: a dialog opened from another one belongs to it.
QWidget* DialogParent(EditorToolkit& kit) {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return kit.parent();
}

template <typename Dialog, typename Model>
bool RunSmall(EditorToolkit& kit, Model& model) {
    Dialog dialog(model, kit.ui(), DialogParent(kit));
    return kit.Run(dialog) == QDialog::Accepted;
}

// The list dialog on the records of a component definition file; they change only after OK.
bool EditComponentList(EditorToolkit& kit, std::vector<std::string>& records) {
    FilesDialogModel model(kit.ui(), kit.data(), MakeFilesSeams(kit), false, true);
    model.Load(records);
    TfrmFilesDialog dialog(model, kit, DialogParent(kit));
    if (kit.Run(dialog) != QDialog::Accepted) return false;
    records = model.records();
    return true;
}

}  // namespace

FilesDialogSeams MakeFilesSeams(EditorToolkit& kit) {
    FilesDialogSeams seams;
    seams.itemDialog = [&kit](FilesItemDialogModel& model) {
        TfrmFilesItemDialog dialog(model, kit, DialogParent(kit));
        return kit.Run(dialog) == QDialog::Accepted;
    };
    seams.addPositionDialog = [&kit](AddPositionDialogModel& model) {
        return RunSmall<TfrmAddPositionDialog>(kit, model);
    };
    seams.kindConversionDialog = [&kit](KindConversionDialogModel& model) {
        return RunSmall<TfrmKindConversionDialog>(kit, model);
    };
    seams.fileCheckDialog = [&kit](FileCheckDialogModel& model) {
        TfrmFileCheckDialog dialog(model, kit, DialogParent(kit));
        return kit.Run(dialog) == QDialog::Accepted;
    };
    seams.componentListDialog = [&kit](std::vector<std::string>& records) { return EditComponentList(kit, records); };
    seams.hasOpenCommand = [](std::string_view extension) {
        return !platform::shell::FindAssociation(extension).empty();
    };
    seams.openFile = [](std::string_view path) { return platform::shell::OpenWithShell(path).started; };
    seams.fileExists = [](std::string_view path) { return platform::winpath::FileExists(path); };
    seams.fileSize = [](std::string_view path) { return FileSize(path); };
    return seams;
}

FilesEditor::FilesEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner, QWidget* parent)
    : kit_(EditorToolkit::ForSettingEditor(context, runner, parent)) {}

FilesEditor::~FilesEditor() = default;

void FilesEditor::Fill(const TIniDocument& project, bool readOnly) {
    project_ = project;
    kit_->data().SetProject(&project_);
    readOnly_ = readOnly;
    records_ = ReadFilesList(project);
}

bool FilesEditor::ShowModal() {
    FilesDialogModel model(kit_->ui(), kit_->data(), MakeFilesSeams(*kit_), readOnly_, false);
    model.Load(records_);
    TfrmFilesDialog dialog(model, *kit_, kit_->parent());
    if (kit_->Run(dialog) != QDialog::Accepted) return false;
    records_ = model.records();
    return true;
}

void FilesEditor::Write(TIniDocument& project) { WriteFilesList(project, records_); }

}  // namespace zeriru::gui
