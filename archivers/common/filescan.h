// Files to pack: the files of a base folder that match the masks of a command line, with the
// names they get inside the archive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace archivers {

// Windows attribute bits, as archives store them.
inline constexpr std::uint16_t kFileReadOnly = 0x01;
inline constexpr std::uint16_t kFileHidden = 0x02;
inline constexpr std::uint16_t kFileDirectory = 0x10;
inline constexpr std::uint16_t kFileArchive = 0x20;

struct FoundFile {
    std::filesystem::path host;  // where the bytes are
    std::string name;            // Shift-JIS name in the archive, folders separated by '\'
    bool directory = false;
    std::int64_t mtime = 0;      // seconds since 1970-01-01 UTC
    std::uint16_t attributes = kFileArchive;
    std::uint64_t size = 0;
};

struct ScanOptions {
    bool recurse = false;        // look into sub-folders
    bool folderEntries = false;  // list the sub-folders themselves too
    bool storePaths = false;     // names keep their folders below the base folder
    bool includeHidden = false;  // take hidden files (names beginning with '.')
};

// Mask match ignoring the case of single-byte letters: '*' any run, '?' one character;
// "*.*" matches every name, with or without a dot.
bool MatchMask(std::string_view sjisName, std::string_view sjisMask);

// Collects the matches of every mask below base. A mask may carry folders ("sub\*.txt"),
// relative to base. False and *error when base is not a folder.
bool CollectFiles(const std::filesystem::path& base, const std::vector<std::string>& masks, const ScanOptions& options,
                  std::vector<FoundFile>* out, std::string* error);

// Attributes, time and size of one host file.
bool DescribeHostFile(const std::filesystem::path& host, FoundFile* f);

}  // namespace archivers
