// Where a path of a command line lives on this machine, and how names travel between the host
// file system (UTF-8) and archives (Shift-JIS).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace archivers {

// Host path of a Windows path in Shift-JIS ("C:\work\a.lzh", "Z:\tmp\x") through the
// suite's drive map, elements matched without regard to case; a host path such as "/tmp/x"
// stands for itself. A trailing separator is kept off the result. Empty when the path cannot
// be mapped (no such drive, forbidden characters).
std::filesystem::path HostPathFromWindows(std::string_view sjisPath);

// Shift-JIS form of one host file name (UTF-8), as it goes into an archive.
std::string ArchiveNameFromHost(const std::filesystem::path& name);

}  // namespace archivers
