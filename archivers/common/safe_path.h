// Member names taken from an archive become host paths below an extraction folder only when
// they cannot leave it: no absolute paths, no drive letters, no "..".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace archivers {

// Relative host path (UTF-8) of a Shift-JIS member name whose folders are separated by '\'
// or '/'; nullopt and *reason when the name is empty or would leave the extraction folder.
std::optional<std::filesystem::path> SafeRelativePath(std::string_view sjisName, std::string* reason);

// Creates the folders of `target` below `root` and checks that none of them is a link that
// leads elsewhere; false and *reason otherwise.
bool PrepareInside(const std::filesystem::path& root, const std::filesystem::path& target, std::string* reason);

}  // namespace archivers
