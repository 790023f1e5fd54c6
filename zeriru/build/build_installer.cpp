#include "zeriru/build_installer.h"

#include "build_state.h"
#include "platform/pathtext.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/build_machine.h"
#include "zeriru/convert_module.h"
#include "zeriru/file_services.h"
#include "zeriru/file_version.h"
#include "zeriru/system_services.h"
#include "zeriru/help_topics.h"
#include "zeriru/main_file_version.h"
#include "zeriru/ui.h"

#include <cstdio>
#include <utility>

namespace zeriru {

namespace wp = platform::winpath;
using platform::sjis::S;

namespace {

std::string Decimal(int value) { return std::to_string(value); }

std::string Two(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value % 100);
    return text;
}

std::string DateText(const std::tm& t) { return std::to_string(t.tm_year + 1900) + Two(t.tm_mon + 1) + Two(t.tm_mday); }
std::string ClockText(const std::tm& t) { return Two(t.tm_hour) + Two(t.tm_min) + Two(t.tm_sec); }

// Replaces the first occurrence of `placeholder` (ASCII, starts with "%", which is never a
// trail byte) ignoring case.
void ReplaceFirst(std::string& text, std::string_view placeholder, std::string_view value) {
    const std::string upper = platform::sjis::ToUpper(text);
    const auto at = upper.find(placeholder);
    if (at == std::string::npos) return;
    text.replace(at, placeholder.size(), value);
}

// The build's clock: SOURCE_DATE_EPOCH's instant (UTC) when it is set, for reproducible
// builds; otherwise the local time.
std::tm BuildClock() {
    std::tm out{};
    if (const std::optional<std::int64_t> epoch = SourceDateEpoch()) {
        const std::time_t t = static_cast<std::time_t>(*epoch);
        gmtime_r(&t, &out);
        return out;
    }
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &out);
    return out;
}

}  // namespace

std::string ItemTarget(std::string_view record) { return FileItemTarget(record); }

std::string TimeStampText(const std::tm& now) { return DateText(now) + "_" + ClockText(now); }

std::optional<std::int64_t> SourceDateEpoch() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (!text || !*text) return std::nullopt;
    std::int64_t value = 0;
    for (const char* c = text; *c; ++c) {
        // Decimal seconds only, up to the year 9999 (what a FILETIME and the clock texts hold).
        if (*c < '0' || *c > '9' || value > 253402300799 / 10) return std::nullopt;
        value = value * 10 + (*c - '0');
    }
    if (value > 253402300799) return std::nullopt;
    return value;
}

std::string ExpandOutputName(std::string_view name, const TIniDocument& project, const std::tm& now) {
    std::string text(name);
    ReplaceFirst(text, "%VER_MAJOR%", Decimal(project.ReadInteger("Software", "MajorVersion", 1)));
    ReplaceFirst(text, "%VER_MINOR%", Decimal(project.ReadInteger("Software", "MinorVersion", 0)));
    ReplaceFirst(text, "%VER_RELEASE%", Decimal(project.ReadInteger("Software", "ReleaseVersion", 0)));
    ReplaceFirst(text, "%VER_BUILD%", Decimal(project.ReadInteger("Software", "BuildVersion", 0)));
    ReplaceFirst(text, "%VER_OTHER%", Decimal(project.ReadInteger("Software", "OtherVersion", 0)));
    ReplaceFirst(text, "%CDATETIME%", TimeStampText(now));
    ReplaceFirst(text, "%CDATE%", DateText(now));
    ReplaceFirst(text, "%CTIME%", ClockText(now));
    return text;
}

std::string OutputBasePath(std::string_view folder, std::string_view name, const TIniDocument& project,
                           const std::tm& now) {
    std::string path = wp::JoinPath(folder, ExpandOutputName(name, project, now));
    switch (project.ReadInteger("Project", "CreateFileNameOption", 0)) {
        case 1: return platform::sjis::ToLower(path);
        case 2: return platform::sjis::ToUpper(path);
        default: return path;
    }
}

