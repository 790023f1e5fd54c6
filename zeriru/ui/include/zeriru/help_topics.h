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
inline constexpr int kShortCutList = 420;
inline constexpr int kShortCutItem = 421;
inline constexpr int kShortCutFile = 422;
inline constexpr int kRegistryList = 430;
inline constexpr int kRegistryItem = 431;
inline constexpr int kRegistryImport = 432;
inline constexpr int kIniList = 440;
inline constexpr int kIniItem = 441;

// The options dialog's help per page.
inline constexpr int kOptionsPages[4] = {kOptionsBasic, kOptionsInstallFile, kOptionsSystem, kOptionsAutoUpdate};

}  // namespace zeriru::help_topic
