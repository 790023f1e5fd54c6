// Model of the installer options dialog TfrmInstallerOptionDialog ("インストーラの設定"): what
// the built installer does when the application is already there, silent modes, options, its
// screens with the document and licence files, the programs it runs and the applications it
// checks (their lists belong to the pages "ファイルの実行" and "関連アプリケーション"), the Windows
// versions it accepts, its requirements and where it keeps the uninstaller.
//
// When the accepted Windows versions change, Write asks whether the change goes into the OS
// target of every item of the project and carries it there (CarryOsChange).
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/editors/item_list.h"
#include "zeriru/editors/os_target.h"
#include "zeriru/editors/program_dialog_model.h"
#include "zeriru/ini_document.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zeriru {

class Ui;

inline constexpr int kInstallMethodCount = 4;
inline constexpr int kInstallOptionCount = 11;
inline constexpr int kScreenCount = 11;
inline constexpr int kProductTypeCount = 3;
inline constexpr int kUserLimitCount = 3;
inline constexpr int kMaxMemoryCheck = 16;       // steps of 256 MB
inline constexpr int kMemoryStepMegabytes = 256;

// Option lines of "インストールオプション(&O)" the dialog treats specially.
enum InstallOptionBit : int { kOptionCheckOldVersion = 4, kOptionAskNewerVersion = 9 };
// Screen lines (0-based) of the document and licence screens.
enum ScreenLine : int { kScreenDocument = 1, kScreenLicense = 2 };
// Uninstaller option bits.
enum UninstallerOption : int { kKeepUninstaller = 1, kOverwriteUninstaller = 2 };

// The indexes of the main window's hints this dialog shows.
namespace installer_hint {
inline constexpr int kCustomUninstaller = 1;
inline constexpr int kSilentUninstall = 2;
inline constexpr int kExeAppended = 4;
inline constexpr int kMainFileNeeded = 6;
}  // namespace installer_hint

// The change of the project-wide OS target the dialog made, carried into the item lists.
struct OsChange {
    // Per OS line: nullopt when its check did not change, else the new check.
    std::array<std::optional<bool>, kOsLineCount> lines;
    ServicePacks servicePacks{};  // the project-wide minimum service packs now
};
// Rewrites in place the OS target of every record of every list whose items carry one: each
// changed line sets or clears its bit, the other bits stay; then every service pack whose system
// the new mask includes takes the project-wide value. Only fields whose value changes are
// written; a record whose target stays is left byte for byte. Returns how many records changed.
int CarryOsChange(TIniDocument& project, const OsChange& change);

class InstallerOptionDialogModel {
public:
    static std::string Caption();  // "インストーラの設定"
    static std::string InstallMethodText(int method);
    static std::string InstallOptionText(int bit);
    static std::string ScreenText(int line);
    static std::string ProductTypeText(int type);
    static std::string UserLimitText(int limit);
    static std::string FileSizeUnitText(int unit);
    static std::string UninstallerOptionText(int bit);
    // The entries of "インストーラの格納先(&F)".
    static const std::vector<std::string>& UninstallerFolders();

    // Most programs the list holds; the related applications have no limit.
    static constexpr int kProgramLimit = 5000;
    // The texts of both lists: their limit and the question "項目を削除しますか。".
    static ItemListTexts ListTexts(int limit);

    InstallerOptionDialogModel(bool advancedMode, bool readOnly);
    void Fill(const TIniDocument& project);

    DialogFrameModel frame;
    bool advancedMode() const { return advanced_; }
    // The main window's hint dialog (hint index); the hints this dialog shows go there.
    std::function<void(int index)> showHint;

