// Models of the two define dialogs: the define builder "定数ビルダー" (categories of DEFINE.DAT,
// the defines a field admits, paste at the caret) and the define parameter dialog
// "フォルダ定数パラメータ入力" (one row per parameter of DEFINEPARAM.DAT, checked by its input
// type). Texts are Shift-JIS; caret positions are byte offsets on character boundaries.
#pragma once

#include "zeriru/defines.h"
#include "zeriru/editors/check_result.h"
#include "zeriru/ini_document.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

// ---- the define parameter dialog ----

class DefineParamDialogModel {
public:
    // Where the dialog was opened: from a setting editor's "詳細" (EditDefineParameters), or
    // from the builder's "パラメータ入力"/paste. From the builder the browse button of input type
    // 1 is not offered.
    enum class Origin { SettingEditor, Builder };

    struct Row {
        TDefineParam param;
        std::string value;  // decoded
    };

    DefineParamDialogModel(std::string define, std::vector<TDefineParam> params, std::vector<std::string> values,
                           Origin origin);

    static std::string Caption();  // "フォルダ定数パラメータ入力"
    const std::string& define() const { return define_; }
    int defineId() const { return FindDefineId(define_); }
    Origin origin() const { return origin_; }

    const std::vector<Row>& rows() const { return rows_; }
    void SetValue(std::size_t row, std::string value);
    // The drop-down entries of a row: the root keys (type 2), the folder defines (3), the
    // parameter's own choices (8); empty for the other types.
    std::vector<std::string> Choices(std::size_t row) const;
    // Types 1 (not from the builder), 5, 6 and 7 carry a browse button.
    bool HasBrowse(std::size_t row) const;
    // Type 6 of the search defines picks several files, joined with ":".
    bool BrowsesSeveralFiles(std::size_t row) const;

    // The current row; Up and Down move between rows.
    int current() const { return current_; }
    void SetCurrent(int row);
    void MoveUp() { SetCurrent(current_ - 1); }
    void MoveDown() { SetCurrent(current_ + 1); }

    // "クリア": empties every value.
    void Clear();
    // OK: tests every row in order; the first failure selects its row and gives its message,
    // captioned with the parameter's caption, naming the row's value control ("edtParam<row>").
    CheckOutcome Ok();

    // The values joined with "," (what a setting editor's parameter field receives).
    std::string ParameterPart() const;
    // The define, "\" and ParameterPart(), not escaped.
    std::string DefineText() const;
    // The same escaped as a record field holds it (the value a browse of type 1 puts into a
    // cell: its "," must not split the outer parameter list).
    std::string EncodedDefineText() const;

    // Object name of a row's value control.
    static std::string ValueControlName(std::size_t row);

private:
    std::string define_;
    std::vector<Row> rows_;
    Origin origin_;
    int current_ = 0;
};

// Opens the parameter dialog of `defineText` with the values of `parameterPart` (decoded, ","
// separated). nullopt, after the message, when DEFINEPARAM.DAT is missing (`paramDat` null) or
// the define has no parameter definition: "パラメータはありません。" from a setting editor,
// "パラメータが存在しないか、フォルダ定数を含んでいません。" from the builder.
std::optional<DefineParamDialogModel> OpenDefineParameters(Ui& ui, const TIniDocument* paramDat,
                                                           std::string_view defineText,
                                                           std::string_view parameterPart,
                                                           DefineParamDialogModel::Origin origin);

// Shows a parameter dialog model; true when it was closed with OK.
using DefineParamDialogRunner = std::function<bool(DefineParamDialogModel&)>;

// ---- the define builder ----

class DefineBuilderDialogModel {
public:
    // `mask`: the class flags the field admits (kMaskAny, kMaskFolderOrFile, kMaskDWord, ...);
    // `text`: the field's text, which the dialog edits.
    DefineBuilderDialogModel(std::vector<TDefineCategory> categories, const TIniDocument* paramDat, int mask,
                             std::string text);

    static std::string Caption();  // "定数ビルダー"
    int mask() const { return mask_; }

    const std::vector<TDefineCategory>& categories() const { return categories_; }
    // The category shown; -1 when there is none. It opens on the first that admits a define.
    int category() const { return category_; }
    void SelectCategory(int index);
    // The entries of the category shown whose define shares a bit with the mask.
    const std::vector<TDefineEntry>& entries() const { return entries_; }
    int entry() const { return entry_; }
    void SelectEntry(int index);
    // The hint under the list, of the entry chosen.
    std::string Hint() const;
    bool PasteEnabled() const { return entry_ >= 0; }

    // The edit box and its selection (a caret when the length is 0).
    const std::string& text() const { return text_; }
    void SetText(std::string text, std::size_t selStart, std::size_t selLength);
    void SetSelection(std::size_t selStart, std::size_t selLength);
    std::size_t selStart() const { return selStart_; }
    std::size_t selLength() const { return selLength_; }

    // "貼り付け(&P)" or a double click: asks before pasting into a text that is not empty (No
    // stops); a define with a parameter definition shows the parameter dialog and inserts the
    // define, "\" and its parameters; any other define inserts its entry's text. False when
    // nothing was inserted.
    bool Paste(Ui& ui, const DefineParamDialogRunner& paramDialog);
    // "%", "\" and ",": their character.
    void InsertCharacter(char c) { Insert(std::string(1, c)); }
    // "パラメータ入力": the parameter dialog for the define at the start of the text; on OK the
    // text becomes the define, "\" and the parameters.
    bool EnterParameters(Ui& ui, const DefineParamDialogRunner& paramDialog);
    // "クリア(&C)".
    void Clear() { SetText({}, 0, 0); }

    // Replaces the selection (or inserts at the caret), keeping the text before and after it;
    // the caret then stands after the inserted text.
    void Insert(std::string_view insert);

private:
    std::vector<TDefineCategory> categories_;
    const TIniDocument* paramDat_;
    int mask_;
    int category_ = -1;
    std::vector<TDefineEntry> entries_;
    int entry_ = -1;
    std::string text_;
    std::size_t selStart_ = 0, selLength_ = 0;
};

}  // namespace zeriru
