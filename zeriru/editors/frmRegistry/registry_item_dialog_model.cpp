#include "zeriru/editors/registry_item_dialog_model.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/editors/binary_grid.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/editors/item_rules.h"

#include <charconv>

namespace zeriru {

namespace sjis = platform::sjis;
namespace rc = registry_control;

namespace {

CheckOutcome OnPage(CheckOutcome result, const char* page) {
    if (result) result->page = page;
    return result;
}

// A DWORD as the installer takes it: a decimal number from -2147483648 to 4294967295.
bool IsDwordText(std::string_view text) {
    long long number = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), number, 10);
    return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size() && number >= -2147483648LL &&
           number <= 4294967295LL;
}

}  // namespace

RegistryItemDialogModel::RegistryItemDialogModel(EditorData& data, bool readOnly,
                                                 std::function<void(int, bool)> showHint)
    : cells(BinaryCellsFromValue({})), data_(data), readOnly_(readOnly), showHint_(std::move(showHint)) {}

std::string RegistryItemDialogModel::Caption() { return sjis::S("レジストリ項目"); }

bool RegistryItemDialogModel::advancedMode() const { return data_.advancedMode(); }

RegistryItem RegistryItemDialogModel::NewItem() const {
    RegistryItem item;
    item.os = data_.projectOs();
    return item;
}

void RegistryItemDialogModel::Load(const RegistryItem& item) {
    loading_ = true;
    root = item.root;
    subKey = item.subKey;
    valueName = item.valueName;
    SetType(item.type >= 0 && item.type < registry_value_type::kCount ? item.type : registry_value_type::kString);
    if (UsesGrid()) {
        value.clear();
        cells = BinaryCellsFromValue(item.value);
    } else {
        value = item.value;
        cells = BinaryCellsFromValue({});
    }
    SetTiming(item.timing() >= 0 && item.timing() < process_timing::kCount ? item.timing() : process_timing::kInstall);
    options = item.options();
    condition = ConditionEditorModel();
    condition.Load(item.condition);
    os = item.os;
    loading_ = false;
}

RegistryItem RegistryItemDialogModel::Item() const {
    RegistryItem item;
    item.root = root;
    item.subKey = subKey;
    item.valueName = valueName;
    item.value = UsesGrid() ? BinaryValueFromCells(cells) : value;
    item.type = type_;
    item.condition = condition.Record(options, timing_);
    if (ConditionEditorModel::GroupOfType(item.condition.type) != ConditionEditorModel::Group::Registry)
        item.condition.keyOrParameter = platform::winpath::RemoveBackslash(item.condition.keyOrParameter);
    item.os = os;
    return item;
}

void RegistryItemDialogModel::SetTiming(int timing) {
    if (timing < 0 || timing >= process_timing::kCount) return;
    const bool changed = timing != timing_;
    timing_ = timing;
    if (changed && !loading_ && timing != process_timing::kInstall && showHint_) showHint_(kUninstallValueHint, true);
}

void RegistryItemDialogModel::SetType(int type) {
    if (type < 0 || type >= registry_value_type::kCount || type == type_) return;
    type_ = type;
    if (loading_) return;
    value.clear();
    ClearGrid();
}

void RegistryItemDialogModel::SetCell(int index, std::string_view typed) {
    if (index < 0 || index >= static_cast<int>(cells.size())) return;
    cells[static_cast<std::size_t>(index)] = FilterBinaryCell(typed);
}

void RegistryItemDialogModel::ClearGrid() { cells = BinaryCellsFromValue({}); }

bool RegistryItemDialogModel::OsButtonEnabled() const { return data_.projectChecksOs() && !readOnly_; }

OsDialogModel RegistryItemDialogModel::OsDialog() const { return OsDialogModel(os, data_.projectOs().mask, false); }

DefineBuilderDialogModel RegistryItemDialogModel::ValueBuilder() const {
    const int mask = type_ == registry_value_type::kDword ? kMaskDWord : kMaskAny;
    return DefineBuilderDialogModel(data_.defineCategories(), data_.defineParams(), mask, value);
}

std::vector<std::string> RegistryItemDialogModel::ConditionDefineChoices() const {
    std::vector<std::string> choices = {"%InstallDir%",     "%InstallDrive%",  "%WindowsDirectory%", "%SystemDirectory%",
                                        "%ProgramFilesDir%", "%SystemRootDir%", "%AbsoluteDir%"};
    for (std::string& d : data_.DefineList("DFNLIST_FILESITEM")) choices.push_back(std::move(d));
    return choices;
}

CheckOutcome RegistryItemDialogModel::Check() const {
    if (auto r = CheckRequired(TrimText(subKey), sjis::S("サブキーを入力してください。"), rc::kSubKey))
        return OnPage(r, rc::kDetailPage);
    const std::string number = TrimText(value);
    if (type_ == registry_value_type::kDword && sjis::FindTextNoCase(number, "%InputNumber%") == sjis::npos &&
        !IsDwordText(number))
        return OnPage(Fail(sjis::S("数値を入力してください。"), rc::kValue), rc::kDetailPage);
    if (!ConditionCoversTiming(condition.timing, timing_))
        return OnPage(Fail(sjis::S("条件が無効です。"), condition_control::kTiming), rc::kOtherPage);
    if (condition.timing != kConditionNone)
        return OnPage(condition.CheckOperands({.unknownDefinesPass = true}), rc::kOtherPage);
    return std::nullopt;
}

bool RegistryItemDialogModel::Ok(CheckOutcome* failed) const {
    CheckOutcome result = Check();
    const bool ok = !result;
    if (failed) *failed = std::move(result);
    return ok;
}

}  // namespace zeriru
