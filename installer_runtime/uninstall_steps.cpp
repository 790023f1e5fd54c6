#include "uninstall_steps.h"

#include "conditions.h"
#include "ini_items.h"
#include "registration.h"
#include "registry_items.h"
#include "self_registration.h"
#include "shared_files.h"

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

std::string ValuePath(reg::Root root, const std::string& key, const std::string& name) {
    return std::string(reg::RootName(root)) + "\\" + key + (name.empty() ? "" : "\\" + name);
}

}  // namespace

Remover::Remover(const Context& context, const InstallRecord& record, Transaction& changes)
    : c_(context), record_(record), changes_(changes) {
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

bool Remover::Failed(const std::string& what) const {
    c_.Say(text_id::kCannotRemove, {what});
    return false;
}

bool Remover::Files() { return RemoveInstalled('F') && RemoveInstalled('R'); }

bool Remover::Shortcuts() { return RemoveInstalled('S'); }

// The files (or shortcuts) of the record, newest first.
bool Remover::RemoveInstalled(char kind) {
    for (auto it = record_.files.rbegin(); it != record_.files.rend(); ++it) {
        if (it->kind == kind && !RemoveInstalledFile(*it)) return false;
    }
    return true;
}

// Not a file that was there before (unless the installation kept a copy of it to put back),
// not one another installation still counts, not one the keep list holds, a system file only
// when the project says so.
bool Remover::RemoveInstalledFile(const InstalledFile& f) {
    bool remove = !f.existed || !f.backup.empty();
    if (f.shared) {
        std::uint32_t left = 0;
        if (!LowerSharedCount(f.path, c_.registry, changes_, &left)) return Failed(std::string(kSharedFilesKey) + "\\" + f.path);
        remove = left == 0;
    }
    if (!remove || wp::DirectoryExists(f.path) || Kept(f.path)) return true;
    if (IsSystemFile(f.path) && !c_.data.ReadBool("UninstallSetting", "SystemFileDelete", false)) return true;
    if (IsSystemFile(f.path) && c_.data.ReadBool("UninstallSetting", "SystemFileDeleteMessage", true) &&
        !c_.Ask(c_.texts.Text(text_id::kRemoveSystemFile, {f.path}) + c_.YesNo(), true))
        return true;
    if ((f.options & 64) && wp::FileExists(f.path) &&
        !c_.Ask(c_.texts.Text(text_id::kRemoveShared, {f.path}) + c_.YesNo(), true))
        return true;
    if (!f.registrar.empty() && wp::FileExists(f.path) && !Unregister(f)) return false;
    if (wp::FileExists(f.path)) {
        c_.Say(f.kind == 'S' ? text_id::kRemovingShortcut : text_id::kRemovingFile, {f.path});
        if (!RemoveFile(f.path)) return false;
    }
    // The last user of a shared file takes its folder along when nothing else is left in it.
    if (f.shared && !RemoveFolderIfEmpty(wp::FolderOf(f.path))) return false;
    if (f.backup.empty() || !wp::FileExists(f.backup)) return true;
    c_.Say(text_id::kRestoring, {f.path});
    if (!changes_.CopyFile(f.backup, f.path, zeriru::kKeepSourceAttributes)) return Failed(f.path);
    return RemoveFile(f.backup);
}

// The registration program that registered the file unregisters it; one that is gone since
// cannot, and the file goes all the same.
bool Remover::Unregister(const InstalledFile& f) {
    if (!wp::FileExists(f.registrar)) {
        c_.Say(text_id::kCannotRunProgram, {f.registrar});
        return true;
    }
    c_.Say(text_id::kUnregistering, {f.path});
    int code = 0;
    if (changes_.RunProgram(RegistrationLaunch(f.registrar, f.path, true), RegistrationLaunch(f.registrar, f.path, false),
                            &code))
        return true;
    c_.Say(text_id::kProgramFailed, {f.registrar, std::to_string(code)});
    return false;
}

// The delete list adds files and folders the installation did not make (data the
// application wrote); it wins over the keep list.
bool Remover::DeleteList() {
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
                if (!changes_.RemoveFolderTree(*folder)) return Failed(*folder);
            } else if (!RemoveFolderIfEmpty(*folder)) {
                return false;
            }
            continue;
        }
        const std::string mask = type == 0 ? Field(r, 4) : Field(r, 5);
        if (mask.empty() || !wp::IsValidElement(mask, type == 2)) continue;
        for (const wp::FindData& found : wp::FindFiles(wp::JoinPath(*folder, mask))) {
            if (found.attributes & wp::kAttrDirectory) continue;
            const std::string path = wp::JoinPath(*folder, found.name);
            c_.Say(text_id::kRemovingFile, {path});
            if (!RemoveFile(path)) return false;
        }
        if ((options & kDeleteEmptiedFolder) && !RemoveFolderIfEmpty(*folder)) return false;
    }
    return true;
}

