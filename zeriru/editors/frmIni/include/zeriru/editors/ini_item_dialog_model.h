// Model of the INI item dialog TfrmIniFileAddItemDialog ("INIファイル項目"): the tab "詳細"
// (timing, processing, option, the INI file as define, parameter and file name with the path it
// gives on this machine, section, value name and value) and the tab "処理条件" (the condition),
// with the item's OS target.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/condition.h"
#include "zeriru/editors/define_dialogs.h"
#include "zeriru/editors/ini_item.h"
#include "zeriru/editors/os_target.h"
#include "zeriru/editors/process_timing.h"

#include <functional>
#include <string>
#include <vector>

namespace zeriru {

class EditorData;
class Ui;

namespace ini_control {
inline constexpr const char* kTiming = "cmbProcessTiming";
inline constexpr const char* kProcessing = "cmbProcess";
inline constexpr const char* kDefine = "cmbDefine";
inline constexpr const char* kParameter = "edtParameter";
inline constexpr const char* kFileName = "edtFileName";
inline constexpr const char* kSection = "edtSection";
inline constexpr const char* kValueName = "edtValueName";
inline constexpr const char* kValue = "edtValue";
inline constexpr const char* kDetailPage = "tsDetail";
inline constexpr const char* kConditionPage = "tsCondition";
}  // namespace ini_control

class IniItemDialogModel {
public:
    // `showHint` runs the main window's hint dialog (index, allow suppress).
    IniItemDialogModel(EditorData& data, bool readOnly, std::function<void(int, bool)> showHint);

    static std::string Caption();  // "INIファイル項目"
    bool readOnly() const { return readOnly_; }
    bool advancedMode() const;

    // The dialog shows `item`; a new item starts with the project-wide OS target.
    void Load(const IniItem& item);
    IniItem NewItem() const;
    // What the controls hold, as OK stores it (the parameter without a trailing "\").
    IniItem Item() const;

    std::string define = "%InstallDir%";
    std::string parameter, fileName, section, valueName, value;
    bool skipExisting = false;
    ConditionEditorModel condition;
    OsTarget os;

    int timing() const { return timing_; }
    // A timing other than at install shows the hint, unless an item is being loaded.
    void SetTiming(int timing);
    int processing() const { return processing_; }
    void SetProcessing(int processing);
    // Writing shows the value name and the value and enables the option; deleting a value shows
    // the value name only; deleting a section neither.
    bool ValueNameVisible() const { return processing_ != ini_processing::kDeleteSection; }
    bool ValueVisible() const { return processing_ == ini_processing::kWrite; }
    bool OptionEnabled() const { return processing_ == ini_processing::kWrite && !readOnly_; }

    // The define combo: the usual folders, then the editor data's list.
    std::vector<std::string> DefineChoices() const;
    // The define combos of the condition's file and INI groups.
    std::vector<std::string> ConditionDefineChoices() const;
    // "詳細(&E)": the define parameter dialog on the define; on OK the parameter is replaced.
    bool EditParameters(Ui& ui, const DefineParamDialogRunner& dialog);
    // "参照(&R)": the file's name, without its folder, goes into the field.
    bool BrowseFile(Ui& ui);
    // The builder on the value, with every define admitted.
    DefineBuilderDialogModel ValueBuilder() const;
    // The status line: the path of the INI file on this machine.
    std::string ResultPath() const;

    bool OsButtonEnabled() const;
    OsDialogModel OsDialog() const;
    void ApplyOs(const OsDialogModel& dialog) { os = dialog.Result(); }

    // The checks in order; a failure names the control and its tab.
    CheckOutcome Check() const;
    bool Ok(CheckOutcome* failed) const;

private:
    EditorData& data_;
    bool readOnly_;
    std::function<void(int, bool)> showHint_;
    int timing_ = 0;
    int processing_ = ini_processing::kWrite;
    bool loading_ = false;
};

}  // namespace zeriru
