#include "zeriru/project_properties.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "zeriru/build_machine.h"
#include "zeriru/file_services.h"
#include "zeriru/help_topics.h"
#include "zeriru/system_services.h"
#include "zeriru/ui.h"

#include <array>
#include <cstdio>
#include <random>

namespace zeriru {

namespace sjis = platform::sjis;
namespace pc = project_dialog_control;

std::optional<std::string> MakeGuidText() {
    std::array<unsigned char, 16> bytes{};
    try {
        std::random_device random;
        for (std::size_t i = 0; i < bytes.size(); i += 4) {
            const std::uint32_t word = random();
            for (std::size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // variant
    std::string text = "{";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        text += hex;
    }
    return text + "}";
}

// ---- filling ----

ProjectPropertiesDialogModel::ProjectPropertiesDialogModel(Services services, const ProjectProperties& initial)
    : s_(std::move(services)), newForm_(true), readOnly_(false), values_(initial), session_(s_.editorFolder) {
    FillModules(initial.moduleName, initial.moduleKey, initial.languageCode);
}

ProjectPropertiesDialogModel::ProjectPropertiesDialogModel(Services services, const TIniDocument& project,
                                                           const TProjectInfo& info, bool readOnly)
    : s_(std::move(services)), newForm_(false), readOnly_(readOnly), project_(project), session_(s_.editorFolder) {
    using namespace key;
    values_.outputFolders = s_.settings.OutputFolders();
    values_.projectName = info.projectName;
    values_.createFolder = info.createFolder;
    values_.createFileName = info.createFileName;
    values_.installSource = info.installSource;
    values_.createFileType = info.createFileType;
    values_.createFileNameOption =
        project.ReadInteger(kProjectSection, kCreateFileNameOption, project_default::kCreateFileNameOption);
    values_.projectType = project.ReadInteger(kProjectSection, kProjectType, project_default::kProjectType);
    values_.createFileCompLevel =
        project.ReadInteger(kProjectSection, kCreateFileCompLevel, project_default::kCreateFileCompLevelDialog);
    values_.createFolderBeforeBackup =
        project.ReadBool(kProjectSection, kCreateFolderBeforeBackup, project_default::kCreateFolderBeforeBackup);
    auto support = [&](std::string_view name) { return DecodeProjectText(project.ReadString(kSupportInfoSection, name)); };
    values_.publisher = support(kPublisher);
    values_.corporation = support(kCorporation);
    values_.urlInfoAbout = support(kURLInfoAbout);
    values_.helpLink = support(kHelpLink);
    values_.helpTelephon = support(kHelpTelephon);
    values_.urlUpdateInfo = support(kURLUpdateInfo);
    FillModules(project.ReadString(kProjectSection, kInstallerModuleName, project_default::kInstallerModuleName),
                project.ReadString(kProjectSection, kInstallerModuleKey),
                project.ReadInteger(kProjectSection, kInstallerModuleLanguage, project_default::kInstallerModuleLanguage));
}

void ProjectPropertiesDialogModel::FillModules(std::string_view moduleName, std::string_view moduleKey,
                                               int languageCode) {
    modules_.clear();
    for (const TModuleData& m : s_.modules)
        modules_.push_back({m.displayName, m.moduleName, m.moduleKey, LanguageChoices(m, true), &m});
    module_ = -1;
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        if (NamesEqual(modules_[i].moduleName, moduleName)) module_ = static_cast<int>(i);
    }
    // A module the table does not know is shown under its own name with its language, so that
    // OK keeps what the project holds.
    if (module_ < 0) {
        modules_.push_back({std::string(moduleName), std::string(moduleName), std::string(moduleKey),
                            {{std::to_string(languageCode), languageCode}}, nullptr});
        module_ = static_cast<int>(modules_.size()) - 1;
    }
    ModuleEntry& entry = modules_[static_cast<std::size_t>(module_)];
    language_ = -1;
    for (std::size_t i = 0; i < entry.languages.size(); ++i) {
        if (entry.languages[i].languageCode == languageCode) language_ = static_cast<int>(i);
    }
    if (language_ < 0) {
        entry.languages.push_back({std::to_string(languageCode), languageCode});
        language_ = static_cast<int>(entry.languages.size()) - 1;
    }
    ApplyModuleChoice();
}

std::string ProjectPropertiesDialogModel::Caption() { return sjis::S("プロパティ"); }

std::string ProjectPropertiesDialogModel::PageCaption(int page) {
    static const char* const kCaptions[kPageCount] = {"インストールファイル", "モジュール/言語", "著作権表示"};
    return page >= 0 && page < kPageCount ? sjis::S(kCaptions[page]) : std::string();
}

int ProjectPropertiesDialogModel::HelpTopic(int page) {
    static const int kTopics[kPageCount] = {help_topic::kProjectInstallFile, help_topic::kProjectModule,
                                            help_topic::kProjectPublisher};
    return page >= 0 && page < kPageCount ? kTopics[page] : kTopics[0];
}

std::string ProjectPropertiesDialogModel::ProjectTypeText() { return sjis::S("インストーラ"); }

// ---- module and language ----

const ProjectPropertiesDialogModel::ModuleEntry* ProjectPropertiesDialogModel::CurrentModule() const {
    return module_ >= 0 && module_ < static_cast<int>(modules_.size()) ? &modules_[static_cast<std::size_t>(module_)]
                                                                       : nullptr;
}

void ProjectPropertiesDialogModel::ApplyModuleChoice() {
    const ModuleEntry* entry = CurrentModule();
    if (!entry) return;
    values_.moduleName = entry->moduleName;
    values_.moduleKey = entry->moduleKey;
    if (language_ >= 0 && language_ < static_cast<int>(entry->languages.size()))
        values_.languageCode = entry->languages[static_cast<std::size_t>(language_)].languageCode;
}

std::vector<std::string> ProjectPropertiesDialogModel::ModuleNames() const {
    std::vector<std::string> names;
    for (const ModuleEntry& m : modules_) names.push_back(m.displayName);
    return names;
}

void ProjectPropertiesDialogModel::SelectModule(int index) {
    if (index < 0 || index >= static_cast<int>(modules_.size()) || index == module_) return;
    module_ = index;
    ModuleEntry& entry = modules_[static_cast<std::size_t>(index)];
    if (entry.module) entry.languages = LanguageChoices(*entry.module, false);
    language_ = entry.languages.empty() ? -1 : 0;
    ApplyModuleChoice();
}

std::vector<std::string> ProjectPropertiesDialogModel::LanguageNames() const {
    std::vector<std::string> names;
    if (const ModuleEntry* entry = CurrentModule()) {
        for (const TLanguageData& l : entry->languages) names.push_back(l.languageName);
    }
    return names;
}

void ProjectPropertiesDialogModel::SelectLanguage(int index) {
    const ModuleEntry* entry = CurrentModule();
    if (!entry || index < 0 || index >= static_cast<int>(entry->languages.size())) return;
    language_ = index;
    ApplyModuleChoice();
}

bool ProjectPropertiesDialogModel::EditEnabled() const {
    const ModuleEntry* entry = CurrentModule();
    return !newForm_ && !readOnly_ && entry && entry->module && language_ >= 0;
}

bool ProjectPropertiesDialogModel::UndoEnabled() const {
    return EditEnabled() && session_.UndoEnabled(project_, values_.moduleKey, values_.languageCode);
}

bool ProjectPropertiesDialogModel::EditLanguageTexts(const std::function<bool(LanguageTextsDialogModel&)>& showDialog) {
    if (!EditEnabled()) return false;
    return session_.EditLanguageTexts(s_.ui, project_, *CurrentModule()->module, values_.languageCode, showDialog);
}

bool ProjectPropertiesDialogModel::UndoLanguageTexts() {
    if (!UndoEnabled()) return false;
    return session_.UndoLanguageTexts(s_.ui, values_.moduleKey, values_.languageCode);
}

// ---- GUID ----

bool ProjectPropertiesDialogModel::GenerateGuid() {
    if (!values_.projectName.empty() && s_.showHint) s_.showHint(3);
    const std::optional<std::string> guid = s_.makeGuid ? s_.makeGuid() : MakeGuidText();
    if (!guid) {
        s_.ui.ShowMessage(sjis::S("GUIDの生成に失敗しました。"));
        return false;
    }
    values_.projectName = *guid;
    return true;
}

// ---- OK ----

namespace {

CheckOutcome OnPage(std::string message, const char* field, const char* page) {
    CheckOutcome result = Fail(std::move(message), field);
    result->page = page;
    return result;
}

}  // namespace

CheckOutcome ProjectPropertiesDialogModel::Check() const {
    const ProjectProperties& v = values_;
    if (v.projectName.empty())
        return OnPage(sjis::S("プロジェクト名が入力されていません。"), pc::kProjectName, pc::kPageInstallFile);
    if (v.projectType != 0) return std::nullopt;
    const auto protectedFolder = [&] {
        return IsProtectedFolder(sjis::ToUpper(platform::winpath::RemoveBackslash(v.createFolder)), 255, s_.machine);
    };
    const auto onInstallFile = [](std::string message, const char* field) {
        return OnPage(std::move(message), field, pc::kPageInstallFile);
    };
    if (v.createFileType == kCreateFolder) {
        if (v.createFolder.empty())
            return onInstallFile(sjis::S("インストールファイル作成先のフォルダが入力されていません。"), pc::kFolder);
        if (protectedFolder()) return onInstallFile(MsgProtectedOutputFolder(), pc::kFolder);
        if (!IsFullFolderPath(v.createFolder)) return onInstallFile(MsgNotFullFolderPath(), pc::kFolder);
        if (v.installSource.empty())
            return onInstallFile(sjis::S("インストールソースが入力されていません。"), pc::kInstallSource);
        if (IsInvalidFileName(v.installSource, false)) return onInstallFile(MsgInvalidFileName(), pc::kInstallSource);
    } else if (IsArchiveCreateType(v.createFileType)) {
        if (v.createFileName.empty())
            return onInstallFile(sjis::S("作成するインストールファイル名が入力されていません。"), pc::kFileName);
        if (IsInvalidFileName(v.createFileName, false)) return onInstallFile(MsgInvalidFileName(), pc::kFileName);
        if (v.createFolder.empty()) return onInstallFile(sjis::S("作成先のフォルダが入力されていません。"), pc::kFolder);
        if (!IsFullFolderPath(v.createFolder)) return onInstallFile(MsgNotFullFolderPath(), pc::kFolder);
        if (protectedFolder()) return onInstallFile(MsgProtectedOutputFolder(), pc::kFolder);
    }
    if (v.publisher.empty())
        return OnPage(sjis::S("著作権者名が入力されていません。"), pc::kPublisher, pc::kPagePublisher);
    return std::nullopt;
}

CheckOutcome ProjectPropertiesDialogModel::Ok() {
    if (CheckOutcome problem = Check()) return problem;
    if (!values_.createFolder.empty()) s_.settings.RememberOutputFolder(values_.createFolder);
    if (storeDefaults) {
        NewProjectDefaults d;
        d.publisher = values_.publisher;
        d.corporation = values_.corporation;
        d.urlInfo = values_.urlInfoAbout;
        d.helpLink = values_.helpLink;
        d.helpTelephon = values_.helpTelephon;
        d.urlUpdateInfo = values_.urlUpdateInfo;
        d.folder = values_.createFolder;
        d.fileType = values_.createFileType;
        d.fileCompLevel = values_.createFileCompLevel;
        d.lowerFileName = values_.createFileNameOption;
        s_.settings.WriteNewProjectDefaults(d);
    }
    return std::nullopt;
}

// ---- writing ----

void ProjectPropertiesDialogModel::WriteTo(TIniDocument& project) const {
    using namespace key;
    const ProjectProperties& v = values_;
    project.WriteString(kProjectSection, kProjectName, EncodeProjectText(v.projectName));
    project.WriteString(kProjectSection, key::kCreateFolder, EncodeProjectText(v.createFolder));
    project.WriteString(kProjectSection, kCreateFileName, EncodeProjectText(v.createFileName));
    project.WriteString(kProjectSection, kInstallSource, EncodeProjectText(v.installSource));
    project.WriteInteger(kProjectSection, kProjectType, v.projectType);
    project.WriteInteger(kProjectSection, kCreateFileNameOption, v.createFileNameOption);
    project.WriteInteger(kProjectSection, kCreateFileType, v.createFileType);
    project.WriteInteger(kProjectSection, kCreateFileCompLevel, v.createFileCompLevel);
    project.WriteBool(kProjectSection, kCreateFolderBeforeBackup, v.createFolderBeforeBackup);
    project.WriteString(kProjectSection, kInstallerModuleName, v.moduleName);
    project.WriteString(kProjectSection, kInstallerModuleKey, v.moduleKey);
    project.WriteInteger(kProjectSection, kInstallerModuleLanguage, v.languageCode);
    project.WriteString(kSupportInfoSection, kPublisher, EncodeProjectText(v.publisher));
    project.WriteString(kSupportInfoSection, kCorporation, EncodeProjectText(v.corporation));
    project.WriteString(kSupportInfoSection, kURLInfoAbout, EncodeProjectText(v.urlInfoAbout));
    project.WriteString(kSupportInfoSection, kURLUpdateInfo, EncodeProjectText(v.urlUpdateInfo));
    project.WriteString(kSupportInfoSection, kHelpLink, EncodeProjectText(v.helpLink));
    project.WriteString(kSupportInfoSection, kHelpTelephon, EncodeProjectText(v.helpTelephon));
    session_.ApplyTo(project);
}

}  // namespace zeriru