    // ---- "詳細" ----
    int installMethod = 0;
    bool supportInfo = false;
    bool silentInstall = false;
    bool silentUninstall() const { return silentUninstall_; }
    // Checking it shows the hint that the earlier installation must have been made the same way.
    void SetSilentUninstall(bool on);
    int options() const { return options_; }
    // "より新しいバージョンがインストールされている場合継続を確認する" needs "旧バージョンの状態を
    // チェックする": it is enabled only while that is set and cleared with it.
    bool OptionEnabled(int bit) const;
    // A click on an option line; checking "旧バージョンの状態をチェックする" shows its hint.
    void SetOption(int bit, bool on);

    // ---- "関連アプリケーション" ----
    bool relationEnabled = false;
    ItemList relations{ListTexts(0)};

    // ---- "インストーラ画面" ----
    std::array<bool, kScreenCount> screens{};
    std::string documentFile, licenseFile;
    bool alwaysAgree = false;
    bool readLicenseTillTheLast = false;
    int fileSizeUnit = 0;
    // A file chosen with "参照(&B)": it becomes the file and its screen line is checked.
    void ChooseDocument(std::string line);
    void ChooseLicense(std::string line);

    // ---- "ファイルの実行" ----
    bool programEnabled = false;
    ItemList programs{ListTexts(kProgramLimit)};
    bool groupExecution = true;
    std::string checkBoxCaption;
    bool defaultCheckBoxState = false;
    bool CheckBoxControlsEnabled() const { return groupExecution && !frame.readOnly(); }
    // What a program dialog opened now needs: the mode, the OS target the dialog shows, the run
    // mode chosen here.
    ProgramDialogModel::Setting ProgramSetting() const;

    // ---- "OSの設定" ----
    bool checkOs = true;  // "判別する"
    // The nine systems and the six service-pack combos (every system can be chosen here).
    OsDialogModel& osLines() { return os_; }
    const OsDialogModel& osLines() const { return os_; }
    int productType = 0;
    // The project-wide OS target as the dialog shows it now: the item dialogs opened from here
    // start new items with it and offer only its systems.
    OsTarget ProjectOs() const { return os_.Result(); }
    // Whether the OS check marks or a service-pack combo differ from what the dialog opened with.
    bool OsChanged() const;
    OsChange Change() const;

    // ---- "制限" ----
    int userLimit = 0;
    bool endFileRenOperation = false;
    bool fileUseCheck = false;
    int memoryCheck() const { return memory_; }
    void SetMemoryCheck(int steps);  // the up-down
    std::string MemoryText() const;

    // ---- "アンインストーラ" (advanced mode) ----
    bool uninstallerAuto() const { return uninstallerAuto_; }
    // Automatic: the custom controls take "%WindowsDirectory%", no parameter, "rodeve21.exe" and
    // option bit 0. Custom: both options are cleared and the hint about custom uninstallers shown.
    void SetUninstallerAuto(bool automatic);
    bool UninstallerControlsEnabled() const { return !uninstallerAuto_ && !frame.readOnly(); }
    std::string uninstallerFolder, uninstallerSubFolder, uninstallerFileName;
    int uninstallerOptions = kKeepUninstaller;

    // The checks of OK in order. The hint about the main file (an option without a main file)
    // is told through `ui` and does not stop OK; the boxes of empty lists are cleared; a custom
    // uninstaller name gets ".exe". The failure names the control and its page.
    CheckOutcome Ok(Ui& ui);
    // Every key and both lists; then, with "判別する" and a changed OS target, the question whether
    // to carry the change into every list (Yes: CarryOsChange). True when it was carried.
    bool Write(TIniDocument& project, Ui& ui) const;

private:
    void Hint(int index) const {
        if (showHint) showHint(index);
    }

    bool advanced_;
    std::string mainFileName_;
    bool silentUninstall_ = false;
    int options_ = 0;
    OsDialogModel os_{OsTarget{}, kOsMaskAll, false};
    std::array<OsDialogModel::Check, kOsLineCount> openedLines_{};
    std::array<int, kServicePackCount> openedPacks_{};
    int memory_ = 0;
    bool memoryTouched_ = false;
    bool uninstallerAuto_ = true;
};

}  // namespace zeriru
