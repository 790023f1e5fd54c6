#include "install_state.h"

#include "installer_runtime/installer.h"

#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/file_version.h"
#include "zeriru/project_file.h"

#include <cstdio>

namespace installer {

namespace {

// InstallMethod values.
constexpr int kInstallOver = 0;
constexpr int kRefuse = 1;
constexpr int kUninstallFirst = 2;
constexpr int kUninstallAllFirst = 3;
// [Installer] Options bits.
constexpr int kCheckOldVersion = 16;
constexpr int kAskWhenNewer = 512;

struct Version {
    std::int64_t comparable = -1;  // -1: unknown
    std::string text;
};

Version ProjectVersion(const zeriru::TIniDocument& data) {
    const int v[4] = {data.ReadInteger("Software", "MajorVersion", 1), data.ReadInteger("Software", "MinorVersion", 0),
                      data.ReadInteger("Software", "ReleaseVersion", 0), data.ReadInteger("Software", "BuildVersion", 0)};
    return {zeriru::ComparableVersion(v[0], v[1], v[2], v[3]),
            std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3])};
}

Version ParseVersion(const std::string& text) {
    int v[4] = {0, 0, 0, 0};
    char rest = 0;
    const int n = std::sscanf(text.c_str(), "%d.%d.%d.%d%c", &v[0], &v[1], &v[2], &v[3], &rest);
    if (n < 1 || n > 4) return {};
    for (int part : v) {
        if (part < 0 || part > 65535) return {};
    }
    return {zeriru::ComparableVersion(v[0], v[1], v[2], v[3]), text};
}

// The version there: the main file's, else the one the machine lists for this project.
Version InstalledVersionOf(const Context& context, const std::vector<std::string>& installations) {
    Refusal why;
    const auto mainFile = context.targets.Path(zeriru::DecodeProjectText(context.data.ReadString("Software", "MainFileName")), &why);
    if (mainFile && platform::winpath::FileExists(*mainFile)) {
        zeriru::TFileVersion v;
        if (zeriru::GetFileVersion(*mainFile, v) && v.comparable >= 0)
            return {v.comparable, std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.release) +
                                      "." + std::to_string(v.build)};
    }
    for (const std::string& key : installations) {
        const Version listed = ParseVersion(InstalledVersion(context, key));
        if (listed.comparable >= 0) return listed;
    }
    return {};
}

// Whether the main file (or a listed installation) says an earlier version is there.
bool OldVersionThere(const Context& context, const std::vector<std::string>& installations) {
    Refusal why;
    const auto mainFile = context.targets.Path(zeriru::DecodeProjectText(context.data.ReadString("Software", "MainFileName")), &why);
    return (mainFile && platform::winpath::FileExists(*mainFile)) || !installations.empty();
}

int CompareVersions(const Context& context, const std::vector<std::string>& installations) {
    const int options = context.data.ReadInteger("Installer", "Options", 0);
    if (!(options & kCheckOldVersion) || !OldVersionThere(context, installations)) return kExitInstalled;
    const std::string softName = zeriru::DecodeProjectText(context.data.ReadString("Software", "SoftName"));
    const Version there = InstalledVersionOf(context, installations);
    if (there.comparable > ProjectVersion(context.data).comparable) {
        if (!(options & kAskWhenNewer)) {
            context.Say(text_id::kNewerInstalled, {softName});
            return kExitRequirements;
        }
        return context.Ask(context.texts.Text(text_id::kNewerInstalledQuestion, {softName, there.text}) + context.YesNo(), false)
                   ? kExitInstalled
                   : kExitCancelled;
    }
    context.Say(text_id::kUpdating, {softName});
    return kExitInstalled;
}

}  // namespace

int CheckInstalledState(const Context& context, const std::vector<RelatedApp>& related, std::vector<UninstallRun>& runs) {
    const std::vector<std::string> installations = OwnInstallations(context);
    if (const int code = CompareVersions(context, installations); code != kExitInstalled) return code;
    if (installations.empty()) return kExitInstalled;
    const std::string softName = zeriru::DecodeProjectText(context.data.ReadString("Software", "SoftName"));
    switch (context.data.ReadInteger("Installer", "InstallMethod", kInstallOver)) {
        case kRefuse:
            context.Say(text_id::kAlreadyInstalled, {softName, InstalledVersion(context, installations.front())});
            return kExitRequirements;
        case kUninstallFirst:
        case kUninstallAllFirst:
            for (const std::string& key : installations) AddUninstallRun(runs, {softName, key, context.options.silent});
            if (context.data.ReadInteger("Installer", "InstallMethod", kInstallOver) == kUninstallAllFirst) {
                for (const RelatedApp& app : related) {
                    if (IsInstalled(context, app.key)) AddUninstallRun(runs, {app.name, app.key, context.options.silent});
                }
            }
            return kExitInstalled;
        default: return kExitInstalled;
    }
}

}  // namespace installer
