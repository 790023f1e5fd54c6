// The registry editor on Qt widgets: the list dialog TfrmRegistryDialog, the item dialog
// TfrmRegistryItemDialog with its byte grid, the import dialog TfrmRegistryTreeDialog, the key
// browser's form TReg_Form, and the setting editor the main window runs.
#pragma once

#include "zeriru/editors/registry_dialog_model.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/setting_editor.h"

#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace qtsupport {
class DialogRunner;
}

namespace zeriru::gui {

class EditorToolkit;
class TConditionEditor;
class TSwitchedListPage;

class TfrmRegistryDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmRegistryDialog(EditorToolkit& kit, RegistryDialogModel& model);

    TSwitchedListPage* itemsPage() const { return itemsPage_; }
    void reject() override;

protected:
    bool AcceptOk() override;

private:
    bool RunItemDialog(RegistryItemDialogModel& item);
    void Import();

    EditorToolkit& kit_;
    RegistryDialogModel& model_;
    TSwitchedListPage* itemsPage_;
};

class TfrmRegistryItemDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmRegistryItemDialog(EditorToolkit& kit, RegistryItemDialogModel& model);

protected:
    bool AcceptOk() override;

private:
    QWidget* BuildDetailPage();
    QWidget* BuildOtherPage();
    void Read();
    void ShowValue();
    void ShowGrid();

    EditorToolkit& kit_;
    RegistryItemDialogModel& model_;
    QComboBox *timing_, *rootKey_, *type_;
    QLineEdit *subKey_, *valueName_, *value_;
    QStackedWidget* valuePages_;
    QTableWidget* grid_;
    TConditionEditor* condition_ = nullptr;
    std::array<QCheckBox*, registry_option::kCount> options_{};
    bool loading_ = false;
};

class TfrmRegistryTreeDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmRegistryTreeDialog(EditorToolkit& kit, RegistryImportDialogModel& model,
                           platform::registry::Registry& registry);

protected:
    bool AcceptOk() override;

private:
    void ShowValues();
    void Browse();

    EditorToolkit& kit_;
    RegistryImportDialogModel& model_;
    platform::registry::Registry& registry_;
    QComboBox* root_;
    QLineEdit* key_;
    QTreeWidget* values_;
};

// The key browser's form: a tree of the registry's keys read as they are expanded.
class TReg_Form : public QDialog {
    Q_OBJECT
public:
    TReg_Form(RegBrowserModel& browser, QWidget* parent = nullptr);

private:
    void Expand(QTreeWidgetItem* item);
    void AddKeys(QTreeWidgetItem* parent, const std::string& root, const std::string& path);
    RegBrowserModel::Location LocationOf(QTreeWidgetItem* item) const;

    RegBrowserModel& browser_;
    QTreeWidget* tree_;
    QPushButton* ok_;
};

// TRegBrowser's execute: the form over `browser`; true when a key was chosen (Root and Section
// are then the key's).
bool ExecuteRegBrowser(EditorToolkit& kit, RegBrowserModel& browser);

// The registry editor of the main window.
std::unique_ptr<SettingEditor> MakeRegistryEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                  QWidget* parent);

}  // namespace zeriru::gui
