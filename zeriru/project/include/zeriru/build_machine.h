// What the editor asks of the machine it runs on (the building machine) to expand define
// values: folders, names, the environment, the registry, drives, files and the clock. The
// program binds it to the platform layer; tests give a scripted machine. Texts are Shift-JIS.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zeriru {

// Registry value types as the registry reports them.
enum class RegistryType { None = 0, String = 1, ExpandString = 2, Binary = 3, DWord = 4, MultiString = 7 };

struct RegistryValue {
    RegistryType type = RegistryType::None;
    std::string text;  // strings as they are; other types as their text form
};

class TBuildMachine {
public:
    virtual ~TBuildMachine() = default;

    // Folders without a trailing "\"; empty when they cannot be determined.
    virtual std::string WindowsFolder() = 0;
    virtual std::string SystemFolder() = 0;
    virtual std::string TempFolder() = 0;
    virtual std::string ProgramFilesFolder() = 0;
    // The Windows folder on NT, the Windows folder + "\Command" on 9x.
    virtual std::string DosCommandFolder() = 0;
    // Shell folder of a kind (0 desktop .. 13 my pictures, 50-53, 100, 101) for the user or
    // for all users.
    virtual std::string ShellFolder(int kind, bool allUsers) = 0;

    virtual std::string ComputerName() = 0;
    virtual std::string UserName() = 0;

    // The environment variable's value; nullopt when it does not exist.
    virtual std::optional<std::string> Environment(std::string_view name) = 0;

    // A value of the registry; nullopt when the key cannot be opened or the value is missing.
    virtual std::optional<RegistryValue> ReadRegistry(std::string_view root, std::string_view key,
                                                      std::string_view valueName) = 0;
    // An entry of an INI file (Windows path); nullopt when the file, section or key is missing.
    virtual std::optional<std::string> ReadIni(std::string_view path, std::string_view section,
                                               std::string_view key) = 0;

    // Drives by letter 'A'-'Z'.
    virtual bool DriveExists(char letter) = 0;
    virtual bool IsCdromDrive(char letter) = 0;
    // Whether a file of that Windows path exists.
    virtual bool FileExists(std::string_view path) = 0;

    // Current date and time in the system's short date and long time format.
    virtual std::string CurrentDate() = 0;
    virtual std::string CurrentTime() = 0;
};

}  // namespace zeriru
