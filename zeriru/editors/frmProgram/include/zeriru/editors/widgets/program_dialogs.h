// The program dialog TfrmProgramFileSelectDialog (a wizard when adding, one page when editing)
// and the related-application dialog TfrmRelationApplicationDialog, on their Qt-free models.
#pragma once

#include "zeriru/editors/program_dialog_model.h"
#include "zeriru/editors/relation_dialog_model.h"
#include "zeriru/editors/widgets/dialog_frame.h"

class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class QCheckBox;

namespace zeriru::gui {

class EditorToolkit;
class TConditionEditor;
class TDefineCombo;
class TParameterField;

class TfrmProgramFileSelectDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    // `readOnly`: an item of a read-only project, shown for viewing.
    TfrmProgramFileSelectDialog(EditorToolkit& kit, ProgramDialogModel& model, bool readOnly = false);

protected:
    bool AcceptOk() override;

private:
    // The controls of one file page's launch: arguments, window, timing and option lines.
    struct LaunchControls {
        QLineEdit* arguments = nullptr;
        QComboBox* window = nullptr;
        QComboBox* timing = nullptr;
        QListWidget* options = nullptr;
    };

    void BuildWidgets();
    QWidget* BuildTargetPage();
    QWidget* BuildSelectPage();
    QWidget* BuildSpecifyPage();
    QWidget* BuildOtherPage();
    void BuildLaunch(QWidget* page, QFormLayout* form, ProgramDialogModel::Page which, const char* suffix,
                     const char* argumentsCaption, const char* timingCaption);
    void Load();
    void Store();
    void ShowLaunch(ProgramDialogModel::Page which);
    void UpdateView();
    void Back();
    void ReadProjectFiles();
    void BrowseFile();
    void EditOs();
    LaunchControls& controls(ProgramDialogModel::Page which) {
        return which == ProgramDialogModel::Page::SelectFile ? selectLaunch_ : specifyLaunch_;
    }

    EditorToolkit& kit_;
    ProgramDialogModel& model_;
    QTabWidget* pages_ = nullptr;
    QWidget *targetPage_ = nullptr, *selectPage_ = nullptr, *specifyPage_ = nullptr, *otherPage_ = nullptr;
    QTabWidget* otherTabs_ = nullptr;
    QWidget* conditionPage_ = nullptr;
    QPushButton* back_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QRadioButton *projectFile_ = nullptr, *outsideFile_ = nullptr;
    QTreeWidget* files_ = nullptr;
    QLabel* reading_ = nullptr;
    LaunchControls selectLaunch_, specifyLaunch_;
    TDefineCombo* define_ = nullptr;
    TParameterField* parameter_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QGroupBox *osGroup_ = nullptr, *displayGroup_ = nullptr, *displayOptions_ = nullptr, *conditionGroup_ = nullptr;
    QLabel* itemTextLabel_ = nullptr;
    QLineEdit* itemText_ = nullptr;
    QCheckBox *visible_ = nullptr, *checked_ = nullptr, *conditionOn_ = nullptr, *reverse_ = nullptr;
    TConditionEditor* condition_ = nullptr;
    bool loading_ = false;
};

class TfrmRelationApplicationDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmRelationApplicationDialog(EditorToolkit& kit, RelationDialogModel& model, bool readOnly = false);

protected:
    bool AcceptOk() override;

private:
    void Store();

    EditorToolkit& kit_;
    RelationDialogModel& model_;
    QCheckBox* enabled_ = nullptr;
    QLineEdit *name_ = nullptr, *key_ = nullptr;
    QComboBox *install_ = nullptr, *uninstall_ = nullptr;
    QCheckBox* stop_ = nullptr;
};

}  // namespace zeriru::gui
