#include "registration.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/file_services.h"
#include "zeriru/project_file.h"

#include <ctime>

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;
namespace reg = platform::registry;
using zeriru::DecodeProjectText;

namespace {

constexpr const char* kDefaultUninstaller = "rodeve21.exe";
// [Installer] UnInstallerOptions bits.
constexpr int kKeepUninstaller = 1;
constexpr int kOverwriteUninstaller = 2;

std::string KeyPath(const std::string& key) { return std::string(kUninstallKey) + "\\" + key; }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string Now() {
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &local);
    return when;
}

// The key name: the project name; with UseUniqueKey, when another installation (another
// folder) holds it, the name followed by "_1", "_2", ...
std::string ChooseKey(const Context& context, const std::string& base) {
    if (!context.data.ReadBool("Project", "UseUniqueKey", false)) return base;
    for (int n = 0; n < 1000; ++n) {
        const std::string key = n == 0 ? base : base + "_" + std::to_string(n);
        if (context.registry.KeyExists(reg::Root::LocalMachine, KeyPath(key)) != reg::Status::Ok) return key;
        const std::string location =
            context.registry.GetString(reg::Root::LocalMachine, KeyPath(key), "InstallLocation");
        if (sj::EqualsNoCase(location, context.targets.installFolder())) return key;
    }
    return base;
}

}  // namespace

bool IsModuleProgram(const std::string& path) {
    const auto bytes = wp::ReadWholeFile(path);
    return bytes && bytes->find(kModuleMark) != std::string::npos;
}

Registration PlanRegistration(const Context& context, Problems& problems) {
    const auto& data = context.data;
    Registration r;
    r.enabled = data.ReadBool("Installer", "EnableUninstallSetting", true);
    std::string base = DecodeProjectText(data.ReadString("Project", "ProjectName"));
    if (base.empty()) base = DecodeProjectText(data.ReadString("Software", "SoftName"));
    if (base.empty() || !wp::IsValidElement(base)) {
        problems.damaged.push_back("[Project] ProjectName=" + base);
        return r;
    }
    r.key = ChooseKey(context, base);
    if (!r.enabled) return r;

    const std::string folder = context.targets.installFolder();
    const int method = data.ReadInteger("UninstallSetting", "InfoFileMethod", 0);
    if (method == 2) {
        const std::string chosen = DecodeProjectText(data.ReadString("UninstallSetting", "InfoFileName", kRecordFileName));
        Refusal why;
        const auto path = sj::FindChar(chosen, '%') == 0 ? context.targets.Path(chosen, &why)
                                                         : context.targets.File("%InstallDir%", "", chosen, &why);
        if (!path) {
            problems.Add(why);
            return r;
        }
        r.recordPath = *path;
    } else if (method == 1) {
        r.recordPath = wp::JoinPath(folder, zeriru::UniqueFileName(folder, kRecordFileName));
    } else {
        r.recordPath = wp::JoinPath(folder, kRecordFileName);
    }
    if (!Targets::Admissible(r.recordPath)) {
        problems.outside.push_back(r.recordPath);
        r.recordPath.clear();
        return r;
    }

    const int options = data.ReadInteger("Installer", "UnInstallerOptions", kKeepUninstaller);
    r.keepUninstaller = (options & kKeepUninstaller) != 0;
    r.overwriteUninstaller = (options & kOverwriteUninstaller) != 0;
    Refusal why;
    std::optional<std::string> uninstaller;
    if (data.ReadBool("Installer", "UnInstallerAutoSetting", true)) {
        uninstaller = context.targets.File("%WindowsDirectory%", "", kDefaultUninstaller, &why);
    } else {
        uninstaller = context.targets.File(
            data.ReadString("Installer", "UnInstallerStoreFolder", "%WindowsDirectory%"),
            DecodeProjectText(data.ReadString("Installer", "UnInstallerStoreSubFolder")),
            DecodeProjectText(data.ReadString("Installer", "UnInstallerFileName", kDefaultUninstaller)), &why);
    }
    if (!uninstaller) {
        problems.Add(why);
        return r;
    }
    r.uninstaller = *uninstaller;

    // An earlier installation of this key: its record is merged into this one.
    const std::string earlierPath =
        context.registry.GetString(reg::Root::LocalMachine, KeyPath(r.key), kRecordValue);
    if (!earlierPath.empty()) {
        r.earlier = ReadRecord(earlierPath, nullptr);
        if (r.earlier) r.earlierRecordPath = earlierPath;
    }
    return r;
}

bool Register(const Registration& r, InstallRecord& record, const Context& context, Transaction& changes) {
    const auto& data = context.data;
    context.Say(text_id::kWritingRecord);
    // The uninstaller: this module program, unless one of this module is there and may stay.
    const bool exists = wp::FileExists(r.uninstaller);
    if (exists && !IsModuleProgram(r.uninstaller)) {
        context.Say(text_id::kCannotCopy, {r.uninstaller});
        return false;
    }
    if (!exists || r.overwriteUninstaller) {
        if (!changes.CopyFile(context.options.moduleProgram, r.uninstaller, zeriru::kKeepSourceAttributes)) {
            context.Say(text_id::kCannotCopy, {r.uninstaller});
            return false;
        }
    }
    record.uninstaller = r.uninstaller;
    record.uninstallerMade = !exists;
    record.uninstallKey = r.key;
    record.installed = Now();

    const std::string key = KeyPath(r.key);
    const std::string soft = DecodeProjectText(data.ReadString("Software", "SoftName"));
    const bool silent = data.ReadBool("Installer", "EnableSilentUnInstall", false);
    std::vector<std::pair<std::string, reg::Value>> values = {
        {"DisplayName", reg::Value::String(soft)},
        {"UninstallString", reg::Value::String(Quoted(r.uninstaller) + " /U " + Quoted(r.recordPath) + (silent ? " /S" : ""))},
        {"InstallLocation", reg::Value::String(context.targets.installFolder())},
        {"DisplayVersion", reg::Value::String(std::to_string(data.ReadInteger("Software", "MajorVersion", 1)) + "." +
                                              std::to_string(data.ReadInteger("Software", "MinorVersion", 0)) + "." +
                                              std::to_string(data.ReadInteger("Software", "ReleaseVersion", 0)) + "." +
                                              std::to_string(data.ReadInteger("Software", "BuildVersion", 0)))},
        {kRecordValue, reg::Value::String(r.recordPath)},
    };
    if (data.ReadBool("Installer", "EnableSupportInfo", false)) {
        for (const char* name : {"Publisher", "HelpLink", "URLInfoAbout", "URLUpdateInfo"}) {
            const std::string text = DecodeProjectText(data.ReadString("SupportInfo", name));
            if (!text.empty()) values.push_back({name, reg::Value::String(text)});
        }
        const std::string phone = DecodeProjectText(data.ReadString("SupportInfo", "HelpTelephon"));
        if (!phone.empty()) values.push_back({"HelpTelephone", reg::Value::String(phone)});
    }
    for (const auto& [name, value] : values) {
        reg::Value before;
        const bool had = context.registry.GetValue(reg::Root::LocalMachine, key, name, &before) == reg::Status::Ok;
        if (!changes.SetRegistryValue(reg::Root::LocalMachine, key, name, value)) {
            context.Say(text_id::kCannotWriteRegistry, {key + "\\" + name});
            return false;
        }
        record.values.push_back({reg::Root::LocalMachine, key, name, had ? std::optional<reg::Value>(before) : std::nullopt, 0});
    }
    return true;
}

}  // namespace installer
