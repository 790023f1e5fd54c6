#include "zeriru/process_order.h"

#include "platform/sjis.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

// Settings section, default items section, [Installer] switch, editor data section.
struct ListKeys {
    const char* setting;
    const char* items;
    const char* enable;
    const char* defaults;
};
constexpr ListKeys kKeys[ProcessOrderDialogModel::kListCount] = {
    {"InstallProcessOrderSetting", "InstallProcessOrderItems", "EnableInstallProcessOrderSetting",
     "InstallProcessOrder"},
    {"UnInstallProcessOrderSetting", "UnInstallProcessOrderItems", "EnableUnInstallProcessOrderSetting",
     "UnInstallProcessOrder"},
};

// The record of a step as written: field 1 ticked, field 2 kind, field 7 65535.
std::string StepRecord(bool ticked, int kind) {
    std::string record = SetItemFieldInt({}, 1, ticked ? 1 : 0);
    record = SetItemFieldInt(record, 2, kind);
    return SetItemField(record, 7, "65535");
}

}  // namespace

std::string ProcessOrderDialogModel::StepCaption(List list, int kind) {
    static const char* const kCaptions[kKindCount][kListCount] = {
        {"ファイルのコピー/フォルダの作成", "ファイル/フォルダの削除"},
        {"ショートカットの作成", "ショートカットの削除"},
        {"レジストリへの値の書き込み", "レジストリの削除"},
        {"INIファイルファイルの作成・変更", "INIファイルファイルの削除・変更"},
        {"指定ファイル/フォルダの削除", "指定ファイル/フォルダの削除"},
        {"指定レジストリの削除", "指定レジストリの削除"},
        {"ファイルの実行(ファイルのコピー前)", "ファイルの実行(ファイルの削除前)"},
        {"ファイルの実行(ファイルのコピー後)", "ファイルの実行(ファイルの削除後)"},
    };
    if (kind < 0 || kind >= kKindCount) return {};
    return sjis::S(kCaptions[kind][list]);
}

std::string ProcessOrderDialogModel::Caption() { return sjis::S("処理順序の指定"); }

std::string ProcessOrderDialogModel::SwitchCaption(List list) {
    return sjis::S(list == kInstall ? "インストール時の処理順番を指定する(&O)" : "アンインストール時の処理順番を指定する(&O)");
}

std::string ProcessOrderDialogModel::Note() { return sjis::S("※チェックをはずすと該当処理は無効になります。"); }

std::string ProcessOrderDialogModel::ItemsSection(const TIniDocument& project, List list) {
    return ItemsSectionName(project, kKeys[list].setting, kKeys[list].items);
}

std::vector<std::string> ProcessOrderDialogModel::DefaultOrder(const TIniDocument& editorData, List list) {
    return ReadItemsCounted(editorData, kKeys[list].defaults);
}

ProcessOrderDialogModel::ProcessOrderDialogModel(const TIniDocument& project, const TIniDocument& editorData,
                                                 bool readOnly)
    : readOnly_(readOnly) {
    for (List list : {kInstall, kUninstall}) {
        defaults_[list] = DefaultOrder(editorData, list);
        const std::string section = ItemsSection(project, list);
        items_[list] = project.SectionExists(section) ? ReadItemsCounted(project, section) : defaults_[list];
        enabled_[list] = project.ReadBool("Installer", kKeys[list].enable, false);
    }
}

void ProcessOrderDialogModel::SetEnabled(List list, bool on) {
    if (!readOnly_) enabled_[list] = on;
}

int ProcessOrderDialogModel::Kind(const std::string& record) { return GetItemFieldInt(record, 2, 0); }
bool ProcessOrderDialogModel::Ticked(const std::string& record) { return GetItemFieldBool(record, 1, true); }

void ProcessOrderDialogModel::SetTicked(List list, int row, bool ticked) {
    if (!ListEnabled(list) || row < 0 || row >= static_cast<int>(items_[list].size())) return;
    items_[list][row] = SetItemFieldInt(items_[list][row], 1, ticked ? 1 : 0);
}

