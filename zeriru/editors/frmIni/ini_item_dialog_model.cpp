#include "zeriru/editors/ini_item_dialog_model.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace ic = ini_control;

namespace {

CheckOutcome OnPage(CheckOutcome result, const char* page) {
    if (result) result->page = page;
    return result;
}

// Defines whose parameter names the INI file itself: the absolute and search folders and the
// registry and INI families.
bool ParameterIsThePath(int id) {
    using namespace define_id;
    return id == kAbsoluteDir || id == kSearchFileDir || id == kSearchFileDirEx || (id >= kRegistry && id <= 200);
}

std::string JoinPath(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) {
        if (part.empty()) continue;
        if (!out.empty()) out += '\\';
        out += part;
    }
    return out;
}

}  // namespace

IniItemDialogModel::IniItemDialogModel(EditorData& data, bool readOnly, std::function<void(int, bool)> showHint)
    : data_(data), readOnly_(readOnly), showHint_(std::move(showHint)) {}

std::string IniItemDialogModel::Caption() { return sjis::S("INIファイル項目"); }

bool IniItemDialogModel::advancedMode() const { return data_.advancedMode(); }

IniItem IniItemDialogModel::NewItem() const {
    IniItem item;
    item.os = data_.projectOs();
    return item;
}

void IniItemDialogModel::Load(const IniItem& item) {
    loading_ = true;
    SetTiming(item.timing() >= 0 && item.timing() < process_timing::kCount ? item.timing() : process_timing::kInstall);
    SetProcessing(item.processing >= 0 && item.processing < ini_processing::kCount ? item.processing
                                                                                  : ini_processing::kWrite);
    skipExisting = item.skipExisting();
    define = item.define;
    parameter = item.parameter;
    fileName = item.fileName;
    section = item.section;
    valueName = item.valueName;
    value = item.value;
    condition = ConditionEditorModel();
    condition.Load(item.condition);
    os = item.os;
    loading_ = false;
}

IniItem IniItemDialogModel::Item() const {
    IniItem item;
    item.processing = processing_;
    item.define = define;
    item.parameter = platform::winpath::RemoveBackslash(TrimText(parameter));
    item.fileName = fileName;
    item.section = section;
    item.valueName = valueName;
    item.value = value;
    item.os = os;
    item.condition = condition.Record(skipExisting ? 1 : 0, timing_);
    return item;
}

void IniItemDialogModel::SetTiming(int timing) {
    if (timing < 0 || timing >= process_timing::kCount) return;
    const bool changed = timing != timing_;
    timing_ = timing;
    if (changed && !loading_ && timing != process_timing::kInstall && showHint_) showHint_(kUninstallValueHint, true);
}

void IniItemDialogModel::SetProcessing(int processing) {
    if (processing >= 0 && processing < ini_processing::kCount) processing_ = processing;
}

std::vector<std::string> IniItemDialogModel::DefineChoices() const {
    std::vector<std::string> choices = {"%InstallDir%",     "%InstallDrive%",  "%WindowsDirectory%", "%SystemDirectory%",
                                        "%ProgramFilesDir%", "%SystemRootDir%", "%AbsoluteDir%"};
    for (std::string& d : data_.DefineList("DFNLIST_INIFILEITEM")) choices.push_back(std::move(d));
    return choices;
}

std::vector<std::string> IniItemDialogModel::ConditionDefineChoices() const {
    return data_.DefineList("DFNLIST_FILESITEM");
}

bool IniItemDialogModel::EditParameters(Ui& ui, const DefineParamDialogRunner& dialog) {
    std::optional<DefineParamDialogModel> model = OpenDefineParameters(
        ui, data_.defineParams(), define, parameter, DefineParamDialogModel::Origin::SettingEditor);
    if (!model || !dialog(*model)) return false;
    parameter = model->ParameterPart();
    return true;
}

bool IniItemDialogModel::BrowseFile(Ui& ui) {
    FileDialogRequest request;
    request.filter = sjis::S("すべてのファイル(*.*)|*.*");
    if (!ui.ChooseFiles(request) || request.paths.empty()) return false;
    const std::string& path = request.paths.front();
    const std::size_t slash = sjis::FindLastChar(path, '\\');
    fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    return true;
}

DefineBuilderDialogModel IniItemDialogModel::ValueBuilder() const {
    return DefineBuilderDialogModel(data_.defineCategories(), data_.defineParams(), kMaskAny, value);
}

std::string IniItemDialogModel::ResultPath() const {
    const std::string defineText = TrimText(define);
    if (ParameterIsThePath(FindDefineId(defineText))) return ExpandEnvironmentReference(parameter, data_.machine());
    return data_.ExpandInstallPath(JoinPath({defineText, TrimText(parameter), TrimText(fileName)}));
}

bool IniItemDialogModel::OsButtonEnabled() const { return data_.projectChecksOs() && !readOnly_; }

OsDialogModel IniItemDialogModel::OsDialog() const { return OsDialogModel(os, data_.projectOs().mask, false); }

CheckOutcome IniItemDialogModel::Check() const {
    const char* detail = ic::kDetailPage;
    const std::string defineText = TrimText(define);
    // Without a define the file would have no folder at all.
    if (defineText.empty()) return OnPage(Fail(MsgUnsupportedDefine(), ic::kDefine), detail);
    if (IsKnownDefine(defineText)) {
        if (auto r = CheckFolderDefineRule(defineText, ic::kDefine)) return OnPage(r, detail);
        if (auto r = CheckDefineParameterRule(defineText, TrimText(parameter), ic::kParameter)) return OnPage(r, detail);
    }
    const std::string file = TrimText(fileName);
    if (auto r = CheckRequired(file, sjis::S("ファイル名を入力してください。"), ic::kFileName)) return OnPage(r, detail);
    if (auto r = CheckFileNameRule(file, ic::kFileName)) return OnPage(r, detail);
    if (auto r = CheckRequired(TrimText(section), sjis::S("セクション名を入力してください。"), ic::kSection))
        return OnPage(r, detail);
    if (processing_ != ini_processing::kDeleteSection)
        if (auto r = CheckRequired(TrimText(valueName), sjis::S("値名を入力してください。"), ic::kValueName))
            return OnPage(r, detail);
    return OnPage(condition.Check(advancedMode(), {.unknownDefinesPass = true}), ic::kConditionPage);
}

bool IniItemDialogModel::Ok(CheckOutcome* failed) const {
    CheckOutcome result = Check();
    const bool ok = !result;
    if (failed) *failed = std::move(result);
    return ok;
}

}  // namespace zeriru
