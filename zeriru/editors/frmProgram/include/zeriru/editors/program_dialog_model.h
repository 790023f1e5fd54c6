// Model of the program dialog TfrmProgramFileSelectDialog ("ファイルの指定"): a wizard when a
// program is added (the target, then a file of the project or any other file, then the display,
// the OS target and the run condition) and a single page when one is edited. It builds the
// program record of the list on the installer options' page "ファイルの実行".
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/condition.h"
#include "zeriru/editors/installed_files.h"
#include "zeriru/editors/os_target.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

// Object names of the controls the checks focus and of the pages they bring to the front.
namespace program_control {
inline constexpr const char* kTargetPage = "tsTarget";
inline constexpr const char* kSelectPage = "tsSelectFile";
inline constexpr const char* kSpecifyPage = "tsSpecifyFile";
inline constexpr const char* kOtherPage = "tsOther";
inline constexpr const char* kDetailPage = "tsDetail";        // sub-page "詳細" of "その他"
inline constexpr const char* kConditionPage = "tsCondition";  // sub-page "実行条件" of "その他"
inline constexpr const char* kFileList = "lvFiles";
inline constexpr const char* kDefine = "cmbDefine";
inline constexpr const char* kParameter = "edtParameter";
inline constexpr const char* kFileName = "edtFileName";
inline constexpr const char* kItemText = "edtItemText";
}  // namespace program_control

// Window of a started program (field 5), timings (field 6) and option lines (field 7).
inline constexpr int kProgramWindowCount = 3;
inline constexpr int kProgramTimingCount = 5;
inline constexpr int kProgramOptionCount = 3;
enum ProgramTiming : int {
    kTimingUserChoice = 0,
    kTimingAfterInstall = 1,
    kTimingBeforeUninstall = 2,
    kTimingBeforeCopy = 3,
    kTimingAfterCopy = 4,
};
enum ProgramOption : int { kOptionWait = 0, kOptionCreateProcess = 1, kOptionConfirm = 2 };

std::string ProgramWindowText(int window);  // "標準サイズ", "最小化", "最大化"
std::string ProgramTimingText(int timing);
std::string ProgramOptionText(int line);
// The drop-down of "フォルダ定数(&D)" on "ファイルの指定".
const std::vector<std::string>& ProgramFolderDefines();
// The define combos of the run condition's file and INI groups.
const std::vector<std::string>& ProgramConditionDefines();
// The defines of the menus beside the argument fields; "その他" opens the define builder.
const std::vector<std::string>& ProgramArgumentDefines();

// The columns of the program list: "フォルダ" (field 2), "ファイル" (3), "引数" (4).
std::string ProgramRowText(std::string_view record, int column);
bool ProgramEnabled(std::string_view record);

class ProgramDialogModel {
public:
    enum class Page { Target, SelectFile, SpecifyFile, Other };
    enum class Mode { Add, Edit };
    // What the dialog needs to know of the editor and the installer options.
    struct Setting {
        bool advancedMode = false;
        bool projectChecksOs = true;  // [OSSetting] CheckOSVersion as the installer options show it
        OsTarget projectOs;           // the project-wide OS target, for a new item
        bool groupExecution = true;   // "すべての項目をまとめて実行する(&G)"
    };
    // What the user picks on a file page; each file page keeps its own.
    struct Launch {
        std::string arguments;
        int window = 0;
        int timing = kTimingUserChoice;
        int options = 0;
    };

    static std::string Caption();  // "ファイルの指定"

    // Adding: the wizard on "対象の選択" with the defaults of a new item.
    explicit ProgramDialogModel(const Setting& setting);
    // Editing `record`: "ファイルの指定" alone, with OK.
    ProgramDialogModel(const Setting& setting, std::string_view record);

    Mode mode() const { return mode_; }
    Page page() const { return page_; }
    const Setting& setting() const { return setting_; }

    bool enabled = true;  // "設定を有効にする(&E)"

    // ---- "対象の選択" ----
    bool projectFileTarget = true;  // "「ファイル/フォルダの設定」で指定されたファイル", else "外部ファイル"

    // ---- "ファイルの選択" ----
    // The project's files (kind 0), read once when the page is first shown.
    bool filesRead() const { return filesRead_; }
    void SetProjectFiles(std::vector<InstalledFile> files);
    const std::vector<InstalledFile>& projectFiles() const { return files_; }
    int selectedFile = -1;
    Launch selectLaunch;

    // ---- "ファイルの指定" ----
    std::string define = "%InstallDir%";
    std::string parameter;
    std::string fileName;
    Launch specifyLaunch;

    // The launch of a page, with the timing's rules for the option lines: timing 0 disables
    // lines 0 and 2 and clears line 0; timing 2 forces line 0 on and locks it; the others
    // enable both.
    Launch& launch(Page page) { return page == Page::SelectFile ? selectLaunch : specifyLaunch; }
    const Launch& launch(Page page) const { return page == Page::SelectFile ? selectLaunch : specifyLaunch; }
    void SetTiming(Page page, int timing);
    void SetOption(Page page, int line, bool on);
    bool OptionEnabled(Page page, int line) const;
    // The file page the item is built from: the one chosen on "対象の選択" (editing: "ファイルの指定").
    Page FilePage() const;

    // ---- "その他" ----
    OsTarget os;
    std::string itemText;
    bool visible = true;   // "項目を表示する(&V)"
    bool checked = true;   // "初期状態でチェックする(&D)"
    bool conditionOn = false;  // "ファイル実行条件を指定する(&C)"
    bool reverse = false;      // "指定した条件判断を逆にする(&R)"
    ConditionEditorModel condition;

    // What the page "その他" shows for the file page's timing and options.
    bool OtherPageShown() const;     // editing: in advanced mode or while the OS check is on
    bool ConditionPageShown() const { return setting_.advancedMode; }
    bool OsGroupShown() const { return setting_.projectChecksOs; }
    // The group "表示について" with the item text: shown for timing 0, or for another timing with
    // the confirmation line checked; its label says which.
    bool ItemTextShown() const;
    std::string ItemTextLabel() const;  // "項目内容(&I)" or "確認メッセージ(&M)"
    // The group "オプション" ("初期状態でチェックする", "項目を表示する"): timing 0 only.
    bool DisplayOptionsShown() const;
    // Editing with "その他" hidden: a failed item-text check reveals it.
    void RevealOtherPage() { otherRevealed_ = true; }

    // ---- the wizard's buttons ----
    bool BackVisible() const;
    std::string NextCaption() const;  // "次へ(&N)", "完了(&F)" or "OK"
    void Back();
    // "次へ"/"完了"/"OK": the checks of the page shown; moves on or finishes. The failure names
    // the control and page to show.
    CheckOutcome Next();
    bool finished() const { return finished_; }

    // The record of the item (`old`: the edited record; its other fields are kept).
    std::string Record(std::string_view old = {}) const;

private:
    bool FinishesOnFilePage() const;
    CheckOutcome CheckFilePage() const;
    CheckOutcome CheckOtherPage() const;
    void ShowOtherPage();
    std::string FolderField() const;

    Setting setting_;
    Mode mode_;
    Page page_;
    bool finished_ = false;
    bool otherRevealed_ = false;
    bool filesRead_ = false;
    std::vector<InstalledFile> files_;
};

}  // namespace zeriru
