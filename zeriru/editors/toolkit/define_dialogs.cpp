#include "zeriru/editors/define_dialogs.h"

#include "platform/sjis.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;

// ---- DefineParamDialogModel ----

DefineParamDialogModel::DefineParamDialogModel(std::string define, std::vector<TDefineParam> params,
                                               std::vector<std::string> values, Origin origin)
    : define_(std::move(define)), origin_(origin) {
    values.resize(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) rows_.push_back({std::move(params[i]), std::move(values[i])});
}

std::string DefineParamDialogModel::Caption() { return sjis::S("フォルダ定数パラメータ入力"); }

std::string DefineParamDialogModel::ValueControlName(std::size_t row) { return "edtParam" + std::to_string(row); }

void DefineParamDialogModel::SetValue(std::size_t row, std::string value) {
    if (row < rows_.size()) rows_[row].value = std::move(value);
}

std::vector<std::string> DefineParamDialogModel::Choices(std::size_t row) const {
    if (row >= rows_.size()) return {};
    const TDefineParam& p = rows_[row].param;
    switch (static_cast<ParamInput>(p.inputType)) {
    case ParamInput::RootKey: return {RootKeyChoices().begin(), RootKeyChoices().end()};
    case ParamInput::FolderDefine: return {FolderDefineChoices().begin(), FolderDefineChoices().end()};
    case ParamInput::Choice: return p.choices;
    default: return {};
    }
}

bool DefineParamDialogModel::HasBrowse(std::size_t row) const {
    if (row >= rows_.size()) return false;
    switch (static_cast<ParamInput>(rows_[row].param.inputType)) {
    case ParamInput::TextWithDefine: return origin_ != Origin::Builder;
    case ParamInput::Folder:
    case ParamInput::FileName:
    case ParamInput::FilePath: return true;
    default: return false;
    }
}

bool DefineParamDialogModel::BrowsesSeveralFiles(std::size_t row) const {
    const int id = defineId();
    return row < rows_.size() && rows_[row].param.inputType == static_cast<int>(ParamInput::FileName) &&
           (id == define_id::kSearchFileDir || id == define_id::kSearchFileDirEx);
}

void DefineParamDialogModel::SetCurrent(int row) {
    if (rows_.empty()) return;
    current_ = std::clamp(row, 0, static_cast<int>(rows_.size()) - 1);
}

void DefineParamDialogModel::Clear() {
    for (Row& r : rows_) r.value.clear();
}

CheckOutcome DefineParamDialogModel::Ok() {
    std::vector<TDefineParam> params;
    std::vector<std::string> values;
    for (const Row& r : rows_) {
        params.push_back(r.param);
        values.push_back(r.value);
    }
    const std::optional<ParamProblem> problem = CheckDefineParameters(params, values, defineId());
    if (!problem) return std::nullopt;
    current_ = static_cast<int>(problem->row);
    CheckOutcome result = Fail(problem->message, ValueControlName(problem->row));
    result->caption = problem->title;
    return result;
}

std::string DefineParamDialogModel::ParameterPart() const {
    std::string out;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (i) out += ',';
        out += rows_[i].value;
    }
    return out;
}

std::string DefineParamDialogModel::DefineText() const { return define_ + "\\" + ParameterPart(); }

std::string DefineParamDialogModel::EncodedDefineText() const {
    std::vector<std::string> values;
    for (const Row& r : rows_) values.push_back(r.value);
    return ParameterDialogResult(define_, values);
}

