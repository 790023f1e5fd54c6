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

// Host path of a parsed Windows path; on failure LastError says why.
std::optional<fs::path> ResolveParsed(const std::optional<PathParts>& parts) {
    if (!parts || (parts->root != PathParts::Root::Drive && parts->root != PathParts::Root::Unc)) {
        Fail(kErrorInvalidName);
        return std::nullopt;
    }
    std::optional<fs::path> host = detail::HostPathOfParts(*parts);
    if (!host) Fail(parts->root == PathParts::Root::Drive ? kErrorInvalidDrive : kErrorBadNetPath);
    return host;
}

// Host path of a full Windows path; on failure LastError says why.
std::optional<fs::path> Resolve(std::string_view path) { return ResolveParsed(ParsePath(path)); }

// Resolves a path that names an entry inside a folder (not a drive root or share).
std::optional<fs::path> ResolveEntry(std::string_view path) {
    std::optional<PathParts> parts = ParsePath(path);
    if (parts && parts->elements.empty()) {
        Fail(kErrorAccessDenied);
        return std::nullopt;
    }
    return ResolveParsed(parts);
}

bool StatHost(const fs::path& host, struct stat& st) {
    if (::stat(host.c_str(), &st) == 0) return true;
    FailErrno(errno, host);
    return false;
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

// Copies the bytes of an open source into a new temporary file beside `target`, then renames
// it over `target`. The temporary file is removed on every failure.
bool CopyContent(int in, const struct stat& source, const fs::path& target, const CopyOptions& options) {
    fs::path temp = target.parent_path() / TemporaryNameFor(target);
    mode_t mode = (source.st_mode & 0777) | (options.keepAttributes ? 0 : S_IWUSR);
    int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) return FailErrno(errno, temp);
    auto abandon = [&](int err) {
        ::close(out);
        ::unlink(temp.c_str());
        return FailErrno(err, target);
    };
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
            return abandon(errno);
        }
        if (n == 0) break;
        for (ssize_t written = 0; !inKernel && written < n;) {
            ssize_t w = ::write(out, buffer.data() + written, static_cast<std::size_t>(n - written));
            if (w < 0) {
                if (errno == EINTR) continue;
                return abandon(errno);
            }
            written += w;
        }
        done += static_cast<std::uint64_t>(n);
        if (options.progress && !options.progress(done, total)) {
            ::close(out);
            ::unlink(temp.c_str());
            return Fail(1235);  // ERROR_REQUEST_ABORTED
        }
    }
    if (options.keepTime) {
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[0].tv_sec = 0;
        times[1] = source.st_mtim;
        if (::futimens(out, times) != 0) return abandon(errno);
    }
    if (::fchmod(out, mode) != 0) return abandon(errno);
    if (::close(out) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return FailErrno(err, target);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return FailErrno(err, target);
    }
    detail::NoteCreated(target);
    return true;
}

// Opens a host file for reading only when it is a regular file, judged on the opened file:
// a device (/dev/zero) would never end and a pipe would block, so neither is data. A pipe is
// opened without waiting for a writer. -1 with LastError set otherwise.
int OpenRegularFile(const fs::path& host) {
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
    // Regular files ignore O_NONBLOCK; clear it all the same for the reads that follow.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Copies host file to host file with the rules of CopyFile; `from`/`to` already resolved.
bool CopyHostFile(const fs::path& from, const fs::path& to, const CopyOptions& options) {
    int in = OpenRegularFile(from);
    if (in < 0) return false;
    std::unique_ptr<int, void (*)(int*)> closer(&in, [](int* fd) { ::close(*fd); });
    struct stat source {};
    if (::fstat(in, &source) != 0) return FailErrno(errno, from);
    std::uint32_t sourceAttributes = AttributesOf(from, source);

    struct stat existing {};
    if (::stat(to.c_str(), &existing) == 0) {
        if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino) return Fail(kErrorAccessDenied);
        if (options.failIfExists) return Fail(kErrorFileExists);
        if (S_ISDIR(existing.st_mode) || IsReadOnlyFile(existing)) return Fail(kErrorAccessDenied);
    } else if (errno != ENOENT) {
        return FailErrno(errno, to);
    } else {
        struct stat folder {};
        if (::stat(to.parent_path().c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return Fail(kErrorPathNotFound);
    }
    if (!CopyContent(in, source, to, options)) return false;
    detail::ForgetFlags(to);  // whatever the replaced file had
    if (options.keepAttributes && !ApplyAttributes(to, sourceAttributes & ~kAttrNormal)) return false;
    return Succeed();
}

}  // namespace

std::uint32_t LastError() { return t_lastError; }

void SetExtendedAttributesEnabledForTesting(bool enabled) { detail::SetExtendedAttributesEnabled(enabled); }

bool FileExists(std::string_view path) {
    std::optional<fs::path> host = Resolve(path);
    struct stat st {};
    return host && StatHost(*host, st) && Succeed();
}

bool DirectoryExists(std::string_view path) {
    std::optional<fs::path> host = Resolve(path);
    struct stat st {};
    if (!host || !StatHost(*host, st)) return false;
    return S_ISDIR(st.st_mode) ? Succeed() : Fail(kErrorPathNotFound);
}

std::uint32_t GetFileAttributes(std::string_view path) {
    std::optional<fs::path> host = Resolve(path);
    struct stat st {};
    if (!host || !StatHost(*host, st)) return kInvalidAttributes;
    Succeed();
    return AttributesOf(*host, st);
}

bool SetFileAttributes(std::string_view path, std::uint32_t attributes) {
    std::optional<fs::path> host = Resolve(path);
    return host && ApplyAttributes(*host, attributes);
}

std::optional<std::uint64_t> GetLastWriteTime(std::string_view path) {
    std::optional<fs::path> host = Resolve(path);
    struct stat st {};
    if (!host || !StatHost(*host, st)) return std::nullopt;
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
    std::optional<fs::path> host = Resolve(path);
    struct stat st {};
    if (!host || !StatHost(*host, st)) return std::nullopt;
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
    std::optional<fs::path> source = ResolveEntry(from);
    if (!source) return false;
    std::optional<fs::path> target = ResolveEntry(to);
    if (!target) return false;
    return CopyHostFile(*source, *target, options);
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
    std::optional<fs::path> host = ResolveEntry(path);
    if (!host) {
        if (error) *error = "invalid path";
        return std::nullopt;
    }
    int fd = OpenRegularFile(*host);
    if (fd < 0) {
        if (error) {
            *error = host->string() + (LastError() == kErrorAccessDenied ? ": not a regular file" : ": not found");
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
            if (error) *error = "read " + host->string() + ": " + std::strerror(errno);
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
    std::optional<fs::path> host = ResolveEntry(path);
    if (!host) return false;
    int fd = OpenRegularFile(*host);
    if (fd < 0) return false;
    std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* f) { ::close(*f); });
    std::vector<char> buffer(std::max<std::size_t>(blockSize, 512));
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return FailErrno(errno, *host);
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
