#include "zeriru/editors/item_list_dialog_model.h"

#include "zeriru/editors/text_order.h"
#include "zeriru/ui.h"

namespace zeriru {

ItemListDialogModel::ItemListDialogModel(ItemListTexts texts, std::string sortKey, ColumnText columnText)
    : list_(std::move(texts)), sortKey_(std::move(sortKey)), columnText_(std::move(columnText)) {}

void ItemListDialogModel::Load(std::vector<std::string> records, bool enabled, bool readOnly) {
    list_.Load(std::move(records));
    enabled_ = enabled;
    frame_ = DialogFrameModel(readOnly);
}

void ItemListDialogModel::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    frame_.MarkChanged();
}

int ItemListDialogModel::Add(std::string record) {
    const int row = list_.Append(std::move(record));
    SetEnabled(true);
    return row;
}

void ItemListDialogModel::SwitchOffWhenEmpty() {
    if (list_.empty()) SetEnabled(false);
}

bool ItemListDialogModel::Delete(Ui& ui, std::vector<int> rows) {
    if (!list_.Delete(ui, std::move(rows))) return false;
    SwitchOffWhenEmpty();
    return true;
}

bool ItemListDialogModel::Clear(Ui& ui) {
    if (!list_.Clear(ui)) return false;
    SwitchOffWhenEmpty();
    return true;
}

void ItemListDialogModel::SortByColumn(int column) {
    SortState& state = SortMemory(sortKey_);
    state.Click(column);
    list_.Sort([&](const std::string& record) { return columnText_(record, column); }, state.ascending,
               [](const std::string& a, const std::string& b) { return ListTextLess(a, b); });
}

const SortState& ItemListDialogModel::sortState() const { return SortMemory(sortKey_); }

bool ItemListDialogModel::ConfirmDiscard(Ui& ui) const {
    if (frame_.readOnly() || !changed()) return true;
    return ui.AskYesNo(DialogFrameModel::DiscardQuestion());
}

}  // namespace zeriru
