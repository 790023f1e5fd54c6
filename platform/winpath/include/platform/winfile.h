// File operations on Windows paths (Shift-JIS), with the results Windows gives.
//
// Attributes: READONLY is the file mode - a file is read-only when its owner may not write it;
// setting it clears every write bit, clearing it gives the owner the write bit back. A folder's
// read-only flag is kept with the other flags instead, so that marking a folder read-only does
// not stop files being made in it, as on Windows. HIDDEN, SYSTEM, ARCHIVE, TEMPORARY, OFFLINE
// and NOT_CONTENT_INDEXED are kept in the extended attribute "user.zuzoruve.attributes" (text,
// "0x" and hexadecimal digits). Where the file system has no user extended attributes, they are
// kept in one sidecar file per folder, ".zuzoruve-attributes" (lines "<hex> <host name>"), which
// enumeration hides and which the operations here keep in step when they delete, move or
// replace a file. A file whose flags were never set reports ARCHIVE, as a new file on Windows
// does; a folder reports just DIRECTORY.
//
// Read-only files are protected as on Windows, also for a process that the host would let
// write anyway: DeleteFile fails, and so does replacing one by copy, move or whole-file write.
//
// Times are FILETIME values: 100 ns units since 1601-01-01 00:00 UTC. The host keeps
// nanoseconds, so a value set is read back exactly.
//
// Every function returns false / nullopt / an empty list on failure and leaves a Windows error
// code for LastError(); invalid paths never reach the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::winpath {

inline constexpr std::uint32_t kAttrReadOnly = 0x1;
inline constexpr std::uint32_t kAttrHidden = 0x2;
inline constexpr std::uint32_t kAttrSystem = 0x4;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrNormal = 0x80;
inline constexpr std::uint32_t kAttrTemporary = 0x100;
inline constexpr std::uint32_t kAttrOffline = 0x1000;
inline constexpr std::uint32_t kAttrNotContentIndexed = 0x2000;
inline constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

// Windows error codes that LastError() reports.
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidDrive = 15;
inline constexpr std::uint32_t kErrorNotSameDevice = 17;
inline constexpr std::uint32_t kErrorBadNetPath = 53;  // a UNC share that is not configured
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorInvalidName = 123;
inline constexpr std::uint32_t kErrorDirNotEmpty = 145;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorDirectoryNameInvalid = 267;

// 100 ns units from 1601-01-01 to 1970-01-01.
inline constexpr std::uint64_t kFileTimeOfUnixEpoch = 116444736000000000ULL;

// Windows error code of the last call of this thread that failed (0 after a success).
std::uint32_t LastError();

bool FileExists(std::string_view path);       // a file or a folder
bool DirectoryExists(std::string_view path);  // a folder

std::uint32_t GetFileAttributes(std::string_view path);  // kInvalidAttributes when missing
// Sets READONLY, HIDDEN, SYSTEM, ARCHIVE, TEMPORARY, OFFLINE, NOT_CONTENT_INDEXED; other bits
// (DIRECTORY, NORMAL) are ignored. NORMAL alone clears them all.
bool SetFileAttributes(std::string_view path, std::uint32_t attributes);

std::optional<std::uint64_t> GetLastWriteTime(std::string_view path);
bool SetLastWriteTime(std::string_view path, std::uint64_t fileTime);

// Size of a file in bytes; nullopt for a folder, a missing file, and anything that is no
// regular file (a device, a pipe, a socket), with kErrorAccessDenied for the last two kinds.
std::optional<std::uint64_t> GetFileSize(std::string_view path);

struct DiskSpace {
    std::uint64_t freeToCaller = 0;  // bytes this process may still use
    std::uint64_t total = 0;         // bytes of the volume
    std::uint64_t totalFree = 0;     // free bytes, the reserve included
};
// Space of the volume holding the path (a drive root such as "C:\" or anything below it, also
// a path whose tail does not exist yet).
std::optional<DiskSpace> GetDiskFreeSpace(std::string_view path);

// One folder; false when it exists already (kErrorAlreadyExists) or its parent is missing.
bool CreateDirectory(std::string_view path);
// The folder and every missing folder above it; true when it exists already as a folder.
bool CreateDirectoryTree(std::string_view path);
// An empty folder; fails for a read-only one (clear READONLY first, as on Windows).
bool RemoveDirectory(std::string_view path);
// A file; fails for a read-only file and for a folder.
bool DeleteFile(std::string_view path);
// Renames or moves a file or a folder. Without `replaceExisting` an existing target fails
// (kErrorAlreadyExists); with it an existing file is replaced unless it is read-only. A change
// of case only ("a.txt" -> "A.TXT") renames. Across file systems files are copied and the
// source deleted; folders are not moved (kErrorNotSameDevice).
bool MoveFile(std::string_view from, std::string_view to, bool replaceExisting = false);

struct CopyOptions {
    bool failIfExists = false;
    bool keepTime = true;        // the copy receives the source's last-write time
    bool keepAttributes = true;  // ... and its attributes
    // Without keepAttributes: attributes the copy receives instead (as SetFileAttributes takes
    // them, NORMAL alone for none). A failure to store them does not fail the copy.
    std::optional<std::uint32_t> attributes;
    // Called after every block with the bytes copied and the total; returning false stops the
    // copy (the target is then left as it was).
    std::function<bool(std::uint64_t done, std::uint64_t total)> progress;
    std::size_t blockSize = 8192;  // bytes per block
};
// Copies a file. A target that is not there yet is made directly and removed again when the
// copy fails; an existing one is replaced by a copy written under a temporary name and renamed
// into place, so a failing copy never leaves a half-written target. Copying a file onto itself
// fails, and so does copying anything that is no regular file (kErrorAccessDenied), judged on
// the opened source: a device would never end, a pipe would wait for a writer.
bool CopyFile(std::string_view from, std::string_view to, const CopyOptions& options = {});

struct FindData {
    std::string name;  // Shift-JIS
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;           // 0 for folders
    std::uint64_t lastWriteTime = 0;  // FILETIME
};
// The entries of a folder that match the mask of the last element (FindFirstFile style:
// "C:\x\*.txt", "C:\x\*", "C:\x\a?.dat", or a plain name). "." and ".." are never listed,
// nor host names that cannot be Windows names. Sorted by name ignoring case.
std::vector<FindData> FindFiles(std::string_view pathWithMask);

// The whole file; nullopt when it cannot be read or is no regular file (judged on the opened
// file, as for CopyFile).
std::optional<std::string> ReadWholeFile(std::string_view path, std::string* error = nullptr);
// Hands the bytes of a regular file to `take` block by block, in order (blocks of at most
// `blockSize` bytes); false when it cannot be read or `take` returned false.
bool ReadFileBlocks(std::string_view path, const std::function<bool(const char* data, std::size_t size)>& take,
                    std::size_t blockSize = 1 << 16);
// Replaces the whole file crash-safely (temporary file, flush, rename). The file's flags are
// kept and ARCHIVE is set, as a write on Windows does. Fails for a read-only file.
bool WriteWholeFile(std::string_view path, std::string_view data, std::string* error = nullptr);

// Test seam: when false, the extended attributes are treated as unsupported everywhere, so
// the sidecar files are used.
void SetExtendedAttributesEnabledForTesting(bool enabled);

}  // namespace platform::winpath
