// The output name composer "インストーラファイル名の指定" (TfrmCreateFileNameDialog) and its item
// dialog "ファイル名定義項目" (TfrmCreateFileNameItemDialog): an output file name edited as a list
// of literal texts and placeholders ("%VER_MAJOR%", "%CDATE%", ...), which the build fills in.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

// One row: the type ("任意の文字列" for a literal, else the placeholder itself) and the value.
struct OutputNameRow {
    std::string type;
    std::string value;
    bool operator==(const OutputNameRow&) const = default;
};

// "任意の文字列" (Shift-JIS).
std::string LiteralRowType();
// The item dialog's types in order: "任意の文字列", "%VER_MAJOR%", ... "%CTIME%".
const std::vector<std::string>& OutputNameItemTypes();

// Splits a name into rows: literal runs, and "%name%" as a placeholder row in upper case.
// `keepEmptyPlaceholder`: "%%" becomes the row ("%%", "%%") (the create-option dialog); without
// it "%%" adds no row (the property dialog). A "%" without a closing "%" starts literal text
// that runs to the end, so no text is lost.
std::vector<OutputNameRow> SplitOutputName(std::string_view text, bool keepEmptyPlaceholder);
// The values of the rows joined in order.
std::string JoinOutputName(const std::vector<OutputNameRow>& rows);

class CreateFileNameItemDialogModel {
public:
    // A new row: "任意の文字列" chosen, the value editable and empty.
    CreateFileNameItemDialogModel();
    // An existing row: a placeholder shows its type with the value disabled; a placeholder the
    // list does not hold ("%FOO%") shows no type chosen; a literal shows its value editable.
    explicit CreateFileNameItemDialogModel(const OutputNameRow& row);

    static std::string Caption();  // "ファイル名定義項目"
    // Index into OutputNameItemTypes(); -1 when none is chosen.
    int type() const { return type_; }
    // The literal enables the value; a placeholder disables it and sets it to the placeholder.
    void SelectType(int index);
    bool ValueEnabled() const { return type_ == 0; }
    const std::string& value() const { return value_; }
    void SetValue(std::string value);
    // The row on OK (any value is accepted, an empty one included); a row opened with no type
    // chosen keeps its type.
    OutputNameRow Row() const;

private:
    int type_ = 0;
    std::string value_;
    std::string originalType_;
};

using CreateFileNameItemDialog = std::function<bool(CreateFileNameItemDialogModel&)>;

class CreateFileNameDialogModel {
public:
    // `fileName`: the text of the file name field. `keepEmptyPlaceholder` as SplitOutputName.
    CreateFileNameDialogModel(std::string_view fileName, bool keepEmptyPlaceholder, bool readOnly);

    static std::string Caption();  // "インストーラファイル名の指定"
    const std::vector<OutputNameRow>& rows() const { return rows_; }

    // "追加(&A)...": the item dialog with "任意の文字列"; on OK a row is appended. Returns its
    // row, -1 when cancelled.
    int Add(const CreateFileNameItemDialog& itemDialog);
    // "編集(&E)..." or a double click on a row.
    bool Edit(int row, const CreateFileNameItemDialog& itemDialog);
    // "削除(&D)": asks "選択項目を削除しますか。" (Yes/No).
    bool Delete(Ui& ui, int row);
    // "▲" / "▼": swaps with the neighbour; returns the row it stands at afterwards.
    int MoveUp(int row);
    int MoveDown(int row);

    // Enabled states for the selected rows.
    bool EditEnabled(const std::vector<int>& selected) const { return !selected.empty(); }
    bool DeleteEnabled(const std::vector<int>& selected) const { return !selected.empty() && !readOnly_; }
    bool UpEnabled(const std::vector<int>& selected) const;
    bool DownEnabled(const std::vector<int>& selected) const;

    // What OK puts into the file name field.
    std::string Result() const { return JoinOutputName(rows_); }

private:
    bool ValidRow(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }

    std::vector<OutputNameRow> rows_;
    bool readOnly_;
};

}  // namespace zeriru
