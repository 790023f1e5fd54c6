#include "installer_runtime/installer.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/defines.h"
#include "zeriru/file_services.h"
#include "zeriru/project_file.h"

#include <ctime>

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;
using zeriru::DecodeProjectText;
using zeriru::EncodeProjectText;
using zeriru::GetItemField;
using zeriru::GetItemFieldInt;
using zeriru::TIniDocument;

namespace {

// Items read from one list at most, as the editor writes them.
constexpr int kMaxItems = 32768;

// Item kinds of the file list.
constexpr int kKindFile = 0;
constexpr int kKindFolder = 1;
constexpr int kKindComponent = 5;

std::vector<std::string> ReadItems(const TIniDocument& data, std::string_view section) {
    std::vector<std::string> items;
    for (int i = 0; i < kMaxItems; ++i) {
        const std::string key = std::to_string(i);
        if (!data.ValueExists(section, key)) break;
        items.push_back(data.ReadString(section, key));
    }
    return items;
}

std::string Field(std::string_view record, int n) { return DecodeProjectText(GetItemField(record, n)); }

// Windows attribute bits of the item's attribute field; 0 keeps the staged file's own.
std::uint32_t WindowsAttributes(std::uint32_t itemBits) {
    std::uint32_t out = 0;
    if (itemBits & 1) out |= wp::kAttrArchive;
    if (itemBits & 2) out |= wp::kAttrReadOnly;
    if (itemBits & 4) out |= wp::kAttrHidden;
    if (itemBits & 8) out |= wp::kAttrSystem;
    return out;
}

}  // namespace

LanguageTexts::LanguageTexts(const TIniDocument& data) {
    const std::string code = std::to_string(data.ReadInteger("Control_Info", "LocalID", 1041));
    std::string name = "ResourceString_" + code;
    if (!data.SectionExists(name)) name = data.ReadString("Project", "InstallerModuleKey") + name;
    for (const auto& [key, value] : data.ReadSectionValues(name)) section_.WriteString("T", key, value);
}

std::string LanguageTexts::Text(int id, std::initializer_list<std::string_view> args) const {
    const std::string key = std::to_string(id);
    auto arg = args.begin();
    if (!section_.ValueExists("T", key)) {
        std::string joined;
        for (; arg != args.end(); ++arg) joined += (joined.empty() ? "" : " ") + std::string(*arg);
        return joined;
    }
    const std::string text = section_.ReadString("T", key);
    std::string out;
    for (std::size_t i = 0; i < text.size(); i = sj::NextChar(text, i)) {
        const std::size_t len = sj::CharLength(text, i);
        if (len == 1 && text.compare(i, 2, "%s") == 0 && arg != args.end()) {
            out += *arg++;
            ++i;  // the "s"; NextChar steps over the "%"
        } else if (len == 1 && text.compare(i, 3, "#13") == 0) {
            out += '\n';
            i += 2;
        } else {
            out.append(text, i, len);
        }
    }
    return out;
}

std::string LanguageTexts::Caption(int id) const {
    std::string text = Text(id);
    std::string out;
    for (std::size_t i = 0; i < text.size(); i = sj::NextChar(text, i)) {
        const std::size_t len = sj::CharLength(text, i);
        if (len == 1 && text[i] == '&') continue;
        out.append(text, i, len);
    }
    // "はい(Y)" stays readable without its mark; "(&Y)" became "(Y)".
    return out;
}

