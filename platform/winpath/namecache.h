// The names of recently used host folders, so that looking up a name that is not there (every
// file about to be made) does not list the folder each time.
//
// A folder's names are listed once and kept with the folder's identity and times (device,
// inode, last change of its entries, last change of the folder itself, size). Every lookup
// first asks the folder for those again (one stat) and lists it anew when any differs, so
// changes made by other programs are seen. Our own changes made through this library update
// the kept names in place instead (Note*), since each of them changes the folder's time too.
//
// Folder times are coarse on many file systems (a clock tick, a second or two), so a change
// by someone else in the same tick as our listing or our own change may leave the times as
// they were. Names kept under such times are trusted for at most kRecheckAfter, after which the
// next lookup lists the folder again; names of a folder whose time lies well before its
// listing are trusted until the folder changes.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform::winpath::detail {

// What looking for a Windows name in a host folder found.
struct FolderLookup {
    // The folder is there and could be read: a name not found is not in it under any spelling.
    bool folderThere = false;
    // Host name in the folder that stands for the Windows name ignoring the case of its
    // single-byte letters, the one sorting first byte-wise when several do; nullopt when there
    // is none.
    std::optional<std::string> name;
    struct stat st {};  // lstat of `name`, when found
};

// Looks for the Windows name `name` (`hostName` is `name` in UTF-8) in `folder` ignoring case.
// The exact spelling is the caller's to try first.
FolderLookup FindNameIgnoringCase(const std::filesystem::path& folder, std::string_view name,
                                  const std::string& hostName);

// Our own change: the entry `host` was made (or renamed to), or removed (or renamed away).
// A removed folder takes the names kept for it and below it along.
void NoteCreated(const std::filesystem::path& host);
void NoteRemoved(const std::filesystem::path& host);

// Test seams: the number of folder listings so far, and the clock (nanoseconds since 1970)
// that decides how old a listing is; an empty function restores the real one.
std::uint64_t FolderListingsForTesting();
void SetNameCacheClockForTesting(std::function<std::int64_t()> clock);

}  // namespace platform::winpath::detail
