#include "install_state.h"

#include "installer_runtime/installer.h"

#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/file_version.h"
#include "zeriru/project_file.h"

#include <cstdio>
#include <optional>

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

Version MakeVersion(int major, int minor, int release, int build) {
    return {zeriru::ComparableVersion(major, minor, release, build),
            std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) + "." + std::to_string(build)};
}

Version ProjectVersion(const zeriru::TIniDocument& data) {
    return MakeVersion(data.ReadInteger("Software", "MajorVersion", 1), data.ReadInteger("Software", "MinorVersion", 0),
                       data.ReadInteger("Software", "ReleaseVersion", 0), data.ReadInteger("Software", "BuildVersion", 0));
}

Version ParseVersion(const std::string& text) {
    int v[4] = {0, 0, 0, 0};
    char rest = 0;
    const int n = std::sscanf(text.c_str(), "%d.%d.%d.%d%c", &v[0], &v[1], &v[2], &v[3], &rest);
    if (n < 1 || n > 4) return {};
    for (int part : v) {
        if (part < 0 || part > 65535) return {};
    }
    return MakeVersion(v[0], v[1], v[2], v[3]);
}

// The project's main file in the install folder, when it is there.
std::optional<std::string> MainFileThere(const Context& context) {
    Refusal why;
    const auto mainFile = context.targets.Path(zeriru::DecodeProjectText(context.data.ReadString("Software", "MainFileName")), &why);
    if (mainFile && platform::winpath::FileExists(*mainFile)) return mainFile;
    return std::nullopt;
}

// The version there: the main file's, else the one the machine lists for this project.
Version InstalledVersionOf(const Context& context, const std::vector<std::string>& installations) {
    zeriru::TFileVersion v;
    if (const auto mainFile = MainFileThere(context); mainFile && zeriru::GetFileVersion(*mainFile, v) && v.comparable >= 0)
        return MakeVersion(v.major, v.minor, v.release, v.build);
    for (const std::string& key : installations) {
        const Version listed = ParseVersion(InstalledVersion(context, key));
        if (listed.comparable >= 0) return listed;
    }
    return {};
}

int CompareVersions(const Context& context, const std::vector<std::string>& installations) {
    const int options = context.data.ReadInteger("Installer", "Options", 0);
    // An earlier version is there when its main file or an installation of this project is.
    if (!(options & kCheckOldVersion) || (!MainFileThere(context) && installations.empty())) return kExitInstalled;
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
    const int method = context.data.ReadInteger("Installer", "InstallMethod", kInstallOver);
    switch (method) {
        case kRefuse:
            context.Say(text_id::kAlreadyInstalled, {softName, InstalledVersion(context, installations.front())});
            return kExitRequirements;
        case kUninstallFirst:
        case kUninstallAllFirst:
            for (const std::string& key : installations) AddUninstallRun(runs, {softName, key, context.options.silent});
            if (method == kUninstallAllFirst) {
                for (const RelatedApp& app : related) {
                    if (IsInstalled(context, app.key)) AddUninstallRun(runs, {app.name, app.key, context.options.silent});
                }
            }
            return kExitInstalled;
        default: return kExitInstalled;
    }
}

}  // namespace installer
