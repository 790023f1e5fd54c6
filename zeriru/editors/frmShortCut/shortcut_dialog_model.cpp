#include "zeriru/editors/shortcut_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/editor_settings.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/shortcut_item_dialog_model.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace k = shortcut_key;

namespace {

constexpr std::string_view kInstallerSection = "Installer";
constexpr std::string_view kSoftwareSection = "Software";
constexpr std::string_view kSoftName = "SoftName";

// The field 9 bit of each install-time place, in DefaultCheckBox bit order.
constexpr int kInitialTargetBits[kInitialTargetCount] = {shortcut_target::kDesktop, shortcut_target::kStartup,
                                                         shortcut_target::kSendTo, shortcut_target::kQuickLaunch};

ItemListTexts ShortCutListTexts() {
    ItemListTexts texts = ItemListTexts::Defaults(5000);
    texts.limitMessage = sjis::S("登録可能数は %d までです。");
    return texts;
}

}  // namespace

ShortCutDialogModel::ShortCutDialogModel(EditorData& data)
    : data_(data), items_(ShortCutListTexts(), std::string(settings_key::kShortCut), ShortCutColumnText),
      pages_(kPageCount, {}) {}

std::string ShortCutDialogModel::Caption() { return sjis::S("ショートカットの設定"); }
std::string ShortCutDialogModel::LimitMessage() { return ItemList(ShortCutListTexts()).LimitMessage(); }

void ShortCutDialogModel::Load(const TIniDocument& project, bool readOnly) {
    data_.SetProject(&project);
    itemsSection_ = ItemsSectionName(project, k::kSetting, k::kDefaultItems);
    items_.Load(ReadItemsCounted(project, itemsSection_), project.ReadBool(kInstallerSection, k::kEnable, false),
                readOnly);
    useAppName_ = data_.options().useAppName;
    appName_ = DecodeProjectText(project.ReadString(kSoftwareSection, kSoftName));
    groupName_ = DecodeProjectText(project.ReadString(k::kSetting, k::kGroupName));
    showCheckBox_ = project.ReadBool(k::kSetting, k::kShowCheckBox, true);
    defaultCheckBox_ = project.ReadInteger(k::kSetting, k::kDefaultCheckBox, 0);
    visibleSelectUser_ = project.ReadBool(k::kSetting, k::kVisibleSelectUser, false);
    checkSelectUser_ = visibleSelectUser_ && project.ReadBool(k::kSetting, k::kCheckSelectUser, false);
    enableSelectUser_ = !visibleSelectUser_ || project.ReadBool(k::kSetting, k::kEnableSelectUser, true);
    UpdateInitialTargets();
    pages_.Restore(data_.settings(), settings_key::kShortCut);
    detailsView_ = data_.settings().DialogSwitch(settings_key::kShortCut, k::kViewStyle, true);
}

std::string ShortCutDialogModel::StoredGroupName(std::string_view name) {
    std::string text = TrimText(name);
    // A "\" ends the text only as a character of its own, never as the trail byte of one.
    while (!text.empty()) {
        const std::size_t last = sjis::FindLastChar(text, '\\');
        if (last == std::string::npos || last + 1 != text.size()) break;
        text.pop_back();
        text = TrimText(text);
    }
    return text;
}

void ShortCutDialogModel::Write(TIniDocument& project) const {
    WriteItems(project, itemsSection_, items_.records());
    project.WriteString(k::kSetting, key::kUseSection, itemsSection_);
    project.WriteBool(kInstallerSection, k::kEnable, items_.enabled());
    project.WriteString(k::kSetting, k::kGroupName, EncodeProjectText(StoredGroupName(groupName())));
    project.WriteBool(k::kSetting, k::kShowCheckBox, showCheckBox_);
    project.WriteInteger(k::kSetting, k::kDefaultCheckBox, defaultCheckBox_);
    project.WriteBool(k::kSetting, k::kVisibleSelectUser, visibleSelectUser_);
    project.WriteBool(k::kSetting, k::kCheckSelectUser, checkSelectUser_);
    project.WriteBool(k::kSetting, k::kEnableSelectUser, enableSelectUser_);
}

void ShortCutDialogModel::SetGroupName(std::string name) {
    if (!GroupNameEditable() || name == groupName_) return;
    groupName_ = std::move(name);
    items_.MarkChanged();
}

void ShortCutDialogModel::SetShowCheckBox(bool on) {
    if (on == showCheckBox_) return;
    showCheckBox_ = on;
    items_.MarkChanged();
}

// ---- the places checked at first ----

std::string ShortCutDialogModel::InitialTargetCaption(int index) {
    static const char* const kCaptions[kInitialTargetCount] = {"デスクトップ", "スタートアップ", "送る", "クイック起動"};
    return index >= 0 && index < kInitialTargetCount ? sjis::S(kCaptions[index]) : std::string();
}

