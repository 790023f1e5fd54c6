// The files and folders editor as the main window runs it (SettingEditor): the project's files
// list read, the list dialog shown, the list written back on OK. FilesDialogSeams on widgets
// opens the item dialog, the small dialogs and the nested list of a component definition file.
#pragma once

#include "zeriru/frmFiles/files_dialog_model.h"
#include "zeriru/ini_document.h"
#include "zeriru/setting_editor.h"

#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace qtsupport {
class DialogRunner;
}

namespace zeriru::gui {

class EditorToolkit;

// What the list dialog's commands open, shown over the dialog in front.
FilesDialogSeams MakeFilesSeams(EditorToolkit& kit);

class FilesEditor : public SettingEditor {
public:
    FilesEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner, QWidget* parent);
    ~FilesEditor() override;

    void Fill(const TIniDocument& project, bool readOnly) override;
    bool ShowModal() override;
    void Write(TIniDocument& project) override;

private:
    std::unique_ptr<EditorToolkit> kit_;
    TIniDocument project_;
    bool readOnly_ = false;
    std::vector<std::string> records_;
};

}  // namespace zeriru::gui
