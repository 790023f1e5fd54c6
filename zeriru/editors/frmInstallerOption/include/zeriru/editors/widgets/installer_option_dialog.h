// The installer options dialog TfrmInstallerOptionDialog ("インストーラの設定") on its model, with
// the program list and the related-application list on its pages, and the setting editor that
// the main window runs for it.
#pragma once

#include "zeriru/editors/installer_option_dialog_model.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/setting_editor.h"

#include <array>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace qtsupport {
class DialogRunner;
}

namespace zeriru::gui {

class EditorToolkit;
class TDefineCombo;
class TItemListPanel;
class TParameterField;

// The object names of the dialog's pages.
namespace installer_option_page {
inline constexpr const char* kDetail = "tsDetail";
inline constexpr const char* kRelation = "tsRelation";
inline constexpr const char* kScreen = "tsScreen";
inline constexpr const char* kProgram = "tsProgram";
inline constexpr const char* kOs = "tsOs";
inline constexpr const char* kLimit = "tsLimit";
inline constexpr const char* kUninstaller = "tsUninstaller";
}  // namespace installer_option_page

class TfrmInstallerOptionDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmInstallerOptionDialog(EditorToolkit& kit, InstallerOptionDialogModel& model);

    TItemListPanel* programPanel() const { return programs_; }
    TItemListPanel* relationPanel() const { return relations_; }

protected:
    bool AcceptOk() override;

private:
    void BuildDetailPage(QTabWidget* pages);
    void BuildRelationPage(QTabWidget* pages);
    void BuildScreenPage(QTabWidget* pages);
    void BuildProgramPage(QTabWidget* pages);
    void BuildOsPage(QTabWidget* pages);
    void BuildLimitPage(QTabWidget* pages);
    void BuildUninstallerPage(QTabWidget* pages);
    void Load();
    void Store();
    void ShowOptions();
    void ShowOs();
    void ShowUninstaller();
    void UpdateView();
    void FollowProjectOs();
    void ChooseScreenFile(bool license);
    void AddProgram();
    void EditProgram(int row);
    void AddRelation();
    void EditRelation(int row);

    EditorToolkit& kit_;
    InstallerOptionDialogModel& model_;
    bool loading_ = false;
    // 詳細
    QComboBox* installMethod_ = nullptr;
    QCheckBox *supportInfo_ = nullptr, *silentInstall_ = nullptr, *silentUninstall_ = nullptr;
    QListWidget* options_ = nullptr;
    // 関連アプリケーション
    QCheckBox* relationEnabled_ = nullptr;
    QGroupBox* relationGroup_ = nullptr;
    TItemListPanel* relations_ = nullptr;
    // インストーラ画面
    QListWidget* screens_ = nullptr;
    QLineEdit *documentFile_ = nullptr, *licenseFile_ = nullptr;
    QCheckBox *alwaysAgree_ = nullptr, *readTillTheLast_ = nullptr;
    QComboBox* fileSizeUnit_ = nullptr;
    // ファイルの実行
    QCheckBox* programEnabled_ = nullptr;
    QWidget* programGroups_ = nullptr;
    TItemListPanel* programs_ = nullptr;
    QRadioButton *groupExecution_ = nullptr, *eachExecution_ = nullptr;
    QLineEdit* checkBoxCaption_ = nullptr;
    QCheckBox* defaultCheckBoxState_ = nullptr;
    // OSの設定
    QRadioButton *checkOs_ = nullptr, *noCheckOs_ = nullptr;
    QTabWidget* osPages_ = nullptr;
    QListWidget* osLines_ = nullptr;
    std::array<QComboBox*, kServicePackCount> servicePacks_{};
    QButtonGroup* productType_ = nullptr;
    // 制限
    QCheckBox *endFileRenOperation_ = nullptr, *fileUseCheck_ = nullptr;
    QButtonGroup* userLimit_ = nullptr;
    QSpinBox* memory_ = nullptr;
    QLabel* memoryText_ = nullptr;
    // アンインストーラ
    QRadioButton *uninstallerAuto_ = nullptr, *uninstallerCustom_ = nullptr;
    TDefineCombo* uninstallerFolder_ = nullptr;
    TParameterField* uninstallerSubFolder_ = nullptr;
    QLineEdit* uninstallerFileName_ = nullptr;
    QListWidget* uninstallerOptions_ = nullptr;
};

// The setting editor of the main window's installer command.
std::unique_ptr<SettingEditor> MakeInstallerOptionEditor(SettingEditorContext& context,
                                                         qtsupport::DialogRunner& runner, QWidget* parent);

}  // namespace zeriru::gui
