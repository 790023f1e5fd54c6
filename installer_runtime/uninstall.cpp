// The uninstall: what the record lists is removed, what the installation changed is restored,
// the uninstall lists of the project add files, folders and registry keys to remove and keep
// others, and the items of the uninstall phase (registry values, INI entries, programs) run.
#include "installer_runtime/installer.h"

#include "context.h"
#include "ini_items.h"
#include "install_limits.h"
#include "program_items.h"
#include "record.h"
#include "registration.h"
#include "registry_items.h"
#include "transaction.h"

#include "platform/pathtext.h"
#include "platform/profile.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/file_services.h"
#include "zeriru/project_file.h"
#include "zeriru/system_services.h"

#include <algorithm>

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;
namespace reg = platform::registry;
namespace pf = platform::profile;
using zeriru::GetItemFieldInt;

namespace {

// Delete-files options (field 7).
constexpr int kDeleteConfirm = 1;
constexpr int kDeleteEmptiedFolder = 2;
constexpr int kDeleteFullFolder = 4;
// Delete-registry options (field 5).
constexpr int kKeyOnlyWhenEmpty = 1;
constexpr int kKeyConfirm = 2;
constexpr int kKeyParents = 4;
// Registry item options kept in the record.
constexpr int kRemoveEmptyKey = 2;
constexpr int kRemoveEmptyParents = 4;

bool IsBelow(const std::string& path, const std::string& folder) {
    return sj::StartsWithNoCase(path, wp::AddBackslash(folder));
}

class Remover {
public:
    Remover(const Context& context, const InstallRecord& record) : c_(context), record_(record) {
        const auto& data = context.data;
        Problems ignored;
        if (data.ReadBool("Installer", "EnableUnDeleteFileSetting", false))
            keepFiles_ = ReadList(data, "UnDeleteFileSetting", "UnDeleteFileItems", ignored);
        if (data.ReadBool("Installer", "EnableDeleteFileSetting", false))
            deleteFiles_ = ReadList(data, "DeleteFileSetting", "DeleteFileItems", ignored);
        if (data.ReadBool("Installer", "EnableUnDeleteRegistrySetting", false))
            keepRegistry_ = ReadList(data, "UnDeleteRegistrySetting", "UnDeleteRegistryItems", ignored);
        if (data.ReadBool("Installer", "EnableDeleteRegistrySetting", false))
            deleteRegistry_ = ReadList(data, "DeleteRegistrySetting", "DeleteRegistryItems", ignored);
    }

    void Files() {
        const bool systemFiles = c_.data.ReadBool("UninstallSetting", "SystemFileDelete", false);
        const bool askSystem = c_.data.ReadBool("UninstallSetting", "SystemFileDeleteMessage", true);
        for (auto it = record_.files.rbegin(); it != record_.files.rend(); ++it) {
            const InstalledFile& f = *it;
            if (f.existed || !wp::FileExists(f.path) || wp::DirectoryExists(f.path) || Kept(f.path)) continue;
            if (IsSystemFile(f.path)) {
                if (!systemFiles) continue;
                if (askSystem && !c_.Ask(c_.texts.Text(text_id::kRemoveSystemFile, {f.path}) + c_.YesNo(), true)) continue;
            }
            if ((f.options & 64) && !c_.Ask(c_.texts.Text(text_id::kRemoveShared, {f.path}) + c_.YesNo(), true)) continue;
            c_.Say(f.kind == 'S' ? text_id::kRemovingShortcut : text_id::kRemovingFile, {f.path});
            RemoveFile(f.path);
        }
    }

