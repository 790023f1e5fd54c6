// The dialogs of the main window, each a thin view over its model: the hint dialog, the About
// dialog, the options, the protection and initialisation dialogs, the language texts editor
// and the process order. A dialog builds its widgets in one place, binds them to the model in
// another and holds no rule of its own; OK runs the model's check and closes only when it
// passes. Object names are the component names, so tests and tools find every control.
#pragma once

#include "zeriru/hint_dialog.h"
#include "zeriru/language_texts.h"
#include "zeriru/options_dialog_model.h"
#include "zeriru/process_order.h"
#include "zeriru/project_commands.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace qtsupport {
class ItemListModel;
class ItemListView;
}  // namespace qtsupport

namespace zeriru {
class Ui;
}

namespace zeriru::gui {

// "ヒント" (frmHintDialog): the text, OK and, when allowed, "次回以降表示しない(&D)".
class THintDialog : public QDialog {
    Q_OBJECT
public:
    THintDialog(HintDialogModel& model, QWidget* parent = nullptr);

private:
    HintDialogModel& model_;
    QCheckBox* suppress_ = nullptr;
};

// "バージョン情報" (frmAboutDialog).
class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    TAboutDialog(std::function<bool(const std::string&)> openUrl, QWidget* parent = nullptr);
};

// "オプション" (frmConfigDialog).
class TfrmConfigDialog : public QDialog {
    Q_OBJECT
public:
    TfrmConfigDialog(OptionsDialogModel& model, Ui& ui, QWidget* parent = nullptr);
    void reject() override;

private:
    void BuildWidgets();
    void Bind();
    void Reload();
    void Apply();
    void Ok();

    OptionsDialogModel& model_;
    Ui& ui_;
    QTabWidget* pages_ = nullptr;
    QCheckBox *useAppName_, *executeInstaller_, *openFolder_, *checkFileList_, *skipMessage_, *compressProgress_,
        *editInformation_, *autoUpdateVersion_, *completeMessage_, *showErrorMessage_, *saveLastState_,
        *autoColumnWidth_, *checkUpdate_;
    QRadioButton *standard_, *advanced_;
    QGroupBox* informationGroup_;
    QLineEdit *editor_, *updateUrl_, *proxyServer_, *proxyUser_, *proxyPassword_;
    QPushButton *browse_, *showHints_;
    QSpinBox* proxyPort_;
};

// "プロジェクトの保護" (frmProtectDialog).
class TProtectDialog : public QDialog {
    Q_OBJECT
public:
    TProtectDialog(ProtectProjectDialogModel& model, QWidget* parent = nullptr);

private:
    ProtectProjectDialogModel& model_;
    QCheckBox* protect_;
    QLineEdit* password_;
};

// "プロジェクトの初期化" (frmInitializeDialog): seven check boxes; OK runs the model's check.
class TInitializeDialog : public QDialog {
    Q_OBJECT
public:
    TInitializeDialog(InitializeProjectDialogModel& model, Ui& ui, QWidget* parent = nullptr);

private:
    InitializeProjectDialogModel& model_;
    std::vector<QCheckBox*> boxes_;
};

// "言語データの編集" (frmLanguageDialog): ID and text of each text; "変更(&E)" or a double click
// asks for a new text.
class TLanguageDialog : public QDialog {
    Q_OBJECT
public:
    TLanguageDialog(LanguageTextsDialogModel& model, Ui& ui, QWidget* parent = nullptr);

private:
    void Change();

    LanguageTextsDialogModel& model_;
    Ui& ui_;
    qtsupport::ItemListModel* list_;
    qtsupport::ItemListView* view_;
};

// "処理順序の指定" (frmProcessOrderDialog): one page per list.
class TProcessOrderDialog : public QDialog {
    Q_OBJECT
public:
    TProcessOrderDialog(ProcessOrderDialogModel& model, Ui& ui, QWidget* parent = nullptr);

private:
    struct Page {
        QCheckBox* enable;
        qtsupport::ItemListModel* list;
        qtsupport::ItemListView* view;
        QPushButton *up, *down, *defaults;
    };
    void BuildPage(ProcessOrderDialogModel::List list);
    void Reload(ProcessOrderDialogModel::List list);
    void UpdateButtons(ProcessOrderDialogModel::List list);
    void Move(ProcessOrderDialogModel::List list, bool up);
    void Ok();

    ProcessOrderDialogModel& model_;
    Ui& ui_;
    QTabWidget* pages_;
    Page page_[ProcessOrderDialogModel::kListCount];
};

}  // namespace zeriru::gui
