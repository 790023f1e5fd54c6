#include "platform/prefix.h"

#include "platform/drives.h"
#include "platform/hostfile.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>

namespace platform {

namespace {

// Where each folder of the layout lies below drive C:, in Windows form. "<user>" stands for
// the profile folder's name.
struct LayoutEntry {
    PrefixFolder folder;
    const char* belowDriveC;
};

constexpr LayoutEntry kLayout[] = {
    {PrefixFolder::Windows, "windows"},
    {PrefixFolder::System, "windows\\system32"},
    {PrefixFolder::WindowsTemp, "windows\\temp"},
    {PrefixFolder::ProgramFiles, "Program Files"},
    {PrefixFolder::CommonProgramFiles, "Program Files\\Common Files"},
    {PrefixFolder::Programs, "Program Files\\Zuzoruve"},
    {PrefixFolder::ProgramsModule, "Program Files\\Zuzoruve\\Module"},
    {PrefixFolder::ProgramsProject, "Program Files\\Zuzoruve\\Project"},
    {PrefixFolder::ProgramsTemporary, "Program Files\\Zuzoruve\\Temporary"},
    {PrefixFolder::ProgramsLog, "Program Files\\Zuzoruve\\log"},
    {PrefixFolder::UserProfile, "users\\<user>"},
    {PrefixFolder::UserDesktop, "users\\<user>\\Desktop"},
    {PrefixFolder::UserDocuments, "users\\<user>\\Documents"},
    {PrefixFolder::UserFavorites, "users\\<user>\\Favorites"},
    {PrefixFolder::UserMusic, "users\\<user>\\Music"},
    {PrefixFolder::UserPictures, "users\\<user>\\Pictures"},
    {PrefixFolder::UserAppData, "users\\<user>\\AppData\\Roaming"},
    {PrefixFolder::UserLocalAppData, "users\\<user>\\AppData\\Local"},
    {PrefixFolder::UserTemp, "users\\<user>\\AppData\\Local\\Temp"},
    {PrefixFolder::UserStartMenu, "users\\<user>\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {PrefixFolder::UserPrograms, "users\\<user>\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {PrefixFolder::UserStartup,
     "users\\<user>\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
    {PrefixFolder::UserSendTo, "users\\<user>\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {PrefixFolder::UserTemplates, "users\\<user>\\Templates"},
    {PrefixFolder::UserQuickLaunch,
     "users\\<user>\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"},
    {PrefixFolder::UserInternetCache,
     "users\\<user>\\AppData\\Local\\Microsoft\\Windows\\Temporary Internet Files"},
    {PrefixFolder::UserCookies, "users\\<user>\\AppData\\Roaming\\Microsoft\\Windows\\Cookies"},
    {PrefixFolder::PublicProfile, "users\\Public"},
    {PrefixFolder::CommonDesktop, "users\\Public\\Desktop"},
    {PrefixFolder::CommonDocuments, "users\\Public\\Documents"},
    {PrefixFolder::CommonFavorites, "users\\Public\\Favorites"},
    {PrefixFolder::CommonMusic, "users\\Public\\Music"},
    {PrefixFolder::CommonPictures, "users\\Public\\Pictures"},
    {PrefixFolder::CommonAppData, "ProgramData"},
    {PrefixFolder::CommonStartMenu, "ProgramData\\Microsoft\\Windows\\Start Menu"},
    {PrefixFolder::CommonPrograms, "ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {PrefixFolder::CommonStartup, "ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
    {PrefixFolder::CommonTemplates, "ProgramData\\Microsoft\\Windows\\Templates"},
};
static_assert(sizeof(kLayout) / sizeof(kLayout[0]) == static_cast<std::size_t>(PrefixFolder::CommonTemplates) + 1);

// The entry's path below drive C: with the user's name put in (Shift-JIS, '\' separators).
std::string BelowDriveC(PrefixFolder folder) {
    std::string text = kLayout[static_cast<std::size_t>(folder)].belowDriveC;
    const std::string placeholder = "<user>";
    if (std::size_t at = text.find(placeholder); at != std::string::npos) {
        text.replace(at, placeholder.size(), PrefixUserName());
    }
    return text;
}

void SetError(std::string* error, const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
}

// mkdir -p that tolerates another process making the same folders at the same moment.
bool MakeFolders(const std::filesystem::path& folder, std::string* error) {
    std::filesystem::path done;
    for (const auto& part : folder) {
        done /= part;
        if (::mkdir(done.c_str(), 0755) == 0 || errno == EEXIST) {
            struct stat st {};
            if (::stat(done.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            SetError(error, "mkdir " + done.string(), ENOTDIR);
            return false;
        }
        SetError(error, "mkdir " + done.string(), errno);
        return false;
    }
    return true;
}

// Writes `data` to `path` only when no file of that name exists yet. The file appears whole
// or not at all (written to a temporary name, then hard-linked into place), so a second
// process either finds the complete file or makes its own attempt fail harmlessly.
bool CreateFileOnce(const std::filesystem::path& path, std::string_view data, std::string* error) {
    if (::access(path.c_str(), F_OK) == 0) return true;
    std::ostringstream name;
    name << "." << path.filename().string() << ".new" << ::getpid() << "_" << std::hex
         << std::random_device{}();
    std::filesystem::path temp = path.parent_path() / name.str();
    if (!WriteHostFileAtomic(temp, data, error)) return false;
    bool ok = ::link(temp.c_str(), path.c_str()) == 0 || errno == EEXIST;
    if (!ok) SetError(error, "link " + path.string(), errno);
    ::unlink(temp.c_str());
    return ok;
}

}  // namespace

std::filesystem::path PrefixRoot() {
    if (const char* root = std::getenv("PLATFORM_ROOT"); root && *root) return root;
    std::filesystem::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = std::filesystem::path(home) / ".local" / "share";
    } else {
        data = "/tmp";
    }
    return data / kSuiteName / "prefix";
}

std::filesystem::path RegistryFolder() { return PrefixRoot() / "registry"; }

std::filesystem::path DriveCFolder() { return PrefixRoot() / "drive_c"; }

std::filesystem::path DriveConfigFile() { return PrefixRoot() / "drives.ini"; }

std::string PrefixUserName() {
    auto usable = [](const std::string& sjisName) {
        return sjisName != "." && sjisName != ".." && winpath::IsValidElement(sjisName);
    };
    if (const char* user = std::getenv("USER"); user && *user) {
        std::string name = sjis::FromUtf8(user, sjis::Unconvertible::Keep);
        if (usable(name)) return name;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name) {
        std::string name = sjis::FromUtf8(pw->pw_name, sjis::Unconvertible::Keep);
        if (usable(name)) return name;
    }
    return "user";
}

std::string PrefixFolderPath(PrefixFolder folder) { return "C:\\" + BelowDriveC(folder); }

std::string ProgramFolderPath() { return PrefixFolderPath(PrefixFolder::Programs); }

bool EnsurePrefix(std::string* error) {
    const std::filesystem::path driveC = DriveCFolder();
    for (const LayoutEntry& entry : kLayout) {
        std::filesystem::path host = driveC;
        for (const std::string& part : sjis::SplitSjis(BelowDriveC(entry.folder), '\\')) {
            host /= sjis::ToUtf8(part, sjis::Unconvertible::Keep);
        }
        if (!MakeFolders(host, error)) return false;
    }
    if (!MakeFolders(RegistryFolder(), error)) return false;
    return CreateFileOnce(DriveConfigFile(), winpath::DefaultDriveConfig(), error);
}

}  // namespace platform
