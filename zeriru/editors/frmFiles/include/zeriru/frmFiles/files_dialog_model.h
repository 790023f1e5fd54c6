// Model of the list dialog TfrmFilesDialog ("ファイル/フォルダの設定"): the list of files items
// (at most 32,768), the selection, every command of its menus, buttons and pop-up menu with the
// rule that enables it, the two stored menu toggles, the addition with its position and abort,
// the changed flag and the discard question, and the read-only view. The same dialog edits the
// list of a component definition file.
//
// Dialogs the commands open (the item dialog, the add position, the kind conversion, the item
// check) come through FilesDialogSeams, so a test drives every command without widgets. A view
// follows the list through FilesListObserver.
#pragma once

#include "zeriru/editors/editor_data.h"
#include "zeriru/editors/item_list.h"
#include "zeriru/frmFiles/files_item_dialog_model.h"
#include "zeriru/frmFiles/files_list_tools.h"
#include "zeriru/frmFiles/files_small_dialogs.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zeriru {

class Ui;

enum class FilesCommand {
    Open,            // 開く(&O)
    ItemCheck,       // 項目のチェック(&C)
    TotalSize,       // 必要容量の確認(&S)
    Ok,              // 反映して閉じる(&U), OK
    Cancel,          // 閉じる(&C), キャンセル
    Add,             // 追加(&A)...
    Edit,            // 編集(&E)...
    Delete,          // 削除(&D)
    Copy,            // コピー(&P)
    Clear,           // クリア(&C)
    Convert,         // 変換(&V)
    MoveTop,         // 最上位へ(&T)
    MoveUp,          // 上へ(&U)
    MoveDown,        // 下へ(&D)
    MoveBottom,      // 最下位へ(&B)
    SelectAll,       // すべて選択(&S)
    InvertSelection, // 選択の反転(&R)
    Import,          // インポート(&I)...
    Export,          // エクスポート(&E)...
    AutoRegister,    // 共有ファイルを自動登録(&R)
    PositionSelect,  // 「追加」位置を指定する(&P)
    Help,            // ヘルプ(&H)
    Abort,           // 中止(&A), shown while items are added
};

// How the list changed, for a view that keeps its own copy of the rows.
class FilesListObserver {
public:
    virtual ~FilesListObserver() = default;
    // Everything may have changed.
    virtual void ListReset() = 0;
    virtual void RowsInserted(int row, int count) = 0;
    // Ascending rows removed.
    virtual void RowsRemoved(const std::vector<int>& rows) = 0;
    virtual void RowChanged(int row) = 0;
    // One row moved from `from` to `to`; the rows between shift by one.
    virtual void RowMoved(int from, int to) = 0;
    // The selection or the adding state changed.
    virtual void StateChanged() = 0;
    // An addition has made `made` items so far.
    virtual void Adding(int made) {}
};

struct FilesDialogSeams {
    // Shows the item dialog; true when it closed with Finish or OK.
    std::function<bool(FilesItemDialogModel&)> itemDialog;
    std::function<bool(AddPositionDialogModel&)> addPositionDialog;
    std::function<bool(KindConversionDialogModel&)> kindConversionDialog;
    // Shows the item check dialog; true after OK.
    std::function<bool(FileCheckDialogModel&)> fileCheckDialog;
    // Shows the list dialog on a component definition file's records; true after OK.
    std::function<bool(std::vector<std::string>&)> componentListDialog;
    // Whether files of an extension (".txt") have an "open" command, and opening one.
    std::function<bool(std::string_view extension)> hasOpenCommand;
    std::function<bool(std::string_view path)> openFile;
    // The machine's files: existence and size.
    std::function<bool(std::string_view path)> fileExists;
    std::function<std::uint64_t(std::string_view path)> fileSize;
    RegistrableTest registrable = DefaultRegistrableTest();
};

class FilesDialogModel {
public:
    // `componentList`: the list of a component definition file rather than the project's.
    FilesDialogModel(Ui& ui, EditorData& data, FilesDialogSeams seams, bool readOnly, bool componentList);

    static std::string Caption();  // "ファイル/フォルダの設定"
    static std::string MsgEmptyList();

    Ui& ui() { return ui_; }
    EditorData& data() { return data_; }
    bool readOnly() const { return readOnly_; }
    bool componentList() const { return componentList_; }
    const ItemList& list() const { return list_; }
    // The list a list panel shows; changes go through the commands here.
    ItemList& listForView() { return list_; }
    const std::vector<std::string>& records() const { return list_.records(); }
    int size() const { return list_.size(); }
    void SetObserver(FilesListObserver* observer) { observer_ = observer; }

    // The list as read (progress "読み込み中"); not a change.
    void Load(std::vector<std::string> records);
    bool changed() const { return list_.changed(); }

    // ---- selection ----
    const std::vector<int>& selection() const { return selection_; }
    // Rows selected (any order, duplicates and rows outside the list ignored) and the row with
    // the focus.
    void SetSelection(std::vector<int> rows, int current = -1);
    // The selected row the commands of one item act on: the focused one when it is selected,
    // else the first.
    int SelectedRow() const;

    // ---- commands ----
    bool Enabled(FilesCommand command) const;
    // OK and "反映して閉じる" are hidden for a read-only project; "中止" shows only while adding.
    bool Visible(FilesCommand command) const;
    bool adding() const { return adding_; }

    // OK: at least one item, else the message; true when the dialog may close.
    bool Ok();
    // Cancel, Esc or the close box: asks before changes are discarded; true when it may close.
    bool Cancel();

    void Open();
    void ItemCheck();
    void TotalSize();
    void Add();
    void Edit();
    void Delete();
    void Copy();
    void Clear();
    void Convert();
    void MoveTop();
    void MoveUp();
    void MoveDown();
    void MoveBottom();
    void SelectAll();
    void InvertSelection();
    void Import();
    void Export();
    // "中止(&A)": the addition stops after the item being made.
    void Abort() { abortRequested_ = true; }
    // Runs a command by its name (menus, buttons, keys).
    void Run(FilesCommand command);

    // ---- the two menu toggles (Dialog\Files AutoRegistOcx, EnablePositionSelect) ----
    bool autoRegister() const { return autoRegister_; }
    bool positionSelect() const { return positionSelect_; }
    void SetAutoRegister(bool on) { autoRegister_ = on; }
    void SetPositionSelect(bool on) { positionSelect_ = on; }
    // Read when the dialog opens, written when it closes.
    void StoreToggles();

    // The item dialog's environment for this list.
    FilesItemDialogModel::Environment ItemEnvironment();

private:
    class Inserter;
    void Notify(void (FilesListObserver::*what)());
    void Reset();
    bool EditRecordsAt(const std::vector<int>& rows);
    bool EditOne(int row);
    int Move(int row, int to);

    Ui& ui_;
    EditorData& data_;
    FilesDialogSeams seams_;
    bool readOnly_;
    bool componentList_;
    ItemList list_;
    std::vector<int> selection_;
    int current_ = -1;
    bool autoRegister_ = false;
    bool positionSelect_ = true;
    bool adding_ = false;
    bool abortRequested_ = false;
    FilesListObserver* observer_ = nullptr;
};

}  // namespace zeriru
