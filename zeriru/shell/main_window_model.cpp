#include "zeriru/main_window_model.h"

#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/ui.h"

#include <ctime>

namespace zeriru {

namespace sjis = platform::sjis;
namespace wp = platform::winpath;

namespace {

std::tm LocalTimeNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

std::string Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return std::string(text.substr(b, e - b));
}

// The command whose enabled state a project-bound action follows.
std::optional<Command> ProjectCommandOf(Action action) {
    switch (action) {
    case Action::New: return Command::New;
    case Action::Open: return Command::Open;
    case Action::SaveAs: return Command::SaveAs;
    case Action::Properties: return Command::Properties;
    case Action::ClearHistory: return Command::History;
    case Action::Exit: return Command::Exit;
    case Action::Build: return Command::Build;
    case Action::RunInstaller: return Command::RunInstaller;
    case Action::Initialize: return Command::Initialize;
    case Action::AppInfo: return Command::AppInfo;
    case Action::Files: return Command::Files;
    case Action::ShortCut: return Command::ShortCut;
    case Action::Registry: return Command::Registry;
    case Action::IniFile: return Command::IniFile;
    case Action::Uninstall: return Command::Uninstall;
    case Action::InstallerOption: return Command::InstallerOption;
    case Action::ProcessOrder: return Command::ProcessOrder;
    case Action::Protect: return Command::Protect;
    case Action::ToggleReadOnly: return Command::ToggleReadOnly;
    case Action::Options: return Command::Options;
    default: return std::nullopt;
    }
}

}  // namespace

std::string MessageHelpColumn(const BuildMessage& message) {
    return message.kind == BuildEntryKind::Progress ? std::string() : std::to_string(message.helpTopic);
}

MainWindowModel::MainWindowModel(Ui& ui, EditorEnvironment& environment, Hooks hooks)
    : ui_(ui),
      environment_(environment),
      hooks_(std::move(hooks)),
      hints_(environment.settings()),
      commands_(ProjectCommands::Services{
          ui, environment.settings(), environment.paths(), environment.editorFolder(), environment.modules(),
          [this](ProjectProperties& properties) { return NewProjectDialog(properties); },
          [this](int index) { ShowHint(index, true); },
          [this](const TProjectInfo& project) {
              runInstaller_ = RunInstallerAvailable(TIniDocument(project.projectFilePath), LocalTimeNow());
              return runInstaller_ == RunInstallerState::Enabled;
          },
          {}}) {
    commands_.Refresh();
}

void MainWindowModel::Refresh() {
    if (!commands_.ProjectOpen()) runInstaller_ = RunInstallerState::Hidden;
    commands_.Refresh();
}

ActionState MainWindowModel::StateOf(Action action) const {
    ActionState s;
    switch (action) {
    case Action::HelpContents:
    case Action::HomePage:
    case Action::SupportPage:
    case Action::ReportPage:
    case Action::CheckUpdate:
    case Action::About:
        s.enabled = true;
        return s;
    case Action::Abort:
        s.enabled = building_;
        return s;
    default:
        break;
    }
    if (action == Action::ProcessOrder) s.visible = state().advancedMode;
    if (action == Action::RunInstaller) s.visible = state().projectOpen && runInstaller_ != RunInstallerState::Hidden;
    if (building_) return s;
    const std::optional<Command> command = ProjectCommandOf(action);
    s.enabled = command && commands_.CommandEnabled(*command);
    if (action == Action::ClearHistory) s.enabled = s.enabled && !commands_.history().empty();
    return s;
}

std::string MainWindowModel::BuildCaption() const {
    const int type = commands_.ProjectOpen() ? commands_.project().createFileType : kCreateAsk;
    if (type == kCreateFolder) return sjis::S("指定されたフォルダへコピーする(&C)");
    if (type == kCreateLha || type == kCreateCab) return sjis::S("圧縮ファイルの作成(&C)");
    return sjis::S("インストールファイルの作成(&C)");
}

std::vector<std::string> MainWindowModel::HistoryMenu() const {
    std::vector<std::string> entries = commands_.history();
    if (entries.size() > kHistoryEntries) entries.resize(kHistoryEntries);
    return entries;
}

