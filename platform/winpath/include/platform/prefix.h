// The prefix: the one folder tree, laid out like a Windows installation, in which the suite
// keeps its drive C:, its registry hives and its programs' folder.
//
//   <prefix>/drive_c/Program Files/Zuzoruve/{Module,Project,Temporary,log}   programs' folder
//   <prefix>/drive_c/Program Files/Common Files
//   <prefix>/drive_c/windows, windows/system32, windows/temp
//   <prefix>/drive_c/users/<user>/{Desktop,Documents,Favorites,Templates,Music,Pictures,AppData/...}
//   <prefix>/drive_c/users/Public/{Desktop,Documents,Favorites,Music,Pictures}
//   <prefix>/drive_c/ProgramData/Microsoft/Windows/{Start Menu/Programs/Startup,Templates}
//   <prefix>/registry/                                                       the hives
//   <prefix>/drives.ini                                                      drive letters
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// Name of the suite: its share folder, its program-files folder and the default prefix.
inline constexpr const char* kSuiteName = "zuzoruve";
inline constexpr const char* kProgramFolderName = "Zuzoruve";

// $PLATFORM_ROOT when set, otherwise $XDG_DATA_HOME/zuzoruve/prefix, otherwise
// ~/.local/share/zuzoruve/prefix. The folder need not exist yet.
std::filesystem::path PrefixRoot();

// Host folder of the hives: <prefix>/registry.
std::filesystem::path RegistryFolder();

// Host folder of drive C: <prefix>/drive_c.
std::filesystem::path DriveCFolder();

// Host file of the drive-letter configuration: <prefix>/drives.ini (see platform/drives.h).
std::filesystem::path DriveConfigFile();

// Creates every folder of the layout above that is missing, and a commented drives.ini when
// there is none. Existing files and folders are left alone, so calling it again (or from two
// processes at once) is harmless. False with *error naming the failing call when a folder
// cannot be made.
bool EnsurePrefix(std::string* error = nullptr);

// Login name of the user whose profile folder the prefix holds (Shift-JIS): $USER, else the
// name of the process's user id, else "user". Names that are no valid folder name fall back to
// "user".
std::string PrefixUserName();

// The folders of the layout, by what they are for. Windows paths are Shift-JIS, without a
// trailing backslash.
enum class PrefixFolder {
    Windows,             // C:\windows
    System,              // C:\windows\system32
    WindowsTemp,         // C:\windows\temp
    ProgramFiles,        // C:\Program Files
    CommonProgramFiles,  // C:\Program Files\Common Files
    Programs,            // C:\Program Files\Zuzoruve: the suite's own programs' folder
    ProgramsModule,      //   ...\Module
    ProgramsProject,     //   ...\Project
    ProgramsTemporary,   //   ...\Temporary
    ProgramsLog,         //   ...\log
    UserProfile,         // C:\users\<user>
    UserDesktop,
    UserDocuments,
    UserFavorites,
    UserMusic,
    UserPictures,
    UserAppData,         // ...\AppData\Roaming
    UserLocalAppData,    // ...\AppData\Local
    UserTemp,            // ...\AppData\Local\Temp
    UserStartMenu,       // ...\AppData\Roaming\Microsoft\Windows\Start Menu
    UserPrograms,        // ...\Start Menu\Programs
    UserStartup,         // ...\Start Menu\Programs\Startup
    UserSendTo,          // ...\AppData\Roaming\Microsoft\Windows\SendTo
    UserTemplates,       // C:\users\<user>\Templates
    UserQuickLaunch,     // ...\AppData\Roaming\Microsoft\Internet Explorer\Quick Launch
    UserInternetCache,   // ...\AppData\Local\Microsoft\Windows\Temporary Internet Files
    UserCookies,         // ...\AppData\Roaming\Microsoft\Windows\Cookies
    PublicProfile,       // C:\users\Public
    CommonDesktop,
    CommonDocuments,
    CommonFavorites,
    CommonMusic,
    CommonPictures,
    CommonAppData,       // C:\ProgramData
    CommonStartMenu,     // C:\ProgramData\Microsoft\Windows\Start Menu
    CommonPrograms,
    CommonStartup,
    CommonTemplates,     // C:\ProgramData\Microsoft\Windows\Templates
};

// Windows path of a folder of the layout ("C:\Program Files\Zuzoruve" for Programs).
std::string PrefixFolderPath(PrefixFolder folder);

// Windows path of the suite's programs' folder: "C:\Program Files\Zuzoruve".
std::string ProgramFolderPath();

}  // namespace platform
