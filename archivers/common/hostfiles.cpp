#include "common/hostfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "common/safe_path.h"

namespace archivers {

namespace {

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}

}  // namespace

HostFile::~HostFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool HostFile::OpenRead(const std::filesystem::path& path, std::string* error) {
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return Fail(error, "open " + PathText(path));
    return true;
}

bool HostFile::CreateWrite(const std::filesystem::path& path, std::string* error, unsigned mode) {
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ < 0 && errno == EACCES) {
        // A read-only file left by an earlier extraction is replaced, as on Windows the
        // extractor clears the attribute before it overwrites.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::chmod(path.c_str(), st.st_mode | S_IWUSR) == 0)
            fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    }
    if (fd_ < 0) return Fail(error, "create " + PathText(path));
    return true;
}

bool HostFile::CreateNew(const std::filesystem::path& path, std::string* error, unsigned mode) {
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ < 0) return Fail(error, "create " + PathText(path));
    return true;
}

bool HostFile::Rewind(std::string* error) {
    if (::lseek(fd_, 0, SEEK_SET) < 0) return Fail(error, "lseek " + path_.string());
    return true;
}

bool HostFile::Close(std::string* error) {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) return Fail(error, "close " + path_.string());
    return true;
}

ByteSource HostFile::Source() {
    const int fd = fd_;
    return [fd](std::uint8_t* buf, std::size_t size) -> std::ptrdiff_t {
        while (true) {
            const ssize_t n = ::read(fd, buf, size);
            if (n < 0 && errno == EINTR) continue;
            return n;
        }
    };
}

ByteSink HostFile::Sink() {
    const int fd = fd_;
    return [fd](const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    };
}

TempFile::~TempFile() {
    if (file_) {
        std::fclose(file_);
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
}

bool TempFile::Create(const std::filesystem::path& target, std::string* error) {
    std::string pattern = target.string() + ".tmpXXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return Fail(error, "create temporary file beside " + target.string());
    path_ = pattern;
    file_ = ::fdopen(fd, "w+b");
    if (!file_) {
        ::close(fd);
        return Fail(error, "fdopen");
    }
    ::fchmod(fd, 0644);
    return true;
}

bool TempFile::Commit(const std::filesystem::path& target, std::string* error) {
    if (std::fflush(file_) != 0) return Fail(error, "write " + path_.string());
    if (::fsync(::fileno(file_)) != 0) return Fail(error, "fsync " + path_.string());
    const int rc = std::fclose(file_);
    file_ = nullptr;
    if (rc != 0) {
        Fail(error, "close " + path_.string());
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        return false;
    }
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        Fail(error, "rename to " + target.string());
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        return false;
    }
    return true;
}

void SetHostFileInfo(const std::filesystem::path& path, std::int64_t mtime, bool readOnly) {
    struct timespec times[2];
    times[0].tv_sec = mtime;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    if (readOnly) ::chmod(path.c_str(), 0444);
}

}  // namespace archivers
