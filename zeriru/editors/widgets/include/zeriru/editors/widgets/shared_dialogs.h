// The dialogs every setting editor opens: the OS target dialog TfrmOSDialog, the file select
// dialog TfrmFileSelectDialog, the define builder TfrmDefineBuilderDialog and the define
// parameter dialog TfrmDefineParamDialog. Each is a thin view over its Qt-free model; the
// toolkit (EditorToolkit) opens them, so an editor rarely builds one itself.
#pragma once

#include "zeriru/editors/define_dialogs.h"
#include "zeriru/editors/file_select_dialog_model.h"
#include "zeriru/editors/os_target.h"

#include <QDialog>

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace zeriru {
class Ui;
}

namespace zeriru::gui {

class EditorToolkit;

// "インストールを許可するOS": tab "対象OS" with the check list clbOSName (three states for
// several items), tab "サービスパック" with the combos cmbServicePack0 .. 5.
class TfrmOSDialog : public QDialog {
    Q_OBJECT
public:
    TfrmOSDialog(OsDialogModel& model, QWidget* parent = nullptr);

private:
    void Reload();

    OsDialogModel& model_;
    QListWidget* lines_;
    std::array<QComboBox*, kServicePackCount> packs_{};
    bool loading_ = false;
};

// "ファイルの選択": the message, the list lstFiles and the filter box cbFilter.
class TfrmFileSelectDialog : public QDialog {
    Q_OBJECT
public:
    TfrmFileSelectDialog(FileSelectDialogModel& model, Ui& ui, QWidget* parent = nullptr);

private:
    void Reload();

    FileSelectDialogModel& model_;
    QListWidget* files_;
};

// "定数ビルダー": categories lstCategory, defines lstDefine with the hint lblHint, the edit
// edtDefine and the buttons btnPaste, btnPercent, btnYen, btnComma, btnParameter, btnClear.
class TfrmDefineBuilderDialog : public QDialog {
    Q_OBJECT
public:
    TfrmDefineBuilderDialog(DefineBuilderDialogModel& model, EditorToolkit& kit, QWidget* parent = nullptr);

private:
    void ReloadEntries();
    void ReadSelection();  // the edit's selection -> model
    void ShowText();       // model -> edit, caret included
    void Paste();

    DefineBuilderDialogModel& model_;
    EditorToolkit& kit_;
    QListWidget *categories_, *entries_;
    QLabel* hint_;
    QLineEdit* edit_;
    QPushButton* paste_;
};

// "フォルダ定数パラメータ入力": one row per parameter (caption, value control edtParam<n> - an
// editable combo for root keys, folder defines and choices - and a browse button btnBrowse<n>
// for define texts, folders and files), "クリア" (btnClear), OK and Cancel. Up and Down move
// between rows.
class TfrmDefineParamDialog : public QDialog {
    Q_OBJECT
public:
    TfrmDefineParamDialog(DefineParamDialogModel& model, EditorToolkit& kit, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Read();    // controls -> model
    void Reload();  // model -> controls
    void Browse(std::size_t row);
    void Ok();
    QWidget* ValueControl(std::size_t row) const { return values_[row]; }

    DefineParamDialogModel& model_;
    EditorToolkit& kit_;
    std::vector<QWidget*> values_;  // QLineEdit or QComboBox per row
};

}  // namespace zeriru::gui
