// The texts the module shows: the language section of INSTALL.DAT, with the module's own
// Japanese texts behind it, so that a damaged or incomplete data file still gets a readable
// message and no step goes untold.
#pragma once

#include "zeriru/ini_document.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace installer {

// Text ids of the language section used by the module.
namespace text_id {
inline constexpr int kTitle = 0;            // "%s セットアップ", when the project has no title
inline constexpr int kYes = 5;
inline constexpr int kNo = 6;
inline constexpr int kAgree = 11;
inline constexpr int kDisagree = 12;
inline constexpr int kStop = 13;
inline constexpr int kRetry = 14;
inline constexpr int kWelcome = 100;
inline constexpr int kAlreadyInstalled = 103;
inline constexpr int kNewerInstalled = 104;
inline constexpr int kUpdating = 105;
inline constexpr int kNewerInstalledQuestion = 106;
inline constexpr int kLicenseTitle = 200;
inline constexpr int kLicenseRead = 201;
inline constexpr int kLicenseQuestion = 202;
inline constexpr int kReadMeTitle = 203;
inline constexpr int kReadMeRead = 204;
inline constexpr int kFolderQuestion = 301;
inline constexpr int kFolderPrompt = 302;
inline constexpr int kFolderInvalid = 307;
inline constexpr int kShortcutOptions = 351;
inline constexpr int kGroupPrompt = 352;
inline constexpr int kDesktopShortcut = 354;
inline constexpr int kQuickLaunchShortcut = 355;
inline constexpr int kStartupShortcut = 356;
inline constexpr int kSendToShortcut = 357;
inline constexpr int kAllUsers = 358;
inline constexpr int kReady = 451;
inline constexpr int kDestination = 453;
inline constexpr int kGroup = 454;
inline constexpr int kInstalling = 501;
inline constexpr int kCopying = 502;
inline constexpr int kCreatingFolder = 503;
inline constexpr int kCreatingShortcut = 504;
inline constexpr int kWritingRegistry = 505;
inline constexpr int kWritingIni = 506;
inline constexpr int kRunningProgram = 507;
inline constexpr int kWritingRecord = 508;
inline constexpr int kDeletingFile = 509;
inline constexpr int kRegistering = 512;
inline constexpr int kFinished = 601;
inline constexpr int kStopped = 701;
inline constexpr int kCannotCopy = 702;
inline constexpr int kCannotCreateFolder = 704;
inline constexpr int kWrongSystem = 705;
inline constexpr int kNeedsAdministrator = 706;
inline constexpr int kCannotReadData = 707;
inline constexpr int kFileInUse = 708;
inline constexpr int kOverwrite = 709;
inline constexpr int kCannotWriteRegistry = 710;
inline constexpr int kCannotWriteIni = 711;
inline constexpr int kCannotRunProgram = 712;
inline constexpr int kCannotCreateShortcut = 713;
inline constexpr int kAlreadyRunning = 714;
inline constexpr int kFilesDamaged = 715;
inline constexpr int kOverwriteReadOnly = 716;
inline constexpr int kInstallError = 717;
inline constexpr int kDataDamaged = 718;
inline constexpr int kNothingToInstall = 719;
inline constexpr int kRecovering = 720;
inline constexpr int kNotEnoughMemory = 721;
inline constexpr int kOutsideFolders = 722;
inline constexpr int kProgramFailed = 723;
inline constexpr int kRollingBack = 724;
inline constexpr int kNeedsPowerUser = 725;
inline constexpr int kWorkPending = 726;
inline constexpr int kCannotRegister = 727;
inline constexpr int kNewerKept = 728;
inline constexpr int kOtherInstalled = 730;
inline constexpr int kOtherMissing = 731;
inline constexpr int kUninstallingOther = 732;
inline constexpr int kOtherNotUninstalled = 733;
inline constexpr int kUninstallTitle = 800;
inline constexpr int kUninstallQuestion = 801;
inline constexpr int kRemoving = 802;
inline constexpr int kRemovingFile = 803;
inline constexpr int kRemovingShortcut = 804;
inline constexpr int kRemovingRegistry = 805;
inline constexpr int kRemoved = 806;
inline constexpr int kLeftBehind = 807;
inline constexpr int kRemoveShared = 808;
inline constexpr int kRemoveSystemFile = 809;
inline constexpr int kRemoveSettings = 810;
inline constexpr int kNoUninstallInfo = 811;
inline constexpr int kUninstallStopped = 813;
inline constexpr int kUninstallNeedsAdministrator = 814;
inline constexpr int kUninstallNeedsPowerUser = 815;
inline constexpr int kCannotRemove = 816;
inline constexpr int kRecoveringUninstall = 817;
inline constexpr int kUnregistering = 818;
inline constexpr int kRestoring = 819;
inline constexpr int kOtherStillInstalled = 820;
inline constexpr int kRecordPath = 1200;
}  // namespace text_id

// The texts of the language section [ResourceString_<LocalID>] of the data file.
class LanguageTexts {
public:
    LanguageTexts() = default;
    // The section named by [Control_Info] LocalID (default 1041); the module key's own
    // section when only that one exists.
    explicit LanguageTexts(const zeriru::TIniDocument& data);
    // Text `id` with each "%s" replaced by the next argument and "#13" by a line feed. A text
    // the section lacks is the module's own Japanese text; an id the module has no text for
    // gives the arguments joined by blanks.
    std::string Text(int id, std::initializer_list<std::string_view> args = {}) const;
    // A button caption without its "&" accelerator mark.
    std::string Caption(int id) const;

private:
    zeriru::TIniDocument section_;
};

// The module's own text of an id (Shift-JIS); empty when it has none.
std::string BuiltInText(int id);

}  // namespace installer
