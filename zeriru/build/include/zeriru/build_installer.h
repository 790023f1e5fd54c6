// The installer build: checks the open project, stages the installer module, its data file
// INSTALL.DAT and every file to install, and leaves the staging folder as the result or packs
// it into an LHA or CAB archive or self-extractor. Every text is Shift-JIS; every path a
// Windows path.
#pragma once

#include "zeriru/editor_settings.h"
#include "zeriru/project_file.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;
class TBuildMachine;
class ArchiveHost;
class TArchiveControl;

// Create types of [Project] CreateFileType.
enum CreateType : int {
    kCreateAsk = 0,
    kCreateFolder = 1,
    kCreateLhaSfx = 2,
    kCreateLha = 3,
    kCreateCabSfx = 4,
    kCreateCab = 5,
};

enum class BuildEntryKind { Progress, Error, Hint };

// One line of the message list.
struct BuildMessage {
    BuildEntryKind kind = BuildEntryKind::Progress;
    std::string text;
    int code = 0;       // errors only
    int helpTopic = 0;  // above 0: a topic of the help file
    bool box = false;   // also shown in a message box
};

// What one build makes, and where.
struct BuildRequest {
    std::string projectFile;     // Windows path of the .PJ2
    std::string projectName;     // decoded
    std::string outputFolder;    // without a trailing "\"
    std::string outputFileName;  // with placeholders
    int createType = kCreateFolder;
    bool backup = false;
    std::string installSource = "Files";
};

// The create-option dialog ("インストーラファイル作成オプション") of a project whose create type is
// 0: what it is filled with and what it returns on OK.
struct CreateOptionChoice {
    std::string outputFolder;
    std::string outputFileName;
    std::string installSource;
    int createType = kCreateAsk;
    bool useNextTime = false;  // "次回からこの設定を使用する(&D)"
};
// A refused choice: the message and the object name of the control it concerns ("cmbFileType",
// "edtFileName", "cmbFolder" or "edtInstallSource").
struct CreateOptionProblem {
    std::string message;
    std::string field;
};
// The dialog's OK check: the first failing step, nullopt when the choice is accepted.
std::optional<CreateOptionProblem> CheckCreateOptionChoice(const CreateOptionChoice& choice, TBuildMachine& machine);
// The message of CheckCreateOptionChoice alone.
std::optional<std::string> CheckCreateOptions(const CreateOptionChoice& choice, TBuildMachine& machine);

struct BuildResult {
    int warnings = 0;
    int hints = 0;
    std::uint64_t totalSize = 0;  // bytes of the installed files
};

// Placeholders of the output name, each replaced at its first occurrence ignoring case.
std::string ExpandOutputName(std::string_view name, const TIniDocument& project, const std::tm& now);
// "<folder>\<name>" with the name expanded and CreateFileNameOption (1 lower, 2 upper case)
// applied; no extension.
std::string OutputBasePath(std::string_view folder, std::string_view name, const TIniDocument& project,
                           const std::tm& now);
// yyyymmdd_hhnnss.
std::string TimeStampText(const std::tm& now);

class TBuilder {
public:
    struct Environment {
        Ui* ui = nullptr;
        TBuildMachine* machine = nullptr;
        EditorOptions options;
        // The editor's folder, Windows path ending with "\": Module\, Temporary, ROZIVU.EXE.
        std::string editorFolder;
        // Needed by the archive types; the build fails with error 10 without it.
        const ArchiveHost* archiveHost = nullptr;
        // Local time; the system clock unless replaced.
        std::function<std::tm()> clock;
        // Starts a program without waiting (ROZIVU); the shell unless replaced.
        std::function<bool(const std::string& program, const std::string& parameters)> startProgram;
        // Sees every message-list line as it is added.
        std::function<void(const BuildMessage&)> onMessage;
        // Called before every item of every loop; returning true sets the abort flag.
        std::function<bool()> pollAbort;
        // Shows the create-option dialog filled with `initial` (and the remembered output
        // folders, which the dialog reads and updates itself); nullopt for Cancel. Without it a
        // project of create type 0 cannot be built.
        std::function<std::optional<CreateOptionChoice>(const CreateOptionChoice& initial)> chooseCreateOption;
        // The hint dialog of the main window (hint index); hint 0 follows the choice of an
        // archive type in the create-option dialog.
        std::function<void(int index)> showHint;
        // Free bytes of the drive of a folder (the disk-space check); FreeSpaceOfDrive unless
        // replaced.
        std::function<std::uint64_t(const std::string& folder)> freeSpace;
        // Opens the built installer or the output folder after a build (ExecuteInstaller,
        // OpenFolder); the shell unless replaced.
        std::function<bool(const std::string& path)> openWithShell;
    };

