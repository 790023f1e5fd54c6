#include "zeriru/platform_machine.h"

#include "platform/drives.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/ini_document.h"
#include "zeriru/registry_access.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace zeriru {

namespace sjis = platform::sjis;
namespace wp = platform::winpath;
namespace reg = platform::registry;

namespace {

// Limits of the Windows names, bytes.
constexpr std::size_t kUserNameLimit = 256;
constexpr std::size_t kComputerNameLimit = 15;

constexpr std::string_view kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string Cut(std::string text, std::size_t limit) {
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t next = sjis::NextChar(text, end);
        if (next > limit) break;
        end = next;
    }
    text.resize(end);
    return text;
}

}  // namespace

std::string LoggedOnUserName() {
    std::string name;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) name = pw->pw_name;
    if (name.empty()) {
        if (const char* user = std::getenv("USER")) name = user;
    }
    return Cut(sjis::FromUtf8(name, sjis::Unconvertible::Replace), kUserNameLimit);
}

std::string HostComputerName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return {};
    std::string name(host);
    if (std::size_t dot = name.find('.'); dot != std::string::npos) name.resize(dot);
    return Cut(sjis::ToUpper(sjis::FromUtf8(name, sjis::Unconvertible::Replace)), kComputerNameLimit);
}

ShellFolderLookup PrefixShellFolders(std::string userName) {
    return [user = std::move(userName)](ShellId id) -> std::optional<std::string> {
        const std::string profile = "C:\\users\\" + user;
        const std::string roaming = profile + "\\AppData\\Roaming";
        const std::string startMenu = roaming + "\\Microsoft\\Windows\\Start Menu";
        const std::string commonStart = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
        switch (id) {
            case ShellId::Desktop: return profile + "\\Desktop";
            case ShellId::Programs: return startMenu + "\\Programs";
            case ShellId::StartMenu: return startMenu;
            case ShellId::Startup: return startMenu + "\\Programs\\Startup";
            case ShellId::SendTo: return roaming + "\\Microsoft\\Windows\\SendTo";
            case ShellId::Favorites: return profile + "\\Favorites";
            case ShellId::Personal: return profile + "\\Documents";
            case ShellId::Templates: return roaming + "\\Microsoft\\Windows\\Templates";
            case ShellId::AppData: return roaming;
            case ShellId::MyMusic: return profile + "\\Music";
            case ShellId::MyPictures: return profile + "\\Pictures";
            case ShellId::InternetCache: return profile + "\\AppData\\Local\\Microsoft\\Windows\\INetCache";
            case ShellId::Cookies: return profile + "\\AppData\\Local\\Microsoft\\Windows\\INetCookies";
            case ShellId::Windows: return std::string("C:\\windows");
            case ShellId::System: return std::string("C:\\windows\\system32");
            case ShellId::ProgramFiles: return std::string("C:\\Program Files");
            case ShellId::CommonProgramFiles: return std::string("C:\\Program Files\\Common Files");
            case ShellId::CommonDesktop: return std::string("C:\\users\\Public\\Desktop");
            case ShellId::CommonPrograms: return commonStart + "\\Programs";
            case ShellId::CommonStartMenu: return commonStart;
            case ShellId::CommonStartup: return commonStart + "\\Programs\\Startup";
            case ShellId::CommonFavorites: return std::string("C:\\users\\Public\\Favorites");
            case ShellId::CommonAppData: return std::string("C:\\ProgramData");
        }
        return std::nullopt;
    };
}

TPlatformMachine::TPlatformMachine(reg::Registry& registry, ShellFolderLookup shell)
    : registry_(registry), shell_(shell ? std::move(shell) : PrefixShellFolders(LoggedOnUserName())) {}

std::string TPlatformMachine::Shell(ShellId id) {
    auto folder = shell_(id);
    return folder ? wp::RemoveBackslash(*folder) : std::string();
}

std::string TPlatformMachine::ShellFoldersValue(bool allUsers, std::string_view name) {
    return wp::RemoveBackslash(
        RegReadString(registry_, allUsers ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER", kShellFoldersKey, name));
}

std::string TPlatformMachine::WindowsFolder() { return Shell(ShellId::Windows); }
std::string TPlatformMachine::SystemFolder() { return Shell(ShellId::System); }

std::string TPlatformMachine::TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::filesystem::path host = (tmp && *tmp) ? std::filesystem::path(tmp) : std::filesystem::path("/tmp");
    return wp::RemoveBackslash(wp::ToWindowsPath(host));
}

// The suite reports the newest system of its table, so the shell's folder applies.
std::string TPlatformMachine::ProgramFilesFolder() { return Shell(ShellId::ProgramFiles); }
std::string TPlatformMachine::DosCommandFolder() { return WindowsFolder(); }

std::string TPlatformMachine::ShellFolder(int kind, bool allUsers) {
    struct Kind {
        int kind;
        std::optional<ShellId> user;
        std::string_view userValue;
        std::optional<ShellId> common;
        std::string_view commonValue;  // empty: no registry fallback, the user's folder instead
    };
    static const Kind kinds[] = {
        {0, ShellId::Desktop, "Desktop", ShellId::CommonDesktop, "Common Desktop"},
        {1, ShellId::Programs, "Programs", ShellId::CommonPrograms, "Common Programs"},
        {2, ShellId::StartMenu, "Start Menu", ShellId::CommonStartMenu, "Common Start Menu"},
        {3, ShellId::Startup, "Startup", ShellId::CommonStartup, "Common Startup"},
        {4, ShellId::SendTo, "SendTo", std::nullopt, ""},
        {5, std::nullopt, "", std::nullopt, ""},
        {6, ShellId::Favorites, "Favorites", ShellId::CommonFavorites, ""},
        {7, ShellId::Personal, "Personal", std::nullopt, ""},
        {8, ShellId::Templates, "Templates", std::nullopt, ""},
        {9, ShellId::AppData, "AppData", ShellId::CommonAppData, ""},
        {12, ShellId::MyMusic, "", std::nullopt, ""},
        {13, ShellId::MyPictures, "", std::nullopt, ""},
        {50, ShellId::Windows, "", ShellId::Windows, ""},
        {51, ShellId::System, "", ShellId::System, ""},
        {52, ShellId::ProgramFiles, "", ShellId::ProgramFiles, ""},
        {53, ShellId::CommonProgramFiles, "", ShellId::CommonProgramFiles, ""},
        {100, ShellId::InternetCache, "", ShellId::InternetCache, ""},
        {101, ShellId::Cookies, "", ShellId::Cookies, ""},
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
        if (auto folder = shell_(*k->user)) return wp::RemoveBackslash(*folder);
        return k->userValue.empty() ? std::string() : ShellFoldersValue(false, k->userValue);
    };
    if (!allUsers) return user();
    // 12 and 13 have no all-users folder.
    if (k->kind == 12 || k->kind == 13) return user();
    std::string common;
    if (k->common) {
        if (auto folder = shell_(*k->common)) {
            common = wp::RemoveBackslash(*folder);
        } else if (!k->commonValue.empty()) {
            common = ShellFoldersValue(true, k->commonValue);
        }
    }
    return common.empty() ? user() : common;
}

std::string TPlatformMachine::ComputerName() { return HostComputerName(); }
std::string TPlatformMachine::UserName() { return LoggedOnUserName(); }

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
