// Windows path -> host path for the file operations of this library, which parse each path
// once and resolve the parsed form.
#pragma once

#include "platform/pathtext.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>

namespace platform::winpath::detail {

// A resolved path and what resolving learnt of its last element on the way, so that the
// operation that follows need not ask the disk again.
struct HostEntry {
    enum class Known {
        Nothing,  // resolving did not look at the entry itself (a root, or a folder missing above it)
        Missing,  // not there under any spelling, and its folder is a folder that could be read
        Present,  // there: `st` is its lstat
    };
    std::filesystem::path host;
    Known known = Known::Nothing;
    struct stat st {};
};

// Host folder a parsed full path starts from; nullopt when its drive or share is not mapped or
// the path is not a full one.
std::optional<std::filesystem::path> RootFolder(const PathParts& parts);
// ToHostPath of a parsed path below its root folder.
HostEntry HostEntryUnder(const std::filesystem::path& root, const PathParts& parts);
// The host path of a parsed path below its root as spelled, without looking at the disk: what
// resolving gives whenever that path is there.
std::filesystem::path SpelledHostPath(const std::filesystem::path& root, const PathParts& parts);

}  // namespace platform::winpath::detail
