// Model of the project property dialog "プロパティ" (TfrmProjectDialog), for both the
// new-project command and the properties command: the fields of [Project] and [SupportInfo],
// what the create type shows, the module and its languages with the language text editor, the
// GUID button, the read-only view, the pages and their help, the OK check and what OK stores,
// and writing the properties of an open project.
#pragma once

#include "zeriru/create_option.h"
#include "zeriru/editor_settings.h"
#include "zeriru/editors/check_result.h"
#include "zeriru/ini_document.h"
#include "zeriru/language_texts.h"
#include "zeriru/modules.h"
#include "zeriru/project_commands.h"
#include "zeriru/project_file.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeriru {

class Ui;
class TBuildMachine;

// Object names of the controls the checks focus.
namespace project_dialog_control {
inline constexpr const char* kProjectName = "edtProjectName";
inline constexpr const char* kFolder = "cmbFolder";
inline constexpr const char* kFileName = "edtFileName";
inline constexpr const char* kInstallSource = "edtInstallSource";
inline constexpr const char* kPublisher = "edtName";
inline constexpr const char* kPageInstallFile = "tsInstallFile";
inline constexpr const char* kPageModule = "tsModule";
inline constexpr const char* kPagePublisher = "tsPublisher";
}  // namespace project_dialog_control

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from 16 random bytes (a version 4 GUID); nullopt
// when no random bytes can be had.
std::optional<std::string> MakeGuidText();

class ProjectPropertiesDialogModel {
public:
    enum Page { kInstallFilePage = 0, kModulePage = 1, kPublisherPage = 2 };
    static constexpr int kPageCount = 3;

    struct Services {
        Ui& ui;
        EditorSettings& settings;
        TBuildMachine& machine;
        const ModuleTable& modules;
        // Host folder of the editor (the modules' language files).
        std::filesystem::path editorFolder;
        // The hint dialog of the main window (hint 3 before a GUID replaces a name).
        std::function<void(int)> showHint;
        // A new GUID; MakeGuidText unless replaced.
        std::function<std::optional<std::string>()> makeGuid;
    };

    // The new form, filled with what the new-project command prepared (module and language of
    // `initial` selected). "編集(&E)" and "元に戻す(&U)" are disabled.
    ProjectPropertiesDialogModel(Services services, const ProjectProperties& initial);
    // The properties of an open project: the frame of `info`, the rest from the file.
    ProjectPropertiesDialogModel(Services services, const TIniDocument& project, const TProjectInfo& info,
                                 bool readOnly);

    static std::string Caption();  // "プロパティ"
    static std::string PageCaption(int page);
    static int HelpTopic(int page);  // 10, 16, 110
    static std::string ProjectTypeText();  // "インストーラ"

    bool newForm() const { return newForm_; }
    bool readOnly() const { return readOnly_; }
    // The fields; the dialog edits them directly. outputFolders is the folder list.
    ProjectProperties& values() { return values_; }
    const ProjectProperties& values() const { return values_; }
    // "標準に設定する(&D)".
    bool storeDefaults = false;

    // ---- create type ----
    void SetCreateType(int type) { values_.createFileType = type; }
    bool ArchiveGroupVisible() const { return IsArchiveCreateType(values_.createFileType); }
    bool CopyGroupVisible() const { return values_.createFileType == kCreateFolder; }
    bool FolderVisible() const { return values_.createFileType != kCreateAsk; }
    bool CompressionVisible() const { return ArchiveGroupVisible(); }

    // ---- module and language ----
    std::vector<std::string> ModuleNames() const;
    int module() const { return module_; }
    // Choosing a module lists its languages (at most 11) and selects the first.
    void SelectModule(int index);
    std::vector<std::string> LanguageNames() const;
    int language() const { return language_; }
    void SelectLanguage(int index);
    // "編集(&E)": the open form of a project that is not read-only, on a module of the table.
    bool EditEnabled() const;
    // "元に戻す(&U)": as "編集", and the project (or this dialog) keeps texts for the language.
    bool UndoEnabled() const;
    // "編集(&E)" and "元に戻す(&U)" (the language editor); true when the dialog is now to be
    // confirmed as by its OK button. What they decide is written only when the dialog is.
    bool EditLanguageTexts(const std::function<bool(LanguageTextsDialogModel&)>& showDialog);
    bool UndoLanguageTexts();
    const LanguageTextsSession& languageTexts() const { return session_; }

    // ---- GUID ----
    // "GUID(&G)": hint 3 when a name is there, then a new GUID replaces it; false (and
    // "GUIDの生成に失敗しました。") when none can be made.
    bool GenerateGuid();

    // ---- OK ----
    // The check alone; the result names the page and the control.
    CheckOutcome Check() const;
    // OK: the check; then the output folder first in the remembered folders and, with
    // "標準に設定する(&D)", the new-project defaults stored.
    CheckOutcome Ok();

    // ---- writing ----
    // Hint 0 is due after OK: an archive type of an installer project.
    bool ArchiveHintDue() const { return IsArchiveCreateType(values_.createFileType) && values_.projectType == 0; }
    // Writes [Project] and [SupportInfo] in their order, and the language texts held or marked
    // for erasing by the language editor. The caller saves.
    void WriteTo(TIniDocument& project) const;

private:
    struct ModuleEntry {
        std::string displayName, moduleName, moduleKey;
        std::vector<TLanguageData> languages;
        const TModuleData* module = nullptr;  // null: the project's module is not in the table
    };
    void FillModules(std::string_view moduleName, std::string_view moduleKey, int languageCode);
    const ModuleEntry* CurrentModule() const;
    void ApplyModuleChoice();

    Services s_;
    bool newForm_;
    bool readOnly_;
    ProjectProperties values_;
    TIniDocument project_;
    std::vector<ModuleEntry> modules_;
    int module_ = -1;
    int language_ = -1;
    LanguageTextsSession session_;
};

}  // namespace zeriru
