#include "zeriru/editors/item_list.h"

#include "platform/sjis.h"
#include "zeriru/ui.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace zeriru {

namespace sjis = platform::sjis;

ItemListTexts ItemListTexts::Defaults(int limit) {
    ItemListTexts texts;
    texts.limit = limit;
    texts.limitMessage = sjis::S("最大登録可能数は %d までです。");
    texts.deleteQuestion = sjis::S("選択項目を削除しますか。");
    texts.clearQuestion = sjis::S("すべての項目を削除しますか。");
    return texts;
}

ItemList::ItemList(ItemListTexts texts) : texts_(std::move(texts)) {}

void ItemList::Load(std::vector<std::string> records) {
    records_ = std::move(records);
    changed_ = false;
}

std::string ItemList::LimitMessage() const {
    std::string text = texts_.limitMessage;
    const std::size_t at = text.find("%d");
    if (at != std::string::npos) text.replace(at, 2, std::to_string(texts_.limit));
    return text;
}

bool ItemList::CanAdd(Ui& ui, int count) const {
    if (texts_.limit <= 0 || size() + count <= texts_.limit) return true;
    ui.ShowMessage(LimitMessage());
    return false;
}

int ItemList::Insert(int row, std::string record) {
    row = std::clamp(row, 0, size());
    records_.insert(records_.begin() + row, std::move(record));
    changed_ = true;
    return row;
}

void ItemList::Replace(int row, std::string record) {
    if (row < 0 || row >= size()) return;
    records_[static_cast<std::size_t>(row)] = std::move(record);
    changed_ = true;
}

int ItemList::Copy(int row) {
    if (row < 0 || row >= size()) return -1;
    return Insert(row + 1, records_[static_cast<std::size_t>(row)]);
}

void ItemList::Remove(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it < 0 || *it >= size()) continue;
        records_.erase(records_.begin() + *it);
        changed_ = true;
    }
}

bool ItemList::Delete(Ui& ui, std::vector<int> rows) {
    if (rows.empty() || !ui.AskYesNo(texts_.deleteQuestion)) return false;
    Remove(std::move(rows));
    return true;
}

bool ItemList::Clear(Ui& ui) {
    if (records_.empty() || !ui.AskYesNo(texts_.clearQuestion)) return false;
    records_.clear();
    changed_ = true;
    return true;
}

int ItemList::MoveUp(int row) {
    if (!CanMoveUp(row)) return row;
    std::swap(records_[static_cast<std::size_t>(row)], records_[static_cast<std::size_t>(row - 1)]);
    changed_ = true;
    return row - 1;
}

int ItemList::MoveDown(int row) {
    if (!CanMoveDown(row)) return row;
    std::swap(records_[static_cast<std::size_t>(row)], records_[static_cast<std::size_t>(row + 1)]);
    changed_ = true;
    return row + 1;
}

int ItemList::MoveTop(int row) {
    if (!CanMoveUp(row)) return row;
    std::rotate(records_.begin(), records_.begin() + row, records_.begin() + row + 1);
    changed_ = true;
    return 0;
}

int ItemList::MoveBottom(int row) {
    if (!CanMoveDown(row)) return row;
    std::rotate(records_.begin() + row, records_.begin() + row + 1, records_.end());
    changed_ = true;
    return size() - 1;
}

void ItemList::Sort(const std::function<std::string(const std::string&)>& textOf, bool ascending,
                    const std::function<bool(const std::string&, const std::string&)>& less) {
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(records_.size());
    for (std::string& r : records_) keyed.emplace_back(textOf(r), std::move(r));
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        return ascending ? less(a.first, b.first) : less(b.first, a.first);
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) records_[i] = std::move(keyed[i].second);
    changed_ = true;
}

void SortState::Click(int clicked) {
    ascending = clicked == column ? !ascending : true;
    column = clicked;
}

SortState& SortMemory(std::string_view listKey) {
    static std::mutex mutex;
    static std::map<std::string, SortState> states;
    std::lock_guard<std::mutex> lock(mutex);
    return states[sjis::ToUpper(listKey)];
}

}  // namespace zeriru
