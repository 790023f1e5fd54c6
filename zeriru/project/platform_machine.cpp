#include "zeriru/platform_machine.h"

#include "platform/drives.h"
#include "platform/pathtext.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/ini_document.h"
#include "zeriru/registry_access.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace zeriru {

namespace sjis = platform::sjis;
namespace wp = platform::winpath;
namespace reg = platform::registry;
namespace csidl = platform::shell::csidl;

namespace {

constexpr std::string_view kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

TPlatformMachine::TPlatformMachine(reg::Registry& registry, ShellFolderLookup shell)
    : registry_(registry), shell_(shell ? std::move(shell) : ShellFolderLookup(platform::shell::GetSpecialFolderPath)) {}

std::string TPlatformMachine::Shell(int id) {
    auto folder = shell_(id);
    return folder ? wp::RemoveBackslash(*folder) : std::string();
}

std::string TPlatformMachine::ShellFoldersValue(bool allUsers, std::string_view name) {
    return wp::RemoveBackslash(
        RegReadString(registry_, allUsers ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER", kShellFoldersKey, name));
}

std::string TPlatformMachine::WindowsFolder() { return Shell(csidl::Windows); }
std::string TPlatformMachine::SystemFolder() { return Shell(csidl::System); }
std::string TPlatformMachine::TempFolder() { return wp::RemoveBackslash(platform::shell::TempFolder()); }
// The suite reports the newest system of its table, so the shell's folder applies.
std::string TPlatformMachine::ProgramFilesFolder() { return Shell(csidl::ProgramFiles); }
std::string TPlatformMachine::DosCommandFolder() { return WindowsFolder(); }

std::string TPlatformMachine::ShellFolder(int kind, bool allUsers) {
    struct Kind {
        int kind;
        int user;  // -1: none
        std::string_view userValue;
        int common;  // -1: the user's folder
        std::string_view commonValue;  // empty: no registry fallback, the user's folder instead
    };
    static const Kind kinds[] = {
        {0, csidl::DesktopDirectory, "Desktop", csidl::CommonDesktopDirectory, "Common Desktop"},
        {1, csidl::Programs, "Programs", csidl::CommonPrograms, "Common Programs"},
        {2, csidl::StartMenu, "Start Menu", csidl::CommonStartMenu, "Common Start Menu"},
        {3, csidl::Startup, "Startup", csidl::CommonStartup, "Common Startup"},
        {4, csidl::SendTo, "SendTo", -1, ""},
        {5, -1, "", -1, ""},
        {6, csidl::Favorites, "Favorites", csidl::CommonFavorites, ""},
        {7, csidl::Personal, "Personal", -1, ""},
        {8, csidl::Templates, "Templates", -1, ""},
        {9, csidl::AppData, "AppData", csidl::CommonAppData, ""},
        {12, csidl::MyMusic, "", -1, ""},
        {13, csidl::MyPictures, "", -1, ""},
        {50, csidl::Windows, "", csidl::Windows, ""},
        {51, csidl::System, "", csidl::System, ""},
        {52, csidl::ProgramFiles, "", csidl::ProgramFiles, ""},
        {53, csidl::ProgramFilesCommon, "", csidl::ProgramFilesCommon, ""},
        {100, csidl::InternetCache, "", csidl::InternetCache, ""},
        {101, csidl::Cookies, "", csidl::Cookies, ""},
    };
    const Kind* k = nullptr;
    for (const Kind& candidate : kinds) {
        if (candidate.kind == kind) k = &candidate;
    }
    if (!k) return ShellFolder(2, allUsers);  // any other kind: the start menu

    auto user = [&]() -> std::string {
        if (k->kind == 5) {
            std::string appData = ShellFolder(9, false);
            return appData.empty() ? std::string() : appData + "\\Microsoft\\Internet Explorer\\Quick Launch";
        }
        if (auto folder = shell_(k->user)) return wp::RemoveBackslash(*folder);
        return k->userValue.empty() ? std::string() : ShellFoldersValue(false, k->userValue);
    };
    if (!allUsers) return user();
    // 12 and 13 have no all-users folder.
    if (k->kind == 12 || k->kind == 13) return user();
    std::string common;
    if (k->common >= 0) {
        if (auto folder = shell_(k->common)) {
            common = wp::RemoveBackslash(*folder);
        } else if (!k->commonValue.empty()) {
            common = ShellFoldersValue(true, k->commonValue);
        }
    }
    return common.empty() ? user() : common;
}

std::string TPlatformMachine::ComputerName() { return platform::shell::ComputerName(); }
std::string TPlatformMachine::UserName() { return platform::shell::UserName(); }

std::optional<std::string> TPlatformMachine::Environment(std::string_view name) {
    // Windows names ignore case: look for the exact name first, then any spelling.
    const std::string utf8 = sjis::ToUtf8(name);
    if (const char* value = std::getenv(utf8.c_str())) return sjis::FromUtf8(value, sjis::Unconvertible::Replace);
    for (char** e = environ; e && *e; ++e) {
        std::string_view entry(*e);
        std::size_t eq = entry.find('=');
        if (eq != std::string_view::npos && sjis::EqualsNoCase(entry.substr(0, eq), utf8)) {
            return sjis::FromUtf8(entry.substr(eq + 1), sjis::Unconvertible::Replace);
        }
    }
    return std::nullopt;
}

std::optional<RegistryValue> TPlatformMachine::ReadRegistry(std::string_view root, std::string_view key,
                                                            std::string_view valueName) {
    auto rootKey = RegistryRootOf(root);
    if (!rootKey) return std::nullopt;
    reg::Value value;
    if (registry_.GetValue(*rootKey, key, valueName, &value) != reg::Status::Ok) return std::nullopt;
    RegistryValue out;
    out.type = static_cast<RegistryType>(static_cast<int>(value.type));
    if (value.IsText()) {
        out.text = value.bytes;
    } else if (value.type == reg::ValueType::Dword) {
        out.text = std::to_string(value.dword);
    }
    return out;
}

std::optional<std::string> TPlatformMachine::ReadIni(std::string_view path, std::string_view section,
                                                     std::string_view key) {
    TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    if (!doc.ValueExists(section, key)) return std::nullopt;
    return doc.ReadString(section, key);
}

bool TPlatformMachine::DriveExists(char letter) { return wp::GetDrive(letter).has_value(); }

bool TPlatformMachine::IsCdromDrive(char letter) {
    auto drive = wp::GetDrive(letter);
    return drive && drive->type == wp::DriveType::CdRom;
}

bool TPlatformMachine::FileExists(std::string_view path) { return wp::FileExists(path); }

namespace {
std::string Format(const char* format) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}
}  // namespace

// The Japanese system's short date and long time.
std::string TPlatformMachine::CurrentDate() { return Format("%Y/%m/%d"); }
std::string TPlatformMachine::CurrentTime() { return Format("%H:%M:%S"); }

}  // namespace zeriru
