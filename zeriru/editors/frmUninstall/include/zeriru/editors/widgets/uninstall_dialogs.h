// The uninstall settings dialog TfrmUnInstallOptionDialog with its four lists, the item dialogs
// of the files lists (TfrmDeleteFileDialog, TfrmUnDeleteFileDialog) and of the registry lists
// (TfrmDeleteRegistryDialog, TfrmUnDeleteRegistryDialog), and the setting editor that the main
// window runs for them.
#pragma once

#include "zeriru/editors/uninstall_dialog_model.h"
#include "zeriru/editors/uninstall_items.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/setting_editor.h"

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;

namespace qtsupport {
class DialogRunner;
}

namespace zeriru::gui {

class EditorToolkit;
class TDefineCombo;
class TItemListPanel;
class TParameterField;

class TfrmUninstallFileDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmUninstallFileDialog(EditorToolkit& kit, UninstallFileItemModel& model, bool readOnly);

protected:
    bool AcceptOk() override;

private:
    void Store();
    void UpdateView();

    EditorToolkit& kit_;
    UninstallFileItemModel& model_;
    QComboBox* type_ = nullptr;
    QGroupBox *fileGroup_ = nullptr, *patternGroup_ = nullptr;
    TDefineCombo *define_ = nullptr, *patternDefine_ = nullptr;
    TParameterField *parameter_ = nullptr, *patternParameter_ = nullptr;
    QLabel* fileNameLabel_ = nullptr;
    QLineEdit *fileName_ = nullptr, *pattern_ = nullptr;
    QListWidget* options_ = nullptr;
    bool loading_ = false;
};

class TfrmUninstallRegistryDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmUninstallRegistryDialog(EditorToolkit& kit, UninstallRegistryItemModel& model, bool readOnly);

protected:
    bool AcceptOk() override;

private:
    void Store();
    void UpdateView();

    EditorToolkit& kit_;
    UninstallRegistryItemModel& model_;
    QComboBox *type_ = nullptr, *root_ = nullptr;
    QLineEdit *subKey_ = nullptr, *valueName_ = nullptr;
    QLabel* valueNameLabel_ = nullptr;
    QGroupBox* optionGroup_ = nullptr;
    std::array<QCheckBox*, 3> options_{};
};

class TfrmUnInstallOptionDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmUnInstallOptionDialog(EditorToolkit& kit, UnInstallOptionDialogModel& model);

    TItemListPanel* panel(UninstallListKind kind) const { return panels_[static_cast<std::size_t>(kind)]; }

protected:
    bool AcceptOk() override;

private:
    QWidget* BuildListPage(QTabWidget* tabs, UninstallListKind kind, const char* caption,
                           const char* checkCaption, const char* note);
    void BuildBasicPage(QTabWidget* pages);
    void BuildInformationPage(QTabWidget* pages);
    void Load();
    void Store();
    void UpdateView();
    void AddItem(UninstallListKind kind);
    void EditItem(UninstallListKind kind, int row);

    EditorToolkit& kit_;
    UnInstallOptionDialogModel& model_;
    QCheckBox* enableUninstall_ = nullptr;
    QCheckBox *systemFileDelete_ = nullptr, *systemFileDeleteMessage_ = nullptr, *personalSetting_ = nullptr;
    std::array<QCheckBox*, kUninstallListCount> listEnabled_{};
    std::array<TItemListPanel*, kUninstallListCount> panels_{};
    QCheckBox* uniqueKey_ = nullptr;
    QComboBox* method_ = nullptr;
    QLineEdit* infoFileName_ = nullptr;
    bool loading_ = false;
};

// The setting editor of the main window's uninstall command.
std::unique_ptr<SettingEditor> MakeUninstallEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                   QWidget* parent);

}  // namespace zeriru::gui
