// Drive letters and UNC shares of the prefix: which host folder stands for "D:\" or for
// "\\server\share".
//
// Built in: C: is <prefix>/drive_c (fixed), Z: is the host's root "/" (fixed). The file
// <prefix>/drives.ini (UTF-8, as host paths are) adds or changes letters and shares:
//
//   [Drives]
//   D=/media/cdrom,cdrom        ; <letter>=<host folder>[,<type>]
//   E=data/e                    ; a relative folder lies below the prefix
//   Z=                          ; an empty folder removes the letter
//   [Shares]
//   server\share=/srv/share     ; \\server\share\... maps below /srv/share
//
// Types: fixed (default), removable, cdrom, network, ramdisk. Letters and share names ignore
// case. UNC paths of a share that is not configured map to nothing. The file is read again
// whenever it changes. SetDrive changes the map of this process and, when asked to persist,
// the file as well.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::winpath {

// The values GetDriveType reports on Windows.
enum class DriveType : std::uint32_t {
    Unknown = 0,
    NoRootDir = 1,  // no such drive
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

struct Drive {
    char letter = 0;  // 'A'-'Z'
    std::filesystem::path hostFolder;  // absolute
    DriveType type = DriveType::Fixed;
};

// The drive of a letter (either case); nullopt when the letter is not mapped or not a letter.
std::optional<Drive> GetDrive(char letter);
// Every mapped drive, in letter order.
std::vector<Drive> Drives();
// Type of the drive of a Windows path ("D:\x", "d:"); NoRootDir when it is not mapped,
// Remote for a configured UNC share.
DriveType GetDriveType(std::string_view windowsPath);

// Maps `letter` to `hostFolder` (relative folders lie below the prefix) for this process; with
// `persist` also in drives.ini, for every process. False for a bad letter, an empty folder or
// a type that names no drive, or when drives.ini cannot be written.
bool SetDrive(char letter, const std::filesystem::path& hostFolder, DriveType type = DriveType::Fixed,
              bool persist = false);
// Removes a letter for this process; with `persist` also in drives.ini.
bool RemoveDrive(char letter, bool persist = false);
// Maps the UNC share \\server\share (Shift-JIS, ignoring case) to a host folder for this
// process. An empty folder removes it.
bool SetShare(std::string_view server, std::string_view share, const std::filesystem::path& hostFolder);
// Host folder of a UNC share; nullopt when it is not configured.
std::optional<std::filesystem::path> ShareFolder(std::string_view server, std::string_view share);
// Forgets every SetDrive / SetShare / RemoveDrive of this process.
void ResetDriveOverrides();

// Text of the drives.ini that a new prefix receives.
std::string DefaultDriveConfig();

// Name of a type as drives.ini spells it ("cdrom"), and back (nullopt for an unknown name).
std::string DriveTypeName(DriveType type);
std::optional<DriveType> DriveTypeFromName(std::string_view name);

}  // namespace platform::winpath
