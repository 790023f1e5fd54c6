// The building machine as the platform layer shows it: registry, drives, files, names and the
// clock from platform/, folders of the shell by the rules of the shell-folder table (the shell
// first, then the "Shell Folders" registry values, then the user's folder for all-users kinds).
#pragma once

#include "platform/registry.h"
#include "zeriru/build_machine.h"

#include <functional>
#include <optional>
#include <string>

namespace zeriru {

// Asks the shell for the folder of a shell folder id (CSIDL number); nullopt when the shell
// does not know the id.
using ShellFolderLookup = std::function<std::optional<std::string>(int csidl)>;

class TPlatformMachine : public TBuildMachine {
public:
    // `shell` defaults to the platform shell's known folders.
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
    std::string Shell(int csidl);
    std::string ShellFoldersValue(bool allUsers, std::string_view name);

    platform::registry::Registry& registry_;
    ShellFolderLookup shell_;
};

}  // namespace zeriru
