#include "platform/winfile.h"

#include "attrstore.h"
#include "namecache.h"
#include "resolve.h"
#include "platform/hostfile.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winpath.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>

namespace platform::winpath {

namespace fs = std::filesystem;

namespace {

thread_local std::uint32_t t_lastError = kErrorSuccess;

// Flags kept beside the mode; READONLY of a file is the mode itself.
constexpr std::uint32_t kSettable = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive | kAttrTemporary |
                                    kAttrOffline | kAttrNotContentIndexed;

bool Fail(std::uint32_t code) {
    t_lastError = code;
    return false;
}

bool Succeed() {
    t_lastError = kErrorSuccess;
    return true;
}

// Windows error for an errno of a call on `host`: a missing file is "file not found" when its
// folder exists and "path not found" when the folder is missing too.
std::uint32_t ErrorFromErrno(int err, const fs::path& host) {
    switch (err) {
        case ENOENT: {
            struct stat st {};
            bool folderThere = ::stat(host.parent_path().c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            return folderThere ? kErrorFileNotFound : kErrorPathNotFound;
        }
        case ENOTDIR: return kErrorPathNotFound;
        case EEXIST: return kErrorAlreadyExists;
        case ENOTEMPTY: return kErrorDirNotEmpty;
        case ENOSPC:
        case EDQUOT: return kErrorDiskFull;
        case EXDEV: return kErrorNotSameDevice;
        case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
        default: return kErrorAccessDenied;
    }
}

bool FailErrno(int err, const fs::path& host) { return Fail(ErrorFromErrno(err, host)); }

// The root folder of a parsed full path, found before the disk is asked anything; on failure
// LastError says why.
std::optional<fs::path> RootOf(const std::optional<PathParts>& parts) {
    if (!parts || (parts->root != PathParts::Root::Drive && parts->root != PathParts::Root::Unc)) {
        Fail(kErrorInvalidName);
        return std::nullopt;
    }
    std::optional<fs::path> root = detail::RootFolder(*parts);
    if (!root) Fail(parts->root == PathParts::Root::Drive ? kErrorInvalidDrive : kErrorBadNetPath);
    return root;
}

// The same for a path that names an entry inside a folder (not a drive root or share).
std::optional<fs::path> EntryRoot(const std::optional<PathParts>& parts) {
    if (parts && parts->elements.empty()) {
        Fail(kErrorAccessDenied);
        return std::nullopt;
    }
    return RootOf(parts);
}

// A full Windows path resolved, with what resolving learnt of its last element.
std::optional<detail::HostEntry> Locate(std::string_view path) {
    std::optional<PathParts> parts = ParsePath(path);
    std::optional<fs::path> root = RootOf(parts);
    if (!root) return std::nullopt;
    return detail::HostEntryUnder(*root, *parts);
}

// A path that names an entry inside a folder resolved, with what resolving learnt of it.
std::optional<detail::HostEntry> LocateEntry(std::string_view path) {
    std::optional<PathParts> parts = ParsePath(path);
    std::optional<fs::path> root = EntryRoot(parts);
    if (!root) return std::nullopt;
    return detail::HostEntryUnder(*root, *parts);
}

std::optional<fs::path> HostOf(std::optional<detail::HostEntry>&& entry) {
    if (!entry) return std::nullopt;
    return std::move(entry->host);
}

// Host path of a full Windows path; on failure LastError says why.
std::optional<fs::path> Resolve(std::string_view path) { return HostOf(Locate(path)); }

// Resolves a path that names an entry inside a folder (not a drive root or share).
std::optional<fs::path> ResolveEntry(std::string_view path) { return HostOf(LocateEntry(path)); }

bool StatHost(const fs::path& host, struct stat& st) {
    if (::stat(host.c_str(), &st) == 0) return true;
    FailErrno(errno, host);
    return false;
}

// stat of a resolved entry: the lstat resolving took, unless it is a link to follow.
bool StatEntry(const detail::HostEntry& entry, struct stat& st) {
    if (entry.known == detail::HostEntry::Known::Present && !S_ISLNK(entry.st.st_mode)) {
        st = entry.st;
        return true;
    }
    return StatHost(entry.host, st);
}

bool IsReadOnlyFile(const struct stat& st) { return !S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

std::uint64_t FileTimeOf(const struct timespec& t) {
    long long units = static_cast<long long>(t.tv_sec) * 10000000LL + t.tv_nsec / 100;
    long long value = units + static_cast<long long>(kFileTimeOfUnixEpoch);
    return value < 0 ? 0 : static_cast<std::uint64_t>(value);
}

struct timespec TimespecOf(std::uint64_t fileTime) {
    long long units = static_cast<long long>(fileTime) - static_cast<long long>(kFileTimeOfUnixEpoch);
    long long seconds = units / 10000000LL;
    long long rest = units % 10000000LL;
    if (rest < 0) {
        rest += 10000000LL;
        --seconds;
    }
    struct timespec t {};
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = static_cast<long>(rest * 100);
    return t;
}

std::uint32_t AttributesOf(const fs::path& host, const struct stat& st,
                           const detail::SidecarEntries* sidecar = nullptr) {
    std::optional<std::uint32_t> stored = detail::ReadFlags(host, sidecar);
    std::uint32_t attributes;
    if (S_ISDIR(st.st_mode)) {
        attributes = kAttrDirectory | (stored.value_or(0) & kSettable);
    } else {
        attributes = stored.value_or(kAttrArchive) & kSettable & ~kAttrReadOnly;
        if (IsReadOnlyFile(st)) attributes |= kAttrReadOnly;
    }
    return attributes == 0 ? kAttrNormal : attributes;
}

// Gives a host file or folder the attributes; the mode changes only for a file's READONLY.
bool ApplyAttributes(const fs::path& host, std::uint32_t attributes) {
    struct stat st {};
    if (!StatHost(host, st)) return false;
    attributes &= kSettable;
    bool folder = S_ISDIR(st.st_mode);
    std::uint32_t stored = folder ? attributes : (attributes & ~kAttrReadOnly);
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = mode;
    if (!folder) wanted = (attributes & kAttrReadOnly) ? (mode & ~0222) : (mode | S_IWUSR);
    // The extended attribute needs write permission on the file: give it for the moment.
    bool opened = false;
    if (!folder && (mode & S_IWUSR) == 0) {
        if (::chmod(host.c_str(), mode | S_IWUSR) != 0) return FailErrno(errno, host);
        opened = true;
    }
    bool ok = detail::WriteFlags(host, stored);
    int err = errno;
    if ((opened || wanted != mode) && ::chmod(host.c_str(), ok ? wanted : mode) != 0 && ok) {
        return FailErrno(errno, host);
    }
    return ok ? Succeed() : FailErrno(err, host);
}

std::string TemporaryNameFor(const fs::path& target) {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    std::ostringstream name;
    name << "." << target.filename().string() << ".copy" << ::getpid() << "_" << std::hex << rng();
    return name.str();
}

// Mode of a copy made from a file of mode `source` that receives the attributes `flags`:
// read-only clears every write bit, anything else (no flags at all too) gives the owner one.
mode_t CopyMode(mode_t source, std::optional<std::uint32_t> flags) {
    const mode_t base = source & 0777;
    return flags && (*flags & kAttrReadOnly) ? base & ~mode_t(0222) : base | S_IWUSR;
}

// Copies the bytes of an open source into an open file, in blocks; false with errno set when a
// call fails, or with `stopped` set when the progress callback asked to stop.
bool CopyBytes(int in, int out, const struct stat& source, const CopyOptions& options, bool& stopped) {
    const std::uint64_t total = static_cast<std::uint64_t>(source.st_size);
    const std::size_t block = std::max<std::size_t>(options.blockSize, 512);
    std::vector<char> buffer;
    std::uint64_t done = 0;
    // The kernel copies the blocks itself where the file systems let it; the first block
    // tells (a file system without it, or a file whose size the kernel does not know, such
    // as those of /proc, answers with an error or no bytes at all), and then the bytes go
    // through our buffer.
    bool inKernel = true;
    for (;;) {
        ssize_t n = -1;
        if (inKernel) {
            n = ::copy_file_range(in, nullptr, out, nullptr, block, 0);
            if (done == 0 && (n == 0 || (n < 0 && errno != EINTR && errno != EIO && errno != ENOSPC))) {
                inKernel = false;
                continue;
            }
        } else {
            if (buffer.empty()) buffer.resize(block);
            n = ::read(in, buffer.data(), buffer.size());
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        for (ssize_t written = 0; !inKernel && written < n;) {
            ssize_t w = ::write(out, buffer.data() + written, static_cast<std::size_t>(n - written));
            if (w < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            written += w;
        }
        done += static_cast<std::uint64_t>(n);
        if (options.progress && !options.progress(done, total)) {
            stopped = true;
            return false;
        }
    }
}

// The file a copy is written to: the target itself when it was not there (made exclusively,
// so nobody else's file is taken over), else a temporary file beside it that replaces it once
// complete, so that a failed or stopped copy leaves the old target.
struct CopyTarget {
    fs::path target;
    fs::path written;
    int fd = -1;
};

// What becomes of the copy's file when a step fails: closed and removed; LastError is `error`.
bool AbandonCopy(const CopyTarget& copy, std::uint32_t error) {
    ::close(copy.fd);
    ::unlink(copy.written.c_str());
    return Fail(error);
}
bool AbandonCopyErrno(const CopyTarget& copy, int err) { return AbandonCopy(copy, ErrorFromErrno(err, copy.target)); }

// Fills an open copy from the source and gives it its name, time, flags and mode. `flags`
// are the attributes it receives (none: it is left without); a failure to store them fails the
// copy only when `flagsRequired`.
bool CompleteCopy(int in, const struct stat& source, const CopyTarget& copy, const CopyOptions& options,
                  std::optional<std::uint32_t> flags, bool flagsRequired) {
    bool stopped = false;
    if (!CopyBytes(in, copy.fd, source, options, stopped)) {
        return stopped ? AbandonCopy(copy, 1235) /* ERROR_REQUEST_ABORTED */ : AbandonCopyErrno(copy, errno);
    }
    if (options.keepTime) {
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[0].tv_sec = 0;
        times[1] = source.st_mtim;
        if (::futimens(copy.fd, times) != 0) return AbandonCopyErrno(copy, errno);
    }
    // A file's READONLY is its mode; the other flags go with the file while it is open for
    // writing, before the mode may take the right to write them away.
    const std::uint32_t stored = flags.value_or(0) & kSettable & ~kAttrReadOnly;
    detail::FlagStore store = detail::FlagStore::Unsupported;
    if (flags) {
        store = detail::WriteFlagsOf(copy.fd, stored);
        if (store == detail::FlagStore::Failed && flagsRequired) return AbandonCopyErrno(copy, errno);
    }
    if (::fchmod(copy.fd, CopyMode(source.st_mode, flags)) != 0) return AbandonCopyErrno(copy, errno);
    if (::close(copy.fd) != 0) {
        int err = errno;
        ::unlink(copy.written.c_str());
        return FailErrno(err, copy.target);
    }
    if (copy.written != copy.target && ::rename(copy.written.c_str(), copy.target.c_str()) != 0) {
        int err = errno;
        ::unlink(copy.written.c_str());
        return FailErrno(err, copy.target);
    }
    detail::NoteCreated(copy.target);
    // The sidecar may still list the flags of a replaced file, or must take the new ones.
    if (!flags || store != detail::FlagStore::Unsupported) {
        detail::ForgetFlags(copy.target);
    } else if (!detail::WriteSidecarFlags(copy.target, stored) && flagsRequired) {
        return FailErrno(errno, copy.target);
    }
    return true;
}

constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;

// Keeps a file just opened for reading (with kReadFlags) only when it is a regular file,
// judged on the opened file: a device (/dev/zero) would never end and a pipe would block, so
// neither is data; the pipe was opened without waiting for a writer. -1 with LastError set
// otherwise (also when `fd` is -1, with errno from the open); `status`, when given, receives
// the file's status. Regular files ignore O_NONBLOCK, so it stays.
int KeepRegularFile(int fd, const fs::path& host, struct stat* status) {
    if (fd < 0) {
        FailErrno(errno, host);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        Fail(kErrorAccessDenied);
        return -1;
    }
    if (status) *status = st;
    return fd;
}

// Opens a host file for reading when it is a regular file (see KeepRegularFile).
int OpenRegularFile(const fs::path& host, struct stat* status = nullptr) {
    return KeepRegularFile(::open(host.c_str(), kReadFlags), host, status);
}

// Opens the regular file a parsed path below `root` names for reading; `host` receives its
// host path. The path as spelled is opened first: resolving picks that spelling whenever it is
// there, and the open tells as much as a look-up would. Only a name that is not there as
// spelled is resolved ignoring case.
int OpenEntryForReading(const fs::path& root, const PathParts& parts, fs::path& host, struct stat* status = nullptr) {
    host = detail::SpelledHostPath(root, parts);
    int fd = ::open(host.c_str(), kReadFlags);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
        const int err = errno;
        fs::path resolved = detail::HostEntryUnder(root, parts).host;
        if (resolved != host) {
            host = std::move(resolved);
            fd = ::open(host.c_str(), kReadFlags);
        } else {
            errno = err;
        }
    }
    return KeepRegularFile(fd, host, status);
}

// The same for a Windows path; -1 with LastError set when it cannot be opened.
int OpenPathForReading(std::string_view path, fs::path& host, struct stat* status = nullptr) {
    std::optional<PathParts> parts = ParsePath(path);
    std::optional<fs::path> root = EntryRoot(parts);
    if (!root) return -1;
    return OpenEntryForReading(*root, *parts, host, status);
}

// Whether an existing or missing target may receive a copy of `source`; LastError says why
// not.
bool MayReplace(const struct stat& source, const detail::HostEntry& to, const CopyOptions& options) {
    struct stat existing {};
    const bool known = to.known == detail::HostEntry::Known::Present && !S_ISLNK(to.st.st_mode);
    if (known || ::stat(to.host.c_str(), &existing) == 0) {
        if (known) existing = to.st;
        if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino) return Fail(kErrorAccessDenied);
        if (options.failIfExists) return Fail(kErrorFileExists);
        if (S_ISDIR(existing.st_mode) || IsReadOnlyFile(existing)) return Fail(kErrorAccessDenied);
        return true;
    }
    if (errno != ENOENT) return FailErrno(errno, to.host);
    struct stat folder {};
    if (::stat(to.host.parent_path().c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return Fail(kErrorPathNotFound);
    return true;
}

// Opens the file a copy to `to` is written to. A target that resolving found missing in its
// folder is made directly; any other (or one made by someone else since) is checked first.
std::optional<CopyTarget> OpenCopyTarget(const struct stat& source, const detail::HostEntry& to,
                                         const CopyOptions& options) {
    CopyTarget copy{to.host, to.host, -1};
    if (to.known == detail::HostEntry::Known::Missing) {
        copy.fd = ::open(to.host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (copy.fd >= 0) return copy;
        if (errno != EEXIST) {
            FailErrno(errno, to.host);
            return std::nullopt;
        }
    }
    // Made by someone else since it was found missing: looked at anew.
    const detail::HostEntry fresh{to.host, detail::HostEntry::Known::Nothing, {}};
    if (!MayReplace(source, to.known == detail::HostEntry::Known::Missing ? fresh : to, options)) return std::nullopt;
    copy.written = to.host.parent_path() / TemporaryNameFor(to.host);
    copy.fd = ::open(copy.written.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (copy.fd < 0) {
        FailErrno(errno, copy.written);
        return std::nullopt;
    }
    return copy;
}

// Copies an open source (`from`, of status `source`) to a resolved target with the rules of
// CopyFile.
bool CopyOpenFile(int in, const struct stat& source, const fs::path& from, const detail::HostEntry& to,
                  const CopyOptions& options) {
    std::optional<std::uint32_t> flags = options.attributes;
    if (options.keepAttributes) flags = AttributesOf(from, source) & ~kAttrNormal;
    std::optional<CopyTarget> copy = OpenCopyTarget(source, to, options);
    if (!copy) return false;
    return CompleteCopy(in, source, *copy, options, flags, options.keepAttributes) && Succeed();
}

// Copies host file to host file with the rules of CopyFile.
bool CopyHostFile(const fs::path& from, const fs::path& to, const CopyOptions& options) {
    struct stat source {};
    int in = OpenRegularFile(from, &source);
    if (in < 0) return false;
    std::unique_ptr<int, void (*)(int*)> closer(&in, [](int* fd) { ::close(*fd); });
    return CopyOpenFile(in, source, from, detail::HostEntry{to, detail::HostEntry::Known::Nothing, {}}, options);
}

// Whether two parsed paths start from the same drive or share (as spelled).
bool SameRoot(const PathParts& a, const PathParts& b) {
    if (a.root != b.root) return false;
    if (a.root == PathParts::Root::Drive) return a.drive == b.drive;
    return a.root == PathParts::Root::Unc && a.server == b.server && a.share == b.share;
}

}  // namespace

std::uint32_t LastError() { return t_lastError; }

void SetExtendedAttributesEnabledForTesting(bool enabled) { detail::SetExtendedAttributesEnabled(enabled); }

bool FileExists(std::string_view path) {
    std::optional<detail::HostEntry> entry = Locate(path);
    struct stat st {};
    return entry && StatEntry(*entry, st) && Succeed();
}

bool DirectoryExists(std::string_view path) {
    std::optional<detail::HostEntry> entry = Locate(path);
    struct stat st {};
    if (!entry || !StatEntry(*entry, st)) return false;
    return S_ISDIR(st.st_mode) ? Succeed() : Fail(kErrorPathNotFound);
}

std::uint32_t GetFileAttributes(std::string_view path) {
    std::optional<detail::HostEntry> entry = Locate(path);
    struct stat st {};
    if (!entry || !StatEntry(*entry, st)) return kInvalidAttributes;
    Succeed();
    return AttributesOf(entry->host, st);
}

bool SetFileAttributes(std::string_view path, std::uint32_t attributes) {
    std::optional<fs::path> host = Resolve(path);
    return host && ApplyAttributes(*host, attributes);
}

std::optional<std::uint64_t> GetLastWriteTime(std::string_view path) {
    std::optional<detail::HostEntry> entry = Locate(path);
    struct stat st {};
    if (!entry || !StatEntry(*entry, st)) return std::nullopt;
    Succeed();
    return FileTimeOf(st.st_mtim);
}

bool SetLastWriteTime(std::string_view path, std::uint64_t fileTime) {
    std::optional<fs::path> host = Resolve(path);
    if (!host) return false;
    // FILETIME is signed on the way to the host's seconds; larger values name no time.
    if (fileTime > static_cast<std::uint64_t>(INT64_MAX)) return Fail(kErrorInvalidParameter);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = TimespecOf(fileTime);
    if (::utimensat(AT_FDCWD, host->c_str(), times, 0) != 0) return FailErrno(errno, *host);
    return Succeed();
}

std::optional<std::uint64_t> GetFileSize(std::string_view path) {
    std::optional<detail::HostEntry> entry = Locate(path);
    struct stat st {};
    if (!entry || !StatEntry(*entry, st)) return std::nullopt;
    // A device or a pipe has no size to speak of: only regular files have one.
    if (!S_ISREG(st.st_mode)) {
        Fail(kErrorAccessDenied);
        return std::nullopt;
    }
    Succeed();
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<DiskSpace> GetDiskFreeSpace(std::string_view path) {
    std::optional<fs::path> host = Resolve(path);
    if (!host) return std::nullopt;
    // The volume of the deepest folder that exists on the way.
    fs::path probe = *host;
    struct statvfs vfs {};
    while (::statvfs(probe.c_str(), &vfs) != 0) {
        if ((errno != ENOENT && errno != ENOTDIR) || !probe.has_relative_path()) {
            FailErrno(errno, probe);
            return std::nullopt;
        }
        probe = probe.parent_path();
    }
    DiskSpace space;
    std::uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    space.freeToCaller = static_cast<std::uint64_t>(vfs.f_bavail) * unit;
    space.total = static_cast<std::uint64_t>(vfs.f_blocks) * unit;
    space.totalFree = static_cast<std::uint64_t>(vfs.f_bfree) * unit;
    Succeed();
    return space;
}

bool CreateDirectory(std::string_view path) {
    std::optional<fs::path> host = ResolveEntry(path);
    if (!host) return false;
    if (::mkdir(host->c_str(), 0777) != 0) return FailErrno(errno, *host);
    detail::NoteCreated(*host);
    detail::ForgetFlags(*host);
    return Succeed();
}

bool CreateDirectoryTree(std::string_view path) {
    std::optional<fs::path> host = Resolve(path);
    if (!host) return false;
    fs::path done;
    for (const fs::path& part : *host) {
        done /= part;
        if (::mkdir(done.c_str(), 0777) == 0) {
            detail::NoteCreated(done);
            detail::ForgetFlags(done);
            continue;
        }
        if (errno != EEXIST) return FailErrno(errno, done);
        struct stat st {};
        if (::stat(done.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Fail(kErrorAlreadyExists);
    }
    return Succeed();
}

bool RemoveDirectory(std::string_view path) {
    std::optional<fs::path> host = ResolveEntry(path);
    if (!host) return false;
    struct stat st {};
    if (::lstat(host->c_str(), &st) != 0) return FailErrno(errno, *host);
    if (!S_ISDIR(st.st_mode)) return Fail(kErrorDirectoryNameInvalid);
    if (detail::ReadFlags(*host).value_or(0) & kAttrReadOnly) return Fail(kErrorAccessDenied);
    // A folder whose only entry is the flags' sidecar is empty to its users.
    fs::path sidecar = *host / detail::kSidecarName;
    if (::access(sidecar.c_str(), F_OK) == 0) {
        bool onlySidecar = true;
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(host->c_str()), ::closedir);
        while (dir && onlySidecar) {
            const dirent* entry = ::readdir(dir.get());
            if (!entry) break;
            std::string_view name = entry->d_name;
            onlySidecar = name == "." || name == ".." || name == detail::kSidecarName;
        }
        if (!onlySidecar) return Fail(kErrorDirNotEmpty);
        ::unlink(sidecar.c_str());
    }
    if (::rmdir(host->c_str()) != 0) return FailErrno(errno, *host);
    detail::NoteRemoved(*host);
    detail::ForgetFlags(*host);
    return Succeed();
}

bool DeleteFile(std::string_view path) {
    std::optional<fs::path> host = ResolveEntry(path);
    if (!host) return false;
    struct stat st {};
    if (::lstat(host->c_str(), &st) != 0) return FailErrno(errno, *host);
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && IsReadOnlyFile(st))) return Fail(kErrorAccessDenied);
    if (::unlink(host->c_str()) != 0) return FailErrno(errno, *host);
    detail::NoteRemoved(*host);
    detail::ForgetFlags(*host);
    return Succeed();
}

bool MoveFile(std::string_view from, std::string_view to, bool replaceExisting) {
    std::optional<fs::path> source = ResolveEntry(from);
    if (!source) return false;
    std::optional<fs::path> target = ResolveEntry(to);
    if (!target) return false;
    struct stat src {};
    if (::lstat(source->c_str(), &src) != 0) return FailErrno(errno, *source);

    struct stat dst {};
    bool targetThere = ::lstat(target->c_str(), &dst) == 0;
    if (targetThere && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
        // The target names the source itself: a change of case, or nothing at all.
        fs::path spelled = target->parent_path() / WindowsNameToHost(FileNameOf(NormalizePath(to)));
        if (spelled == *source) return Succeed();
        if (::rename(source->c_str(), spelled.c_str()) != 0) return FailErrno(errno, spelled);
        detail::NoteRemoved(*source);
        detail::NoteCreated(spelled);
        detail::MoveFlags(*source, spelled);
        return Succeed();
    }
    if (targetThere) {
        if (!replaceExisting) return Fail(kErrorAlreadyExists);
        if (S_ISDIR(dst.st_mode) || S_ISDIR(src.st_mode) || IsReadOnlyFile(dst)) return Fail(kErrorAccessDenied);
    }
    int result = targetThere ? ::rename(source->c_str(), target->c_str())
                             : ::renameat2(AT_FDCWD, source->c_str(), AT_FDCWD, target->c_str(), RENAME_NOREPLACE);
    if (result != 0 && !targetThere && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the no-replace rename: the check above has to do.
        result = ::rename(source->c_str(), target->c_str());
    }
    if (result == 0) {
        detail::NoteRemoved(*source);
        detail::NoteCreated(*target);
        detail::MoveFlags(*source, *target);
        return Succeed();
    }
    if (errno != EXDEV) return FailErrno(errno, *target);
    if (S_ISDIR(src.st_mode)) return Fail(kErrorNotSameDevice);
    CopyOptions keep;
    if (!CopyHostFile(*source, *target, keep)) return false;
    if (::unlink(source->c_str()) != 0) return FailErrno(errno, *source);
    detail::NoteRemoved(*source);
    detail::ForgetFlags(*source);
    return Succeed();
}

bool CopyFile(std::string_view from, std::string_view to, const CopyOptions& options) {
    const std::optional<PathParts> fromParts = ParsePath(from);
    const std::optional<fs::path> fromRoot = EntryRoot(fromParts);
    if (!fromRoot) return false;
    const std::optional<PathParts> toParts = ParsePath(to);
    // Most copies stay on one drive: its folder is looked up once.
    const bool sameRoot = toParts && !toParts->elements.empty() && SameRoot(*fromParts, *toParts);
    const std::optional<fs::path> toRoot = sameRoot ? fromRoot : EntryRoot(toParts);
    if (!toRoot) return false;
    fs::path source;
    struct stat st {};
    int in = OpenEntryForReading(*fromRoot, *fromParts, source, &st);
    if (in < 0) return false;
    std::unique_ptr<int, void (*)(int*)> closer(&in, [](int* fd) { ::close(*fd); });
    return CopyOpenFile(in, st, source, detail::HostEntryUnder(*toRoot, *toParts), options);
}

std::vector<FindData> FindFiles(std::string_view pathWithMask) {
    std::vector<FindData> found;
    std::optional<PathParts> parts = ParsePath(pathWithMask, true);
    if (!parts || parts->elements.empty() ||
        (parts->root != PathParts::Root::Drive && parts->root != PathParts::Root::Unc)) {
        Fail(kErrorInvalidName);
        return found;
    }
    std::string mask = parts->elements.back();
    parts->elements.pop_back();
    std::optional<fs::path> folder = Resolve(FormatPath(*parts));  // the folders without wildcards
    if (!folder) return found;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder->c_str()), ::closedir);
    if (!dir) {
        FailErrno(errno, *folder / "x");
        if (t_lastError == kErrorFileNotFound) t_lastError = kErrorPathNotFound;
        return found;
    }
    detail::SidecarEntries sidecar = detail::ReadSidecar(*folder);
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view hostName = entry->d_name;
        if (hostName == "." || hostName == ".." || hostName == detail::kSidecarName) continue;
        std::string name = HostNameToWindows(hostName);
        if (!IsValidElement(name) || !MatchesMask(name, mask)) continue;
        fs::path host = *folder / std::string(hostName);
        struct stat st {};
        if (::stat(host.c_str(), &st) != 0 && ::lstat(host.c_str(), &st) != 0) continue;
        FindData data;
        data.name = name;
        data.attributes = AttributesOf(host, st, &sidecar);
        data.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
        data.lastWriteTime = FileTimeOf(st.st_mtim);
        found.push_back(std::move(data));
    }
    std::sort(found.begin(), found.end(), [](const FindData& a, const FindData& b) {
        int c = sjis::CompareNoCase(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    if (found.empty()) {
        Fail(kErrorFileNotFound);
    } else {
        Succeed();
    }
    return found;
}

std::optional<std::string> ReadWholeFile(std::string_view path, std::string* error) {
    fs::path host;
    int fd = OpenPathForReading(path, host);
    if (fd < 0) {
        if (error) {
            *error = host.empty() ? std::string("invalid path")
                                  : host.string() + (LastError() == kErrorAccessDenied ? ": not a regular file"
                                                                                       : ": not found");
        }
        return std::nullopt;
    }
    std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* f) { ::close(*f); });
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error) *error = "read " + host.string() + ": " + std::strerror(errno);
            Fail(kErrorAccessDenied);
            return std::nullopt;
        }
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    Succeed();
    return data;
}

bool ReadFileBlocks(std::string_view path, const std::function<bool(const char*, std::size_t)>& take,
                    std::size_t blockSize) {
    fs::path host;
    int fd = OpenPathForReading(path, host);
    if (fd < 0) return false;
    std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* f) { ::close(*f); });
    std::vector<char> buffer(std::max<std::size_t>(blockSize, 512));
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return FailErrno(errno, host);
        }
        if (n == 0) return Succeed();
        if (!take(buffer.data(), static_cast<std::size_t>(n))) return Fail(1235);  // ERROR_REQUEST_ABORTED
    }
}

bool WriteWholeFile(std::string_view path, std::string_view data, std::string* error) {
    std::optional<fs::path> host = ResolveEntry(path);
    if (!host) {
        if (error) *error = "invalid path";
        return false;
    }
    struct stat st {};
    std::optional<std::uint32_t> flags;
    if (::stat(host->c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || IsReadOnlyFile(st)) {
            if (error) *error = host->string() + (S_ISDIR(st.st_mode) ? " is a folder" : " is read-only");
            return Fail(kErrorAccessDenied);
        }
        flags = detail::ReadFlags(*host);
    }
    if (!WriteHostFileAtomic(*host, data, error)) {
        struct stat folder {};
        bool folderThere = ::stat(host->parent_path().c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
        return Fail(folderThere ? kErrorAccessDenied : kErrorPathNotFound);
    }
    detail::NoteCreated(*host);
    // The rename gave the name a new file: carry the flags over (the sidecar keeps them by name).
    if (flags) detail::WriteFlags(*host, *flags | kAttrArchive);
    return Succeed();
}

}  // namespace platform::winpath
