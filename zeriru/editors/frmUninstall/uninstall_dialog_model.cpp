#include "zeriru/editors/uninstall_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/project_file.h"
#include "zeriru/system_services.h"

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

constexpr std::string_view kInstaller = "Installer";
constexpr std::string_view kUninstall = "UninstallSetting";
constexpr std::string_view kEnableUninstall = "EnableUninstallSetting";
constexpr std::string_view kSystemFileDelete = "SystemFileDelete";
constexpr std::string_view kSystemFileDeleteMessage = "SystemFileDeleteMessage";
constexpr std::string_view kPersonalSettingDeleteConfirm = "PersonalSettingDeleteConfirm";
constexpr std::string_view kInfoFileMethodKey = "InfoFileMethod";
constexpr std::string_view kInfoFileNameKey = "InfoFileName";
constexpr std::string_view kStoredInfoFileName = "Install.dat";

constexpr const char* kInfoFileNameField = "edtInfoFileName";
// A define may begin the information file name when it stands for a folder or is a fixed
// system folder.
constexpr int kInfoFileDefineFlags = kDefFolder | kDefSystemFolder;

const UninstallListInfo kLists[kUninstallListCount] = {
    {{"DeleteFileSetting", "DeleteFileItems"}, "EnableDeleteFileSetting", "Dialog\\DeleteFile", "lvDeleteFile",
     "chkDeleteFile", "tsDeleteFile", false, UninstallList::Delete,
     "「ファイル/フォルダ」の「削除する項目」が登録されていません。"},
    {{"UnDeleteFileSetting", "UnDeleteFileItems"}, "EnableUnDeleteFileSetting", "Dialog\\UnDeleteFile",
     "lvUnDeleteFile", "chkUnDeleteFile", "tsUnDeleteFile", false, UninstallList::Keep,
     "「ファイル/フォルダ」の「削除しない項目」が登録されていません。"},
    {{"DeleteRegistrySetting", "DeleteRegistryItems"}, "EnableDeleteRegistrySetting", "Dialog\\DeleteRegistry",
     "lvDeleteRegistry", "chkDeleteRegistry", "tsDeleteRegistry", true, UninstallList::Delete,
     "「レジストリ」の「削除する項目」が登録されていません。"},
    {{"UnDeleteRegistrySetting", "UnDeleteRegistryItems"}, "EnableUnDeleteRegistrySetting",
     "Dialog\\UnDeleteRegistry", "lvUnDeleteRegistry", "chkUnDeleteRegistry", "tsUnDeleteRegistry", true,
     UninstallList::Keep, "「レジストリ」の「削除しない項目」が登録されていません。"},
};

UninstallListKind KindOf(int index) { return static_cast<UninstallListKind>(index); }

}  // namespace

const UninstallListInfo& UninstallListOf(UninstallListKind kind) { return kLists[static_cast<int>(kind)]; }

std::string UnInstallOptionDialogModel::Caption() { return sjis::S("アンインストールの設定"); }

std::string UnInstallOptionDialogModel::InfoFileMethodText(int method) {
    static const char* const kTexts[kInfoFileMethodCount] = {
        "既に存在する場合はアンインストール情報ファイルを上書きする", "自動設定", "指定したファイル名で作成する"};
    return method >= 0 && method < kInfoFileMethodCount ? sjis::S(kTexts[method]) : std::string();
}

UnInstallOptionDialogModel::UnInstallOptionDialogModel(bool readOnly) : frame(readOnly) {}

void UnInstallOptionDialogModel::Fill(const TIniDocument& project) {
    enableUninstall = project.ReadBool(kInstaller, kEnableUninstall, true);
    systemFileDelete = project.ReadBool(kUninstall, kSystemFileDelete, false);
    systemFileDeleteMessage = project.ReadBool(kUninstall, kSystemFileDeleteMessage, true);
    personalSettingDeleteConfirm = project.ReadBool(kUninstall, kPersonalSettingDeleteConfirm, false);
    const int method = project.ReadInteger(kUninstall, kInfoFileMethodKey, kInfoOverwrite);
    method_ = method >= 0 && method < kInfoFileMethodCount ? method : kInfoOverwrite;
    infoFileName = method_ == kInfoNamed ? project.ReadString(kUninstall, kInfoFileNameKey, kStoredInfoFileName)
                                         : std::string(kDefaultInfoFileName);
    useUniqueKey_ = false;
    SetUseUniqueKey(project.ReadBool(key::kProjectSection, key::kUseUniqueKey, false));
    for (int i = 0; i < kUninstallListCount; ++i) {
        const UninstallListInfo& info = kLists[i];
        enabled_[static_cast<std::size_t>(i)] = project.ReadBool(kInstaller, info.enableKey, false);
        lists_[static_cast<std::size_t>(i)].Load(
            ReadItemsCounted(project, ItemsSectionName(project, info.sections.setting, info.sections.defaultItems)));
    }
    frame.ClearChanged();
}

