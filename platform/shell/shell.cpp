#include "platform/shell.h"

#include "platform/prefix.h"
#include "platform/registry.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "platform/pathtext.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace platform::shell {

namespace fs = std::filesystem;
using platform::PrefixFolder;
using platform::PrefixFolderPath;
namespace reg = platform::registry;

std::optional<std::string> GetSpecialFolderPath(int id) {
    struct Entry {
        int id;
        PrefixFolder folder;
    };
    static const Entry table[] = {
        {csidl::Desktop, PrefixFolder::UserDesktop},
        {csidl::DesktopDirectory, PrefixFolder::UserDesktop},
        {csidl::Programs, PrefixFolder::UserPrograms},
        {csidl::Personal, PrefixFolder::UserDocuments},
        {csidl::Favorites, PrefixFolder::UserFavorites},
        {csidl::Startup, PrefixFolder::UserStartup},
        {csidl::SendTo, PrefixFolder::UserSendTo},
        {csidl::StartMenu, PrefixFolder::UserStartMenu},
        {csidl::MyMusic, PrefixFolder::UserMusic},
        {csidl::Templates, PrefixFolder::UserTemplates},
        {csidl::CommonStartMenu, PrefixFolder::CommonStartMenu},
        {csidl::CommonPrograms, PrefixFolder::CommonPrograms},
        {csidl::CommonStartup, PrefixFolder::CommonStartup},
        {csidl::CommonDesktopDirectory, PrefixFolder::CommonDesktop},
        {csidl::AppData, PrefixFolder::UserAppData},
        {csidl::LocalAppData, PrefixFolder::UserLocalAppData},
        {csidl::CommonFavorites, PrefixFolder::CommonFavorites},
        {csidl::InternetCache, PrefixFolder::UserInternetCache},
        {csidl::Cookies, PrefixFolder::UserCookies},
        {csidl::CommonAppData, PrefixFolder::CommonAppData},
        {csidl::Windows, PrefixFolder::Windows},
        {csidl::System, PrefixFolder::System},
        {csidl::ProgramFiles, PrefixFolder::ProgramFiles},
        {csidl::MyPictures, PrefixFolder::UserPictures},
        {csidl::Profile, PrefixFolder::UserProfile},
        {csidl::ProgramFilesCommon, PrefixFolder::CommonProgramFiles},
        {csidl::CommonTemplates, PrefixFolder::CommonTemplates},
        {csidl::CommonDocuments, PrefixFolder::CommonDocuments},
        {csidl::CommonMusic, PrefixFolder::CommonMusic},
        {csidl::CommonPictures, PrefixFolder::CommonPictures},
    };
    for (const Entry& e : table) {
        if (e.id == id) return PrefixFolderPath(e.folder);
    }
    return std::nullopt;
}

std::string WindowsFolder() { return PrefixFolderPath(PrefixFolder::Windows); }
std::string SystemFolder() { return PrefixFolderPath(PrefixFolder::System); }
std::string TempFolder() { return PrefixFolderPath(PrefixFolder::UserTemp); }
std::string ProgramFilesFolder() { return PrefixFolderPath(PrefixFolder::ProgramFiles); }
std::string CommonFilesFolder() { return PrefixFolderPath(PrefixFolder::CommonProgramFiles); }

std::string UserName() {
    std::string name = platform::PrefixUserName();
    if (name.size() > 256) name.resize(256);
    return name;
}

std::string ComputerName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return "LOCALHOST";
    std::string name = host;
    if (auto dot = name.find('.'); dot != std::string::npos) name.resize(dot);
    name = sjis::ToUpper(sjis::FromUtf8(name));
    if (name.size() > 15) name.resize(sjis::IsCharBoundary(name, 15) ? 15 : 14);
    return name;
}

std::string FindAssociation(std::string_view extension) {
    if (extension.empty()) return {};
    std::string ext(extension);
    if (ext[0] != '.') ext.insert(ext.begin(), '.');
    reg::Registry registry;
    std::string progId = registry.GetString(reg::Root::ClassesRoot, ext, "", "");
    if (progId.empty()) return {};
    return registry.GetString(reg::Root::ClassesRoot, progId + "\\shell\\open\\command", "", "");
}

std::string DesktopOpenCommand() {
    if (const char* cmd = std::getenv("PLATFORM_OPEN_COMMAND"); cmd && *cmd) return cmd;
    return "xdg-open";
}

namespace {

bool IsUrl(std::string_view text) {
    auto colon = text.find("://");
    if (colon != std::string_view::npos && colon > 1) return true;
    return sjis::StartsWithNoCase(text, "mailto:");
}

// A host path for a Windows path, or for a host path given as it is.
std::optional<fs::path> HostPathOf(std::string_view path) {
    if (!path.empty() && path[0] == '/') return fs::path(sjis::ToUtf8(path));
    return winpath::ToHostPath(path);
}

bool IsExecutableFile(const fs::path& host) {
    struct stat st {};
    return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
}

// Finds a host program on $PATH by bare name.
std::optional<fs::path> SearchHostPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return std::nullopt;
    std::stringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        fs::path candidate = fs::path(dir) / name;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return std::nullopt;
}

