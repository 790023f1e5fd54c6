// Model of the INI list dialog TfrmIniFileDialog ("INIファイルの設定"): the list of entries with
// its switch "INIファイルを編集する(&E)", the item dialog and the import of existing INI files.
#pragma once

#include "zeriru/editors/ini_item_dialog_model.h"
#include "zeriru/editors/item_list_dialog_model.h"
#include "zeriru/ini_document.h"

#include <functional>
#include <string>
#include <vector>

namespace zeriru {

class EditorData;
class Ui;

namespace ini_key {
inline constexpr std::string_view kSetting = "IniFileSetting";
inline constexpr std::string_view kDefaultItems = "IniFileItems";
inline constexpr std::string_view kEnable = "EnableIniFileSetting";
}  // namespace ini_key

// The entries of INI files of this machine as items: for each file in order, each section in
// file order, each key of it in order, an item that writes the key's value at install, below
// "%InstallDir%" under the file's bare name, with `os` and no condition. A file that cannot be
// read gives nothing; at most `room` items.
std::vector<IniItem> ReadIniFileItems(const std::vector<std::string>& windowsPaths, const OsTarget& os,
                                      std::size_t room);

class IniDialogModel {
public:
    IniDialogModel(EditorData& data, std::function<void(int, bool)> showHint);

    static std::string Caption();  // "INIファイルの設定"
    static std::string ImportFilter();

    void Load(const TIniDocument& project, bool readOnly);
    // OK: the items section erased and written from "0" in list order, and the switch.
    void Write(TIniDocument& project) const;

    ItemListDialogModel& items() { return items_; }
    const ItemListDialogModel& items() const { return items_; }
    bool readOnly() const { return items_.readOnly(); }

    using ItemDialogRunner = std::function<bool(IniItemDialogModel&)>;
    IniItemDialogModel NewItemDialog() const;
    IniItemDialogModel ItemDialogFor(int row) const;

    // "追加": the limit, then the item dialog; OK appends and turns the switch on. The new row,
    // -1 when nothing was added.
    int Add(Ui& ui, const ItemDialogRunner& dialog);
    // "編集": OK rewrites the record in place; a read-only project shows the item only.
    bool Edit(int row, const ItemDialogRunner& dialog);
    // "コピー": the duplicate's row (to be selected), -1 when nothing was copied.
    int Copy(int row);
    bool Delete(Ui& ui, const std::vector<int>& rows);
    bool Clear(Ui& ui);
    void SortByColumn(int column);
    // "インポート(&I)": INI files chosen in an open dialog; their entries are appended until the
    // list is full, without a word. The number of items added.
    int Import(Ui& ui);

    // OK with the switch on and no item asks "項目が登録されていませんがよろしいですか。": No keeps
    // the dialog open, Yes turns the switch off and closes. True when the dialog closes.
    bool ConfirmOk(Ui& ui);
    bool ConfirmCancel(Ui& ui) const { return items_.ConfirmDiscard(ui); }

private:
    EditorData& data_;
    std::function<void(int, bool)> showHint_;
    ItemListDialogModel items_;
    std::string itemsSection_;
};

}  // namespace zeriru