    // The delete list adds files and folders the installation did not make (data the
    // application wrote); it wins over the keep list.
    void DeleteList() {
        for (const std::string& r : deleteFiles_) {
            if (!OsTargetAdmits(zeriru::GetItemField(r, 8), zeriru::GetItemField(r, 9), c_.options.machine)) continue;
            const int type = GetItemFieldInt(r, 1, 0);
            const int options = GetItemFieldInt(r, 7, 0);
            Refusal why;
            const auto folder = c_.targets.Folder(Field(r, 2), Field(r, 3), &why);
            if (!folder || zeriru::IsProtectedFolder(*folder, 255, c_.machine)) continue;
            if ((options & kDeleteConfirm) && !c_.Ask(c_.texts.Text(text_id::kRemoveShared, {*folder}) + c_.YesNo(), true))
                continue;
            if (type == 1) {
                if (options & kDeleteFullFolder) {
                    if (wp::DirectoryExists(*folder) && !zeriru::DeleteFolderTree(*folder, c_.machine)) left_.push_back(*folder);
                } else {
                    RemoveFolderIfEmpty(*folder);
                }
                continue;
            }
            const std::string mask = type == 0 ? Field(r, 4) : Field(r, 5);
            if (mask.empty() || !wp::IsValidElement(mask, type == 2)) continue;
            for (const wp::FindData& found : wp::FindFiles(wp::JoinPath(*folder, mask))) {
                if (found.attributes & wp::kAttrDirectory) continue;
                const std::string path = wp::JoinPath(*folder, found.name);
                c_.Say(text_id::kRemovingFile, {path});
                RemoveFile(path);
            }
            if (options & kDeleteEmptiedFolder) RemoveFolderIfEmpty(*folder);
        }
    }

    void Ini() {
        if (record_.iniEntries.empty() || !AskSettings()) return;
        for (auto it = record_.iniEntries.rbegin(); it != record_.iniEntries.rend(); ++it) {
            const InstalledIniEntry& e = *it;
            const auto host = wp::ToHostPath(e.file);
            if (!host || !wp::FileExists(e.file)) continue;
            const char* before = e.before ? e.before->c_str() : nullptr;
            if (!pf::WritePrivateProfileString(e.section.c_str(), e.key.c_str(), before, *host)) {
                left_.push_back(e.file + " [" + e.section + "] " + e.key);
                continue;
            }
            if (!e.sectionExisted && pf::GetPrivateProfileKeyNames(e.section, *host).empty())
                pf::WritePrivateProfileString(e.section.c_str(), nullptr, nullptr, *host);
            if (!e.fileExisted && pf::GetPrivateProfileSectionNames(*host).empty()) RemoveFile(e.file);
        }
    }

    void Registry() {
        if (!record_.values.empty() && !AskSettings()) return;
        for (auto it = record_.values.rbegin(); it != record_.values.rend(); ++it) {
            const InstalledValue& v = *it;
            if (KeptValue(v.root, v.key, &v.name)) continue;
            c_.Say(text_id::kRemovingRegistry, {std::string(reg::RootName(v.root)) + "\\" + v.key + "\\" + v.name});
            reg::Status st = reg::Status::Ok;
            if (v.before) {
                st = c_.registry.SetValue(v.root, v.key, v.name, *v.before);
            } else if (c_.registry.KeyExists(v.root, v.key) == reg::Status::Ok) {
                st = c_.registry.DeleteValue(v.root, v.key, v.name);
                if (st == reg::Status::NotFound) st = reg::Status::Ok;
            }
            if (st != reg::Status::Ok) left_.push_back(std::string(reg::RootName(v.root)) + "\\" + v.key + "\\" + v.name);
            if (v.options & (kRemoveEmptyKey | kRemoveEmptyParents)) {
                RemoveKeyIfEmpty(v.root, v.key);
                if (v.options & kRemoveEmptyParents) RemoveEmptyParents(v.root, v.key);
            }
        }
    }

    void DeleteRegistryList() {
        for (const std::string& r : deleteRegistry_) {
            if (!OsTargetAdmits(zeriru::GetItemField(r, 7), zeriru::GetItemField(r, 8), c_.options.machine)) continue;
            const auto root = reg::RootFromName(Field(r, 2));
            const std::string key = Field(r, 3);
            const int options = GetItemFieldInt(r, 5, 0);
            if (!root || key.empty() || zeriru::IsProtectedRegistryKey(Field(r, 2), key)) continue;
            if ((options & kKeyConfirm) && !c_.Ask(c_.texts.Text(text_id::kRemoveSettings) + c_.YesNo(), true)) continue;
            if (GetItemFieldInt(r, 1, 0) == 1) {
                const std::string name = Field(r, 4);
                if (!KeptValue(*root, key, &name)) c_.registry.DeleteValue(*root, key, name);
                continue;
            }
            if (KeptKey(*root, key) || c_.registry.KeyExists(*root, key) != reg::Status::Ok) continue;
            if ((options & kKeyOnlyWhenEmpty) && !RegistryKeyIsEmpty(c_.registry, *root, key)) continue;
            c_.Say(text_id::kRemovingRegistry, {std::string(reg::RootName(*root)) + "\\" + key});
            if (c_.registry.DeleteKeyTree(*root, key) != reg::Status::Ok) left_.push_back(key);
            if (options & kKeyParents) RemoveEmptyParents(*root, key);
        }
    }