bool MainWindowModel::OpenStartProject(const std::vector<std::string>& args) {
    if (!args.empty()) {
        const std::string given = Trim(args[0]);
        const std::string path = sjis::FromUtf8(wp::FromCommandLine(given));
        if (path.empty() || !wp::FileExists(path) || wp::DirectoryExists(path)) {
            ui_.ShowMessage(sjis::S("指定のファイルは存在しません。\r\rファイル名:\r") + sjis::FromUtf8(given));
            return false;
        }
        return commands_.OpenProject(path, OpenOrigin::CommandLine);
    }
    const EditorOptions options = environment_.settings().ReadOptions();
    if (!options.saveLastState) return false;
    const std::string last = environment_.settings().LastProject();
    return !last.empty() && commands_.OpenProject(last, OpenOrigin::LastProject);
}

std::optional<MainWindowModel::WindowSize> MainWindowModel::StartWindowSize() const {
    const EditorOptions options = environment_.settings().ReadOptions();
    if (!options.saveLastState) return std::nullopt;
    if (options.maxWindowSize) return WindowSize{true, 0, 0};
    if (options.windowSizeHeight > 0 && options.windowSizeWidth > 0)
        return WindowSize{false, options.windowSizeWidth, options.windowSizeHeight};
    return std::nullopt;
}

void MainWindowModel::Shutdown(bool maximized, int width, int height) {
    commands_.RememberLastState(maximized, height, width);
}

bool MainWindowModel::NewProject() {
    if (building_) return false;
    return commands_.CreateProject();
}

bool MainWindowModel::OpenProjectWithDialog() { return !building_ && commands_.OpenProjectWithDialog(); }

bool MainWindowModel::OpenHistoryEntry(int index) {
    const std::vector<std::string> entries = HistoryMenu();
    if (building_ || index < 0 || index >= static_cast<int>(entries.size())) return false;
    return commands_.OpenProject(entries[static_cast<std::size_t>(index)], OpenOrigin::History);
}

bool MainWindowModel::ClearHistory() { return !building_ && commands_.ClearHistory(); }

bool MainWindowModel::SaveAs() { return StateOf(Action::SaveAs).enabled && commands_.SaveProjectAs(); }

ProjectPropertiesDialogModel::Services MainWindowModel::PropertiesServices() {
    return {ui_,
            environment_.settings(),
            environment_.machine(),
            environment_.modules(),
            environment_.hostEditorFolder(),
            [this](int index) { ShowHint(index, true); },
            {}};
}

bool MainWindowModel::NewProjectDialog(ProjectProperties& properties) {
    if (!hooks_.propertiesDialog) return false;
    hints_.Disable();
    ProjectPropertiesDialogModel model(PropertiesServices(), properties);
    hints_.Enable();
    if (!hooks_.propertiesDialog(model)) return false;
    std::vector<std::string> folders = std::move(properties.outputFolders);
    properties = model.values();
    properties.outputFolders = std::move(folders);
    return true;
}

bool MainWindowModel::Properties() {
    if (!StateOf(Action::Properties).enabled || !hooks_.propertiesDialog) return false;
    const std::filesystem::path path = commands_.project().projectFilePath;
    const bool readOnly = IsReadOnlyFile(path);
    TIniDocument project(path);
    if (project.LoadFailed()) {
        ui_.Error(sjis::S("プロジェクトファイルを読み込めませんでした。"));
        return false;
    }
    hints_.Disable();
    ProjectPropertiesDialogModel model(PropertiesServices(), project, commands_.project(), readOnly);
    hints_.Enable();
    if (!hooks_.propertiesDialog(model) || readOnly) return false;
    if (model.ArchiveHintDue()) ShowHint(0, true);
    model.WriteTo(project);
    if (!project.UpdateFile()) {
        ui_.Error(sjis::S("プロジェクトファイルの保存に失敗しました。"));
        return false;
    }
    commands_.ReloadProject();
    Refresh();
    return true;
}

std::optional<CreateOptionChoice> MainWindowModel::ChooseCreateOption(const CreateOptionChoice& initial) {
    if (!hooks_.createOptionDialog) return std::nullopt;
    CreateOptionDialogModel model(initial, IsReadOnlyFile(commands_.project().projectFilePath),
                                  environment_.settings(), environment_.machine());
    if (!hooks_.createOptionDialog(model)) return std::nullopt;
    return model.choice();
}

