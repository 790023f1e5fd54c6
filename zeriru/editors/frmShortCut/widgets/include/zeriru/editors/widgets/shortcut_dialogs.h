// The shortcut editor on Qt widgets: the list dialog TfrmShortCutDialog, the item dialog
// TfrmShortCutItemDialog, the target and icon wizards TfrmShortCutSelectDialog and
// TfrmIconFileSelectDialog, and the setting editor the main window runs.
#pragma once

#include "zeriru/editors/shortcut_dialog_model.h"
#include "zeriru/editors/shortcut_file_wizard_model.h"
#include "zeriru/editors/shortcut_item_dialog_model.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/setting_editor.h"

#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;

namespace qtsupport {
class DialogRunner;
}

namespace zeriru::gui {

class EditorToolkit;
class TDefineCombo;
class TParameterField;
class TSwitchedListPage;

class TfrmShortCutDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmShortCutDialog(EditorToolkit& kit, ShortCutDialogModel& model);

    TSwitchedListPage* itemsPage() const { return itemsPage_; }
    void reject() override;
    void done(int result) override;

protected:
    bool AcceptOk() override;

private:
    QWidget* BuildOptionsPage();
    void AddItem();
    void EditItem(int row);
    bool RunItemDialog(ShortCutItemDialogModel& item);
    void ShowOptions();
    void ShowView();

    EditorToolkit& kit_;
    ShortCutDialogModel& model_;
    QTabWidget* pages_;
    TSwitchedListPage* itemsPage_;
    QLineEdit* groupName_;
    QCheckBox* showCheckBox_;
    std::array<QCheckBox*, kInitialTargetCount> initialTargets_{};
    QCheckBox *visibleSelectUser_, *checkSelectUser_, *lockSelectUser_;
    QAction *viewList_, *viewDetails_;
    bool loading_ = false;
};

class TfrmShortCutItemDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmShortCutItemDialog(EditorToolkit& kit, ShortCutItemDialogModel& model);

protected:
    bool AcceptOk() override;

private:
    void Read();      // controls -> model
    void ShowMode();  // the internet-link mode
    void BrowseTarget();
    void BrowseIcon();
    void StepIconIndex(int step);

    EditorToolkit& kit_;
    ShortCutItemDialogModel& model_;
    QLineEdit *name_, *target_, *arguments_, *workDir_, *comment_, *iconFile_, *iconIndex_;
    QLabel *targetLabel_, *iconLabel_;
    QComboBox* window_;
    std::array<QCheckBox*, shortcut_target::kCount> targets_{};
    QCheckBox *noExistCheck_, *internetLink_;
    std::vector<QWidget*> fileControls_;
    QPushButton *browseTarget_, *browseIcon_;
};

// Both wizards: "次へ(&N)"/"完了(&F)" (btnNext), "戻る(&B)" (btnBack), "キャンセル", "ヘルプ".
class TShortCutFileWizard : public QDialog {
    Q_OBJECT
public:
    TShortCutFileWizard(EditorToolkit& kit, ShortCutFileWizardModel& model, QWidget* parent = nullptr);

private:
    void Next();
    void Back();
    void ShowStep();
    void ReadFields();
    void ShowSample();
    void LoadFiles();

    EditorToolkit& kit_;
    ShortCutFileWizardModel& model_;
    QStackedWidget *steps_, *sources_;
    std::vector<QRadioButton*> sourceButtons_;
    QTreeWidget* files_;
    QLabel *progress_, *fileSample_, *outsideSample_, *folderSample_;
    TDefineCombo *outsideDefine_, *folderDefine_;
    TParameterField *outsideParameter_, *folderParameter_;
    QLineEdit* fileName_;
    QLabel* fileNameLabel_;
    QPushButton *browse_, *back_, *next_;
    bool filesRead_ = false;
    bool loading_ = false;
};

// The shortcut editor of the main window.
std::unique_ptr<SettingEditor> MakeShortCutEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                  QWidget* parent);

}  // namespace zeriru::gui
