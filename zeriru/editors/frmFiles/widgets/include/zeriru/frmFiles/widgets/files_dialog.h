// TfrmFilesDialog ("ファイル/フォルダの設定") on widgets: the list lvFiles over FilesDialogModel,
// its menus (ファイル, 編集, ツール, ヘルプ), its buttons and the pop-up menu, each a QAction
// that runs the model's command and follows its enabled rule, and "中止(&A)" while items are
// added. The same dialog edits the list of a component definition file.
#pragma once

#include "qtsupport/item_list.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/frmFiles/files_dialog_model.h"

#include <map>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;

namespace zeriru::gui {

class EditorToolkit;
class TItemListPanel;

// The row format of the files list: the four columns and the hidden record.
qtsupport::ItemRecordFormat FilesRowFormat();

class TfrmFilesDialog : public TEditorDialogFrame, public FilesListObserver {
    Q_OBJECT
public:
    TfrmFilesDialog(FilesDialogModel& model, EditorToolkit& kit, QWidget* parent = nullptr);
    ~TfrmFilesDialog() override;

    FilesDialogModel& model() { return model_; }
    qtsupport::ItemListView* view() const { return view_; }
    TItemListPanel* panel() const { return panel_; }
    QAction* action(FilesCommand command) const;
    QMenuBar* menuBar() const { return menuBar_; }
    QMenu* popupMenu() const { return popup_; }

    void ListReset() override;
    void RowsInserted(int row, int count) override;
    void RowsRemoved(const std::vector<int>& rows) override;
    void RowChanged(int row) override;
    void RowMoved(int from, int to) override;
    void StateChanged() override;
    void Adding(int made) override;

    void reject() override;
    void done(int result) override;

protected:
    bool AcceptOk() override;

private:
    void MakeActions();
    void MakeMenus();
    QWidget* MakeButtons();
    void Reload();
    void ShowSelection();
    void TakeSelection();
    void UpdateActions();
    void ShowPopup(const QPoint& at);

    FilesDialogModel& model_;
    EditorToolkit& kit_;
    TItemListPanel* panel_;
    qtsupport::ItemListView* view_;
    QMenuBar* menuBar_;
    QMenu* popup_;
    QPushButton* abort_ = nullptr;
    std::map<FilesCommand, QAction*> actions_;
    std::vector<QWidget*> listButtons_;
    bool listChanged_ = false;
    bool showing_ = false;
};

}  // namespace zeriru::gui
