// LHA archives as files: reading members one after another, and the operations of the
// library's commands (create or update, list, test, extract).
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/filescan.h"
#include "common/safe_path.h"
#include "common/stream.h"
#include "header.h"
#include "method.h"

namespace archivers::lha {

// Walks the members of an archive that occupies [start, end) of an open file (end 0: up to
// the end of the file), so a self-extractor can read the archive appended to itself.
class ArchiveReader {
public:
    ArchiveReader(std::FILE* file, long start, long end);

    // Next member's header; End after the last one.
    HeaderStatus Next(Member* m, std::string* error);
    // Decodes the current member's data into sink, checking sizes and the CRC.
    bool Extract(const ByteSink& sink, std::string* error);
    // Copies the current member's header and data unchanged.
    bool CopyRaw(const ByteSink& sink, std::string* error);

private:
    std::FILE* file_;
    long end_;
    long nextAt_;       // offset of the next header
    long headerAt_ = 0; // offset of the current member's header
    long dataAt_ = 0;   // offset of its data
    Member current_;
};

struct PackSettings {
    const MethodTraits* method = nullptr;
    // Keep an archived member that is at least as new as the file on disk.
    bool onlyNewer = true;
    // Keep the method even when the data does not get smaller (tests); otherwise such data is
    // stored as -lh0-.
    bool forceMethod = false;
};

// Creates the archive or updates it: members named like a file (ignoring case) are replaced,
// other members kept, new files appended. Written to a temporary file that replaces the
// archive only when complete.
bool UpdateArchive(const std::filesystem::path& archive, const std::vector<FoundFile>& files,
                   const PackSettings& settings, std::string* error);

bool ListArchive(const std::filesystem::path& archive, std::vector<Member>* members, std::string* error);

// Decodes every member and checks its CRC; nothing is written.
bool TestArchive(std::FILE* file, long start, long end, std::string* error);

// Extracts the members that `select` accepts (all when empty) below dest. Any member whose
// name would leave dest, or that clashes with another member (CheckMemberSet), fails the whole
// call before anything is written. Returns the host paths written in *written when given.
// With `newFilesOnly` (a folder the caller has just made) no existing file is written over.
bool ExtractArchive(std::FILE* file, long start, long end, const std::filesystem::path& dest,
                    const std::function<bool(const Member&)>& select, std::string* error,
                    std::vector<std::filesystem::path>* written = nullptr, bool newFilesOnly = false);

// The names of the members that `select` accepts (all when empty); false on a damaged header.
bool ListMemberNames(std::FILE* file, long start, long end, const std::function<bool(const Member&)>& select,
                     std::vector<MemberName>* names, std::string* error);

}  // namespace archivers::lha