    explicit TBuilder(Environment environment);

    // The command: asks for the copy to a folder, runs the core and adds the summary. False when
    // the user declined (nothing was built, nothing listed). An output folder or name the build
    // refuses is listed as an error before anything is asked, backed up or deleted.
    bool BuildInstaller(const BuildRequest& request);
    // The core: output checks, folders, project checks, module conversion, staging,
    // INSTALL.DAT, archives.
    BuildResult RunBuild(const BuildRequest& request, bool copyMode);
    // [Software] MajorVersion .. BuildVersion from the version resource of the main file, saved
    // in the project; each outcome is a progress line. True when the versions were written.
    bool UpdateVersionFromMainFile(const std::string& projectFile);

    // Sets the abort flag ("中止"); loops stop at their next item.
    void Abort() { abort_ = true; }
    bool Aborted() const { return abort_; }

    const std::vector<BuildMessage>& Messages() const { return messages_; }
    // The code of the last error, 0 after a hint or when there was none.
    int Code() const { return code_; }
    const BuildResult& Result() const { return result_; }

    // What one build knows between its steps (defined with the build's sources).
    struct State;

private:

    void Progress(std::string text);
    void Error(int code, int topic, std::string text);
    void Hint(int topic, bool box, std::string text);
    bool CheckAbort();
    bool Ok() const { return result_.warnings == 0; }
    void Pump();
    std::optional<BuildRequest> ChooseRequest(const BuildRequest& given);
    void Summarize(const BuildRequest& request);

    // The steps of the core, in the order they run. Each lists its own progress and errors;
    // RunSteps decides which run after an error.
    void Prepare(State& s, const BuildRequest& request, bool copyMode);
    void ReadProject(State& s);
    bool CheckOutputTarget(State& s);
    bool CheckOutputFolder(State& s);
    bool CheckOutputName(State& s);
    void RunSteps(State& s);
    void PrepareFolders(State& s);
    void CheckProject(State& s);
    void CheckItemTargets(State& s);
    bool CheckItemTarget(std::string_view record);
    void ConvertInstallerModule(State& s);
    void CopyLogo(State& s);
    void CreateDirectivePlaceholder(State& s);
    void CheckFiles(State& s);
    bool CheckFileItem(State& s, std::size_t index);
    bool CheckComponentFile(State& s, std::size_t index);
    std::optional<std::uint64_t> CheckDataFile(const std::string& source, bool component);
    void CheckDiskSpace(State& s);
    // Steps of the installer's data file: staging runs as one block after clean checks; the
    // data file is written, without editor keys and with staged items only, on every path.
    void PrepareInstallerData(State& s);
    void StageScreenFiles(State& s);
    bool StageScreenFile(State& s, std::string_view key, const char* preparing, const char* done);
    void StageFiles(State& s);
    void StageComponentFile(State& s, std::string& record);
    bool StageFile(State& s, std::string& record, bool component);
    std::string UniqueNameIn(State& s, const std::string& folder, const std::string& name);
    void WriteInstallerData(State& s, bool staged);
    void EditInstallerData(State& s);
    void FinishOutput(State& s);
    void RemoveOldOutputs(const std::string& archive, const std::string& exe, bool sfx);
    void WriteDirectiveFile(State& s, const std::string& stamp);
    bool PackWorkFolder(State& s, TArchiveControl& control, const std::string& archive);
    void MakeSelfExtractor(State& s, TArchiveControl& control, const std::string& archive, const std::string& exe,
                           const std::string& stamp);

    Environment env_;
    std::vector<BuildMessage> messages_;
    BuildResult result_;
    int code_ = 0;
    bool abort_ = false;
};

// State of the command "インストーラの起動" for the open project.
enum class RunInstallerState { Hidden, Disabled, Enabled };
// Project type 0 with create type 1: enabled when <CreateFolder>\Install.exe exists; create
// types 2 and 4: when <CreateFolder>\<output name>.exe exists (time placeholders at `now`);
// hidden otherwise.
RunInstallerState RunInstallerAvailable(const TIniDocument& project, const std::tm& now);
// "インストーラの起動": asks, then opens the built installer with `open` (the shell unless
// given). False when nothing was opened.
bool RunInstaller(Ui& ui, const TIniDocument& project, const std::tm& now,
                  const std::function<bool(const std::string&)>& open = {});

// The copy-to-folder question for an output folder.
std::string CopyToFolderQuestion(std::string_view folder);

}  // namespace zeriru