InstallPlan MakeInstallPlan(const TIniDocument& data, std::string_view runtimeFolder, zeriru::TBuildMachine& machine) {
    InstallPlan plan;
    plan.title = DecodeProjectText(data.ReadString("Software", "InstallerTitle"));
    plan.softName = DecodeProjectText(data.ReadString("Software", "SoftName"));
    plan.installFolder = zeriru::ExpandInstallPath("%InstallDir%", data, machine);

    const bool folderLayout = data.ValueExists("Project", "InstallSource");
    const std::string dataFolder =
        folderLayout ? wp::JoinPath(runtimeFolder, DecodeProjectText(data.ReadString("Project", "InstallSource")))
                     : std::string(runtimeFolder);

    auto targetFolder = [&](const std::string& define, const std::string& sub) -> std::string {
        const std::string text = sub.empty() ? define : define + "\\" + sub;
        const std::string folder = wp::RemoveBackslash(zeriru::ExpandInstallPath(text, data, machine));
        // A define the machine does not know stays in the text; such a folder is not a path.
        if (folder.empty() || zeriru::FindDefineId(folder) != 0 || !wp::ParsePath(folder) ||
            !wp::IsAbsolutePath(folder)) {
            plan.problems.push_back(text);
            return {};
        }
        return folder;
    };

    auto addRecord = [&](const std::string& record) {
        const int kind = GetItemFieldInt(record, 2, kKindFile);
        if (!zeriru::GetItemFieldBool(record, 1, true)) return;
        if (kind != kKindFile && kind != kKindFolder) return;
        const std::string define = Field(record, 3);
        const std::string sub = Field(record, 4);
        const std::string folder = targetFolder(define, sub);
        if (folder.empty()) return;
        InstallStep step;
        step.target = folder;
        step.attributes = static_cast<std::uint32_t>(GetItemFieldInt(record, 9, 0));
        if (kind == kKindFolder) {
            step.kind = StepKind::Folder;
            plan.steps.push_back(step);
            return;
        }
        const std::string staged = Field(record, 5);
        const std::string wanted = Field(record, 7);
        const std::string name = wanted.empty() ? staged : wanted;
        // Both are plain names: a data file never places a file outside its folders.
        if (!wp::IsValidElement(staged) || !wp::IsValidElement(name)) {
            plan.problems.push_back(staged + (wanted.empty() ? "" : " -> " + wanted));
            return;
        }
        const std::string from =
            folderLayout ? wp::JoinPath(wp::JoinPath(dataFolder, zeriru::DefineFolderName(define, sub)), staged)
                         : wp::JoinPath(dataFolder, staged);
        if (!wp::FileExists(from) || wp::DirectoryExists(from)) {
            plan.problems.push_back(from);
            return;
        }
        step.kind = StepKind::File;
        step.source = from;
        step.target = wp::JoinPath(folder, name);
        step.options = GetItemFieldInt(record, 8, 0);
        plan.steps.push_back(step);
    };

    const std::string itemsSection = data.ReadString("FilesSetting", "UseSection", "Files");
    for (const std::string& record : ReadItems(data, itemsSection)) {
        if (GetItemFieldInt(record, 2, kKindFile) != kKindComponent) {
            addRecord(record);
            continue;
        }
        // A component: its items stand in the section the build named in field 3; bit 0 of
        // field 8 selects it by default, and nobody chooses components here.
        if (!zeriru::GetItemFieldBool(record, 1, true) || (GetItemFieldInt(record, 8, 0) & 1) == 0) continue;
        for (const std::string& entry : ReadItems(data, Field(record, 3))) addRecord(entry);
    }
    return plan;
}

namespace {

class Run {
public:
    Run(const TIniDocument& data, const LanguageTexts& texts, bool silent, Console& console)
        : data_(data), texts_(texts), silent_(silent), console_(console) {}

    bool Ask(std::string_view question, bool fallback) {
        if (silent_) return fallback;
        return console_.Ask(question, fallback);
    }

    // Creates the folder and every missing one above it, remembering those it made.
    bool MakeFolder(const std::string& folder) {
        std::vector<std::string> missing;
        for (std::string at = folder; !at.empty() && !wp::DirectoryExists(at);) {
            missing.push_back(at);
            const std::string up = wp::FolderOf(at);
            if (up == at) break;
            at = up;
        }
        if (!wp::CreateDirectoryTree(folder)) return false;
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) result.folders.push_back(*it);
        return true;
    }

    bool Folder(const InstallStep& step) {
        console_.Line(texts_.Text(text_id::kCreatingFolder, {step.target}));
        if (MakeFolder(step.target)) return true;
        console_.Line(texts_.Text(text_id::kCannotCreateFolder, {step.target}));
        return false;
    }

    bool File(const InstallStep& step) {
        if (step.options & kOptionDoNotCopy) return true;
        const bool exists = wp::FileExists(step.target);
        if (exists && wp::DirectoryExists(step.target)) {
            console_.Line(texts_.Text(text_id::kCannotCopy, {step.target}));
            return false;
        }
        if (exists && (step.options & kOptionSkipExisting)) return true;
        if (exists && (step.options & kOptionAskOverwrite) && !Ask(texts_.Text(text_id::kOverwrite, {step.target}), true))
            return true;
        console_.Line(texts_.Text(text_id::kCopying, {step.target}));
        const std::string folder = wp::FolderOf(step.target);
        if (!MakeFolder(folder)) {
            console_.Line(texts_.Text(text_id::kCannotCreateFolder, {folder}));
            return false;
        }
        if (exists && (wp::GetFileAttributes(step.target) & wp::kAttrReadOnly)) {
            if (!Ask(texts_.Text(text_id::kOverwriteReadOnly, {step.target}), true)) return true;
            wp::SetFileAttributes(step.target, wp::kAttrNormal);
        }
        const std::uint32_t attributes =
            step.attributes == 0 ? zeriru::kKeepSourceAttributes : WindowsAttributes(step.attributes);
        if (!zeriru::CopyFileKeepTime(step.source, step.target, attributes)) {
            console_.Line(texts_.Text(text_id::kCannotCopy, {step.target}));
            return false;
        }
        result.files.push_back(step.target);
        existed_.push_back(exists);
        return true;
    }

