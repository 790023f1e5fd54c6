// The tools of the files list that work on the list as a whole: the item check with its
// correction dialog, the total size of the files, and the exchange of the list with an external
// file (.qpe) or another project. They act on the list's records; nothing reaches the project
// file before the list dialog's OK.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/item_list.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

// ---- the item check ----

enum class FileProblemKind { FileMissing = 0, PathTooLong, InvalidName };
std::string FileProblemText(FileProblemKind kind);         // "ファイルなし", ...
std::string FileProblemDescription(FileProblemKind kind);  // "ファイルが存在しません。", ...

struct FileProblem {
    int row = 0;  // the item's position in the list
    FileProblemKind kind = FileProblemKind::FileMissing;
    bool folder = false;  // a folder item: no file name
    std::string define, parameter, source;  // decoded
};

// What the check needs of the machine.
struct FileCheckServices {
    std::function<std::string(std::string_view)> expandInstallPath;
    std::function<bool(std::string_view)> fileExists;
};
// Longest destination path, characters.
inline constexpr std::size_t kMaxDestinationPath = 260;
// One problem per enabled file or folder item, the first that applies, in list order.
std::vector<FileProblem> FindFileProblems(const std::vector<std::string>& records, const FileCheckServices& services);

// The correction dialog "項目の修正" of one row.
class CorrectionDialogModel {
public:
    explicit CorrectionDialogModel(const FileProblem& problem);
    static std::string Caption();  // "項目の修正"
    // The fixed define list.
    static std::vector<std::string> DefineChoices();

    std::string define, parameter, fileName;
    // The file name is hidden for a folder row.
    bool FileNameVisible() const { return !folder_; }
    // The parameter is typed for a define without parameters, else filled through "詳細(&E)".
    bool ParameterTyped() const;
    CheckOutcome Ok() const;

private:
    bool folder_;
};

// The item check dialog "ファイルチェック".
class FileCheckDialogModel {
public:
    struct Row {
        FileProblem problem;
        bool remove = false;  // checked: the item goes without correction
    };

    explicit FileCheckDialogModel(std::vector<FileProblem> problems);
    static std::string Caption();  // "ファイルチェック"
    static std::string Prompt();
    static std::vector<std::string> ColumnCaptions();  // "種別", "フォルダ定数", "サブフォルダ", "ファイル", "コメント"
    // The texts of a row's columns.
    std::vector<std::string> RowTexts(int row) const;

    std::vector<Row>& rows() { return rows_; }
    const std::vector<Row>& rows() const { return rows_; }
    // "修正(&F)": the correction dialog's values go into the row.
    CorrectionDialogModel Correction(int row) const;
    void ApplyCorrection(int row, const CorrectionDialogModel& correction);
    // OK: from the last row to the first, a checked row deletes its item, any other writes its
    // define, parameter and source into the item. The list is then marked changed.
    void Apply(ItemList& list) const;

private:
    std::vector<Row> rows_;
};

std::string MsgNoProblems();  // "問題は見つかりませんでした。"

// ---- the total size ----
// "#,##0".
std::string FormatThousands(std::uint64_t value);
// The sizes of the files named in field 5 of every item, a missing file counting 0.
std::uint64_t TotalFileSize(const std::vector<std::string>& records,
                            const std::function<std::uint64_t(std::string_view)>& sizeOf);
// "必要容量の確認": the messages and the question of the command.
void ShowTotalSize(Ui& ui, const std::vector<std::string>& records,
                   const std::function<std::uint64_t(std::string_view)>& sizeOf);

// ---- export and import ----
std::string ExchangeExportFilter();
std::string ExchangeImportFilter();
// The folder the dialogs start in: ExtendData beside the editor program.
std::string ExchangeFolder(std::string_view editorFolder);

// "エクスポート(&E)...": the save dialog, then the file written. False when cancelled or failed
// (a failure is shown).
bool ExportFilesList(Ui& ui, std::string_view editorFolder, const std::vector<std::string>& records);

// Where imported records come from, by the filter chosen in the open dialog.
enum class ImportSource { ExchangeFile = 1, Project = 2, Nothing = 3 };
struct ImportResult {
    std::vector<std::string> records;  // the records to append
    int read = 0;
    int skipped = 0;
};
// Reads the records of a file as the source says, after the checks and the question; nullopt
// when refused or declined. Records that name a source file (file and component items) are
// kept only while that file exists.
std::optional<ImportResult> ReadImport(Ui& ui, std::string_view path, ImportSource source,
                                       const std::function<bool(std::string_view)>& fileExists);
// "インポート(&I)...": the open dialog, the reading, and the records appended at the end of the
// list (as far as the list has room). False when nothing was imported.
bool ImportFilesList(Ui& ui, std::string_view editorFolder, ItemList& list,
                     const std::function<bool(std::string_view)>& fileExists);

}  // namespace zeriru
