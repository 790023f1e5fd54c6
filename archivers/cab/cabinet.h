// CAB files: writing a cabinet from files on disk (MSZIP or stored), and reading one back for
// the library's own commands, the self-extractor and the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/filescan.h"
#include "common/stream.h"

namespace archivers::cab {

// Largest uncompressed size of one CAB folder: 65535 blocks of 32 KiB.
inline constexpr std::uint64_t kMaxFolderBytes = 0x7FFF8000;

enum class Compression : std::uint16_t { None = 0, MsZip = 1 };

struct WriteSettings {
    Compression compression = Compression::MsZip;
    // Deflate level 1-9: 5 packs mixed binaries and text about 5% smaller than gcab -z and
    // faster; 6 gains 1% more at half again the time.
    int level = 5;
    // Uncompressed bytes per CAB folder before the next file starts a new one. A single file
    // may exceed it up to kMaxFolderBytes.
    std::uint64_t maxFolderBytes = 0x7FFF8000;
};

// Writes all files (not folders) into a new cabinet that replaces `cabinet` only when
// complete. Names are the files' Shift-JIS names with '\' between folders.
bool WriteCabinet(const std::filesystem::path& cabinet, const std::vector<FoundFile>& files,
                  const WriteSettings& settings, std::string* error);

struct Entry {
    std::string name;  // Shift-JIS, as stored
    std::uint32_t size = 0;
    std::uint32_t offset = 0;  // in its folder's uncompressed data
    std::uint16_t folder = 0;
    std::uint16_t date = 0;    // DOS date and time, local
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
    std::int64_t mtime = 0;    // the DOS time as seconds since 1970 UTC
};

// Reads the cabinet that occupies [start, end) of an open file (end 0: to the end of the
// file). Every size, count and offset is checked against the file.
class CabinetReader {
public:
    bool Open(std::FILE* file, long start, long end, std::string* error);
    const std::vector<Entry>& entries() const { return entries_; }
    // Decodes every folder, verifying block checksums, and hands each entry's bytes to the
    // sink that `open` returns for it (nullptr: the entry is decoded and checked but dropped).
    bool ReadAll(const std::function<ByteSink*(const Entry&)>& open, const std::function<bool(const Entry&)>& close,
                 std::string* error);

private:
    struct Folder {
        std::uint32_t dataOffset = 0;
        std::uint16_t blocks = 0;
        std::uint16_t compression = 0;
    };
    std::FILE* file_ = nullptr;
    long start_ = 0;
    long end_ = 0;
    std::uint16_t flags_ = 0;
    std::uint8_t blockReserve_ = 0;
    std::vector<Folder> folders_;
    std::vector<Entry> entries_;
};

bool TestCabinet(std::FILE* file, long start, long end, std::string* error);

// Extracts every entry below dest; names that would leave dest or clash with another entry
// (CheckMemberSet) fail the call before anything is written. With `newFilesOnly` (a folder
// the caller has just made) no existing file is written over.
bool ExtractCabinet(std::FILE* file, long start, long end, const std::filesystem::path& dest, std::string* error,
                    std::vector<std::filesystem::path>* written = nullptr, bool newFilesOnly = false);

}  // namespace archivers::cab