    // The keys the installation made, deepest first, when nothing else was put in them.
    void MadeKeys() {
        for (auto it = record_.keys.rbegin(); it != record_.keys.rend(); ++it) RemoveKeyIfEmpty(it->root, it->key);
    }

    void Folders() {
        std::vector<std::string> folders = record_.folders;
        std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
        for (const std::string& f : folders) {
            if (!Kept(f)) RemoveFolderIfEmpty(f);
        }
    }

    void RemoveFile(const std::string& path) {
        wp::SetFileAttributes(path, wp::kAttrNormal);
        if (!wp::DeleteFile(path)) left_.push_back(path);
    }

    // The uninstaller goes with the last installation that uses it, unless the project keeps it.
    void Uninstaller(bool keep) {
        if (keep || record_.uninstaller.empty() || !IsModuleProgram(record_.uninstaller)) return;
        std::vector<std::string> apps;
        c_.registry.EnumSubKeys(reg::Root::LocalMachine, kUninstallKey, &apps);
        for (const std::string& app : apps) {
            const std::string command =
                c_.registry.GetString(reg::Root::LocalMachine, std::string(kUninstallKey) + "\\" + app, "UninstallString");
            if (sj::FindTextNoCase(command, record_.uninstaller) != sj::npos) return;
        }
        RemoveFile(record_.uninstaller);
    }

    const std::vector<std::string>& leftovers() const { return left_; }

private:
    bool AskSettings() {
        if (!settingsAsked_) {
            settingsAsked_ = true;
            settingsOk_ = !c_.data.ReadBool("UninstallSetting", "PersonalSettingDeleteConfirm", false) ||
                          c_.Ask(c_.texts.Text(text_id::kRemoveSettings) + c_.YesNo(), true);
        }
        return settingsOk_;
    }

    // A file of the system folder (libraries other programs may load).
    bool IsSystemFile(const std::string& path) const {
        return sj::EqualsNoCase(wp::FolderOf(path), c_.machine.SystemFolder());
    }

    // Whether the keep list holds a file or folder (a path the delete list names is never kept).
    bool Kept(const std::string& path) const {
        for (const std::string& r : keepFiles_) {
            if (!OsTargetAdmits(zeriru::GetItemField(r, 6), zeriru::GetItemField(r, 7), c_.options.machine)) continue;
            Refusal why;
            const auto folder = c_.targets.Folder(Field(r, 2), Field(r, 3), &why);
            if (!folder) continue;
            const int type = GetItemFieldInt(r, 1, 0);
            if (type == 0 && sj::EqualsNoCase(path, wp::JoinPath(*folder, Field(r, 4)))) return true;
            if (type == 1 && (sj::EqualsNoCase(path, *folder) || IsBelow(path, *folder))) return true;
            if (type == 2 && IsBelow(path, *folder) && wp::MatchesMask(wp::FileNameOf(path), Field(r, 5))) return true;
        }
        return false;
    }

    // Whether the keep list holds a value (or, without a name, a key).
    bool KeptValue(reg::Root root, const std::string& key, const std::string* name) const {
        for (const std::string& r : keepRegistry_) {
            const auto keepRoot = reg::RootFromName(Field(r, 2));
            if (!keepRoot || *keepRoot != root) continue;
            const std::string keepKey = Field(r, 3);
            const int type = GetItemFieldInt(r, 1, 0);
            if (type == 0 && name && sj::EqualsNoCase(key, keepKey) && sj::EqualsNoCase(*name, Field(r, 4))) return true;
            if (type == 1 && sj::EqualsNoCase(key, keepKey)) return true;
            if (type == 2 && !keepKey.empty() && sj::FindTextNoCase(key, keepKey) != sj::npos) return true;
        }
        return false;
    }

