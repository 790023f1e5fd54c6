#include "installed_apps.h"

#include "launch.h"
#include "registration.h"

#include "platform/pathtext.h"
#include "platform/process.h"
#include "platform/sjis.h"
#include "zeriru/project_file.h"

#include <algorithm>

namespace installer {

namespace reg = platform::registry;
namespace sj = platform::sjis;
namespace wp = platform::winpath;

namespace {

std::string KeyOf(const std::string& key) { return std::string(kUninstallKey) + "\\" + key; }

// "<name>_<digits>" of a base name.
bool IsNumberedName(const std::string& key, const std::string& base) {
    if (key.size() <= base.size() + 1 || !sj::StartsWithNoCase(key, base + "_")) return false;
    return key.find_first_not_of("0123456789", base.size() + 1) == std::string::npos;
}

bool RunUninstaller(const UninstallRun& run, const Context& context) {
    const std::string command = context.registry.GetString(reg::Root::LocalMachine, KeyOf(run.key), "UninstallString");
    const std::vector<std::string> args = platform::shell::SplitCommandLine(command);
    context.Say(text_id::kUninstallingOther, {run.name});
    Launch launch;
    if (!args.empty()) launch.program = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) launch.arguments += (i > 1 ? " " : "") + platform::shell::QuoteArgument(args[i]);
    const bool silentAlready =
        std::any_of(args.begin(), args.end(), [](const std::string& a) { return sj::EqualsNoCase(a, "/S"); });
    if (run.silent && !silentAlready && IsModuleProgram(launch.program)) launch.arguments += " /S";
    launch.folder = wp::FolderOf(launch.program);
    launch.direct = true;
    launch.wait = true;
    const platform::shell::StartResult result = launch.program.empty() ? platform::shell::StartResult{} : Start(launch);
    if (!result.started) {
        context.Say(text_id::kCannotRunProgram, {launch.program.empty() ? run.key : launch.program});
        return false;
    }
    if (result.exitCode != 0) {
        context.Say(text_id::kProgramFailed, {launch.program, std::to_string(result.exitCode)});
        return false;
    }
    return true;
}

}  // namespace

bool IsApplicationKey(const std::string& key) {
    return !key.empty() && key.size() <= 255 && sj::FindChar(key, '\\') == sj::npos;
}

bool IsInstalled(const Context& context, const std::string& key) {
    return IsApplicationKey(key) && context.registry.KeyExists(reg::Root::LocalMachine, KeyOf(key)) == reg::Status::Ok;
}

std::string InstalledVersion(const Context& context, const std::string& key) {
    return context.registry.GetString(reg::Root::LocalMachine, KeyOf(key), "DisplayVersion");
}

std::vector<std::string> OwnInstallations(const Context& context) {
    std::string base = zeriru::DecodeProjectText(context.data.ReadString("Project", "ProjectName"));
    if (base.empty()) base = zeriru::DecodeProjectText(context.data.ReadString("Software", "SoftName"));
    std::vector<std::string> keys;
    if (!IsApplicationKey(base)) return keys;
    const bool numbered = context.data.ReadBool("Project", "UseUniqueKey", false);
    std::vector<std::string> apps;
    context.registry.EnumSubKeys(reg::Root::LocalMachine, kUninstallKey, &apps);
    for (const std::string& app : apps) {
        if (sj::EqualsNoCase(app, base) || (numbered && IsNumberedName(app, base))) keys.push_back(app);
    }
    return keys;
}

void AddUninstallRun(std::vector<UninstallRun>& runs, UninstallRun run) {
    const bool listed = std::any_of(runs.begin(), runs.end(), [&](const UninstallRun& r) { return sj::EqualsNoCase(r.key, run.key); });
    if (!listed) runs.push_back(std::move(run));
}

bool RunUninstallers(const std::vector<UninstallRun>& runs, const Context& context) {
    for (const UninstallRun& run : runs) {
        if (!IsInstalled(context, run.key)) continue;  // an earlier run took it along
        if (!RunUninstaller(run, context)) {
            context.Say(text_id::kOtherNotUninstalled, {run.name});
            return false;
        }
    }
    return true;
}

}  // namespace installer
