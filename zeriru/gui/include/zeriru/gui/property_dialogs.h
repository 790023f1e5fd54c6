// The project property dialogs on widgets, thin views over their models: the property dialog
// TfrmProjectDialog (both forms), the create-option dialog TfrmCreateOptionDialog, and the
// output name composer TfrmCreateFileNameDialog with its item dialog
// TfrmCreateFileNameItemDialog. Object names are the component names.
#pragma once

#include "qtsupport/dialog_runner.h"
#include "zeriru/create_option.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/output_name.h"
#include "zeriru/project_properties.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace qtsupport {
class ItemListModel;
class ItemListView;
}  // namespace qtsupport

namespace zeriru::gui {

// "プロパティ".
class TfrmProjectDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmProjectDialog(ProjectPropertiesDialogModel& model, Ui& ui, qtsupport::DialogRunner& runner,
                      QWidget* parent = nullptr);

protected:
    bool AcceptOk() override;

private:
    void BuildWidgets();
    QWidget* BuildInstallFilePage();
    QWidget* BuildModulePage();
    QWidget* BuildPublisherPage();
    void Reload();
    void Bind();
    void UpdateVisibility();
    void ReloadLanguages();
    void ComposeFileName();

    ProjectPropertiesDialogModel& model_;
    qtsupport::DialogRunner& runner_;
    QTabWidget* pages_;
    QComboBox *projectType_, *fileType_, *compressLevel_, *folder_, *nameOption_, *module_, *language_;
    QLineEdit *projectName_, *fileName_, *installSource_;
    QLineEdit *publisher_, *corporation_, *urlInfoAbout_, *helpLink_, *helpTelephon_, *urlUpdateInfo_;
    QPushButton *guid_, *browse_, *fileNameDetail_, *languageEdit_, *undo_;
    QLabel *compressLabel_, *folderLabel_;
    QGroupBox *createGroup_, *copyGroup_;
    QCheckBox *backup_, *defaults_;
};

// "インストーラファイル作成オプション".
class TfrmCreateOptionDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmCreateOptionDialog(CreateOptionDialogModel& model, Ui& ui, qtsupport::DialogRunner& runner,
                           QWidget* parent = nullptr);

protected:
    bool AcceptOk() override;

private:
    void UpdateEnabled();

    CreateOptionDialogModel& model_;
    QComboBox *fileType_, *folder_;
    QLineEdit *fileName_, *installSource_;
    QLabel *fileNameLabel_, *installSourceLabel_;
    QPushButton* fileNameDetail_;
    QCheckBox* useNextTime_;
};

// "インストーラファイル名の指定": the list lvFileName ("種類", "値") with btnAdd, btnEdit,
// btnDelete, btnUp ("▲") and btnDown ("▼").
class TfrmCreateFileNameDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmCreateFileNameDialog(CreateFileNameDialogModel& model, Ui& ui, qtsupport::DialogRunner& runner,
                             QWidget* parent = nullptr);

private:
    void Reload(int selectRow);
    void UpdateButtons();
    bool RunItemDialog(CreateFileNameItemDialogModel& item);

    CreateFileNameDialogModel& model_;
    qtsupport::DialogRunner& runner_;
    qtsupport::ItemListModel* list_;
    qtsupport::ItemListView* view_;
    QPushButton *edit_, *delete_, *up_, *down_;
};

// "ファイル名定義項目": the type cmbType and the value edtValue.
class TfrmCreateFileNameItemDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmCreateFileNameItemDialog(CreateFileNameItemDialogModel& model, Ui& ui, QWidget* parent = nullptr);

private:
    CreateFileNameItemDialogModel& model_;
    QComboBox* type_;
    QLineEdit* value_;
};

// Shows a composer over a file name field's text; the new text on OK.
std::optional<std::string> ComposeOutputName(const std::string& fileName, bool keepEmptyPlaceholder, bool readOnly,
                                             Ui& ui, qtsupport::DialogRunner& runner, QWidget* parent);

}  // namespace zeriru::gui
