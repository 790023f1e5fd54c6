// Services of the editor that learn about the building machine and test names: the drive
// table, target operating systems, validity tests of paths and names with their messages,
// protected registry keys, registry root-key names and unique names. Texts are Shift-JIS.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace zeriru {

// ---- drives ----

// "A:" .. "Z:".
const std::array<std::string_view, 26>& DriveTable();

// ---- target operating systems (bit set of [OSSetting] OSVersion and the item OS fields) ----

enum OsBit : int {
    kOsWindows95 = 1 << 0,
    kOsWindows98 = 1 << 1,
    kOsWindowsMe = 1 << 2,
    kOsWindowsNT = 1 << 3,
    kOsWindows2000 = 1 << 4,
    kOsWindowsXP = 1 << 5,
    kOsWindowsServer2003 = 1 << 6,
    kOsWindowsVista = 1 << 7,
    kOsWindows7 = 1 << 8,
};
// The value that selects every system.
inline constexpr int kOsAll = 65535;
// Number of named systems (bits 0-8).
inline constexpr int kOsCount = 9;

// "95/98/ME/NT/2000/XP/2003/VISTA/Win7" for the bits set, without the last "/"; empty for none.
std::string OsNames(int bits);

// ---- validity tests (true when the text is NOT acceptable) ----

// Full-path mode: no " * / ; < > ? | and it begins with "\\", "%" or has ":" as its second
// character. Relative mode: no such character nor ":", and it does not begin with "\".
bool IsInvalidPath(std::string_view text, bool fullPath);
// Name mode: as relative paths, and no "\" either. Path mode: as full paths, beginning with
// "%" or a drive ("X:"), and longer than three characters when it begins with a drive.
bool IsInvalidFileName(std::string_view text, bool pathMode);
// Several file names separated by ":": no " * / ; < > ? | \.
bool IsInvalidSearchNames(std::string_view text);
// True when acceptable: no " * / ; < > ? | and it begins with "\\" or with a drive letter,
// ":" and "\".
bool IsFullFolderPath(std::string_view text);

// The messages the editors show for these tests.
std::string MsgInvalidFileName();      // a file name
std::string MsgInvalidSearchNames();   // search file names
std::string MsgInvalidSubFolder();     // a relative subfolder
std::string MsgNotFullFolderPath();    // a full folder path
// The output folder of the project is a protected folder.
std::string MsgProtectedOutputFolder();

// ---- registry ----

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig, DynData };

// The first of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
// HKEY_CURRENT_CONFIG, HKEY_DYN_DATA (in that order) that the text contains, ignoring case;
// HKEY_CURRENT_USER for any other text.
RegistryRoot RegistryRootFromName(std::string_view text);
std::string_view RegistryRootName(RegistryRoot root);

// The protected keys as "root|key|mode" texts; mode 1 = the key itself, 0 = any key whose
// path contains the text (both ignoring case).
const std::array<std::string_view, 20>& ProtectedRegistryKeys();
// True when the key (a trailing "\" ignored) of that root must never be overwritten or
// deleted.
bool IsProtectedRegistryKey(std::string_view root, std::string_view key);

// ---- unique names ----

// `name` when `exists(name)` is false, else the first of name1, name2, ... (the number goes
// before the extension: readme.txt -> readme1.txt) that does not exist.
std::string UniqueName(std::string_view name, const std::function<bool(std::string_view)>& exists);
// The same numbering for a section name of the INI document at `iniPath` (Windows path).
std::string UniqueSectionName(std::string_view iniPath, std::string_view name);

}  // namespace zeriru
