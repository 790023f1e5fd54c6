// The list behind every list of the setting editors, without widgets: the records (each kept
// verbatim), the changed flag, the limit with its message, the delete and clear questions, and
// the commands the list dialogs share (insert, replace, copy, delete, clear, moves, sort). A
// list view shows it through qtsupport::ItemListModel; TItemListPanel binds the two.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

// What differs between the lists: the limit and the texts of the questions.
struct ItemListTexts {
    // Most items the list holds; 0: no limit.
    int limit = 5000;
    // Shown when an addition would pass the limit; "%d" becomes the limit.
    std::string limitMessage;     // default "最大登録可能数は %d までです。"
    std::string deleteQuestion;   // default "選択項目を削除しますか。"
    std::string clearQuestion;    // default "すべての項目を削除しますか。"
    static ItemListTexts Defaults(int limit = 5000);
};

class ItemList {
public:
    explicit ItemList(ItemListTexts texts = ItemListTexts::Defaults());

    const ItemListTexts& texts() const { return texts_; }
    const std::vector<std::string>& records() const { return records_; }
    const std::string& record(int row) const { return records_.at(static_cast<std::size_t>(row)); }
    int size() const { return static_cast<int>(records_.size()); }
    bool empty() const { return records_.empty(); }

    // The list as read from the project: not a change.
    void Load(std::vector<std::string> records);
    // Every command below that changes the list sets the flag.
    bool changed() const { return changed_; }
    void MarkChanged() { changed_ = true; }

    // Room for `count` more items; otherwise shows the limit message and returns false.
    bool CanAdd(Ui& ui, int count = 1) const;
    bool Full() const { return texts_.limit > 0 && size() >= texts_.limit; }
    // The limit message with its number.
    std::string LimitMessage() const;

    // Inserts before `row` (clamped; size() appends). Returns the new row.
    int Insert(int row, std::string record);
    int Append(std::string record) { return Insert(size(), std::move(record)); }
    void Replace(int row, std::string record);
    // A duplicate right after `row`; returns its row, -1 for a row that does not exist.
    int Copy(int row);
    // Asks the delete question, then removes the rows. False when declined or none was given.
    bool Delete(Ui& ui, std::vector<int> rows);
    // Asks the clear question, then empties the list. False when declined or already empty.
    bool Clear(Ui& ui);
    // Removes without asking (the editors' own flows).
    void Remove(std::vector<int> rows);

    // Moves; each returns the row the item stands at afterwards (the row itself when it cannot
    // move).
    bool CanMoveUp(int row) const { return row > 0 && row < size(); }
    bool CanMoveDown(int row) const { return row >= 0 && row + 1 < size(); }
    int MoveUp(int row);
    int MoveDown(int row);
    int MoveTop(int row);
    int MoveBottom(int row);

    // Sorts by the text `textOf` gives each record (stable; `less` compares two texts).
    void Sort(const std::function<std::string(const std::string&)>& textOf, bool ascending,
              const std::function<bool(const std::string&, const std::string&)>& less);

private:
    ItemListTexts texts_;
    std::vector<std::string> records_;
    bool changed_ = false;
};

// Sorting by a column header: a click on a column sorts ascending, a click on the column sorted
// last sorts it the other way. Each list's state lasts while the program runs, across openings
// of its dialog (SortMemory).
struct SortState {
    int column = -1;  // -1: never sorted
    bool ascending = true;
    // The state after a click on `clicked`.
    void Click(int clicked);
};
// The program-wide sort state of a list ("Dialog\ShortCut", ...).
SortState& SortMemory(std::string_view listKey);

}  // namespace zeriru
