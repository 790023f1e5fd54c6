// What a setting editor reads besides the project, gathered once per run of the editor: the
// editor settings and options (the mode), the building machine (sample paths, protected
// folders), the editor data file ZERIRU.DAT with its define lists, the builder's categories
// (DEFINE.DAT) and the parameter definitions (DEFINEPARAM.DAT), and the open project's file
// (sample paths, the installed files, the project-wide OS target).
#pragma once

#include "zeriru/build_machine.h"
#include "zeriru/defines.h"
#include "zeriru/editor_settings.h"
#include "zeriru/editors/os_target.h"
#include "zeriru/ini_document.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

inline constexpr std::string_view kDefineDataFileName = "DEFINE.DAT";
inline constexpr std::string_view kDefineParamFileName = "DEFINEPARAM.DAT";
inline constexpr std::string_view kEditorDataFileName = "ZERIRU.DAT";

class EditorData {
public:
    // `editorFolder`: host folder of the editor (ZERIRU.DAT, DEFINE.DAT, DEFINEPARAM.DAT).
    EditorData(EditorSettings& settings, TBuildMachine& machine, std::filesystem::path editorFolder);

    EditorSettings& settings() { return settings_; }
    TBuildMachine& machine() { return machine_; }
    // The editor options as they were when the editor opened.
    const EditorOptions& options() const { return options_; }
    bool advancedMode() const { return options_.mode == 1; }

    // The entries of a DFNLIST_ section of ZERIRU.DAT (ReadDefineList).
    std::vector<std::string> DefineList(std::string_view section);
    // ZERIRU.DAT as a whole.
    const TIniDocument& editorDataFile();
    // The builder's categories; none when DEFINE.DAT is missing.
    const std::vector<TDefineCategory>& defineCategories();
    // DEFINEPARAM.DAT; nullptr when the file is missing.
    const TIniDocument* defineParams();

    // The project the editor edits (set when the dialog is filled). Sample paths expand the
    // install folder of its [Software] Folder; without one the texts expand as they are.
    void SetProject(const TIniDocument* project) { project_ = project; }
    const TIniDocument* project() const { return project_; }
    // ExpandInstallPath of a define text on the building machine.
    std::string ExpandInstallPath(std::string_view text);
    // The project-wide OS target and its check ([OSSetting]); every system and on without a
    // project. The installer options editor replaces them while its dialog is open.
    OsTarget projectOs() const;
    bool projectChecksOs() const;
    void OverrideProjectOs(const OsTarget& target, bool checkOs);

private:
    std::filesystem::path File(std::string_view name) const;

    EditorSettings& settings_;
    TBuildMachine& machine_;
    std::filesystem::path folder_;
    EditorOptions options_;
    std::optional<TIniDocument> editorData_;
    std::optional<std::vector<TDefineCategory>> categories_;
    std::optional<std::optional<TIniDocument>> params_;
    const TIniDocument* project_ = nullptr;
    std::optional<std::pair<OsTarget, bool>> osOverride_;
};

}  // namespace zeriru