BuildRequest MainWindowModel::RequestFromProject() const {
    const TProjectInfo& info = commands_.project();
    BuildRequest request;
    request.projectFile = commands_.projectPath();
    request.projectName = info.projectName;
    request.outputFolder = info.createFolder;
    request.outputFileName = info.createFileName;
    request.createType = info.createFileType;
    request.backup = info.createFolderBeforeBackup;
    request.installSource = info.installSource;
    return request;
}

bool MainWindowModel::Build(const BuildView& view) {
    if (!StateOf(Action::Build).enabled) return false;
    TBuilder::Environment env = environment_.BuildEnvironment(ui_);
    env.onMessage = view.onMessage;
    env.pollAbort = [this] { return abortRequested_; };
    env.chooseCreateOption = [this](const CreateOptionChoice& initial) { return ChooseCreateOption(initial); };
    env.showHint = [this](int index) { ShowHint(index, true); };
    abortRequested_ = false;
    building_ = true;
    if (view.onStart) view.onStart();
    TBuilder builder(env);
    const bool built = builder.BuildInstaller(RequestFromProject());
    building_ = false;
    abortRequested_ = false;
    // The create-option dialog may have stored a new output folder and type in the project.
    commands_.ReloadProject();
    Refresh();
    if (view.onFinish) view.onFinish(builder.Result().warnings == 0);
    return built;
}

bool MainWindowModel::RunInstaller() {
    if (!StateOf(Action::RunInstaller).enabled) return false;
    return zeriru::RunInstaller(ui_, TIniDocument(commands_.project().projectFilePath), LocalTimeNow());
}

EditOutcome MainWindowModel::EditSetting(SettingEditorKind kind) {
    if (building_ || !hooks_.settingEditors) return EditOutcome::Failed;
    SettingEditorContext context{ui_, environment_, commands_.project(),
                                 [this](int index, bool allow) { ShowHint(index, allow); }};
    std::unique_ptr<SettingEditor> editor = hooks_.settingEditors(kind, context);
    if (!editor) return EditOutcome::Failed;
    const EditOutcome outcome = RunSettingEditor(kind, *editor, commands_, hints_, ui_);
    Refresh();
    return outcome;
}

bool MainWindowModel::OpenWebPage(Action which) {
    const char* question = nullptr;
    const char* address = nullptr;
    switch (which) {
    case Action::HomePage:
        question = "ホームページに接続しますか。";
        address = web::kHomePage;
        break;
    case Action::SupportPage:
        question = "サポートページに接続しますか。";
        address = web::kSupportPage;
        break;
    case Action::ReportPage:
        question = "報告用ページに接続しますか？";
        address = web::kReportPage;
        break;
    default:
        return false;
    }
    if (!ui_.AskYesNo(sjis::S(question))) return false;
    return hooks_.openUrl && hooks_.openUrl(address);
}

void MainWindowModel::OpenMessageHelp(int helpTopic) {
    if (helpTopic > 0) ui_.ShowHelp(helpTopic);
}

UpdateCheckOutcome MainWindowModel::CheckUpdateFromMenu(
    const std::function<std::optional<UpdateInformation>()>& fetch) {
    std::optional<UpdateInformation> information;
    {
        BusyCursor busy(ui_);
        information = fetch();
    }
    return ReportUpdateInformation(ui_, information, true, hooks_.openUrl);
}

UpdateCheckOutcome MainWindowModel::ReportStartupUpdate(const std::optional<UpdateInformation>& information) {
    return ReportUpdateInformation(ui_, information, false, hooks_.openUrl);
}

bool MainWindowModel::CheckUpdateAtStartup() const { return environment_.settings().ReadOptions().checkUpdate; }

bool MainWindowModel::ShowHint(int index, bool allowSuppress) {
    return hints_.ShowHintMessage(index, allowSuppress, [this](HintDialogModel& model) {
        if (hooks_.hintDialog) hooks_.hintDialog(model);
    });
}

}  // namespace zeriru
