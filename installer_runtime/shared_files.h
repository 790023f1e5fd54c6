// Shared files: how many installations use a file is counted in the machine's registry
// (HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\SharedDLLs, a DWORD named by
// the file's full path). An installation raises the count once; its uninstallation lowers it
// and removes the file only when no installation is left that uses it.
#pragma once

#include "transaction.h"

#include <cstdint>
#include <string>

namespace installer {

inline constexpr const char* kSharedFilesKey = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Raises the count of a file. A file that was there without a count was put there by an
// installation that does not count: it is counted as one use already, so that it stays.
bool RaiseSharedCount(const std::string& path, bool wasThere, platform::registry::Registry& registry,
                      Transaction& changes);

// Lowers the count of a file; *left receives the uses that remain (the value is removed at 0,
// and so is the list of counts when it is left empty).
bool LowerSharedCount(const std::string& path, platform::registry::Registry& registry, Transaction& changes,
                      std::uint32_t* left);

}  // namespace installer