// Where Windows looks for a program given without a folder: the given folder, the system
// folder, the Windows folder; then the host's PATH, also without a ".exe" ending.
std::optional<fs::path> FindProgram(std::string_view program, std::string_view folder) {
    if (program.empty()) return std::nullopt;
    bool bare = sjis::FindChar(program, '\\') == sjis::npos && sjis::FindChar(program, '/') == sjis::npos &&
                sjis::FindChar(program, ':') == sjis::npos;
    if (!bare) return HostPathOf(program);
    for (std::string_view base : {std::string(folder), SystemFolder(), WindowsFolder()}) {
        if (base.empty()) continue;
        auto host = winpath::ToHostPath(winpath::JoinPath(base, program));
        if (host && fs::exists(*host)) return host;
    }
    std::string name = sjis::ToUtf8(program);
    if (auto found = SearchHostPath(name)) return found;
    if (sjis::EndsWithNoCase(program, ".exe")) {
        std::string stem = sjis::ToLower(name.substr(0, name.size() - 4));
        if (auto found = SearchHostPath(stem)) return found;
    }
    return fs::path(name);
}

std::string HostFolderOf(std::string_view folder) {
    if (folder.empty()) return {};
    auto host = HostPathOf(folder);
    // A folder that does not map cannot exist: keep a name that will fail with "path not found".
    return host ? host->string() : std::string("/nonexistent-folder");
}

std::vector<std::string> Utf8Arguments(std::string_view parameters) {
    std::vector<std::string> args;
    for (const std::string& a : SplitCommandLine(parameters)) args.push_back(sjis::ToUtf8(a));
    return args;
}

// Runs an association's command template with "%1" (or "%L") replaced by the file.
StartResult RunCommandTemplate(const std::string& command, std::string_view file, std::string_view parameters,
                               std::string_view folder, bool wait, const std::function<void()>& onPoll) {
    std::vector<std::string> parts = SplitCommandLine(command);
    if (parts.empty()) return StartResult{false, kErrorFileNotFound, 0};
    bool placed = false;
    for (std::string& p : parts) {
        for (std::string_view marker : {"%1", "%L", "%l"}) {
            if (auto at = p.find(marker); at != std::string::npos) {
                p.replace(at, 2, file);
                placed = true;
            }
        }
    }
    if (!placed) parts.emplace_back(file);
    std::string params;
    for (std::size_t i = 1; i < parts.size(); ++i) params += QuoteArgument(parts[i]) + " ";
    params.append(parameters);
    return RunProgram(parts[0], params, folder, wait, onPoll);
}

StartResult OpenWithHandler(const std::string& target, bool wait, const std::function<void()>& onPoll) {
    std::vector<std::string> argv = SplitCommandLine(DesktopOpenCommand());
    if (argv.empty()) return StartResult{false, kErrorFileNotFound, 0};
    if (argv[0].find('/') == std::string::npos) {
        auto found = SearchHostPath(argv[0]);
        if (!found) return StartResult{false, kErrorFileNotFound, 0};
        argv[0] = found->string();
    }
    argv.push_back(target);
    return StartHostProcess(argv, "", wait, onPoll);
}

StartResult Open(std::string_view file, std::string_view parameters, std::string_view folder, bool wait,
                 const std::function<void()>& onPoll) {
    if (IsUrl(file)) return OpenWithHandler(sjis::ToUtf8(file), wait, onPoll);
    auto program = FindProgram(file, folder);
    if (!program) return StartResult{false, kErrorPathNotFound, 0};
    if (fs::is_directory(*program)) return OpenWithHandler(program->string(), wait, onPoll);
    if (!fs::exists(*program)) {
        return StartResult{false, fs::exists(program->parent_path()) ? kErrorFileNotFound : kErrorPathNotFound, 0};
    }
    if (IsExecutableFile(*program)) {
        std::vector<std::string> argv{program->string()};
        for (std::string& a : Utf8Arguments(parameters)) argv.push_back(std::move(a));
        return StartHostProcess(argv, HostFolderOf(folder), wait, onPoll);
    }
    std::string command = FindAssociation(winpath::ExtensionOf(file));
    if (!command.empty()) {
        std::string windowsFile = file[0] == '/' ? winpath::ToWindowsPath(*program) : std::string(file);
        return RunCommandTemplate(command, windowsFile, parameters, folder, wait, onPoll);
    }
    return OpenWithHandler(program->string(), wait, onPoll);
}

}  // namespace

StartResult OpenWithShell(std::string_view file, std::string_view parameters, std::string_view folder) {
    return Open(file, parameters, folder, false, {});
}