std::optional<CreateOptionProblem> CheckCreateOptionChoice(const CreateOptionChoice& choice, TBuildMachine& machine) {
    const int type = choice.createType;
    auto fail = [](std::string message, const char* field) {
        return std::optional<CreateOptionProblem>(CreateOptionProblem{std::move(message), field});
    };
    if (type < kCreateFolder || type > kCreateCab)
        return fail(S("作成するインストールファイルの種類を選択してください。"), "cmbFileType");
    if (type != kCreateFolder) {
        if (choice.outputFileName.empty())
            return fail(S("作成するインストーラファイル名が指定されていません。"), "edtFileName");
        if (IsInvalidFileName(choice.outputFileName, false)) return fail(MsgInvalidFileName(), "edtFileName");
    }
    if (choice.outputFolder.empty()) return fail(S("作成先のフォルダが入力されていません。"), "cmbFolder");
    if (!IsFullFolderPath(choice.outputFolder)) return fail(MsgNotFullFolderPath(), "cmbFolder");
    if (IsProtectedFolder(platform::sjis::ToUpper(wp::RemoveBackslash(choice.outputFolder)), 255, machine))
        return fail(MsgProtectedOutputFolder(), "cmbFolder");
    if (type == kCreateFolder) {
        if (choice.installSource.empty()) return fail(S("インストールソースが入力されていません。"), "edtInstallSource");
        if (IsInvalidFileName(choice.installSource, false)) return fail(MsgInvalidFileName(), "edtInstallSource");
    }
    return std::nullopt;
}

std::optional<std::string> CheckCreateOptions(const CreateOptionChoice& choice, TBuildMachine& machine) {
    std::optional<CreateOptionProblem> problem = CheckCreateOptionChoice(choice, machine);
    if (!problem) return std::nullopt;
    return problem->message;
}

std::string CopyToFolderQuestion(std::string_view folder) {
    return S("フォルダ\r\r") + std::string(folder) + S("\r\rにコピーしますか。\r\r") +
           S("※すでにフォルダが存在する場合すべてのサブフォルダおよびファイルは削除されます。");
}

namespace {

// The installer a build of this project leaves, or empty when its type leaves none to run.
std::string BuiltInstallerPath(const TIniDocument& project, const std::tm& now) {
    const std::string folder = DecodeProjectText(project.ReadString("Project", "CreateFolder"));
    switch (project.ReadInteger("Project", "CreateFileType", 2)) {
        case kCreateFolder: return wp::JoinPath(folder, "install.exe");
        case kCreateLhaSfx:
        case kCreateLha:
        case kCreateCabSfx:
        case kCreateCab:
            return OutputBasePath(folder, DecodeProjectText(project.ReadString("Project", "CreateFileName")), project,
                                  now) +
                   ".exe";
        default: return {};
    }
}

}  // namespace

RunInstallerState RunInstallerAvailable(const TIniDocument& project, const std::tm& now) {
    if (project.ReadInteger("Project", "ProjectType", 0) != 0) return RunInstallerState::Hidden;
    const int type = project.ReadInteger("Project", "CreateFileType", 2);
    if (type != kCreateFolder && type != kCreateLhaSfx && type != kCreateCabSfx) return RunInstallerState::Hidden;
    const std::string path = BuiltInstallerPath(project, now);
    return wp::FileExists(path) && !wp::DirectoryExists(path) ? RunInstallerState::Enabled
                                                               : RunInstallerState::Disabled;
}

bool RunInstaller(Ui& ui, const TIniDocument& project, const std::tm& now,
                  const std::function<bool(const std::string&)>& open) {
    if (!ui.AskYesNo(S("インストーラを実行しますか。"))) return false;
    const std::string path = BuiltInstallerPath(project, now);
    if (path.empty()) return false;
    if (open) return open(path);
    return OpenWithShell(path, {}, wp::FolderOf(path));
}

