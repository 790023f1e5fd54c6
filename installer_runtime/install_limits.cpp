#include "install_limits.h"

#include "journal_folders.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winpath.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

namespace installer {

namespace fs = std::filesystem;
namespace reg = platform::registry;
namespace sj = platform::sjis;
namespace wp = platform::winpath;

namespace {

// Where the system keeps file operations it still has to carry out.
constexpr const char* kSessionManagerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingRenames = "PendingFileRenameOperations";

bool Writable(const fs::path& host) { return ::access(host.c_str(), W_OK) == 0; }

bool WritableFolder(const std::string& windowsFolder) {
    const auto host = wp::ToHostPath(windowsFolder);
    return host && Writable(*host);
}

// The host path a process link names, as the kernel shows it (" (deleted)" for a gone file).
std::string LinkTarget(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.string();
}

// Every file a process of this machine has open, runs or has mapped (those this user may see).
std::set<std::string> OpenHostFiles() {
    std::set<std::string> out;
    std::error_code ec;
    for (const auto& proc : fs::directory_iterator("/proc", ec)) {
        const std::string pid = proc.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        out.insert(LinkTarget(proc.path() / "exe"));
        std::error_code fdError;
        for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdError)) out.insert(LinkTarget(fd.path()));
        std::ifstream maps(proc.path() / "maps");
        for (std::string line; std::getline(maps, line);) {
            const std::size_t slash = line.find('/');
            if (slash != std::string::npos) out.insert(line.substr(slash));
        }
    }
    out.erase("");
    return out;
}

}  // namespace

int UserLevelOfThisMachine(zeriru::TBuildMachine& machine, const reg::Registry& registry) {
    if (::geteuid() == 0) return kAdministrator;
    const fs::path hive = registry.HivePath(reg::Root::LocalMachine);
    const bool machineHive = Writable(hive) && Writable(hive.parent_path());
    if (machineHive && WritableFolder(machine.SystemFolder())) return kAdministrator;
    if (machineHive && WritableFolder(machine.ProgramFilesFolder())) return kPowerUser;
    return kLimitedUser;
}

bool CheckUserLimit(const Context& context) {
    const int limit = context.data.ReadInteger("InstallLimit", "User", 0);
    if (limit != 1 && limit != 2) return true;
    const int level = context.options.machine.userLevel >= 0
                          ? context.options.machine.userLevel
                          : UserLevelOfThisMachine(context.machine, context.registry);
    const int needed = limit == 1 ? kAdministrator : kPowerUser;
    if (level >= needed) return true;
    const bool install = context.phase == Phase::Install;
    context.Say(needed == kAdministrator ? (install ? text_id::kNeedsAdministrator : text_id::kUninstallNeedsAdministrator)
                                         : (install ? text_id::kNeedsPowerUser : text_id::kUninstallNeedsPowerUser));
    return false;
}

bool CheckPendingOperations(const Context& context, const std::string& ownJournal) {
    if (!context.data.ReadBool("InstallLimit", "EndFileRenOperation", false)) return true;
    std::vector<std::string> pending;
    reg::Value renames;
    if (context.registry.GetValue(reg::Root::LocalMachine, kSessionManagerKey, kPendingRenames, &renames) == reg::Status::Ok) {
        for (const std::string& file : renames.strings) {
            if (!file.empty()) pending.push_back(file);
        }
        if (renames.type != reg::ValueType::MultiSz && !renames.bytes.empty())
            pending.push_back(std::string("HKEY_LOCAL_MACHINE\\") + kSessionManagerKey + "\\" + kPendingRenames);
    }
    for (const std::string& folder : PendingJournalFolders(context.machine)) {
        if (!sj::EqualsNoCase(folder, ownJournal)) pending.push_back(folder);
    }
    if (pending.empty()) return true;
    std::string list;
    for (const std::string& p : pending) list += (list.empty() ? "" : "\n") + p;
    context.Say(text_id::kWorkPending, {list});
    return false;
}

std::vector<std::string> FilesInUse(const std::vector<std::string>& files) {
    std::vector<std::string> out;
    if (files.empty()) return out;
    const std::set<std::string> open = OpenHostFiles();
    for (const std::string& file : files) {
        const auto host = wp::ToHostPath(file);
        std::error_code ec;
        if (!host || !fs::exists(*host, ec)) continue;
        const fs::path real = fs::canonical(*host, ec);
        if (!ec && open.count(real.string())) out.push_back(file);
    }
    return out;
}

bool CheckFilesInUse(const Context& context, const std::vector<std::string>& files) {
    if (!context.data.ReadBool("InstallLimit", "FileUseCheck", false)) return true;
    for (;;) {
        const std::vector<std::string> busy = FilesInUse(files);
        if (busy.empty()) return true;
        for (std::size_t i = 0; i + 1 < busy.size(); ++i) context.Say(text_id::kFileInUse, {busy[i]});
        const std::string last = context.texts.Text(text_id::kFileInUse, {busy.back()});
        if (context.options.silent) {
            context.console.Line(last);
            return false;
        }
        const std::string choices =
            " [" + context.texts.Caption(text_id::kRetry) + "/" + context.texts.Caption(text_id::kStop) + "]";
        if (!context.Ask(last + choices, false)) return false;
    }
}

}  // namespace installer