// What the installation wrote is undone first; entries due at uninstall are written after it
// and stay.
bool Remover::Ini() {
    if (!RestoreIniEntries()) return false;
    Problems ignored;
    return RunIni(PlanIni(c_, ignored), c_, &changes_, nullptr);
}

bool Remover::RestoreIniEntries() {
    if (record_.iniEntries.empty() || !AskSettings()) return true;
    for (auto it = record_.iniEntries.rbegin(); it != record_.iniEntries.rend(); ++it) {
        const InstalledIniEntry& e = *it;
        const auto host = wp::ToHostPath(e.file);
        if (!host || !wp::FileExists(e.file) || wp::DirectoryExists(e.file)) continue;
        const std::string where = e.file + " [" + e.section + "] " + e.key;
        const char* before = e.before ? e.before->c_str() : nullptr;
        if (!changes_.GuardFile(e.file) || !pf::WritePrivateProfileString(e.section.c_str(), e.key.c_str(), before, *host))
            return Failed(where);
        if (!e.sectionExisted && pf::GetPrivateProfileKeyNames(e.section, *host).empty() &&
            !pf::WritePrivateProfileString(e.section.c_str(), nullptr, nullptr, *host))
            return Failed(where);
        if (!e.fileExisted && pf::GetPrivateProfileSectionNames(*host).empty() && !RemoveFile(e.file)) return false;
    }
    return true;
}

bool Remover::Registry() {
    if (!RestoreValues()) return false;
    Problems ignored;
    return RunRegistry(PlanRegistry(c_, ignored), c_, &changes_, nullptr);
}

bool Remover::RestoreValues() {
    if (!record_.values.empty() && !AskSettings()) return true;
    for (auto it = record_.values.rbegin(); it != record_.values.rend(); ++it) {
        const InstalledValue& v = *it;
        if (KeptValue(v.root, v.key, &v.name)) continue;
        const std::string where = ValuePath(v.root, v.key, v.name);
        c_.Say(text_id::kRemovingRegistry, {where});
        if (!changes_.SetRegistryValue(v.root, v.key, v.name, v.before)) return Failed(where);
        if (v.options & (kRemoveEmptyKey | kRemoveEmptyParents)) {
            if (!RemoveKeyIfEmpty(v.root, v.key)) return false;
            if ((v.options & kRemoveEmptyParents) && !RemoveEmptyParents(v.root, v.key)) return false;
        }
    }
    return true;
}

bool Remover::DeleteRegistryList() {
    for (const std::string& r : deleteRegistry_) {
        if (!OsTargetAdmits(zeriru::GetItemField(r, 7), zeriru::GetItemField(r, 8), c_.options.machine)) continue;
        const auto root = reg::RootFromName(Field(r, 2));
        const std::string key = Field(r, 3);
        const int options = GetItemFieldInt(r, 5, 0);
        if (!root || key.empty() || zeriru::IsProtectedRegistryKey(Field(r, 2), key)) continue;
        if ((options & kKeyConfirm) && !c_.Ask(c_.texts.Text(text_id::kRemoveSettings) + c_.YesNo(), true)) continue;
        if (GetItemFieldInt(r, 1, 0) == 1) {
            const std::string name = Field(r, 4);
            if (KeptValue(*root, key, &name)) continue;
            if (!changes_.SetRegistryValue(*root, key, name, std::nullopt)) return Failed(ValuePath(*root, key, name));
            continue;
        }
        if (KeptKey(*root, key) || c_.registry.KeyExists(*root, key) != reg::Status::Ok) continue;
        if ((options & kKeyOnlyWhenEmpty) && !RegistryKeyIsEmpty(c_.registry, *root, key)) continue;
        c_.Say(text_id::kRemovingRegistry, {ValuePath(*root, key, "")});
        if (!changes_.DeleteRegistryKey(*root, key)) return Failed(ValuePath(*root, key, ""));
        if ((options & kKeyParents) && !RemoveEmptyParents(*root, key)) return false;
    }
    return true;
}