int ShortCutDialogModel::UsedTargets() const {
    int used = 0;
    for (const std::string& record : items_.records()) used |= ShortCutItem::Read(record).targets;
    return used;
}

bool ShortCutDialogModel::InitialTargetEnabled(int index) const {
    if (index < 0 || index >= kInitialTargetCount) return false;
    return (UsedTargets() & kInitialTargetBits[index]) != 0;
}

bool ShortCutDialogModel::InitialTargetChecked(int index) const {
    return index >= 0 && index < kInitialTargetCount && (defaultCheckBox_ & (1 << index)) != 0;
}

void ShortCutDialogModel::SetInitialTarget(int index, bool on) {
    if (readOnly() || !InitialTargetEnabled(index) || on == InitialTargetChecked(index)) return;
    defaultCheckBox_ ^= 1 << index;
    items_.MarkChanged();
}

void ShortCutDialogModel::UpdateInitialTargets() {
    const int used = UsedTargets();
    for (int i = 0; i < kInitialTargetCount; ++i)
        if ((used & kInitialTargetBits[i]) == 0) defaultCheckBox_ &= ~(1 << i);
}

// ---- the users ----

void ShortCutDialogModel::SetVisibleSelectUser(bool on) {
    if (readOnly() || on == visibleSelectUser_) return;
    visibleSelectUser_ = on;
    if (!on) {
        checkSelectUser_ = false;
        enableSelectUser_ = true;
    }
    items_.MarkChanged();
}

void ShortCutDialogModel::SetCheckSelectUser(bool on) {
    if (!SelectUserOptionsEnabled() || on == checkSelectUser_) return;
    checkSelectUser_ = on;
    items_.MarkChanged();
}

void ShortCutDialogModel::SetLockSelectUser(bool on) {
    if (!SelectUserOptionsEnabled() || on == lockSelectUser()) return;
    enableSelectUser_ = !on;
    items_.MarkChanged();
}

// ---- list commands ----

ShortCutItemDialogModel ShortCutDialogModel::NewItemDialog() const {
    ShortCutItemDialogModel dialog(data_, readOnly());
    dialog.Load(ShortCutItem{});
    return dialog;
}

ShortCutItemDialogModel ShortCutDialogModel::ItemDialogFor(int row) const {
    ShortCutItemDialogModel dialog(data_, readOnly());
    dialog.Load(ShortCutItem::Read(items_.list().record(row)));
    return dialog;
}

int ShortCutDialogModel::Add(Ui& ui, const ItemDialogRunner& dialog) {
    if (readOnly() || !items_.CanAdd(ui)) return -1;
    ShortCutItemDialogModel item = NewItemDialog();
    if (!dialog(item)) return -1;
    const int row = items_.Add(item.Item().Write());
    UpdateInitialTargets();
    return row;
}

bool ShortCutDialogModel::Edit(int row, const ItemDialogRunner& dialog) {
    if (row < 0 || row >= items_.size()) return false;
    ShortCutItemDialogModel item = ItemDialogFor(row);
    if (!dialog(item) || readOnly()) return false;
    items_.Replace(row, item.Item().Write(items_.list().record(row)));
    UpdateInitialTargets();
    return true;
}

int ShortCutDialogModel::Copy(int row) { return readOnly() ? -1 : items_.Copy(row); }

bool ShortCutDialogModel::Delete(Ui& ui, int row) {
    if (readOnly() || row < 0 || row >= items_.size() || !items_.Delete(ui, {row})) return false;
    UpdateInitialTargets();
    return true;
}

bool ShortCutDialogModel::Clear(Ui& ui) {
    if (readOnly() || !items_.Clear(ui)) return false;
    UpdateInitialTargets();
    return true;
}

void ShortCutDialogModel::SortByColumn(int column) {
    if (column < 0 || column >= kShortCutRecordColumn) return;
    items_.SortByColumn(column);
}

void ShortCutDialogModel::ListChanged() {
    items_.ListChanged();
    UpdateInitialTargets();
}

void ShortCutDialogModel::StoreLayout() {
    pages_.Store(data_.settings(), settings_key::kShortCut);
    data_.settings().SetDialogSwitch(settings_key::kShortCut, k::kViewStyle, detailsView_);
}

// ---- closing ----

CheckOutcome ShortCutDialogModel::CheckOk() const {
    CheckOutcome result = CheckSubPathRule(TrimText(groupName()), "edtGroupName");
    if (result) result->page = "tsOption";
    return result;
}

bool ShortCutDialogModel::ConfirmOk(Ui& ui) {
    if (!items_.enabled() || items_.size() > 0) return true;
    if (ui.AskYesNo(sjis::S("項目が登録されていませんがよろしいですか。"))) return true;
    items_.SetEnabled(false);
    return false;
}

}  // namespace zeriru