std::optional<DefineParamDialogModel> OpenDefineParameters(Ui& ui, const TIniDocument* paramDat,
                                                           std::string_view defineText,
                                                           std::string_view parameterPart,
                                                           DefineParamDialogModel::Origin origin) {
    if (!paramDat) {
        ui.ShowMessage(MsgParameterFileMissing(), MessageButtons::Ok, MessageIcon::Error);
        return std::nullopt;
    }
    const std::string define = SplitDefineText(defineText).define;
    std::vector<TDefineParam> params = ReadDefineParams(*paramDat, FindDefineId(define));
    if (params.empty()) {
        ui.ShowMessage(origin == DefineParamDialogModel::Origin::Builder ? MsgNoParameterDefinition()
                                                                         : MsgNoParameters());
        return std::nullopt;
    }
    const std::size_t count = params.size();
    std::vector<std::string> values = DefineParameters(DecodeProjectText(parameterPart));
    values.resize(count);
    return DefineParamDialogModel(define, std::move(params), std::move(values), origin);
}

// ---- DefineBuilderDialogModel ----

DefineBuilderDialogModel::DefineBuilderDialogModel(std::vector<TDefineCategory> categories,
                                                   const TIniDocument* paramDat, int mask, std::string text)
    : categories_(std::move(categories)), paramDat_(paramDat), mask_(mask) {
    SetText(std::move(text), 0, 0);
    selStart_ = text_.size();
    const int first = FirstCategoryForMask(categories_, mask_);
    SelectCategory(first >= 0 ? first : (categories_.empty() ? -1 : 0));
}

std::string DefineBuilderDialogModel::Caption() { return sjis::S("定数ビルダー"); }

void DefineBuilderDialogModel::SelectCategory(int index) {
    if (index < -1 || index >= static_cast<int>(categories_.size())) return;
    category_ = index;
    entries_ = index >= 0 ? EntriesForMask(categories_[static_cast<std::size_t>(index)], mask_)
                          : std::vector<TDefineEntry>{};
    entry_ = -1;
}

void DefineBuilderDialogModel::SelectEntry(int index) {
    entry_ = index >= 0 && index < static_cast<int>(entries_.size()) ? index : -1;
}

std::string DefineBuilderDialogModel::Hint() const {
    return entry_ >= 0 ? entries_[static_cast<std::size_t>(entry_)].hint : std::string();
}

void DefineBuilderDialogModel::SetText(std::string text, std::size_t selStart, std::size_t selLength) {
    text_ = std::move(text);
    SetSelection(selStart, selLength);
}

void DefineBuilderDialogModel::SetSelection(std::size_t selStart, std::size_t selLength) {
    selStart_ = std::min(selStart, text_.size());
    selLength_ = std::min(selLength, text_.size() - selStart_);
}

void DefineBuilderDialogModel::Insert(std::string_view insert) {
    text_ = InsertAtCaret(text_, selStart_, selLength_, insert);
    selStart_ += insert.size();
    selLength_ = 0;
}

bool DefineBuilderDialogModel::Paste(Ui& ui, const DefineParamDialogRunner& paramDialog) {
    if (!PasteEnabled()) return false;
    if (!text_.empty() && !ui.AskYesNo(MsgPasteOverText())) return false;
    const TDefineEntry& entry = entries_[static_cast<std::size_t>(entry_)];
    const int id = FindDefineId(entry.define);
    const std::vector<TDefineParam> params =
        paramDat_ && id != 0 ? ReadDefineParams(*paramDat_, id) : std::vector<TDefineParam>{};
    if (params.empty()) {
        Insert(entry.insert);
        return true;
    }
    DefineParamDialogModel model(SplitDefineText(entry.define).define, params, {},
                                 DefineParamDialogModel::Origin::Builder);
    if (!paramDialog || !paramDialog(model)) return false;
    Insert(model.DefineText());
    return true;
}

bool DefineBuilderDialogModel::EnterParameters(Ui& ui, const DefineParamDialogRunner& paramDialog) {
    const DefineText parts = SplitDefineText(text_);
    std::optional<DefineParamDialogModel> model =
        OpenDefineParameters(ui, paramDat_, parts.define, parts.rest, DefineParamDialogModel::Origin::Builder);
    if (!model || !paramDialog || !paramDialog(*model)) return false;
    SetText(model->DefineText(), 0, 0);
    selStart_ = text_.size();
    return true;
}

}  // namespace zeriru
