// Help topics of the editor's windows and dialogs; each has its page help/<topic>.html. The
// build's messages carry their own topic numbers (46, 70, 96, ...), which have pages too.
#pragma once

namespace zeriru::help_topic {

inline constexpr int kContents = 0;  // the contents page (help/index.html)
inline constexpr int kMainWindow = 1;
inline constexpr int kOptionsBasic = 201;
inline constexpr int kOptionsInstallFile = 202;
inline constexpr int kOptionsSystem = 203;
inline constexpr int kOptionsAutoUpdate = 204;
inline constexpr int kProcessOrder = 210;
inline constexpr int kProtect = 211;
inline constexpr int kInitialize = 212;
inline constexpr int kLanguageTexts = 213;
inline constexpr int kCopyToFolder = 220;
inline constexpr int kUpdateCheck = 221;
// The pages of the project property dialog.
inline constexpr int kProjectInstallFile = 10;
inline constexpr int kProjectModule = 16;
inline constexpr int kProjectPublisher = 110;
// The shortcut, registry and INI file editors.
inline constexpr int kShortCutList = 4200;
inline constexpr int kShortCutItem = 4201;
inline constexpr int kShortCutFile = 4202;
inline constexpr int kRegistryList = 4300;
inline constexpr int kRegistryItem = 4301;
inline constexpr int kRegistryImport = 4302;
inline constexpr int kIniList = 4400;
inline constexpr int kIniItem = 4401;

// The application information dialog's pages.
inline constexpr int kAppInfoBasic = 420;
inline constexpr int kAppInfoFolder = 421;
inline constexpr int kAppInfoVersion = 422;
inline constexpr int kAppInfoLogo = 423;
// The uninstall settings dialog's pages.
inline constexpr int kUninstallBasic = 425;
inline constexpr int kUninstallFiles = 426;
inline constexpr int kUninstallRegistry = 427;
inline constexpr int kUninstallInformation = 428;
// The installer options dialog's pages (the uninstaller page last: advanced mode only).
inline constexpr int kInstallerDetail = 430;
inline constexpr int kInstallerRelation = 431;
inline constexpr int kInstallerScreen = 432;
inline constexpr int kInstallerProgram = 433;
inline constexpr int kInstallerOs = 434;
inline constexpr int kInstallerLimit = 435;
inline constexpr int kInstallerUninstaller = 436;

// The options dialog's help per page.
inline constexpr int kOptionsPages[4] = {kOptionsBasic, kOptionsInstallFile, kOptionsSystem, kOptionsAutoUpdate};
// The setting editors' help per page.
inline constexpr int kAppInfoPages[4] = {kAppInfoBasic, kAppInfoFolder, kAppInfoVersion, kAppInfoLogo};
inline constexpr int kUninstallPages[4] = {kUninstallBasic, kUninstallFiles, kUninstallRegistry, kUninstallInformation};
inline constexpr int kInstallerOptionPages[7] = {kInstallerDetail, kInstallerRelation, kInstallerScreen,
                                                 kInstallerProgram, kInstallerOs, kInstallerLimit,
                                                 kInstallerUninstaller};

}  // namespace zeriru::help_topic