TBuilder::TBuilder(Environment environment) : env_(std::move(environment)) {
    if (!env_.clock) env_.clock = BuildClock;
    if (!env_.startProgram) {
        env_.startProgram = [](const std::string& program, const std::string& parameters) {
            return platform::shell::OpenWithShell(program, parameters, wp::FolderOf(program)).started;
        };
    }
    if (!env_.freeSpace) env_.freeSpace = [](const std::string& folder) { return FreeSpaceOfDrive(folder); };
    if (!env_.openWithShell) {
        env_.openWithShell = [](const std::string& path) {
            const std::string folder = wp::DirectoryExists(path) ? std::string() : std::string(wp::FolderOf(path));
            return OpenWithShell(path, {}, folder);
        };
    }
}

void TBuilder::Progress(std::string text) {
    BuildMessage m;
    m.text = std::move(text);
    messages_.push_back(m);
    if (env_.onMessage) env_.onMessage(messages_.back());
    env_.ui->ProcessMessages();
}

void TBuilder::Error(int code, int topic, std::string text) {
    BuildMessage m;
    m.kind = BuildEntryKind::Error;
    m.text = std::move(text);
    m.code = code;
    m.helpTopic = topic;
    m.box = env_.options.showErrorMessage;
    ++result_.warnings;
    code_ = code;
    messages_.push_back(m);
    if (env_.onMessage) env_.onMessage(messages_.back());
    if (m.box) env_.ui->ShowMessage(m.text, MessageButtons::Ok, MessageIcon::Error);
}

void TBuilder::Hint(int topic, bool box, std::string text) {
    BuildMessage m;
    m.kind = BuildEntryKind::Hint;
    m.text = std::move(text);
    m.helpTopic = topic;
    m.box = box && env_.options.showErrorMessage;
    ++result_.hints;
    code_ = 0;
    messages_.push_back(m);
    if (env_.onMessage) env_.onMessage(messages_.back());
    if (m.box) env_.ui->ShowMessage(m.text, MessageButtons::Ok, MessageIcon::Information);
}

bool TBuilder::CheckAbort() {
    env_.ui->ProcessMessages();
    if (env_.pollAbort && env_.pollAbort()) abort_ = true;
    if (!abort_) return false;
    ++result_.warnings;
    return true;
}

void TBuilder::Pump() { env_.ui->ProcessMessages(); }

void TBuilder::Prepare(State& s, const BuildRequest& request, bool copyMode) {
    result_ = BuildResult{};
    s.request = request;
    s.copyMode = copyMode;
    s.out = wp::RemoveBackslash(request.outputFolder);
    s.work = env_.editorFolder + "Temporary";
    s.runtime = copyMode ? s.out : s.work;
    s.data = copyMode ? wp::JoinPath(s.out, request.installSource) : s.work;
    s.installDat = wp::JoinPath(s.runtime, kInstallerDataName);
}

BuildResult TBuilder::RunBuild(const BuildRequest& request, bool copyMode) {
    State s;
    Prepare(s, request, copyMode);
    ReadProject(s);
    if (CheckOutputTarget(s)) RunSteps(s);
    return result_;
}

void TBuilder::RunSteps(State& s) {
    PrepareFolders(s);
    if (Ok()) CheckProject(s);
    if (Ok()) ConvertInstallerModule(s);
    if (Ok()) CopyLogo(s);
    if (Ok()) CreateDirectivePlaceholder(s);
    if (Ok()) CheckFiles(s);
    if (Ok()) CheckDiskSpace(s);
    PrepareInstallerData(s);
    EditInstallerData(s);
    FinishOutput(s);
}

bool TBuilder::UpdateVersionFromMainFile(const std::string& projectFile) {
    Progress(S("メインファイルのバージョンを取得しています。"));
    TIniDocument project = TIniDocument::OpenWindowsPath(projectFile);
    const std::string mainFile = DecodeProjectText(project.ReadString("Software", "MainFileName"));
    std::vector<std::string> items = ReadItemsUntilGap(project, ItemsSectionName(project, "FilesSetting", "Files"));
    if (items.size() > static_cast<std::size_t>(kMaxFileItems)) items.resize(static_cast<std::size_t>(kMaxFileItems));
    const MainFileVersion found = FindMainFileVersion(items, mainFile, NameComparison::Exact);
    if (found.result != MainFileVersionResult::Found) {
        Progress(MainFileVersionMessage(found.result));
        return false;
    }
    project.WriteInteger("Software", "MajorVersion", found.version.major);
    project.WriteInteger("Software", "MinorVersion", found.version.minor);
    project.WriteInteger("Software", "ReleaseVersion", found.version.release);
    project.WriteInteger("Software", "BuildVersion", found.version.build);
    return project.UpdateFile();
}

