// The building machine as the platform layer shows it: registry, drives, files and the clock
// from platform/, folders of the shell by the rules of the shell-folder table (the shell first,
// then the "Shell Folders" registry values, then the user's folder for all-users kinds).
#pragma once

#include "platform/registry.h"
#include "zeriru/build_machine.h"

#include <functional>
#include <optional>
#include <string>

namespace zeriru {

// Folders the shell knows by id.
enum class ShellId {
    Desktop, Programs, StartMenu, Startup, SendTo, Favorites, Personal, Templates, AppData,
    MyMusic, MyPictures, InternetCache, Cookies, Windows, System, ProgramFiles, CommonProgramFiles,
    CommonDesktop, CommonPrograms, CommonStartMenu, CommonStartup, CommonFavorites, CommonAppData,
};

// Asks the shell for a folder; nullopt when the shell does not know the id.
using ShellFolderLookup = std::function<std::optional<std::string>(ShellId)>;

// The layout of the suite's prefix: C:\windows, C:\windows\system32, C:\Program Files,
// C:\users\<user>\..., C:\users\Public\..., C:\ProgramData\....
ShellFolderLookup PrefixShellFolders(std::string userName);

class TPlatformMachine : public TBuildMachine {
public:
    // `shell` defaults to the prefix layout for the logged-on user.
    explicit TPlatformMachine(platform::registry::Registry& registry, ShellFolderLookup shell = {});

    std::string WindowsFolder() override;
    std::string SystemFolder() override;
    std::string TempFolder() override;
    std::string ProgramFilesFolder() override;
    std::string DosCommandFolder() override;
    std::string ShellFolder(int kind, bool allUsers) override;
    std::string ComputerName() override;
    std::string UserName() override;
    std::optional<std::string> Environment(std::string_view name) override;
    std::optional<RegistryValue> ReadRegistry(std::string_view root, std::string_view key,
                                              std::string_view valueName) override;
    std::optional<std::string> ReadIni(std::string_view path, std::string_view section,
                                       std::string_view key) override;
    bool DriveExists(char letter) override;
    bool IsCdromDrive(char letter) override;
    bool FileExists(std::string_view path) override;
    std::string CurrentDate() override;
    std::string CurrentTime() override;

private:
    std::string Shell(ShellId id);
    std::string ShellFoldersValue(bool allUsers, std::string_view name);

    platform::registry::Registry& registry_;
    ShellFolderLookup shell_;
};

// The logged-on user's name (at most 256 characters) and the computer name (at most 15, upper
// case), Shift-JIS.
std::string LoggedOnUserName();
std::string HostComputerName();

}  // namespace zeriru
