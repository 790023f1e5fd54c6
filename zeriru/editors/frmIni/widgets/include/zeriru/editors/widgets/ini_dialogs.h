// The INI file editor on Qt widgets: the list dialog TfrmIniFileDialog, the item dialog
// TfrmIniFileAddItemDialog, and the setting editor the main window runs.
#pragma once

#include "zeriru/editors/ini_dialog_model.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/setting_editor.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace qtsupport {
class DialogRunner;
}

namespace zeriru::gui {

class EditorToolkit;
class TConditionEditor;
class TDefineCombo;
class TParameterField;
class TSwitchedListPage;

class TfrmIniFileDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmIniFileDialog(EditorToolkit& kit, IniDialogModel& model);

    TSwitchedListPage* itemsPage() const { return itemsPage_; }
    void reject() override;

protected:
    bool AcceptOk() override;

private:
    bool RunItemDialog(IniItemDialogModel& item);

    EditorToolkit& kit_;
    IniDialogModel& model_;
    TSwitchedListPage* itemsPage_;
};

class TfrmIniFileAddItemDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmIniFileAddItemDialog(EditorToolkit& kit, IniItemDialogModel& model);

protected:
    bool AcceptOk() override;

private:
    QWidget* BuildDetailPage();
    void Read();
    void ShowProcessing();
    void ShowPath();

    EditorToolkit& kit_;
    IniItemDialogModel& model_;
    QComboBox *timing_, *processing_;
    QCheckBox* skipExisting_;
    TDefineCombo* define_;
    TParameterField* parameter_;
    QLineEdit *fileName_, *section_, *valueName_, *value_;
    QLabel *valueNameLabel_, *valueLabel_, *path_;
    QWidget* valueRow_;
    TConditionEditor* condition_ = nullptr;
    bool loading_ = false;
};

// The INI file editor of the main window.
std::unique_ptr<SettingEditor> MakeIniFileEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                 QWidget* parent);

}  // namespace zeriru::gui