int ProcessOrderDialogModel::FindKind(List list, int kind, int from, int to) const {
    for (int i = std::max(from, 0); i < to && i < static_cast<int>(items_[list].size()); ++i)
        if (Kind(items_[list][i]) == kind) return i;
    return -1;
}

bool ProcessOrderDialogModel::CanMoveUp(List list, int row) const {
    return ListEnabled(list) && row > 0 && row < static_cast<int>(items_[list].size());
}

bool ProcessOrderDialogModel::CanMoveDown(List list, int row) const {
    return ListEnabled(list) && row >= 0 && row + 1 < static_cast<int>(items_[list].size());
}

bool ProcessOrderDialogModel::MoveUp(List list, int row, Ui& ui) {
    if (!CanMoveUp(list, row)) return false;
    const int count = static_cast<int>(items_[list].size());
    const int kind = Kind(items_[list][row]);
    const bool install = list == kInstall;
    // The step below which this one may not go: directly above it, or anywhere below it.
    auto blocked = [&](int other) { return Kind(items_[list][row - 1]) == other || FindKind(list, other, row + 1, count) >= 0; };
    if (kind == kRunAfter && blocked(kCopyFiles)) {
        ui.ShowMessage(sjis::S(install ? "この項目は「ファイルのコピー/フォルダの作成」より前には移動できません"
                                       : "この項目は「ファイル/フォルダの削除」より前には移動できません"));
        return false;
    }
    if (kind == kCopyFiles && blocked(kRunBefore)) {
        ui.ShowMessage(sjis::S(install ? "この項目は「ファイルの実行(ファイルのコピー前)」より前には移動できません"
                                       : "この項目は「ファイルの実行(ファイルの削除前)」より前には移動できません"));
        return false;
    }
    std::swap(items_[list][row], items_[list][row - 1]);
    return true;
}

bool ProcessOrderDialogModel::MoveDown(List list, int row, Ui& ui) {
    if (!CanMoveDown(list, row)) return false;
    const int kind = Kind(items_[list][row]);
    const bool install = list == kInstall;
    auto blocked = [&](int other) { return Kind(items_[list][row + 1]) == other || FindKind(list, other, 0, row) >= 0; };
    if (kind == kRunBefore && blocked(kCopyFiles)) {
        ui.ShowMessage(sjis::S(install ? "この項目は「ファイルのコピー/フォルダの作成」より後ろには移動できません"
                                       : "この項目は「ファイル/フォルダの削除」より後ろには移動できません"));
        return false;
    }
    if (kind == kCopyFiles && blocked(kRunAfter)) {
        ui.ShowMessage(sjis::S(install ? "この項目は「ファイルの実行(ファイルのコピー後)」より後ろには移動できません"
                                       : "この項目は「ファイルの実行(ファイルの削除後)」より後ろには移動できません"));
        return false;
    }
    std::swap(items_[list][row], items_[list][row + 1]);
    return true;
}

void ProcessOrderDialogModel::RestoreDefault(List list) {
    if (ListEnabled(list)) items_[list] = defaults_[list];
}

std::optional<ProcessOrderDialogModel::List> ProcessOrderDialogModel::Check(Ui& ui) const {
    for (List list : {kInstall, kUninstall}) {
        bool any = false;
        for (const std::string& record : items_[list]) any = any || Ticked(record);
        if (!any) {
            ui.ShowMessage(sjis::S(list == kInstall ? "インストール処理を行う項目を最低1つは選択してください。"
                                                    : "アンインストール処理を行う項目を最低1つは選択してください。"));
            return list;
        }
    }
    return std::nullopt;
}

void ProcessOrderDialogModel::WriteTo(TIniDocument& project) const {
    if (readOnly_) return;
    const std::string sections[kListCount] = {ItemsSection(project, kInstall), ItemsSection(project, kUninstall)};
    for (const std::string& section : sections) project.EraseSection(section);
    for (List list : {kInstall, kUninstall}) project.WriteBool("Installer", kKeys[list].enable, enabled_[list]);
    for (List list : {kInstall, kUninstall}) {
        std::vector<std::string> records;
        for (const std::string& record : items_[list]) records.push_back(StepRecord(Ticked(record), Kind(record)));
        WriteItems(project, sections[list], records);
    }
}

}  // namespace zeriru