std::optional<BuildRequest> TBuilder::ChooseRequest(const BuildRequest& given) {
    BuildRequest request = given;
    if (request.createType != kCreateAsk) return request;
    CreateOptionChoice initial;
    initial.outputFolder = request.outputFolder;
    initial.outputFileName = request.outputFileName;
    initial.installSource = request.installSource;
    initial.createType = kCreateAsk;
    const std::optional<CreateOptionChoice> choice =
        env_.chooseCreateOption ? env_.chooseCreateOption(initial) : std::nullopt;
    if (!choice) return std::nullopt;
    if (choice->createType != kCreateFolder && env_.showHint) env_.showHint(0);
    request.outputFolder = wp::RemoveBackslash(choice->outputFolder);
    request.outputFileName = choice->outputFileName;
    request.installSource = choice->installSource;
    request.createType = choice->createType;
    if (choice->useNextTime) {
        TIniDocument project = TIniDocument::OpenWindowsPath(request.projectFile);
        project.WriteString("Project", "InstallSource", EncodeProjectText(request.installSource));
        project.WriteString("Project", "CreateFolder", EncodeProjectText(request.outputFolder));
        project.WriteString("Project", "CreateFileName", EncodeProjectText(request.outputFileName));
        project.WriteInteger("Project", "CreateFileType", request.createType);
        project.UpdateFile();
    }
    return request;
}

bool TBuilder::BuildInstaller(const BuildRequest& given) {
    messages_.clear();
    abort_ = false;
    code_ = 0;
    Ui& ui = *env_.ui;
    const std::optional<BuildRequest> chosen = ChooseRequest(given);
    if (!chosen) return false;
    const BuildRequest& request = *chosen;
    if (env_.options.autoUpdateVersion &&
        (wp::GetFileAttributes(request.projectFile) & wp::kAttrReadOnly) == 0)
        UpdateVersionFromMainFile(request.projectFile);
    const bool copyMode = request.createType == kCreateFolder;
    State s;
    Prepare(s, request, copyMode);
    ReadProject(s);
    // A folder the build must not empty is refused before the question, the backup or the
    // build could touch it.
    if (CheckOutputTarget(s)) {
        if (copyMode) {
            if (ui.AskYesNoHelp(CopyToFolderQuestion(request.outputFolder), help_topic::kCopyToFolder) != Answer::Yes)
                return false;
            if (request.backup && wp::DirectoryExists(s.out)) {
                Progress(S("既存のフォルダのバックアップを行っています。"));
                const std::string backup = wp::JoinPath(
                    wp::JoinPath(wp::FolderOf(request.projectFile), request.projectName), TimeStampText(env_.clock()));
                CopyFolderTree(s.out, backup, [this] { Pump(); });
            }
        }
        RunSteps(s);
    }
    Summarize(request);
    return true;
}

void TBuilder::Summarize(const BuildRequest& request) {
    const auto complete = [&](const char* text) {
        Progress(S(text));
        if (env_.options.completeMessage) env_.ui->Inform(S(text));
    };
    if (result_.warnings == 0) {
        complete("処理は正常に終了しました。");
        if (env_.options.executeInstaller)
            RunInstaller(*env_.ui, TIniDocument::OpenWindowsPath(request.projectFile), env_.clock(), env_.openWithShell);
        if (env_.options.openFolder) env_.openWithShell(request.outputFolder);
    } else if (abort_) {
        complete("指示により中止しました。");
    } else {
        complete("インストーラの作成に失敗しました。");
    }
    Progress(S("総警告数  : ") + std::to_string(result_.warnings));
    Progress(S("総ヒント数: ") + std::to_string(result_.hints));
    abort_ = false;
}

}  // namespace zeriru