bool Remover::Finish(const std::string& recordPath, bool keepUninstaller) {
    // The keys the installation made, deepest first, when nothing else was put in them.
    for (auto it = record_.keys.rbegin(); it != record_.keys.rend(); ++it) {
        if (!RemoveKeyIfEmpty(it->root, it->key)) return false;
    }
    // The list of installed applications goes with the last of them, whichever made it.
    if (!RemoveKeyIfEmpty(reg::Root::LocalMachine, kUninstallKey)) return false;
    if (wp::FileExists(recordPath) && !RemoveFile(recordPath)) return false;
    if (!keepUninstaller && !record_.uninstaller.empty() && wp::FileExists(record_.uninstaller) &&
        IsModuleProgram(record_.uninstaller)) {
        // The uninstaller goes with the last installation whose uninstall command names it.
        std::vector<std::string> apps;
        c_.registry.EnumSubKeys(reg::Root::LocalMachine, kUninstallKey, &apps);
        const bool used = std::any_of(apps.begin(), apps.end(), [&](const std::string& app) {
            const std::string command = c_.registry.GetString(reg::Root::LocalMachine,
                                                              std::string(kUninstallKey) + "\\" + app, "UninstallString");
            return sj::FindTextNoCase(command, record_.uninstaller) != sj::npos;
        });
        if (!used && !RemoveFile(record_.uninstaller)) return false;
    }
    std::vector<std::string> folders = record_.folders;
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& f : folders) {
        if (!Kept(f) && !RemoveFolderIfEmpty(f)) return false;
    }
    return true;
}

bool Remover::RemoveFile(const std::string& path) { return changes_.DeleteFile(path) || Failed(path); }

bool Remover::RemoveFolderIfEmpty(const std::string& folder) {
    if (!wp::DirectoryExists(folder) || zeriru::IsProtectedFolder(folder, 255, c_.machine)) return true;
    if (!wp::FindFiles(wp::JoinPath(folder, "*")).empty()) return true;
    return changes_.RemoveEmptyFolder(folder) || Failed(folder);
}

bool Remover::RemoveKeyIfEmpty(reg::Root root, const std::string& key) {
    if (key.empty() || zeriru::IsProtectedRegistryKey(reg::RootName(root), key) || KeptKey(root, key)) return true;
    if (c_.registry.KeyExists(root, key) != reg::Status::Ok || !RegistryKeyIsEmpty(c_.registry, root, key)) return true;
    return changes_.DeleteRegistryKey(root, key) || Failed(ValuePath(root, key, ""));
}

bool Remover::RemoveEmptyParents(reg::Root root, std::string key) {
    for (std::size_t cut; (cut = sj::FindLastChar(key, '\\')) != sj::npos;) {
        key.resize(cut);
        if (!RemoveKeyIfEmpty(root, key)) return false;
    }
    return true;
}

bool Remover::AskSettings() {
    if (!settingsAsked_) {
        settingsAsked_ = true;
        settingsOk_ = !c_.data.ReadBool("UninstallSetting", "PersonalSettingDeleteConfirm", false) ||
                      c_.Ask(c_.texts.Text(text_id::kRemoveSettings) + c_.YesNo(), true);
    }
    return settingsOk_;
}

// A file of the system folder (libraries other programs may load).
bool Remover::IsSystemFile(const std::string& path) const {
    return sj::EqualsNoCase(wp::FolderOf(path), c_.machine.SystemFolder());
}

// Whether the keep list holds a file or folder (a path the delete list names is never kept).
bool Remover::Kept(const std::string& path) const {
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
bool Remover::KeptValue(reg::Root root, const std::string& key, const std::string* name) const {
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

}  // namespace installer