void UnInstallOptionDialogModel::SetUseUniqueKey(bool on) {
    if (on != useUniqueKey_) frame.MarkChanged();
    useUniqueKey_ = on;
    if (on) method_ = kInfoAutomatic;
}

void UnInstallOptionDialogModel::SetInfoFileMethod(int method) {
    if (!MethodEnabled() || method < 0 || method >= kInfoFileMethodCount || method == method_) return;
    method_ = method;
    frame.MarkChanged();
}

void UnInstallOptionDialogModel::SetListEnabled(UninstallListKind kind, bool on) {
    if (enabled_[Index(kind)] != on) frame.MarkChanged();
    enabled_[Index(kind)] = on;
}

CheckOutcome UnInstallOptionDialogModel::CheckInfoFileName() const {
    auto onPage = [](CheckOutcome r) {
        if (r) r->page = kInformationPage;
        return r;
    };
    if (infoFileName.empty())
        return onPage(Fail(sjis::S("アンインストール情報ファイル名を入力してください。"), kInfoFileNameField));
    const std::size_t slash = sjis::FindChar(infoFileName, '\\');
    const std::string head = infoFileName.substr(0, slash);
    const int id = FindDefineId(head);
    if (id == 0) return onPage(CheckFileNameRule(infoFileName, kInfoFileNameField));
    if ((GetDefineData(id).flags & kInfoFileDefineFlags) == 0)
        return onPage(Fail(MsgUnsupportedDefine(), kInfoFileNameField));
    const std::string rest = slash == sjis::npos ? std::string() : infoFileName.substr(slash + 1);
    if (rest.empty()) return onPage(Fail(sjis::S("ファイルを指定してください。"), kInfoFileNameField));
    return onPage(CheckSubPathRule(rest, kInfoFileNameField));
}

CheckOutcome UnInstallOptionDialogModel::Ok() const {
    if (method_ == kInfoNamed) {
        if (auto r = CheckInfoFileName()) return r;
    }
    for (int i = 0; i < kUninstallListCount; ++i) {
        const UninstallListInfo& info = kLists[i];
        if (!listEnabled(KindOf(i)) || !list(KindOf(i)).empty()) continue;
        CheckOutcome r = Fail(sjis::S(info.emptyMessage), std::string(info.listName));
        r->page = info.pageName;
        return r;
    }
    return std::nullopt;
}

void UnInstallOptionDialogModel::Write(TIniDocument& project) const {
    project.WriteBool(kInstaller, kEnableUninstall, enableUninstall);
    for (int i = 0; i < kUninstallListCount; ++i)
        project.WriteBool(kInstaller, kLists[i].enableKey, listEnabled(KindOf(i)));
    project.WriteBool(kUninstall, kSystemFileDelete, systemFileDelete);
    project.WriteBool(kUninstall, kSystemFileDeleteMessage, systemFileDeleteMessage);
    project.WriteBool(kUninstall, kPersonalSettingDeleteConfirm, personalSettingDeleteConfirm);
    project.WriteInteger(kUninstall, kInfoFileMethodKey, method_);
    if (method_ == kInfoNamed)
        project.WriteString(kUninstall, kInfoFileNameKey, infoFileName);
    else
        project.DeleteKey(kUninstall, kInfoFileNameKey);
    project.WriteBool(key::kProjectSection, key::kUseUniqueKey, useUniqueKey_);
    std::vector<ItemListRecords> lists;
    for (int i = 0; i < kUninstallListCount; ++i) lists.push_back({kLists[i].sections, &list(KindOf(i)).records()});
    WriteItemLists(project, lists);
}

}  // namespace zeriru