StartResult RunProgram(std::string_view program, std::string_view parameters, std::string_view folder, bool wait,
                       const std::function<void()>& onPoll) {
    return Open(program, parameters, folder, wait, onPoll);
}

fs::path SuiteShareFolder() {
    if (const char* share = std::getenv("ZUZORUVE_SHARE"); share && *share) return share;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path().parent_path() / "share" / platform::kSuiteName;
}

StartResult OpenHelpTopic(int topic) {
    fs::path help = SuiteShareFolder() / "help";
    fs::path page = help / (std::to_string(topic) + ".html");
    if (!fs::exists(page)) page = help / "index.html";
    if (!fs::exists(page)) return StartResult{false, kErrorFileNotFound, 0};
    return OpenWithHandler(page.string(), false, {});
}

namespace {

constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";

}  // namespace

bool ProvisionPrefix(std::string* error) {
    if (!platform::EnsurePrefix(error)) return false;
    reg::Registry registry;
    reg::Status status = registry.ProvisionHives();
    if (status != reg::Status::Ok) {
        if (error) *error = std::string("registry hives: ") + reg::StatusName(status);
        return false;
    }
    struct Named {
        reg::Root root;
        const char* key;
        const char* name;
        PrefixFolder folder;
    };
    const Named values[] = {
        {reg::Root::CurrentUser, kShellFoldersKey, "Desktop", PrefixFolder::UserDesktop},
        {reg::Root::CurrentUser, kShellFoldersKey, "Programs", PrefixFolder::UserPrograms},
        {reg::Root::CurrentUser, kShellFoldersKey, "Start Menu", PrefixFolder::UserStartMenu},
        {reg::Root::CurrentUser, kShellFoldersKey, "Startup", PrefixFolder::UserStartup},
        {reg::Root::CurrentUser, kShellFoldersKey, "SendTo", PrefixFolder::UserSendTo},
        {reg::Root::CurrentUser, kShellFoldersKey, "Favorites", PrefixFolder::UserFavorites},
        {reg::Root::CurrentUser, kShellFoldersKey, "Personal", PrefixFolder::UserDocuments},
        {reg::Root::CurrentUser, kShellFoldersKey, "Templates", PrefixFolder::UserTemplates},
        {reg::Root::CurrentUser, kShellFoldersKey, "AppData", PrefixFolder::UserAppData},
        {reg::Root::CurrentUser, kShellFoldersKey, "Local AppData", PrefixFolder::UserLocalAppData},
        {reg::Root::CurrentUser, kShellFoldersKey, "Cache", PrefixFolder::UserInternetCache},
        {reg::Root::CurrentUser, kShellFoldersKey, "Cookies", PrefixFolder::UserCookies},
        {reg::Root::CurrentUser, kShellFoldersKey, "My Music", PrefixFolder::UserMusic},
        {reg::Root::CurrentUser, kShellFoldersKey, "My Pictures", PrefixFolder::UserPictures},
        {reg::Root::LocalMachine, kShellFoldersKey, "Common Desktop", PrefixFolder::CommonDesktop},
        {reg::Root::LocalMachine, kShellFoldersKey, "Common Programs", PrefixFolder::CommonPrograms},
        {reg::Root::LocalMachine, kShellFoldersKey, "Common Start Menu", PrefixFolder::CommonStartMenu},
        {reg::Root::LocalMachine, kShellFoldersKey, "Common Startup", PrefixFolder::CommonStartup},
        {reg::Root::LocalMachine, kShellFoldersKey, "Common AppData", PrefixFolder::CommonAppData},
        {reg::Root::LocalMachine, kShellFoldersKey, "Common Documents", PrefixFolder::CommonDocuments},
        {reg::Root::LocalMachine, kShellFoldersKey, "Common Favorites", PrefixFolder::CommonFavorites},
        {reg::Root::LocalMachine, kShellFoldersKey, "Common Templates", PrefixFolder::CommonTemplates},
        {reg::Root::LocalMachine, kCurrentVersionKey, "ProgramFilesDir", PrefixFolder::ProgramFiles},
        {reg::Root::LocalMachine, kCurrentVersionKey, "CommonFilesDir", PrefixFolder::CommonProgramFiles},
    };
    for (reg::Root root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
        status = registry.Edit(root, [&](reg::HiveEdit& hive) {
            for (const Named& v : values) {
                if (v.root != root) continue;
                reg::Value existing;
                if (hive.GetValue(v.key, v.name, &existing) == reg::Status::Ok) continue;
                reg::Status s = hive.SetValue(v.key, v.name, reg::Value::String(PrefixFolderPath(v.folder)));
                if (s != reg::Status::Ok) return s;
            }
            return reg::Status::Ok;
        });
        if (status != reg::Status::Ok) {
            if (error) *error = std::string(reg::RootName(root)) + ": " + reg::StatusName(status);
            return false;
        }
    }
    return true;
}

}  // namespace platform::shell
