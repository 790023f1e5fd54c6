// What the shortcut, registry and INI list dialogs share: the item list with its switch
// ("ショートカットを作成する(&R)", "レジストリを登録する(&R)", "INIファイルを編集する(&E)"),
// which adding an item turns on and emptying the list turns off; the column sort remembered
// while the program runs; the changed flag over the list, the switch and any option; and the
// question before changes are discarded.
#pragma once

#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/editors/item_list.h"

#include <functional>
#include <string>
#include <vector>

namespace zeriru {

class Ui;

class ItemListDialogModel {
public:
    // `columnText`: the text a column of the list shows for a record (what a header click
    // sorts by); `sortKey`: the list's key of the program-wide sort memory ("Dialog\Registry").
    using ColumnText = std::function<std::string(const std::string& record, int column)>;
    ItemListDialogModel(ItemListTexts texts, std::string sortKey, ColumnText columnText);

    // The list and the switch as read from the project: not a change.
    void Load(std::vector<std::string> records, bool enabled, bool readOnly);

    const ItemList& list() const { return list_; }
    // The list itself, for a list panel that runs delete, copy and clear on it; ListChanged()
    // follows each of them.
    ItemList& list() { return list_; }
    // After the list was changed directly: an emptied list turns the switch off.
    void ListChanged() { SwitchOffWhenEmpty(); }
    const std::vector<std::string>& records() const { return list_.records(); }
    int size() const { return list_.size(); }
    bool readOnly() const { return frame_.readOnly(); }

    bool enabled() const { return enabled_; }
    void SetEnabled(bool on);
    // Anything changed: the list, the switch or an option of the dialog (MarkChanged).
    bool changed() const { return frame_.changed() || list_.changed(); }
    void MarkChanged() { frame_.MarkChanged(); }

    // The limit: room for `count` more items, else the limit message and false.
    bool CanAdd(Ui& ui, int count = 1) const { return list_.CanAdd(ui, count); }
    bool Full() const { return list_.Full(); }
    std::string LimitMessage() const { return list_.LimitMessage(); }

    // Appends an item made in the item dialog and turns the switch on; returns its row.
    int Add(std::string record);
    // Appends without touching the switch (imports turn it on once at the end).
    int Append(std::string record) { return list_.Append(std::move(record)); }
    void Replace(int row, std::string record) { list_.Replace(row, std::move(record)); }
    // A duplicate right after `row`; its row, -1 for no row.
    int Copy(int row) { return list_.Copy(row); }
    // The delete and clear questions; an emptied list turns the switch off. False when declined.
    bool Delete(Ui& ui, std::vector<int> rows);
    bool Clear(Ui& ui);

    // A click on a column header: ascending, or the other way for the column sorted last.
    void SortByColumn(int column);
    const SortState& sortState() const;

    // Cancel, Esc, the close box: asks before discarding changes; true when the dialog may close.
    bool ConfirmDiscard(Ui& ui) const;

private:
    void SwitchOffWhenEmpty();

    ItemList list_;
    DialogFrameModel frame_;
    std::string sortKey_;
    ColumnText columnText_;
    bool enabled_ = false;
};

}  // namespace zeriru
