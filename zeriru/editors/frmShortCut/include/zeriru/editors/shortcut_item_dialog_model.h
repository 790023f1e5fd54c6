// Model of the shortcut item dialog TfrmShortCutItemDialog ("ショートカット項目"): the tab "詳細"
// (name, target, arguments, working directory, comment, window, places), the tab "その他"
// (icon file and index, the existence check) and the internet-link mode below the tabs.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/define_dialogs.h"
#include "zeriru/editors/shortcut_item.h"

#include <string>
#include <vector>

namespace zeriru {

class EditorData;
class Ui;

// Object names of the controls the checks name.
namespace shortcut_control {
inline constexpr const char* kName = "edtName";
inline constexpr const char* kTarget = "edtFileName";
inline constexpr const char* kArguments = "edtParam";
inline constexpr const char* kWorkingDirectory = "edtWorkDir";
inline constexpr const char* kComment = "edtComment";
inline constexpr const char* kTargets = "grpTarget";
inline constexpr const char* kIconFile = "edtIconFileName";
inline constexpr const char* kIconIndex = "edtIconIndex";
inline constexpr const char* kDetailPage = "tsDetail";
inline constexpr const char* kOtherPage = "tsOther";
}  // namespace shortcut_control

class ShortCutItemDialogModel {
public:
    explicit ShortCutItemDialogModel(EditorData& data, bool readOnly = false);

    static std::string Caption();  // "ショートカット項目"
    EditorData& data() const { return data_; }
    bool readOnly() const { return readOnly_; }

    // The dialog shows `item` (a new item: the place "プログラム(&P)", the window "標準").
    void Load(const ShortCutItem& item);
    // What the controls hold, as OK stores it (the icon index as Ok() read it).
    ShortCutItem Item() const;

    std::string name, target, arguments, workingDirectory, comment;
    int window = 0;
    int targets = shortcut_target::kPrograms;
    std::string iconFile;
    std::string iconIndexText = "0";
    bool noExistCheck = false;

    bool TargetChecked(int bit) const { return (targets & (1 << bit)) != 0; }
    void SetTarget(int bit, bool on);

    // ---- the internet-link mode ----
    bool internetLink() const { return internetLink_; }
    void SetInternetLink(bool on) { internetLink_ = on; }
    // "URL(&U)" / "ファイル名/フォルダ(&F)" and "ファイル/URL(&U)" / "ファイル名(&F)".
    std::string TargetLabel() const;
    std::string IconLabel() const;
    // The target and icon edits take typed text only for an internet link; otherwise they are
    // set through "参照(&R)".
    bool PathsTyped() const { return internetLink_ && !readOnly_; }
    // Arguments, working directory, comment, window, the option and the browse and define
    // buttons work only for a file shortcut.
    bool FileControlsEnabled() const { return !internetLink_ && !readOnly_; }

    // ---- the define menus of the arguments and the working directory ----
    // "%InstallDir%", "%ProgramFilesDir%", "%SystemDirectory%", "%WindowsDirectory%", "その他".
    static std::vector<std::string> DefineMenu();
    // Whether the menu entry opens the define builder ("その他") instead of inserting itself.
    static bool MenuEntryOpensBuilder(int index);
    // The builder of "その他" on a field's text, offering the folder defines.
    DefineBuilderDialogModel Builder(std::string text) const;
    // A define put into a field's text: replaces the selection or goes in at the caret.
    static std::string InsertDefine(std::string_view text, std::size_t selStart, std::size_t selLength,
                                    std::string_view define);

    // ---- OK ----
    // The checks in order; a failure names the control (and its tab) to go back to.
    CheckOutcome Check() const;
    // A failed check after which the target dialog opens ("ファイルを指定してください。").
    static bool OpensTargetDialog(const CheckResult& result);
    // Check(), then the empty icon index becomes "0". False (the result in `failed`) when a
    // check failed.
    bool Ok(CheckOutcome* failed);

private:
    EditorData& data_;
    bool readOnly_;
    bool internetLink_ = false;
};

}  // namespace zeriru
