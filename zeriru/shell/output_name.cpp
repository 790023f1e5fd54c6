#include "zeriru/output_name.h"

#include "platform/sjis.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;

std::string LiteralRowType() { return sjis::S("任意の文字列"); }

const std::vector<std::string>& OutputNameItemTypes() {
    static const std::vector<std::string> types = {
        LiteralRowType(), "%VER_MAJOR%", "%VER_MINOR%", "%VER_RELEASE%", "%VER_BUILD%",
        "%VER_OTHER%",    "%CDATETIME%", "%CDATE%",     "%CTIME%",
    };
    return types;
}

std::vector<OutputNameRow> SplitOutputName(std::string_view text, bool keepEmptyPlaceholder) {
    std::vector<OutputNameRow> rows;
    std::string run;
    auto flush = [&] {
        if (!run.empty()) rows.push_back({LiteralRowType(), run});
        run.clear();
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t next = sjis::NextChar(text, i);
        if (next - i != 1 || text[i] != '%') {
            run.append(text.substr(i, next - i));
            i = next;
            continue;
        }
        const std::size_t close = sjis::FindChar(text, '%', i + 1);
        if (close == sjis::npos) {
            // No closing "%": the rest is literal text.
            run.append(text.substr(i));
            break;
        }
        flush();
        const std::string placeholder = sjis::ToUpper(text.substr(i, close + 1 - i));
        if (placeholder.size() > 2 || keepEmptyPlaceholder) rows.push_back({placeholder, placeholder});
        i = close + 1;
    }
    flush();
    return rows;
}

std::string JoinOutputName(const std::vector<OutputNameRow>& rows) {
    std::string text;
    for (const OutputNameRow& row : rows) text += row.value;
    return text;
}

// ---- the item dialog ----

CreateFileNameItemDialogModel::CreateFileNameItemDialogModel() : originalType_(LiteralRowType()) {}

CreateFileNameItemDialogModel::CreateFileNameItemDialogModel(const OutputNameRow& row)
    : value_(row.value), originalType_(row.type) {
    const std::vector<std::string>& types = OutputNameItemTypes();
    const auto it = std::find(types.begin(), types.end(), row.type);
    type_ = it == types.end() ? -1 : static_cast<int>(it - types.begin());
}

std::string CreateFileNameItemDialogModel::Caption() { return sjis::S("ファイル名定義項目"); }

void CreateFileNameItemDialogModel::SelectType(int index) {
    if (index < 0 || index >= static_cast<int>(OutputNameItemTypes().size())) return;
    type_ = index;
    if (index > 0) value_ = OutputNameItemTypes()[static_cast<std::size_t>(index)];
}

void CreateFileNameItemDialogModel::SetValue(std::string value) {
    if (ValueEnabled()) value_ = std::move(value);
}

OutputNameRow CreateFileNameItemDialogModel::Row() const {
    if (type_ < 0) return {originalType_, value_};
    return {OutputNameItemTypes()[static_cast<std::size_t>(type_)], value_};
}

// ---- the composer ----

CreateFileNameDialogModel::CreateFileNameDialogModel(std::string_view fileName, bool keepEmptyPlaceholder,
                                                     bool readOnly)
    : rows_(SplitOutputName(fileName, keepEmptyPlaceholder)), readOnly_(readOnly) {}

std::string CreateFileNameDialogModel::Caption() { return sjis::S("インストーラファイル名の指定"); }

int CreateFileNameDialogModel::Add(const CreateFileNameItemDialog& itemDialog) {
    CreateFileNameItemDialogModel item;
    if (!itemDialog || !itemDialog(item)) return -1;
    rows_.push_back(item.Row());
    return static_cast<int>(rows_.size()) - 1;
}

bool CreateFileNameDialogModel::Edit(int row, const CreateFileNameItemDialog& itemDialog) {
    if (!ValidRow(row)) return false;
    CreateFileNameItemDialogModel item(rows_[static_cast<std::size_t>(row)]);
    if (!itemDialog || !itemDialog(item)) return false;
    rows_[static_cast<std::size_t>(row)] = item.Row();
    return true;
}

bool CreateFileNameDialogModel::Delete(Ui& ui, int row) {
    if (!ValidRow(row) || readOnly_) return false;
    if (!ui.AskYesNo(sjis::S("選択項目を削除しますか。"))) return false;
    rows_.erase(rows_.begin() + row);
    return true;
}

int CreateFileNameDialogModel::MoveUp(int row) {
    if (!ValidRow(row) || row == 0) return row;
    std::swap(rows_[static_cast<std::size_t>(row)], rows_[static_cast<std::size_t>(row - 1)]);
    return row - 1;
}

int CreateFileNameDialogModel::MoveDown(int row) {
    if (!ValidRow(row) || row + 1 >= static_cast<int>(rows_.size())) return row;
    std::swap(rows_[static_cast<std::size_t>(row)], rows_[static_cast<std::size_t>(row + 1)]);
    return row + 1;
}

bool CreateFileNameDialogModel::UpEnabled(const std::vector<int>& selected) const {
    return selected.size() == 1 && ValidRow(selected[0]) && selected[0] > 0;
}

bool CreateFileNameDialogModel::DownEnabled(const std::vector<int>& selected) const {
    return selected.size() == 1 && ValidRow(selected[0]) && selected[0] + 1 < static_cast<int>(rows_.size());
}

}  // namespace zeriru
