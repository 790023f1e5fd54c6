// Model of the main window TMainForm, without widgets: the commands with their captions,
// enabled and visible states, the file history menu, the start-up and shut-down rules, the
// build bound to the message list, the help menu's confirmations, the update check and the
// setting editors. The window binds one QAction to each Action and asks this model for
// everything it shows.
#pragma once

#include "zeriru/build_installer.h"
#include "zeriru/editor_environment.h"
#include "zeriru/hint_dialog.h"
#include "zeriru/project_commands.h"
#include "zeriru/project_properties.h"
#include "zeriru/setting_editor.h"
#include "zeriru/update_check.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeriru {

// Every command of the menus, the toolbar and the settings page.
enum class Action {
    New, Open, SaveAs, Properties, ClearHistory, Exit,
    Build, RunInstaller, Initialize,
    AppInfo, Files, ShortCut, Registry, IniFile, Uninstall, InstallerOption, ProcessOrder,
    Protect, ToggleReadOnly, Options,
    HelpContents, HomePage, SupportPage, ReportPage, CheckUpdate, About,
    Abort,
};
inline constexpr int kActionCount = static_cast<int>(Action::Abort) + 1;

struct ActionState {
    bool enabled = false;
    bool visible = true;
};

// Addresses of the maker's pages and of the default update information.
namespace web {
inline constexpr const char* kHomePage = "http://www.zuzoruve.example/";
inline constexpr const char* kSupportPage = "http://www.zuzoruve.example/support/";
inline constexpr const char* kReportPage = "http://www.zuzoruve.example/report/";
}  // namespace web

class MainWindowModel {
public:
    // What the model cannot do itself: the dialogs of other windows and the shell.
    struct Hooks {
        // The project property dialog over its model, in the "new" form or for the open
        // project; true when it was closed with OK (the model then holds what to store).
        std::function<bool(ProjectPropertiesDialogModel&)> propertiesDialog;
        // The create-option dialog of a build of create type 0 over its model; true for OK.
        std::function<bool(CreateOptionDialogModel&)> createOptionDialog;
        // The hint dialog.
        std::function<void(HintDialogModel&)> hintDialog;
        // Opens an address in the browser.
        std::function<bool(const std::string&)> openUrl;
        // The editor of a setting; null runs nothing.
        SettingEditorFactory settingEditors;
    };

    // What the window shows of a build while it runs.
    struct BuildView {
        std::function<void(const BuildMessage&)> onMessage;
        // Called when the build starts and ends (page switching, progress bar).
        std::function<void()> onStart;
        std::function<void(bool succeeded)> onFinish;
    };

    MainWindowModel(Ui& ui, EditorEnvironment& environment, Hooks hooks);

    ProjectCommands& commands() { return commands_; }
    const ProjectCommands& commands() const { return commands_; }
    HintGate& hints() { return hints_; }
    EditorEnvironment& environment() { return environment_; }

    // ---- what the window shows ----
    // Reads the project's state (the 500 ms timer): read-only flag, mode, caption, run-installer
    // availability, protection and status bar. Never writes.
    void Refresh();
    const MainWindowState& state() const { return commands_.state(); }
    ActionState StateOf(Action action) const;
    // The caption of the build command, which follows the create type.
    std::string BuildCaption() const;
    // The history entries of the menus (at most five).
    std::vector<std::string> HistoryMenu() const;
    // The setting buttons' captions ("×" once confirmed).
    const std::array<std::string, 7>& ButtonCaptions() const { return commands_.buttonCaptions(); }
    bool building() const { return building_; }

    // ---- start and end ----
    // The project a window start opens: the file named by the first argument (a missing one
    // is reported), or without arguments the one open at the last exit when the last state is
    // kept. False when nothing was opened.
    bool OpenStartProject(const std::vector<std::string>& args);
    // The window size to restore at start when the last state is kept; nullopt: leave it.
    struct WindowSize {
        bool maximized = false;
        int width = 0, height = 0;
    };
    std::optional<WindowSize> StartWindowSize() const;
    // Shut-down: remembers the last project and the window size when the last state is kept.
    void Shutdown(bool maximized, int width, int height);

    // ---- commands ----
    bool NewProject();
    bool OpenProjectWithDialog();
    bool OpenHistoryEntry(int index);
    bool ClearHistory();
    bool SaveAs();
    // "プロパティ(&P)": the property dialog on the open project; after OK the properties are
    // written (hint 0 first for an archive type), the file saved and TProjectInfo read again.
    bool Properties();
    // "インストールファイルの作成": runs the build with the message list bound to `view`.
    // False when nothing was built (cancelled, declined or no project).
    bool Build(const BuildView& view);
    // "中止".
    void Abort() { abortRequested_ = true; }
    bool RunInstaller();
    EditOutcome EditSetting(SettingEditorKind kind);
    // The help menu's pages: asks, then opens the address.
    bool OpenWebPage(Action which);
    // A double click on a message row.
    void OpenMessageHelp(int helpTopic);
    // From the help menu; Opened means the editor is to end.
    UpdateCheckOutcome CheckUpdateFromMenu(
        const std::function<std::optional<UpdateInformation>()>& fetch);
    // Start-up with CheckUpdate on: reports a newer version only.
    UpdateCheckOutcome ReportStartupUpdate(const std::optional<UpdateInformation>& information);
    bool CheckUpdateAtStartup() const;
    // ShowHintMessage of the main window.
    bool ShowHint(int index, bool allowSuppress);

private:
    BuildRequest RequestFromProject() const;
    ProjectPropertiesDialogModel::Services PropertiesServices();
    // The property dialog in its "new" form for CreateProject.
    bool NewProjectDialog(ProjectProperties& properties);
    // The create-option dialog for a build.
    std::optional<CreateOptionChoice> ChooseCreateOption(const CreateOptionChoice& initial);

    Ui& ui_;
    EditorEnvironment& environment_;
    Hooks hooks_;
    HintGate hints_;
    ProjectCommands commands_;
    RunInstallerState runInstaller_ = RunInstallerState::Hidden;
    bool building_ = false;
    bool abortRequested_ = false;
};

// Text of a message-list row's hidden "エラーID" column: the help topic.
std::string MessageHelpColumn(const BuildMessage& message);

}  // namespace zeriru
