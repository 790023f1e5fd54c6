// The small dialogs of the files editor on widgets, each a thin view over its model: the folder
// add dialog TfrmFolderSelectDialog, the add position dialog, the kind conversion dialog, and the
// item check dialog with its correction dialog.
#pragma once

#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/frmFiles/files_list_tools.h"
#include "zeriru/frmFiles/files_small_dialogs.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace zeriru::gui {

class EditorToolkit;
class TDefineCombo;
class TParameterField;

// "フォルダからファイルの追加": the folder combo cmbFolder with the history, btnBrowse, the options
// chkKeepStructure and chkSubFolders.
class TfrmFolderSelectDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmFolderSelectDialog(FolderSelectDialogModel& model, Ui& ui, QWidget* parent = nullptr);
    void done(int result) override;

protected:
    bool AcceptOk() override;

private:
    void Read();

    FolderSelectDialogModel& model_;
    QComboBox* folder_;
    QCheckBox *keep_, *subfolders_;
};

// "追加位置の指定": rbPosition0 .. rbPosition3 and chkDontShow.
class TfrmAddPositionDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmAddPositionDialog(AddPositionDialogModel& model, Ui& ui, QWidget* parent = nullptr);

protected:
    bool AcceptOk() override;

private:
    AddPositionDialogModel& model_;
    std::array<QRadioButton*, 4> choices_{};
    QCheckBox* dontShow_;
};

// "ファイル/フォルダ種別の変換": rbKind0 .. rbKind4 and chkShowDetails.
class TfrmKindConversionDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmKindConversionDialog(KindConversionDialogModel& model, Ui& ui, QWidget* parent = nullptr);

protected:
    bool AcceptOk() override;

private:
    KindConversionDialogModel& model_;
    std::array<QRadioButton*, 5> kinds_{};
    QCheckBox* showDetails_;
};

// "項目の修正": cmbDefine, edtParameter with btnParameter, edtFileName with btnBrowse.
class TfrmCorrectionDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmCorrectionDialog(CorrectionDialogModel& model, EditorToolkit& kit, QWidget* parent = nullptr);

protected:
    bool AcceptOk() override;

private:
    void Read();

    CorrectionDialogModel& model_;
    EditorToolkit& kit_;
    TDefineCombo* define_;
    TParameterField* parameter_;
    QLineEdit* fileName_;
};

// "ファイルチェック": the list lvFileCheck with a check box per row and the columns of the model
// (plus the hidden position), btnFix "修正(&F)" (also a double click), OK and Cancel.
class TfrmFileCheckDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmFileCheckDialog(FileCheckDialogModel& model, EditorToolkit& kit, QWidget* parent = nullptr);
    // "修正(&F)" on a row.
    void Fix(int row);

protected:
    bool AcceptOk() override;

private:
    void ShowRow(int row);

    FileCheckDialogModel& model_;
    EditorToolkit& kit_;
    QTreeWidget* list_;
};

}  // namespace zeriru::gui
