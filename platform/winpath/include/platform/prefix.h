// The prefix: the one folder tree, laid out like a Windows installation, in which the suite
// keeps its drive C:, its registry hives and its programs' folder.
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

}  // namespace platform
