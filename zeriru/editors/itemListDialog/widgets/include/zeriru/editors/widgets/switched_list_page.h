// The page "項目の設定" of the shortcut, registry and INI list dialogs: the switch above the
// list, the list with its buttons "追加", "編集", "コピー", "削除", "クリア" and its pop-up menu,
// the sort by a header click, and the menu bar the dialogs share (ファイル, 編集, then the
// dialog's own menus, ヘルプ). Bound to an ItemListDialogModel.
#pragma once

#include "qtsupport/item_list.h"
#include "zeriru/editors/item_list_dialog_model.h"
#include "zeriru/editors/widgets/item_list_panel.h"

#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QHBoxLayout;
class QMenu;
class QMenuBar;

namespace zeriru {
class EditorSettings;
class Ui;
}  // namespace zeriru

namespace zeriru::gui {

class TEditorDialogFrame;

class TSwitchedListPage : public QWidget {
    Q_OBJECT
public:
    struct Options {
        QString switchCaption;               // "レジストリを登録する(&R)"
        QString switchHint;                  // its tool tip, if any
        const char* viewName = "lvItems";
        std::string layoutKey;               // the remembered column widths ("Dialog\Registry")
        bool multiSelection = true;
        QString copyHint, deleteHint, clearHint;
    };

    TSwitchedListPage(Ui& ui, ItemListDialogModel& model, qtsupport::ItemRecordFormat format, Options options,
                      EditorSettings* settings, QWidget* parent = nullptr);

    TItemListPanel* panel() const { return panel_; }
    QCheckBox* switchBox() const { return switch_; }
    // The row of buttons below the list, for a dialog's own buttons.
    QHBoxLayout* buttonRow() const { return buttons_; }

    // The editor's item dialog for a new item and for a row; the header click's sort.
    std::function<void()> onAdd;
    std::function<void(int row)> onEdit;
    std::function<void(int column)> onSort;
    // After anything changed the list (the panel's commands or Reload).
    std::function<void()> onChanged;

    // Shows the list and the switch as the model has them, selecting `row` (-1: keep).
    void Reload(int row = -1);
    // Viewing only: the switch, the buttons and the changing commands disabled; edit stays.
    void SetReadOnly(bool readOnly);

    // The menu bar of the dialog: ファイル(&F) with "反映して閉じる(&U)" (Ctrl+F4, OK) and "閉じる(&C)"
    // (Esc, Cancel), 編集(&E) with the list's commands. The dialog adds its own menus, then
    // AddHelpMenu.
    QMenuBar* MakeMenuBar(TEditorDialogFrame& dialog);
    static void AddHelpMenu(QMenuBar* bar, TEditorDialogFrame& dialog);
    QMenu* editMenu() const { return editMenu_; }

private:
    ItemListDialogModel& model_;
    QCheckBox* switch_;
    TItemListPanel* panel_;
    QHBoxLayout* buttons_;
    QMenu* editMenu_ = nullptr;
    bool loading_ = false;
};

}  // namespace zeriru::gui
