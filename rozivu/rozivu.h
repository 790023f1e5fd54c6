// Fills in and confirms the CAB self-extractor's option dialog while the editor runs.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace rozivu {

// Window titles and captions, Shift-JIS.
std::string EditorWindowTitle();   // "Raredovo"
std::string OptionDialogTitle();   // "自己解凍形式書庫の作成"
std::string NoFolderQuestionCaption();
std::string DeleteAfterRunCaption();

inline constexpr const char* kMutexName = "DE_RUDIVADU1";
inline constexpr const char* kCommand = "install.exe";
// Positions in the dialog's child list: the extraction folder and the command edits.
inline constexpr std::size_t kFolderEditIndex = 6;
inline constexpr std::size_t kCommandEditIndex = 10;
// Poll step of the main loop, ms.
inline constexpr unsigned kPollMs = 50;

// "%temp%\DOZOZE\" + the sub-folder name, ending in one backslash. "%temp%" stays as it is:
// the self-extractor expands it.
std::string ExtractionFolderText(std::string_view subFolder);

enum class FillResult { NoDialog, TooFewChildren, Confirmed };

// One turn of the loop: finds the dialog and, when it has all its children, fills it in and
// clicks OK. A dialog with fewer children than the command edit's position is left alone
// (it may still be being built): nothing is sent and nothing is confirmed.
FillResult FillOptionDialog(const std::string& folderText);

// The whole program: ends at once when another copy runs or the editor is not there;
// otherwise fills every option dialog until the editor's window is gone. `sleep` waits the
// poll step (tests may shorten it). Returns the process exit code.
int Run(std::string_view subFolder, const std::function<void()>& sleep);

}  // namespace rozivu
