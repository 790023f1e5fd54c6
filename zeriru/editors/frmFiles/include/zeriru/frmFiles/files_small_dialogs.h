// Models of the small dialogs around the files list: the add position "追加位置の指定", the kind
// conversion "ファイル/フォルダ種別の変換" and the folder add dialog TfrmFolderSelectDialog
// "フォルダからファイルの追加" with its folder history.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editor_settings.h"
#include "zeriru/frmFiles/file_tree.h"

#include <string>
#include <vector>

namespace zeriru {

class Ui;

// Where new items go.
enum class AddPosition { AfterSelected = 0, BeforeSelected, Top, End };

class AddPositionDialogModel {
public:
    explicit AddPositionDialogModel(bool itemSelected) : itemSelected_(itemSelected) {}

    static std::string Caption();  // "追加位置の指定"
    static std::string GroupCaption();
    static std::string ChoiceText(AddPosition position);
    static std::string DontShowCaption();  // "今後表示しない(&D)"
    // The two choices that name the selected item need one.
    bool Enabled(AddPosition position) const;

    AddPosition position = AddPosition::End;
    bool dontShowAgain = false;

    // The message shown after OK with "今後表示しない(&D)".
    static std::string DontShowMessage();

private:
    bool itemSelected_;
};

// The row the first new item takes, for a list of `size` items with `selected` as the selected
// row (-1: none).
int InsertionRow(AddPosition position, int selected, int size);

class KindConversionDialogModel {
public:
    explicit KindConversionDialogModel(int kind) : kind(kind >= 0 && kind <= 4 ? kind : 0) {}

    static std::string Caption();  // "ファイル/フォルダ種別の変換"
    static std::string Prompt();   // "変換後の種別を選択してください。"
    static std::string GroupCaption();  // "種別"
    static std::string ShowDetailsCaption();  // "変換後詳細画面を表示する(&D)"

    int kind;
    bool showDetails = false;
};

class FolderSelectDialogModel {
public:
    // Loads the folder history: values "0".."24" of Dialog\Folder up to the first missing or empty
    // one.
    explicit FolderSelectDialogModel(SettingsStore& store);

    static std::string Caption();        // "フォルダからファイルの追加"
    static std::string BrowseCaption();  // the folder browser's caption
    const std::vector<std::string>& history() const { return history_; }

    std::string folder;
    FolderScanOptions options;

    // OK: a folder is required (after the message the folder browser opens; a folder chosen
    // there fills the text and the dialog stays open) and must be a full path. The messages are
    // shown here; false keeps the dialog open on the folder.
    bool Ok(Ui& ui);
    // However the dialog closes: a folder text that is not empty goes first in the history.
    void Close();

private:
    SettingsStore& store_;
    std::vector<std::string> history_;
};

inline constexpr std::size_t kFolderHistoryEntries = 25;

}  // namespace zeriru
