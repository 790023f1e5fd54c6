// The uninstall record: what an installation made, so that an uninstall removes exactly that
// and restores what it changed, together with the parts of INSTALL.DAT the uninstall needs.
// An INI document in the install folder (Install.dat unless the project names another):
//   [Install]       SoftName, ProjectName, UninstallKey, InstallDir, Uninstaller,
//                   UninstallerMade, InstallDateTime
//   [Files]         n = path|1 when a file of that name was there before|file options|kind|
//                   1 when its shared count was raised|the copy of the file it replaced|
//                   the program that registered it|
//                   (kind F a file, S a shortcut, R a record of an earlier run)
//   [Folders]       n = a folder the installation made (parents first)
//   [Registry]      n = root|key|name|value before ("-": none)|registry item options|
//   [RegistryKeys]  n = root|key| of a key the installation made (parents first)
//   [IniEntries]    n = file|section|key|1 when it had a value|the value|1 when the section
//                   was there|1 when the file was there|
//   [Data:<name>]   the sections of INSTALL.DAT, for the uninstall's own lists and texts
#pragma once

#include "platform/registry.h"
#include "zeriru/ini_document.h"

#include <optional>
#include <string>
#include <vector>

namespace installer {

struct InstalledFile {
    std::string path;
    bool existed = false;  // a file of that name was there before the first installation
    int options = 0;       // the item's file option bits
    char kind = 'F';       // 'F' file, 'S' shortcut, 'R' record of an earlier run
    bool shared = false;   // the installation raised its shared count
    std::string backup;    // the copy of the file it replaced, put back at uninstall
    std::string registrar; // the program that registered it, which unregisters it
};

// A file of the record with no count, copy or registration (yet).
inline InstalledFile RecordedFile(std::string path, bool existed, int options, char kind) {
    InstalledFile f;
    f.path = std::move(path);
    f.existed = existed;
    f.options = options;
    f.kind = kind;
    return f;
}

struct InstalledValue {
    platform::registry::Root root = platform::registry::Root::CurrentUser;
    std::string key;
    std::string name;
    std::optional<platform::registry::Value> before;  // restored at uninstall; none: deleted
    int options = 0;  // registry item options: bit 1 remove the key when empty, bit 2 its parents too
};

struct MadeKey {
    platform::registry::Root root = platform::registry::Root::CurrentUser;
    std::string key;
};

struct InstalledIniEntry {
    std::string file;
    std::string section;
    std::string key;
    std::optional<std::string> before;
    bool sectionExisted = false;
    bool fileExisted = false;
};

struct InstallRecord {
    std::string softName;
    std::string projectName;
    std::string uninstallKey;
    std::string installFolder;
    std::string uninstaller;
    bool uninstallerMade = false;  // the installation wrote the uninstaller file
    std::string installed;         // date and time
    std::vector<InstalledFile> files;
    std::vector<std::string> folders;
    std::vector<InstalledValue> values;
    std::vector<MadeKey> keys;
    std::vector<InstalledIniEntry> iniEntries;

    // Whether the installation made anything at all.
    bool Empty() const { return files.empty() && folders.empty() && values.empty() && iniEntries.empty(); }
};

// The record's text, with the sections of `data` behind it.
std::string EncodeRecord(const InstallRecord& record, const zeriru::TIniDocument& data);
// Reads a record; nullopt when the file is missing or holds no [Install] section. `data`
// receives the copy of INSTALL.DAT it carries.
std::optional<InstallRecord> ReadRecord(const std::string& path, zeriru::TIniDocument* data);

// An installation over an earlier one of the same key: what either made, and for what both
// touched, the state before the earlier one.
InstallRecord MergeRecords(const InstallRecord& earlier, const InstallRecord& now);

}  // namespace installer
