// TfrmFilesItemDialog ("ファイル/フォルダ項目") on widgets: the wizard for a new item and the page
// set for existing ones, bound to FilesItemDialogModel; and the Qt model of the graphical tree
// with drag and drop.
#pragma once

#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/frmFiles/files_item_dialog_model.h"

#include <QAbstractItemModel>

#include <array>
#include <functional>
#include <map>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeView;

namespace zeriru::gui {

class EditorToolkit;
class TConditionEditor;
class TDefineCombo;
class TParameterField;
class TSamplePathLine;

// The graphical tree for a QTreeView: one top row, the root. Names are edited in place, nodes
// dragged onto folders; every change goes through GraphicalTreeModel.
class GraphicalTreeItemModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit GraphicalTreeItemModel(GraphicalTreeModel& tree, QObject* parent = nullptr);

    FileTreeNode* node(const QModelIndex& index) const;
    QModelIndex indexOf(const FileTreeNode* node) const;
    // After a command changed the tree.
    void Rebuild();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

Q_SIGNALS:
    // A drop or a rename changed the tree.
    void treeChanged();

private:
    FileTreeNode* Dragged(const QMimeData* data) const;

    GraphicalTreeModel& tree_;
};

class TfrmFilesItemDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmFilesItemDialog(FilesItemDialogModel& model, EditorToolkit& kit, QWidget* parent = nullptr);

    FilesItemDialogModel& model() { return model_; }
    // The page shown (object name of the model's page).
    QWidget* currentPage() const;
    // "次へ"/"完了" and "戻る".
    void Next();
    void Back();
    GraphicalTreeItemModel* treeModel() const { return treeModel_; }
    QTreeView* treeView() const { return tree_; }

protected:
    bool AcceptOk() override;

private:
    // Building.
    QWidget* BuildSelectPage();
    QWidget* BuildFilesPage();
    QWidget* BuildFolderPage();
    QWidget* BuildDeletePage();
    QWidget* BuildCreatePage();
    QWidget* BuildGraphicalPage();
    QWidget* BuildComponentPage();
    QWidget* BuildExtendPage();
    QWidget* BuildDetailTab();
    QWidget* BuildOptionTab();
    QWidget* BuildConditionTab();
    void BuildButtons();
    void Bind();

    // model -> controls.
    void LoadControls();
    void ShowState();
    void ShowPage();
    void ShowOptionLines();
    // controls -> model.
    void ReadControls();
    bool ShowFailure(const CheckOutcome& failed);

    // Page commands.
    void BrowseFiles();
    void BrowseFolder();
    void BrowseDeleteFile();
    void GraphAddFiles();
    void GraphAddFolder();
    void GraphNewFolder();
    void GraphRename();
    void GraphDelete();
    void GraphClear();
    void EditOs();
    void ConditionFromDestination();
    FileTreeNode* SelectedNode() const;

    FilesItemDialogModel& model_;
    EditorToolkit& kit_;
    bool loading_ = false;
    std::map<FilesItemDialogModel::Page, QWidget*> pages_;
    QTabWidget* pageControl_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QPushButton *back_ = nullptr, *next_ = nullptr;
    // 処理の選択
    std::array<QRadioButton*, FilesItemDialogModel::kChoiceCount> choices_{};
    // ファイルの選択
    QListWidget* files_ = nullptr;
    QPushButton* filesBrowse_ = nullptr;
    // フォルダの選択
    QLineEdit* folder_ = nullptr;
    QCheckBox *keepStructure_ = nullptr, *subfolders_ = nullptr, *emptyFolders_ = nullptr, *keepAttributes_ = nullptr;
    // 削除
    std::array<QRadioButton*, 3> deleteTargets_{};
    TDefineCombo* deleteDefine_ = nullptr;
    TParameterField* deleteParameter_ = nullptr;
    QLineEdit* deleteFileName_ = nullptr;
    QPushButton* deleteBrowse_ = nullptr;
    TSamplePathLine* deleteSample_ = nullptr;
    // 作成
    TDefineCombo* createDefine_ = nullptr;
    TParameterField* createParameter_ = nullptr;
    TSamplePathLine* createSample_ = nullptr;
    // グラフィカルモード
    TDefineCombo* graphDefine_ = nullptr;
    QTreeView* tree_ = nullptr;
    GraphicalTreeItemModel* treeModel_ = nullptr;
    QCheckBox* createEmpty_ = nullptr;
    std::map<std::string, QPushButton*> graphButtons_;
    // コンポーネント
    QLineEdit *componentFile_ = nullptr, *componentName_ = nullptr, *componentDescription_ = nullptr;
    QCheckBox* componentSelected_ = nullptr;
    // 拡張オプション
    QTabWidget* extendTabs_ = nullptr;
    QWidget *detailTab_ = nullptr, *optionTab_ = nullptr, *conditionTab_ = nullptr;
    QGroupBox* destination_ = nullptr;
    QCheckBox* standardFolder_ = nullptr;
    TDefineCombo* define_ = nullptr;
    TParameterField* parameter_ = nullptr;
    TSamplePathLine* sample_ = nullptr;
    QLineEdit* comment_ = nullptr;
    QPushButton* os_ = nullptr;
    QListWidget *options_ = nullptr, *attributes_ = nullptr;
    TConditionEditor* condition_ = nullptr;
    QPushButton* fromDestination_ = nullptr;
};

}  // namespace zeriru::gui
