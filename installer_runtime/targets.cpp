#include "targets.h"

#include "platform/drives.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/project_file.h"

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;

namespace {

// Ids of the defines only the running installer knows.
constexpr int kInstallerDir = 1002;
constexpr int kInstallInfoFileName = 1008;
constexpr int kUnInstallInfoFileName = 1009;
constexpr int kUnInstallerFileName = 1010;

// The elements of a path text, split at both separators (character-wise).
std::vector<std::string> Elements(std::string_view path) {
    std::vector<std::string> out;
    for (const std::string& part : sj::SplitSjis(path, '\\')) {
        for (const std::string& p : sj::SplitSjis(part, '/')) out.push_back(p);
    }
    return out;
}

std::string ReplaceAllNoCase(std::string text, std::string_view what, std::string_view with) {
    for (std::size_t at = 0; (at = sj::FindTextNoCase(text, what, at)) != sj::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

// The machine as it is, but without an environment: references to environment variables
// stay in the text.
class WithoutEnvironment : public zeriru::TBuildMachine {
public:
    explicit WithoutEnvironment(zeriru::TBuildMachine& machine) : m_(machine) {}
    std::string WindowsFolder() override { return m_.WindowsFolder(); }
    std::string SystemFolder() override { return m_.SystemFolder(); }
    std::string TempFolder() override { return m_.TempFolder(); }
    std::string ProgramFilesFolder() override { return m_.ProgramFilesFolder(); }
    std::string DosCommandFolder() override { return m_.DosCommandFolder(); }
    std::string ShellFolder(int kind, bool allUsers) override { return m_.ShellFolder(kind, allUsers); }
    std::string ComputerName() override { return m_.ComputerName(); }
    std::string UserName() override { return m_.UserName(); }
    std::optional<std::string> Environment(std::string_view) override { return std::nullopt; }
    std::optional<zeriru::RegistryValue> ReadRegistry(std::string_view root, std::string_view key,
                                                      std::string_view name) override {
        return m_.ReadRegistry(root, key, name);
    }
    std::optional<std::string> ReadIni(std::string_view path, std::string_view section, std::string_view key) override {
        return m_.ReadIni(path, section, key);
    }
    bool DriveExists(char letter) override { return m_.DriveExists(letter); }
    bool IsCdromDrive(char letter) override { return m_.IsCdromDrive(letter); }
    bool FileExists(std::string_view path) override { return m_.FileExists(path); }
    std::string CurrentDate() override { return m_.CurrentDate(); }
    std::string CurrentTime() override { return m_.CurrentTime(); }

private:
    zeriru::TBuildMachine& m_;
};

}  // namespace

Targets::Targets(const zeriru::TIniDocument& data, zeriru::TBuildMachine& machine, std::string runtimeFolder)
    : data_(data), machine_(machine), runtimeFolder_(std::move(runtimeFolder)) {
    installFolder_ = wp::RemoveBackslash(zeriru::ExpandInstallPath("%InstallDir%", data_, machine_));
}

bool Targets::IsSafeSubPath(std::string_view sub) {
    if (sub.empty()) return true;
    if (wp::IsSeparator(sub[0]) || sj::FindChar(sub, ':') != sj::npos) return false;
    for (const std::string& e : Elements(sub)) {
        if (e == "..") return false;
    }
    return true;
}

bool Targets::Admissible(std::string_view path) {
    const auto parts = wp::ParsePath(path);
    if (!parts || parts->root != wp::PathParts::Root::Drive) return false;
    for (const std::string& e : Elements(path)) {
        if (e == "..") return false;
    }
    const auto drive = wp::GetDrive(parts->drive);
    if (!drive) return false;
    // The drive that maps the host's root reaches every file of the host.
    return drive->hostFolder.lexically_normal() != drive->hostFolder.root_path();
}

std::string Targets::ExpandValue(std::string_view text) const { return Expand(text, machine_); }

std::string Targets::ExpandValueKeepingEnvironment(std::string_view text) const {
    WithoutEnvironment machine(machine_);
    return Expand(text, machine);
}

std::string Targets::Expand(std::string_view text, zeriru::TBuildMachine& machine) const {
    std::string out(text);
    struct Own {
        const char* name;
        std::string value;
    } own[] = {
        {"%InstallDir%", installFolder_},
        {"%SearchFileDirEx%", installFolder_},
        {"%SearchFileDir%", installFolder_},
        {"%InstallDrive%", installFolder_.substr(0, std::min<std::size_t>(2, installFolder_.size()))},
        {"%InstallerDir%", runtimeFolder_},
        {"%UnInstallerFileName%", uninstaller_},
        {"%UnInstallInfoFileName%", record_},
        {"%InstallInfoFileName%", record_},
    };
    for (const Own& o : own) out = ReplaceAllNoCase(out, o.name, o.value);
    if (zeriru::FindDefineId(out) == 0 && sj::FindChar(out, '%') == sj::npos) return out;
    return zeriru::ExpandDefineValue(out, machine);
}

std::optional<std::string> Targets::Folder(std::string_view define, std::string_view sub, Refusal* why) const {
    const std::string text = sub.empty() ? std::string(define) : std::string(define) + "\\" + std::string(sub);
    auto refuse = [&](Refusal::Kind kind) -> std::optional<std::string> {
        if (why) *why = {kind, text};
        return std::nullopt;
    };
    const std::string trimmed = zeriru::TrimText(define);
    const int id = zeriru::FindDefineId(trimmed);
    const zeriru::TDefineData row = zeriru::GetDefineData(id);
    // The whole define field must be the define: "C:\x%InstallDir%" names no define folder.
    if (!row.valid || (row.flags & zeriru::kDefFolder) == 0 || !sj::EqualsNoCase(trimmed, row.name))
        return refuse(Refusal::Kind::Damaged);
    if (id == kInstallInfoFileName || id == kUnInstallInfoFileName || id == kUnInstallerFileName)
        return refuse(Refusal::Kind::Damaged);
    if (id == kInstallerDir) return refuse(Refusal::Kind::Outside);  // the extraction folder goes away after the run
    std::string folder;
    if (row.flags & zeriru::kDefParameters) {
        // The parameters name the folder; the rule below judges the result.
        folder = wp::RemoveBackslash(ExpandValue(text));
    } else {
        if (!IsSafeSubPath(sub)) return refuse(Refusal::Kind::Outside);
        const std::string base = wp::RemoveBackslash(ExpandValue(row.name));
        folder = sub.empty() ? base : wp::JoinPath(base, sub);
    }
    if (folder.empty() || zeriru::FindDefineId(folder) != 0) return refuse(Refusal::Kind::Unknown);
    if (!Admissible(folder)) return refuse(Refusal::Kind::Outside);
    return wp::RemoveBackslash(folder);
}

std::optional<std::string> Targets::File(std::string_view define, std::string_view sub, std::string_view name,
                                         Refusal* why) const {
    if (!wp::IsValidElement(name) || name == "." || name == "..") {
        if (why) *why = {Refusal::Kind::Outside, std::string(name)};
        return std::nullopt;
    }
    const auto folder = Folder(define, sub, why);
    if (!folder) return std::nullopt;
    return wp::JoinPath(*folder, name);
}

std::optional<std::string> Targets::Path(std::string_view defineText, Refusal* why) const {
    const zeriru::DefineText parts = zeriru::SplitDefineText(defineText);
    std::string rest = parts.rest;
    while (!rest.empty() && wp::IsSeparator(rest.back())) rest.pop_back();
    return Folder(parts.define, rest, why);
}

}  // namespace installer
