#include "zeriru/editors/editor_data.h"

#include "zeriru/modules.h"

namespace zeriru {

EditorData::EditorData(EditorSettings& settings, TBuildMachine& machine, std::filesystem::path editorFolder)
    : settings_(settings), machine_(machine), folder_(std::move(editorFolder)), options_(settings.ReadOptions()) {}

std::filesystem::path EditorData::File(std::string_view name) const { return ResolveNoCase(folder_, name); }

const TIniDocument& EditorData::editorDataFile() {
    if (!editorData_) editorData_.emplace(File(kEditorDataFileName));
    return *editorData_;
}

std::vector<std::string> EditorData::DefineList(std::string_view section) {
    std::vector<std::string> list;
    ReadDefineList(editorDataFile(), section, list);
    return list;
}

const std::vector<TDefineCategory>& EditorData::defineCategories() {
    if (!categories_) categories_ = ReadDefineCategories(TIniDocument(File(kDefineDataFileName)));
    return *categories_;
}

const TIniDocument* EditorData::defineParams() {
    if (!params_) {
        const std::filesystem::path path = File(kDefineParamFileName);
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec))
            params_.emplace(TIniDocument(path));
        else
            params_.emplace(std::nullopt);
    }
    return *params_ ? &**params_ : nullptr;
}

std::string EditorData::ExpandInstallPath(std::string_view text) {
    static const TIniDocument kNoProject;
    return zeriru::ExpandInstallPath(text, project_ ? *project_ : kNoProject, machine_);
}

OsTarget EditorData::projectOs() const {
    if (osOverride_) return osOverride_->first;
    return project_ ? ProjectOsTarget(*project_) : OsTarget{};
}

bool EditorData::projectChecksOs() const {
    if (osOverride_) return osOverride_->second;
    return project_ ? ProjectChecksOs(*project_) : true;
}

void EditorData::OverrideProjectOs(const OsTarget& target, bool checkOs) { osOverride_.emplace(target, checkOs); }

}  // namespace zeriru
