// The commands that give a project file its life: create, open (with the checks of where the
// path came from and the password prompt), save under another name, the status save after
// every setting editor, protection by password, the read-only attribute and the initialisation
// of chosen settings; and the state of the main window that follows from the open project.
// Nothing of the project is kept in memory beyond TProjectInfo: every command reads the file,
// changes it and rewrites it before it returns.
#pragma once

#include "zeriru/editor_files.h"
#include "zeriru/editor_settings.h"
#include "zeriru/modules.h"
#include "zeriru/project_file.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

// What the project property dialog edits in its "new" form.
struct ProjectProperties {
    std::string projectName, createFileName, createFolder;
    std::string installSource = std::string(project_default::kInstallSource);
    int projectType = 0;
    int createFileType = 2;
    int createFileCompLevel = 1;
    int createFileNameOption = 0;
    bool createFolderBeforeBackup = true;
    std::string moduleName, moduleKey;
    int languageCode = 1041;
    std::string publisher, corporation, helpLink, helpTelephon, urlInfoAbout, urlUpdateInfo;
    // Output folders used before, offered by the folder field.
    std::vector<std::string> outputFolders;
};

// Where the path of OpenProject came from; the checks differ.
enum class OpenOrigin {
    OpenDialog,
    History,
    CommandLine,  // start of the program, a path given on the command line
    LastProject,  // start of the program, the project remembered at the last exit
};

// Commands of the main window whose enabled state follows from the open project.
enum class Command {
    New, Open, History, SaveAs, Properties, Build, RunInstaller, Initialize, AppInfo, Files, ShortCut,
    Registry, IniFile, Uninstall, InstallerOption, ProcessOrder, Protect, ToggleReadOnly, Options, Help, Exit,
};

// Model of the protection dialog "プロジェクトの保護".
struct ProtectProjectDialogModel {
    bool protect = false;   // "プロジェクトをパスワードで保護する(&C)"
    std::string password;   // shown masked with "*"
    static std::string CheckBoxCaption();
};

// Model of the initialisation dialog: seven settings that can be reset.
class InitializeProjectDialogModel {
public:
    static constexpr int kEntryCount = 7;
    // The entries' captions, in the order of the main window's setting buttons.
    static std::string EntryCaption(int index);

    std::array<bool, kEntryCount> checked{};
    // The OK button: refuses with its message when nothing is ticked, then asks for the
    // confirmation. True when the dialog closes and the initialisation runs.
    bool Ok(Ui& ui) const;
};

// The values the main window shows, refreshed every 500 ms while a project is open.
struct MainWindowState {
    std::string caption;
    // "プロジェクト名", the project name, the create type's name, "ReadOnly" or empty.
    std::array<std::string, 4> statusPanels;
    TCOMMONOSData osData;
    bool projectOpen = false;
    bool readOnly = false;
    bool advancedMode = false;
    bool runInstallerAvailable = false;
    bool protectEnabled = false;
};

// Whether a command is enabled: without a project only new, open, history, options, help and
// exit; a reduced project (type 1) offers only the properties, save as, protection, read-only,
// build, application information and files; the process order needs advanced mode; protection
// is disabled for a read-only project; the installer runs only when the build says it can.
bool CommandEnabled(Command command, const MainWindowState& state, int projectType);

// The create type's name in the status bar ("SelectType", "CopyToFolder", "LHA Sfx", ...).
std::string CreateTypeName(int createFileType);

// Date and time text of CreateDateTime / UpdateDateTime ("2026/12/09 6:05:09").
std::string NowDateTimeText();

class ProjectCommands {
public:
    struct Services {
        Ui& ui;
        EditorSettings& settings;
        const PathMapper& paths;
        // Windows path of the editor's folder, ending with "\".
        std::string editorFolder;
        const ModuleTable& modules;
        // The property dialog in its new form; false when cancelled.
        std::function<bool(ProjectProperties&)> newProjectDialog;
        // The main window's hint dialog (hint index).
        std::function<void(int)> showHint;
        // Whether the command to run the built installer is available for the project.
        std::function<bool(const TProjectInfo&)> runInstallerAvailable;
        // The date and time text written into the project; NowDateTimeText unless replaced.
        std::function<std::string()> now;
    };

    explicit ProjectCommands(Services services);

    const TProjectInfo& project() const { return project_; }
    bool ProjectOpen() const { return !windowsPath_.empty(); }
    // Windows path of the open project; empty when none.
    const std::string& projectPath() const { return windowsPath_; }
    // The file history as stored, most recent first (the menus show the first five).
    const std::vector<std::string>& history() const { return history_; }
    // Captions of the seven setting buttons ("×" once confirmed).
    const std::array<std::string, 7>& buttonCaptions() const { return buttonCaptions_; }
    void SetButtonCaption(int index, std::string caption);

    // "新規作成".
    bool CreateProject();
    // Opens a project; false leaves the previously open project (or none) in place.
    bool OpenProject(std::string_view path, OpenOrigin origin);
    // "開く": the open dialog in the remembered folder, which then remembers the chosen file's
    // folder, and OpenProject with the dialog's checks.
    bool OpenProjectWithDialog();
    // False when the project is protected and the user does not type its password exactly.
    bool CheckProjectPassword(std::string_view path);
    // "名前を付けて保存".
    bool SaveProjectAs();
    // After every setting editor closed with OK and after an initialisation; writes nothing for
    // a read-only project.
    bool SaveProjectStatus();
    // "プロジェクトの保護"; `dialog` shows the filled model and returns true on OK.
    bool ProtectProject(const std::function<bool(ProtectProjectDialogModel&)>& dialog);
    // "読み取り属性の設定/解除".
    bool ToggleReadOnly();
    // "プロジェクトの初期化"; `dialog` returns true when its model's Ok() accepted.
    bool InitializeProject(const std::function<bool(InitializeProjectDialogModel&)>& dialog);
    // "履歴の削除".
    bool ClearHistory();
    // Reads the open project's frame and button marks again after a dialog rewrote them
    // (the property dialogs); no checks, no history change. False when none is open.
    bool ReloadProject();

    // At exit, when the last state is kept: the open project (empty when none) and the window.
    void RememberLastState(bool maximized, int height, int width);

    // The 500 ms refresh: read-only flag, editor mode, caption, target OS cache, run-installer
    // availability, protection command and status bar. Reads, never writes, the project.
    MainWindowState Refresh();
    // The state of the last refresh.
    const MainWindowState& state() const { return state_; }
    bool CommandEnabled(Command command) const;

private:
    std::optional<std::filesystem::path> HostPath(std::string_view windowsPath) const;
    bool PasswordAccepted(const TIniDocument& doc);
    void PutHistoryFirst(std::string_view path);
    void RemoveFromHistory(std::string_view path);
    void ReadButtonCaptions(const TIniDocument& doc);
    std::string Now() const;

    Services s_;
    TProjectInfo project_;
    std::string windowsPath_;
    std::vector<std::string> history_;
    std::array<std::string, 7> buttonCaptions_;
    MainWindowState state_;
};

}  // namespace zeriru
