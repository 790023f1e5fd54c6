// TItemListPanel: a list of a setting editor on screen. It binds an ItemList (the records and
// their commands, item_list.h) to an ItemListView, and makes one QAction per list command
// (add, edit, delete, copy, clear, the moves, select all, invert) with its caption, shortcut
// and enabled state, shared by the editor's buttons, menus and pop-up menu. It swallows the
// keys other than the arrows and Page Up / Page Down, opens the editor's item dialog on a
// double click, asks before deleting and clearing, and remembers the column widths under the
// list's key (Dialog\Files, ...) as the editor options say.
//
//   TItemListPanel::Options o;
//   o.viewName = "lvIniFile";
//   o.layoutKey = "Dialog\\IniFile";
//   o.commands = {ListCommand::Add, ListCommand::Edit, ListCommand::Delete, ListCommand::Copy, ListCommand::Clear};
//   auto* panel = new TItemListPanel(kit.ui(), model.list(), IniRowFormat(), o, &kit.data().settings(), this);
//   panel->onAdd = [this] { AddItem(); };          // the editor's own item dialog
//   panel->onEdit = [this](const std::vector<int>& rows) { EditItem(rows.front()); };
//   panel->MakeButton(ListCommand::Add, "btnAdd", this);
#pragma once

#include "qtsupport/item_list.h"
#include "zeriru/editor_settings.h"
#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/editors/item_list.h"

#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QPushButton;

namespace zeriru {
class Ui;
}

namespace zeriru::gui {

enum class ListCommand { Add, Edit, Delete, Copy, Clear, Top, Up, Down, Bottom, SelectAll, Invert };

class TItemListPanel : public QWidget {
    Q_OBJECT
public:
    struct Options {
        const char* viewName = "lvItems";  // object name of the list view
        // Key of the remembered column widths ("Dialog\Registry"); empty: not remembered.
        std::string layoutKey;
        bool multiSelection = true;
        // The commands that get an action, in menu order.
        std::vector<ListCommand> commands = {ListCommand::Add, ListCommand::Edit, ListCommand::Delete,
                                             ListCommand::Copy, ListCommand::Clear};
    };

    // `settings`: the editor options (AutoColumnWidth) and the widths; may be null.
    TItemListPanel(Ui& ui, ItemList& list, qtsupport::ItemRecordFormat format, Options options,
                   EditorSettings* settings, QWidget* parent = nullptr);
    ~TItemListPanel() override;

    ItemList& list() { return list_; }
    qtsupport::ItemListView* view() const { return view_; }
    qtsupport::ItemListModel* model() const { return model_; }

    // The action of a command (nullptr when the options did not ask for it). Captions and
    // shortcuts: "追加(&A)..." Insert, "編集(&E)..." Ctrl+E, "削除(&D)" Delete, "コピー(&C)" Ctrl+C,
    // "クリア(&C)" Ctrl+Delete, "最上位へ(&T)" Ctrl+T, "上へ(&U)" Ctrl+U, "下へ(&D)" Ctrl+D,
    // "最下位へ(&B)" Ctrl+B, "すべて選択(&S)" Ctrl+A, "選択の反転(&R)" Ctrl+R; an editor may set
    // its own caption on the action.
    QAction* action(ListCommand command) const;
    // A push button that triggers the action and follows its enabled state; its caption is the
    // action's unless one is given.
    QPushButton* MakeButton(ListCommand command, const char* objectName, QWidget* parent, const QString& caption = {});
    // Adds the actions of `commands` to a menu (a menu bar's, or the pop-up menu).
    void AddActionsTo(QMenu* menu, const std::vector<ListCommand>& commands);
    // The pop-up menu on the list.
    void SetPopupCommands(const std::vector<ListCommand>& commands);

    // What the editor does itself: the item dialog for a new item and for the selected rows.
    std::function<void()> onAdd;
    std::function<void(const std::vector<int>& rows)> onEdit;
    // An extra rule for the edit command (files: several rows only when all are file items).
    std::function<bool(const std::vector<int>& rows)> editAllowed;
    // After every change made through the panel (delete, copy, clear, moves, check boxes): the
    // dialog re-evaluates what depends on the list.
    std::function<void()> onChanged;

    // Shows the list again after the editor changed it, selecting `row` (-1: keep the current).
    void Reload(int selectRow = -1);
    std::vector<int> selectedRows() const;
    // Enables each action by the selection and the list.
    void UpdateActions();
    // Viewing only: every command that changes the list disabled; `keepEdit` leaves the edit
    // command to view an item.
    void SetReadOnly(bool readOnly, bool keepEdit = false);

    // The column widths now (for tests and for storing).
    std::vector<int> columnWidths() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void MakeActions();
    void Run(ListCommand command);
    void AfterChange(int selectRow);
    void FitColumns();

    Ui& ui_;
    ItemList& list_;
    Options options_;
    qtsupport::ItemListModel* model_;
    qtsupport::ItemListView* view_;
    std::map<ListCommand, QAction*> actions_;
    std::vector<ListCommand> popup_;
    std::unique_ptr<ColumnLayout> layout_;
    bool readOnly_ = false;
    bool keepEdit_ = false;
    bool laidOut_ = false;
};

}  // namespace zeriru::gui
