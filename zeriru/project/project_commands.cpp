#include "zeriru/project_commands.h"

#include "platform/sjis.h"
#include "zeriru/ui.h"

#include <charconv>
#include <ctime>
#include <system_error>

namespace zeriru {

namespace fs = std::filesystem;
namespace sjis = platform::sjis;

// ---- dialog models ----

std::string ProtectProjectDialogModel::CheckBoxCaption() { return sjis::S("プロジェクトをパスワードで保護する(&C)"); }

std::string InitializeProjectDialogModel::EntryCaption(int index) {
    static const char* const kCaptions[kEntryCount] = {
        "アプリケーション情報の設定", "ファイル/フォルダの設定", "ショートカットの設定", "レジストリの設定",
        "INIファイルの設定",          "アンインストール機能の設定", "インストーラの設定",
    };
    return index >= 0 && index < kEntryCount ? sjis::S(kCaptions[index]) : std::string();
}

bool InitializeProjectDialogModel::Ok(Ui& ui) const {
    bool any = false;
    for (bool c : checked) any = any || c;
    if (!any) {
        ui.ShowMessage(sjis::S("初期化対象の項目が選択されていません。"));
        return false;
    }
    return ui.AskYesNo(sjis::S("選択された項目を初期化しますか。"));
}

// ---- main window state ----

std::string CreateTypeName(int createFileType) {
    static const char* const kNames[] = {"SelectType", "CopyToFolder", "LHA Sfx", "LHA File", "CAB Sfx", "CAB File"};
    return createFileType >= 0 && createFileType < 6 ? kNames[createFileType] : std::string();
}

bool CommandEnabled(Command command, const MainWindowState& state, int projectType) {
    switch (command) {
    case Command::New:
    case Command::Open:
    case Command::History:
    case Command::Options:
    case Command::Help:
    case Command::Exit:
        return true;
    default:
        break;
    }
    if (!state.projectOpen) return false;
    if (command == Command::Protect && !state.protectEnabled) return false;
    if (command == Command::ProcessOrder && !state.advancedMode) return false;
    if (command == Command::RunInstaller && !state.runInstallerAvailable) return false;
    if (projectType != 1) return true;
    // A reduced project has no shortcuts, registry, INI files, uninstall or installer options.
    switch (command) {
    case Command::Properties:
    case Command::SaveAs:
    case Command::Protect:
    case Command::ToggleReadOnly:
    case Command::Build:
    case Command::AppInfo:
    case Command::Files:
        return true;
    default:
        return false;
    }
}

std::string NowDateTimeText() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

// ---- helpers ----

namespace {

// Text after the last "\" (character-wise).
std::string ExtractFileName(std::string_view path) {
    std::size_t slash = sjis::FindLastChar(path, '\\');
    return std::string(slash == sjis::npos ? path : path.substr(slash + 1));
}

// Text up to and including the last "\".
std::string ExtractFilePath(std::string_view path) {
    std::size_t slash = sjis::FindLastChar(path, '\\');
    return slash == sjis::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

// A project's file is named after it, so its name must be a valid file name: no characters
// that Windows forbids in names, no control characters, not "." or "..", and no trailing point
// or space (Windows would drop them and name another file).
bool IsValidFileName(std::string_view name) {
    if (!IsPlainModuleName(name)) return false;
    const char last = name.back();
    const bool lastIsSingle = sjis::IsCharBoundary(name, name.size() - 1);
    return !(lastIsSingle && (last == '.' || last == ' '));
}

// Decimal number of a whole text; nullopt otherwise.
std::optional<int> ParseDecimal(std::string_view text) {
    int value = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

// ---- ProjectCommands ----

ProjectCommands::ProjectCommands(Services services) : s_(std::move(services)) {
    history_ = s_.settings.History();
}

std::optional<fs::path> ProjectCommands::HostPath(std::string_view windowsPath) const {
    return s_.paths.ToHost(windowsPath);
}

std::string ProjectCommands::Now() const { return s_.now ? s_.now() : NowDateTimeText(); }

void ProjectCommands::SetButtonCaption(int index, std::string caption) {
    if (index >= 0 && index < static_cast<int>(buttonCaptions_.size())) buttonCaptions_[index] = std::move(caption);
}

void ProjectCommands::PutHistoryFirst(std::string_view path) { history_ = s_.settings.PutHistoryFirst(path); }

void ProjectCommands::RemoveFromHistory(std::string_view path) {
    std::erase(history_, std::string(path));
    s_.settings.WriteHistory(history_);
}

void ProjectCommands::ReadButtonCaptions(const TIniDocument& doc) {
    for (int i = 0; i < 7; ++i) {
        buttonCaptions_[i] = doc.ReadString(key::kButtonStatusSection, std::to_string(i + 1));
    }
}

bool ProjectCommands::ClearHistory() {
    if (!s_.ui.AskYesNo(sjis::S("ファイルの履歴を削除しますか。"))) return false;
    s_.settings.ClearHistory();
    history_.clear();
    return true;
}

bool ProjectCommands::CreateProject() {
    const std::string failed = sjis::S("新規プロジェクトの作成に失敗しました。");
    if (s_.modules.empty() || s_.modules.front().languages.empty()) {
        s_.ui.ShowMessage(
            sjis::S("モジュール情報または言語情報を取得できませんでした。Raredovoを再インストールしてください。"));
        return false;
    }
    const NewProjectDefaults defaults = s_.settings.ReadNewProjectDefaults();
    ProjectProperties p;
    p.outputFolders = s_.settings.OutputFolders();
    p.moduleName = s_.modules.front().moduleName;
    p.moduleKey = s_.modules.front().moduleKey;
    p.languageCode = s_.modules.front().languages.front().languageCode;
    p.projectType = 0;
    p.publisher = defaults.publisher;
    p.corporation = defaults.corporation;
    p.urlInfoAbout = defaults.urlInfo;
    p.urlUpdateInfo = defaults.urlUpdateInfo;
    p.helpLink = defaults.helpLink;
    p.helpTelephon = defaults.helpTelephon;
    p.createFolder = defaults.folder;
    p.createFileType = defaults.fileType;
    p.createFileCompLevel = defaults.fileCompLevel;
    p.createFileNameOption = defaults.lowerFileName;
    if (!s_.newProjectDialog || !s_.newProjectDialog(p)) return false;

    if (p.createFileType > 1 && p.projectType == 0 && s_.showHint) s_.showHint(0);

    const std::string folder = s_.editorFolder + "Project";
    const std::string path = folder + "\\" + p.projectName + ".PJ2";
    std::optional<fs::path> hostFolder = HostPath(folder);
    std::optional<fs::path> host = HostPath(path);
    std::error_code ec;
    if (!IsValidFileName(p.projectName) || !hostFolder || !host) {
        s_.ui.ShowMessage(failed);
        return false;
    }
    fs::create_directories(*hostFolder, ec);
    if (ec || !fs::is_directory(*hostFolder, ec)) {
        s_.ui.ShowMessage(failed);
        return false;
    }
    // A project of the same name is replaced, unless it is read-only: that one cannot be
    // deleted, so creating fails and leaves it. The new file is written under a temporary name
    // and renamed over the old one, so a failed write leaves the old project as it was.
    if (IsReadOnlyFile(*host)) {
        s_.ui.ShowMessage(failed);
        return false;
    }

    using namespace key;
    TIniDocument doc;
    const std::string now = Now();
    doc.WriteString(kProjectSection, kProjectName, EncodeProjectText(p.projectName));
    doc.WriteString(kProjectSection, kCreateFileName, EncodeProjectText(p.createFileName));
    doc.WriteString(kProjectSection, kCreateFolder, EncodeProjectText(p.createFolder));
    doc.WriteString(kProjectSection, kInstallerModuleName, p.moduleName);
    // The module key goes with the module: without it the build and the property dialog would
    // look for the project's language texts under different section names.
    doc.WriteString(kProjectSection, kInstallerModuleKey, p.moduleKey);
    doc.WriteInteger(kProjectSection, kInstallerModuleLanguage, p.languageCode);
    doc.WriteInteger(kProjectSection, kMajorVersion, project_default::kMajorVersion);
    doc.WriteInteger(kProjectSection, kMinorVersion, project_default::kMinorVersion);
    doc.WriteString(kProjectSection, kCreateDateTime, now);
    doc.WriteString(kProjectSection, kUpdateDateTime, now);
    doc.WriteString(kProjectSection, kGenerator, kGeneratorName);
    doc.WriteInteger(kProjectSection, kProjectType, p.projectType);
    doc.WriteInteger(kProjectSection, kCreateFileType, p.createFileType);
    doc.WriteInteger(kProjectSection, kCreateFileCompLevel, p.createFileCompLevel);
    doc.WriteInteger(kProjectSection, kCreateFileNameOption, p.createFileNameOption);
    doc.WriteString(kProjectSection, kInstallSource, EncodeProjectText(p.installSource));
    doc.WriteBool(kProjectSection, kCreateFolderBeforeBackup, p.createFolderBeforeBackup);
    doc.WriteString(kSupportInfoSection, kPublisher, EncodeProjectText(p.publisher));
    doc.WriteString(kSupportInfoSection, kCorporation, EncodeProjectText(p.corporation));
    doc.WriteString(kSupportInfoSection, kHelpLink, EncodeProjectText(p.helpLink));
    doc.WriteString(kSupportInfoSection, kHelpTelephon, EncodeProjectText(p.helpTelephon));
    doc.WriteString(kSupportInfoSection, kURLInfoAbout, EncodeProjectText(p.urlInfoAbout));
    doc.WriteString(kSupportInfoSection, kURLUpdateInfo, EncodeProjectText(p.urlUpdateInfo));
    if (!doc.SaveAs(*host)) {
        s_.ui.ShowMessage(failed);
        return false;
    }

    project_ = TProjectInfo{};
    project_.projectFilePath = *host;
    project_.projectName = p.projectName;
    project_.createFileName = p.createFileName;
    project_.createFolder = p.createFolder;
    project_.installSource = p.installSource;
    project_.createFileType = p.createFileType;
    project_.createFolderBeforeBackup = p.createFolderBeforeBackup;
    project_.projectType = p.projectType;
    project_.readOnly = false;
    windowsPath_ = path;
    buttonCaptions_ = {};
    PutHistoryFirst(path);
    Refresh();
    return true;
}

bool ProjectCommands::PasswordAccepted(const TIniDocument& doc) {
    if (!doc.ValueExists(key::kProjectSection, key::kProjectData)) return true;
    const std::string stored =
        UnscrambleText(doc.ReadString(key::kProjectSection, key::kProjectData), kProjectDataPasses);
    std::string typed;
    if (!s_.ui.InputText(sjis::S("プロジェクトの保護"), sjis::S("パスワードを入力してください。"), typed, true)) {
        return false;
    }
    return typed == stored;  // exactly, letter case included; no message either way
}

bool ProjectCommands::CheckProjectPassword(std::string_view path) {
    std::optional<fs::path> host = HostPath(path);
    if (!host) return false;
    return PasswordAccepted(TIniDocument(*host));
}

bool ProjectCommands::OpenProject(std::string_view path, OpenOrigin origin) {
    const bool atStart = origin == OpenOrigin::CommandLine || origin == OpenOrigin::LastProject;
    if (ProjectOpen() && !atStart && sjis::EqualsNoCase(path, windowsPath_)) {
        if (origin == OpenOrigin::History) s_.ui.ShowMessage(sjis::S("既に開かれています。"));
        return false;
    }

    std::optional<fs::path> host = HostPath(path);
    std::error_code ec;
    const bool exists = host && fs::is_regular_file(*host, ec);
    if (!exists) {
        switch (origin) {
        case OpenOrigin::History:
            s_.ui.ShowMessage(sjis::S("プロジェクトファイルが存在しません。"));
            RemoveFromHistory(path);
            return false;
        case OpenOrigin::CommandLine:
            s_.ui.ShowMessage(sjis::S("指定のファイルは存在しません。\r\rファイル名:\r") + std::string(path));
            return false;
        case OpenOrigin::LastProject:
            return false;
        case OpenOrigin::OpenDialog:
            break;  // the project-file test below reports it
        }
    }
    if (origin == OpenOrigin::OpenDialog && (!exists || !IsProjectFile(*host))) {
        s_.ui.ShowMessage(sjis::S("プロジェクトファイルではありません。"));
        return false;
    }
    if (!host) return false;

    const TIniDocument doc(*host);
    if (!PasswordAccepted(doc)) return false;
    if (atStart && doc.ReadString(key::kProjectSection, key::kProjectName).empty()) {
        s_.ui.ShowMessage(sjis::S("プロジェクトファイルが不正です。"));
        return false;
    }

    project_ = ReadProjectInfo(doc, IsReadOnlyFile(*host));
    project_.projectFilePath = *host;
    windowsPath_ = std::string(path);
    ReadButtonCaptions(doc);
    PutHistoryFirst(path);
    Refresh();
    return true;
}

bool ProjectCommands::ReloadProject() {
    if (!ProjectOpen()) return false;
    const TIniDocument doc(project_.projectFilePath);
    if (doc.LoadFailed()) return false;
    const std::filesystem::path path = project_.projectFilePath;
    project_ = ReadProjectInfo(doc, IsReadOnlyFile(path));
    project_.projectFilePath = path;
    ReadButtonCaptions(doc);
    Refresh();
    return true;
}

bool ProjectCommands::OpenProjectWithDialog() {
    std::string chosen;
    if (!s_.ui.ChooseOpenFile(sjis::S("プロジェクトファイル|*.pj2"), s_.settings.OpenDialogFolder(), chosen)) {
        return false;
    }
    s_.settings.SetOpenDialogFolder(ExtractFilePath(chosen));
    return OpenProject(chosen, OpenOrigin::OpenDialog);
}

void ProjectCommands::RememberLastState(bool maximized, int height, int width) {
    EditorOptions options = s_.settings.ReadOptions();
    if (!options.saveLastState) return;
    s_.settings.SetLastProject(windowsPath_);
    options.maxWindowSize = maximized;
    options.windowSizeHeight = maximized ? 0 : height;
    options.windowSizeWidth = maximized ? 0 : width;
    s_.settings.WriteWindowState(options);
}

bool ProjectCommands::SaveProjectAs() {
    if (!ProjectOpen()) return false;
    std::string chosen;
    if (!s_.ui.ChooseSaveFile(sjis::S("プロジェクトファイル (*.pj2)|*.pj2"), "PJ2", s_.settings.SaveDialogFolder(),
                              chosen)) {
        return false;
    }
    std::optional<fs::path> host = HostPath(chosen);
    std::string error;
    // A read-only file is not replaced, as Windows would refuse to.
    if (!host || IsReadOnlyFile(*host) || !CopyFileReplacing(project_.projectFilePath, *host, false, &error)) {
        s_.ui.Error(sjis::S("プロジェクトファイルの保存に失敗しました。"));
        return false;
    }
    project_.projectFilePath = *host;
    project_.readOnly = IsReadOnlyFile(*host);
    windowsPath_ = chosen;
    s_.settings.SetSaveDialogFolder(ExtractFilePath(chosen));
    PutHistoryFirst(chosen);
    Refresh();
    return true;
}

bool ProjectCommands::SaveProjectStatus() {
    if (!ProjectOpen()) return false;
    project_.readOnly = IsReadOnlyFile(project_.projectFilePath);
    if (project_.readOnly) return false;
    using namespace key;
    TIniDocument doc(project_.projectFilePath);
    if (doc.LoadFailed()) return false;
    // Projects older than format 4.3 are raised to it. Major and minor are compared as numbers:
    // joining their texts would make "5"/"0" (50) look older than "4"/"3".
    const std::optional<int> major = ParseDecimal(doc.ReadString(kProjectSection, kMajorVersion, "4"));
    const std::optional<int> minor = ParseDecimal(doc.ReadString(kProjectSection, kMinorVersion, "3"));
    const bool older = !major || !minor || *major < project_default::kMajorVersion ||
                       (*major == project_default::kMajorVersion && *minor < project_default::kMinorVersion);
    if (older) {
        doc.WriteInteger(kProjectSection, kMajorVersion, project_default::kMajorVersion);
        doc.WriteInteger(kProjectSection, kMinorVersion, project_default::kMinorVersion);
    }
    doc.WriteString(kProjectSection, kUpdateDateTime, Now());
    for (int i = 0; i < 7; ++i) doc.WriteString(kButtonStatusSection, std::to_string(i + 1), buttonCaptions_[i]);
    return doc.UpdateFile();
}

bool ProjectCommands::ProtectProject(const std::function<bool(ProtectProjectDialogModel&)>& dialog) {
    if (!ProjectOpen()) return false;
    project_.readOnly = IsReadOnlyFile(project_.projectFilePath);
    if (project_.readOnly) return false;
    TIniDocument doc(project_.projectFilePath);
    if (doc.LoadFailed()) return false;
    ProtectProjectDialogModel model;
    model.protect = doc.ValueExists(key::kProjectSection, key::kProjectData);
    model.password = UnscrambleText(doc.ReadString(key::kProjectSection, key::kProjectData), kProjectDataPasses);
    if (!dialog(model)) return false;
    if (model.protect) {
        doc.WriteString(key::kProjectSection, key::kProjectData, ScrambleText(model.password, kProjectDataPasses));
    } else {
        doc.DeleteKey(key::kProjectSection, key::kProjectData);
    }
    return doc.UpdateFile();
}

bool ProjectCommands::ToggleReadOnly() {
    if (!ProjectOpen()) return false;
    std::error_code ec;
    if (!fs::exists(project_.projectFilePath, ec)) return false;
    const bool readOnly = !IsReadOnlyFile(project_.projectFilePath);
    if (!SetReadOnlyFile(project_.projectFilePath, readOnly)) return false;
    project_.readOnly = readOnly;
    Refresh();
    return true;
}

namespace {

// What initialising one setting erases. `lists` are settings sections whose items section
// (UseSection or the default) goes too; `sections` are erased as they are; `installerKeys` are
// deleted from [Installer].
struct InitializeEntry {
    std::vector<std::pair<std::string_view, std::string_view>> lists;
    std::vector<std::string_view> sections;
    std::vector<std::string_view> installerKeys;
};

const InitializeEntry& InitializeTable(int index) {
    static const InitializeEntry kTable[InitializeProjectDialogModel::kEntryCount] = {
        {{}, {"Software"}, {}},
        {{{"FilesSetting", "Files"}}, {"FilesSetting"}, {}},
        {{{"ShortCutSetting", "ShortCutItems"}}, {"ShortCutSetting"}, {"EnableShortCutSetting"}},
        {{{"RegistrySetting", "RegistryItems"}}, {"RegistrySetting"}, {"EnableRegistrySetting"}},
        {{{"IniFileSetting", "IniFileItems"}}, {"IniFileSetting"}, {"EnableIniFileSetting"}},
        // The delete-files and keep-registry lists are the user's own work and stay.
        {{{"DeleteRegistrySetting", "DeleteRegistryItems"}, {"UnDeleteFileSetting", "UnDeleteFileItems"}},
         {"UnDeleteFileSetting", "DeleteRegistrySetting", "UninstallSetting"},
         {"EnableUnInstallSetting", "EnableDeleteRegistrySetting", "EnableUnDeleteFileSetting"}},
        {{{"ProgramSetting", "ProgramItems"}},
         {"InstallLimit", "ScreenSetting", "ProgramSetting", "OSSetting"},
         {"EnableProgramSetting", "EnableSupportInfo", "Options", "FileCopyOptions", "InstallMethod"}},
    };
    return kTable[index];
}

}  // namespace

bool ProjectCommands::InitializeProject(const std::function<bool(InitializeProjectDialogModel&)>& dialog) {
    if (!ProjectOpen()) return false;
    InitializeProjectDialogModel model;
    if (!dialog(model)) return false;
    project_.readOnly = IsReadOnlyFile(project_.projectFilePath);
    if (project_.readOnly) return false;
    TIniDocument doc(project_.projectFilePath);
    if (doc.LoadFailed()) return false;
    // Items sections are named before anything is erased: a settings section may be erased by
    // one entry while another entry still needs its UseSection.
    std::vector<std::string> erase;
    std::vector<std::string_view> installerKeys;
    for (int i = 0; i < InitializeProjectDialogModel::kEntryCount; ++i) {
        if (!model.checked[i]) continue;
        const InitializeEntry& entry = InitializeTable(i);
        for (const auto& [setting, items] : entry.lists) erase.push_back(ItemsSectionName(doc, setting, items));
        for (std::string_view section : entry.sections) erase.emplace_back(section);
        installerKeys.insert(installerKeys.end(), entry.installerKeys.begin(), entry.installerKeys.end());
        buttonCaptions_[i].clear();
    }
    for (const std::string& section : erase) doc.EraseSection(section);
    for (std::string_view name : installerKeys) doc.DeleteKey("Installer", name);
    if (!doc.UpdateFile()) return false;
    return SaveProjectStatus();
}

MainWindowState ProjectCommands::Refresh() {
    MainWindowState st;
    st.advancedMode = s_.settings.Mode() == 1;
    if (!ProjectOpen()) {
        st.caption = sjis::S("Raredovoエディタ");
        state_ = st;
        return st;
    }
    project_.readOnly = IsReadOnlyFile(project_.projectFilePath);
    st.projectOpen = true;
    st.readOnly = project_.readOnly;
    st.caption = "Raredovo - " + ExtractFileName(windowsPath_);
    st.osData = ReadCommonOsData(TIniDocument(project_.projectFilePath));
    st.runInstallerAvailable = s_.runInstallerAvailable && s_.runInstallerAvailable(project_);
    st.protectEnabled = !project_.readOnly;
    st.statusPanels = {sjis::S("プロジェクト名"), project_.projectName, CreateTypeName(project_.createFileType),
                       project_.readOnly ? "ReadOnly" : ""};
    state_ = st;
    return st;
}

bool ProjectCommands::CommandEnabled(Command command) const {
    return zeriru::CommandEnabled(command, state_, project_.projectType);
}

}  // namespace zeriru