    // The uninstall record: what this run installed and which folders it made, in the
    // install folder under the name the uninstall settings choose.
    void WriteRecord(const InstallPlan& plan) {
        if (!data_.ReadBool("Installer", "EnableUninstallSetting", true)) return;
        if (result.files.empty() && result.folders.empty()) return;
        console_.Line(texts_.Text(text_id::kWritingRecord));
        std::string name = kRecordFileName;
        const int method = data_.ReadInteger("UninstallSetting", "InfoFileMethod", 0);
        if (method == 2) {
            const std::string chosen = DecodeProjectText(data_.ReadString("UninstallSetting", "InfoFileName"));
            if (wp::IsValidElement(chosen)) name = chosen;
        } else if (method == 1) {
            name = zeriru::UniqueFileName(plan.installFolder, name);
        }
        const std::string path = wp::JoinPath(plan.installFolder, name);
        if (!MakeFolder(plan.installFolder)) {
            console_.Line(texts_.Text(text_id::kCannotCreateFolder, {plan.installFolder}));
            return;
        }
        TIniDocument record = TIniDocument::OpenWindowsPath(path);
        record.Clear();
        record.WriteString("Install", "SoftName", EncodeProjectText(plan.softName));
        record.WriteString("Install", "ProjectName", data_.ReadString("Project", "ProjectName"));
        record.WriteString("Install", "InstallDir", EncodeProjectText(plan.installFolder));
        char when[32];
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &local);
        record.WriteString("Install", "InstallDateTime", when);
        // Files: path and whether a file of that name was there before (then uninstall
        // must not simply remove it).
        for (std::size_t i = 0; i < result.files.size(); ++i)
            record.WriteString("Files", std::to_string(i),
                               EncodeProjectText(result.files[i]) + "|" + (existed_[i] ? "1" : "0") + "|");
        for (std::size_t i = 0; i < result.folders.size(); ++i)
            record.WriteString("Folders", std::to_string(i), EncodeProjectText(result.folders[i]));
        if (!record.UpdateFile()) {
            console_.Line(texts_.Text(text_id::kCannotCopy, {path}));
            return;
        }
        result.record = path;
        console_.Line(texts_.Text(text_id::kRecordPath, {path}));
    }

    InstallResult result;

private:
    const TIniDocument& data_;
    const LanguageTexts& texts_;
    bool silent_;
    Console& console_;
    std::vector<bool> existed_;
};

}  // namespace

InstallResult Install(std::string_view runtimeFolder, bool silent, Console& console, zeriru::TBuildMachine& machine) {
    const std::string dataPath = wp::JoinPath(runtimeFolder, kDataFileName);
    const TIniDocument data = TIniDocument::OpenWindowsPath(dataPath);
    const LanguageTexts texts(data);
    InstallResult failed;
    if (!wp::FileExists(dataPath) || data.LoadFailed() || !data.SectionExists("Software")) {
        console.Line(texts.Text(text_id::kCannotReadData, {dataPath}));
        failed.exitCode = kExitBadData;
        return failed;
    }
    const InstallPlan plan = MakeInstallPlan(data, runtimeFolder, machine);
    // The installer's title is its window caption; text 0 makes one from the name when it is empty.
    console.Line(plan.title.empty() ? texts.Text(text_id::kTitle, {plan.softName}) : plan.title);
    console.Line(texts.Text(text_id::kWelcome, {plan.softName}));
    if (!plan.problems.empty() || plan.installFolder.empty() || zeriru::FindDefineId(plan.installFolder) != 0) {
        console.Line(texts.Text(text_id::kFilesDamaged));
        for (const std::string& problem : plan.problems) console.Line("  " + problem);
        console.Line(texts.Text(text_id::kStopped, {plan.softName}));
        failed.exitCode = kExitBadData;
        return failed;
    }
    console.Line(texts.Text(text_id::kDestination, {plan.installFolder}));

    Run run(data, texts, silent, console);
    const std::string question = texts.Text(text_id::kReady, {plan.softName}) + " [" + texts.Caption(text_id::kYes) +
                                 "/" + texts.Caption(text_id::kNo) + "]";
    if (!run.Ask(question, true)) {
        console.Line(texts.Text(text_id::kStopped, {plan.softName}));
        run.result.exitCode = kExitCancelled;
        return run.result;
    }
    console.Line(texts.Text(text_id::kInstalling, {plan.softName}));
    bool ok = true;
    for (const InstallStep& step : plan.steps) {
        ok = step.kind == StepKind::Folder ? run.Folder(step) : run.File(step);
        if (!ok) break;
    }
    // Also after a failure: what was installed so far can be removed again.
    run.WriteRecord(plan);
    if (!ok) {
        console.Line(texts.Text(text_id::kStopped, {plan.softName}));
        run.result.exitCode = kExitFailed;
        return run.result;
    }
    console.Line(texts.Text(text_id::kFinished, {plan.softName}));
    return run.result;
}

}  // namespace installer
