// Model of the registry list dialog TfrmRegistryDialog ("レジストリの設定"): the list of values
// with its switch "レジストリを登録する(&R)", the item dialog and the import.
#pragma once

#include "platform/registry.h"
#include "zeriru/editors/item_list_dialog_model.h"
#include "zeriru/editors/registry_import_model.h"
#include "zeriru/editors/registry_item_dialog_model.h"
#include "zeriru/ini_document.h"

#include <functional>
#include <string>
#include <vector>

namespace zeriru {

class EditorData;
class Ui;

namespace registry_key {
inline constexpr std::string_view kSetting = "RegistrySetting";
inline constexpr std::string_view kDefaultItems = "RegistryItems";
inline constexpr std::string_view kEnable = "EnableRegistrySetting";
}  // namespace registry_key

class RegistryDialogModel {
public:
    RegistryDialogModel(EditorData& data, platform::registry::Registry& registry,
                        std::function<void(int, bool)> showHint);

    static std::string Caption();  // "レジストリの設定"

    void Load(const TIniDocument& project, bool readOnly);
    // OK: the items section erased and written from "0" in list order, and the switch.
    void Write(TIniDocument& project) const;

    ItemListDialogModel& items() { return items_; }
    const ItemListDialogModel& items() const { return items_; }
    bool readOnly() const { return items_.readOnly(); }
    // The registry the import reads.
    platform::registry::Registry& registry() const { return registry_; }

    using ItemDialogRunner = std::function<bool(RegistryItemDialogModel&)>;
    using ImportDialogRunner = std::function<bool(RegistryImportDialogModel&)>;
    RegistryItemDialogModel NewItemDialog() const;
    RegistryItemDialogModel ItemDialogFor(int row) const;

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
    // "インポート(&I)": the limit, then the import dialog; each listed value is appended until the
    // limit, which is then told once. The number of items added.
    int Import(Ui& ui, const ImportDialogRunner& dialog);

    // OK with the switch on and no item asks "項目が登録されていません。リストに項目を追加しますか。":
    // Yes keeps the dialog open, No turns the switch off and closes. True when the dialog closes.
    bool ConfirmOk(Ui& ui);
    bool ConfirmCancel(Ui& ui) const { return items_.ConfirmDiscard(ui); }

private:
    EditorData& data_;
    platform::registry::Registry& registry_;
    std::function<void(int, bool)> showHint_;
    ItemListDialogModel items_;
    std::string itemsSection_;
};

}  // namespace zeriru
