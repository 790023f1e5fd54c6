// The shell: known folders, names of the machine and user, opening files, folders and URLs,
// starting programs by Windows path, file associations, help topics, and provisioning the
// prefix a program runs in. Texts and paths are Shift-JIS Windows paths without a trailing
// backslash unless said otherwise.
#pragma once

#include "platform/process.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform::shell {

// Folder ids the programs ask the shell for (the Windows CSIDL numbers).
namespace csidl {
inline constexpr int Desktop = 0x00;
inline constexpr int Programs = 0x02;
inline constexpr int Personal = 0x05;
inline constexpr int Favorites = 0x06;
inline constexpr int Startup = 0x07;
inline constexpr int SendTo = 0x09;
inline constexpr int StartMenu = 0x0B;
inline constexpr int MyMusic = 0x0D;
inline constexpr int DesktopDirectory = 0x10;
inline constexpr int Templates = 0x15;
inline constexpr int CommonStartMenu = 0x16;
inline constexpr int CommonPrograms = 0x17;
inline constexpr int CommonStartup = 0x18;
inline constexpr int CommonDesktopDirectory = 0x19;
inline constexpr int AppData = 0x1A;
inline constexpr int LocalAppData = 0x1C;
inline constexpr int CommonFavorites = 0x1F;
inline constexpr int InternetCache = 0x20;
inline constexpr int Cookies = 0x21;
inline constexpr int CommonAppData = 0x23;
inline constexpr int Windows = 0x24;
inline constexpr int System = 0x25;
inline constexpr int ProgramFiles = 0x26;
inline constexpr int MyPictures = 0x27;
inline constexpr int Profile = 0x28;
inline constexpr int ProgramFilesCommon = 0x2B;
inline constexpr int CommonTemplates = 0x2D;
inline constexpr int CommonDocuments = 0x2E;
inline constexpr int CommonMusic = 0x35;
inline constexpr int CommonPictures = 0x36;
}  // namespace csidl

// The folder of a shell folder id; nullopt for an id the shell does not know (callers then
// fall back to the "Shell Folders" registry values, as on Windows).
std::optional<std::string> GetSpecialFolderPath(int csidl);

std::string WindowsFolder();       // C:\windows
std::string SystemFolder();        // C:\windows\system32
std::string TempFolder();          // the user's temporary folder
std::string ProgramFilesFolder();  // C:\Program Files
std::string CommonFilesFolder();   // C:\Program Files\Common Files

// The logged-on user's name (at most 256 bytes) and the computer name (upper case, at most
// 15 bytes), Shift-JIS.
std::string UserName();
std::string ComputerName();

// The program that opens a file of this extension (".txt", ignoring case) from
// HKEY_CLASSES_ROOT: the "shell\open\command" of the extension's class, with "%1" standing
// for the file. Empty when there is none.
std::string FindAssociation(std::string_view extension);

// Host command that opens folders, URLs and documents without an association:
// $PLATFORM_OPEN_COMMAND when set (tests, headless machines), else xdg-open.
std::string DesktopOpenCommand();

// Opens a program, document, folder or URL without waiting. Programs start directly,
// documents with their association or the desktop's handler, folders and URLs with the
// desktop's handler. `result.error` holds the shell's error code when it fails.
StartResult OpenWithShell(std::string_view file, std::string_view parameters = {}, std::string_view folder = {});

// Starts a program given by Windows path (or by bare name, searched in `folder`, the system
// and Windows folders and then the host's PATH) with a Windows command-line parameter text.
// With `wait`, calls onPoll every 50 ms until it ends and returns its exit code.
StartResult RunProgram(std::string_view program, std::string_view parameters, std::string_view folder, bool wait,
                       const std::function<void()>& onPoll = {});

// The suite's installed data folder (share/zuzoruve): $ZUZORUVE_SHARE when set, else
// share/zuzoruve beside the running program's bin/ folder.
std::filesystem::path SuiteShareFolder();

// Opens help topic `topic` (share/zuzoruve/help/<topic>.html, or index.html when that page
// does not exist) with the desktop's handler.
StartResult OpenHelpTopic(int topic);

// Makes the prefix ready for a program: the folder layout, the five hives, and the
// "Shell Folders" and program-files values that Windows keeps in the registry (written only
// where missing, so a user's changes stay). False with *error when something cannot be made
// or a hive is damaged.
bool ProvisionPrefix(std::string* error = nullptr);

}  // namespace platform::shell
