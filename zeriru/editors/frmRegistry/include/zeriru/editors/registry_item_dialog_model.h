// Model of the registry item dialog TfrmRegistryItemDialog ("レジストリ項目"): the tab "詳細"
// (processing timing, root key, sub-key, value name, value type and the value as text or as a
// byte grid) and, in advanced mode, the tab "その他設定" (the condition and the three options),
// with the item's OS target.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/condition.h"
#include "zeriru/editors/define_dialogs.h"
#include "zeriru/editors/os_target.h"
#include "zeriru/editors/registry_item.h"

#include <functional>
#include <string>
#include <vector>

namespace zeriru {

class EditorData;

namespace registry_control {
inline constexpr const char* kTiming = "cmbProcessTiming";
inline constexpr const char* kRootKey = "cmbRootKey";
inline constexpr const char* kSubKey = "edtSubKey";
inline constexpr const char* kValueName = "edtValueName";
inline constexpr const char* kValueType = "cmbValueType";
inline constexpr const char* kValue = "edtValue";
inline constexpr const char* kBinaryGrid = "grdBinary";
inline constexpr const char* kDetailPage = "tsDetail";
inline constexpr const char* kOtherPage = "tsOther";
}  // namespace registry_control

class RegistryItemDialogModel {
public:
    // `showHint` runs the main window's hint dialog (index, allow suppress).
    RegistryItemDialogModel(EditorData& data, bool readOnly, std::function<void(int, bool)> showHint);

    static std::string Caption();  // "レジストリ項目"
    bool readOnly() const { return readOnly_; }
    bool advancedMode() const;

    // The dialog shows `item`; a new item starts with the project-wide OS target.
    void Load(const RegistryItem& item);
    RegistryItem NewItem() const;
    // What the controls hold, as OK stores it.
    RegistryItem Item() const;

    std::string root = "HKEY_CURRENT_USER";
    std::string subKey, valueName;
    std::string value;               // the string and DWORD types
    std::vector<std::string> cells;  // the binary type, row by row
    int options = 0;
    ConditionEditorModel condition;
    OsTarget os;

    int timing() const { return timing_; }
    // A timing other than at install shows the hint, unless an item is being loaded.
    void SetTiming(int timing);
    int type() const { return type_; }
    // Another type empties the value and every cell, unless an item is being loaded.
    void SetType(int type);
    bool UsesGrid() const { return type_ == registry_value_type::kBinary; }
    // A cell keeps what FilterBinaryCell keeps of the typed text.
    void SetCell(int index, std::string_view typed);
    // "クリア(&C)" of the grid.
    void ClearGrid();

    // The tab "その他設定" shows in advanced mode only.
    bool OtherPageVisible() const { return advancedMode(); }
    // "OSの設定(&O)" works while the project checks the OS.
    bool OsButtonEnabled() const;
    OsDialogModel OsDialog() const;
    void ApplyOs(const OsDialogModel& dialog) { os = dialog.Result(); }

    // The builder on the value: only the numeric defines for a DWORD.
    DefineBuilderDialogModel ValueBuilder() const;
    // The define combos of the condition groups.
    std::vector<std::string> ConditionDefineChoices() const;

    // The checks in order; a failure names the control and its tab.
    CheckOutcome Check() const;
    bool Ok(CheckOutcome* failed) const;

private:
    EditorData& data_;
    bool readOnly_;
    std::function<void(int, bool)> showHint_;
    int timing_ = process_timing::kInstall;
    int type_ = registry_value_type::kString;
    bool loading_ = false;
};

}  // namespace zeriru
