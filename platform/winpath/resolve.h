// Windows path -> host path for the file operations of this library, which parse each path
// once and resolve the parsed form.
#pragma once

#include "platform/pathtext.h"

#include <filesystem>
#include <optional>

namespace platform::winpath::detail {

// ToHostPath of a parsed path: nullopt unless it is a full one on a mapped drive or share.
std::optional<std::filesystem::path> HostPathOfParts(const PathParts& parts);

}  // namespace platform::winpath::detail