    bool KeptKey(reg::Root root, const std::string& key) const { return KeptValue(root, key, nullptr); }

    void RemoveKeyIfEmpty(reg::Root root, const std::string& key) {
        if (key.empty() || zeriru::IsProtectedRegistryKey(reg::RootName(root), key) || KeptKey(root, key)) return;
        if (c_.registry.KeyExists(root, key) == reg::Status::Ok && RegistryKeyIsEmpty(c_.registry, root, key))
            c_.registry.DeleteKeyTree(root, key);
    }

    void RemoveEmptyParents(reg::Root root, std::string key) {
        for (std::size_t cut; (cut = sj::FindLastChar(key, '\\')) != sj::npos;) {
            key.resize(cut);
            RemoveKeyIfEmpty(root, key);
        }
    }

    void RemoveFolderIfEmpty(const std::string& folder) {
        if (!wp::DirectoryExists(folder) || zeriru::IsProtectedFolder(folder, 255, c_.machine)) return;
        if (wp::FindFiles(wp::JoinPath(folder, "*")).empty()) wp::RemoveDirectory(folder);
    }

    const Context& c_;
    const InstallRecord& record_;
    std::vector<std::string> keepFiles_, deleteFiles_, keepRegistry_, deleteRegistry_;
    std::vector<std::string> left_;
    bool settingsAsked_ = false;
    bool settingsOk_ = true;
};

}  // namespace

UninstallResult Uninstall(std::string_view recordPath, const InstallOptions& options, Console& console,
                          zeriru::TBuildMachine& machine, reg::Registry& registry) {
    UninstallResult result;
    zeriru::TIniDocument data;
    const auto record = ReadRecord(std::string(recordPath), &data);
    const LanguageTexts texts(data);
    if (!record) {
        console.Line(texts.Text(text_id::kNoUninstallInfo));
        console.Line("  " + std::string(recordPath));
        result.exitCode = kExitBadData;
        return result;
    }
    InstallOptions effective = options;
    effective.silent = options.silent || data.ReadBool("Installer", "EnableSilentUnInstall", false);
    Targets targets(data, machine, "");
    targets.SetInstallFolder(record->installFolder);
    targets.SetOwnFiles(record->uninstaller, std::string(recordPath));
    Context context{data, texts, console, machine, registry, effective, targets, Phase::Uninstall, ""};

    context.console.Line(texts.Text(text_id::kUninstallTitle, {record->softName}));
    if (!CheckUserLimit(context)) {
        context.Say(text_id::kUninstallStopped);
        result.exitCode = kExitRequirements;
        return result;
    }
    if (!context.Ask(texts.Text(text_id::kUninstallQuestion, {record->softName}) + context.YesNo(), true)) {
        context.Say(text_id::kUninstallStopped);
        result.exitCode = kExitCancelled;
        return result;
    }
    Problems ignored;
    const auto programs = PlanPrograms(context, ignored);
    RunPrograms(programs, kRunBeforeUninstall, context);

    context.Say(text_id::kRemoving, {record->softName});
    Remover remover(context, *record);
    remover.Files();
    remover.DeleteList();
    // What the installation wrote is undone first; values due at uninstall are written after
    // it and stay.
    remover.Ini();
    RunIni(PlanIni(context, ignored), context, nullptr, nullptr);
    remover.Registry();
    RunRegistry(PlanRegistry(context, ignored), context, nullptr, nullptr);
    remover.DeleteRegistryList();
    remover.MadeKeys();
    remover.RemoveFile(std::string(recordPath));
    const int uninstallerOptions = data.ReadInteger("Installer", "UnInstallerOptions", 1);
    remover.Uninstaller((uninstallerOptions & 1) != 0);
    remover.Folders();

    result.leftovers = remover.leftovers();
    if (!result.leftovers.empty()) {
        std::string list;
        for (const std::string& l : result.leftovers) list += (list.empty() ? "" : "\n") + l;
        context.Say(text_id::kLeftBehind, {list});
        result.exitCode = kExitIncomplete;
        return result;
    }
    context.Say(text_id::kRemoved, {record->softName});
    return result;
}

}  // namespace installer
