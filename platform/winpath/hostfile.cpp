#include "platform/hostfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace platform {

namespace {

std::atomic<long long> g_failAfterBytes{-1};

void SetError(std::string* error, const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
}

std::string TemporaryName(const std::filesystem::path& target) {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    std::ostringstream name;
    name << "." << target.filename().string() << ".tmp" << getpid() << "_" << std::hex << rng();
    return name.str();
}

bool WriteAll(int fd, std::string_view data, std::string* error, const std::string& what) {
    long long limit = g_failAfterBytes.load();
    std::size_t done = 0;
    while (done < data.size()) {
        std::size_t chunk = data.size() - done;
        if (limit >= 0) {
            if (static_cast<long long>(done) >= limit) {
                SetError(error, "write " + what, ENOSPC);
                return false;
            }
            chunk = std::min<std::size_t>(chunk, static_cast<std::size_t>(limit) - done);
        }
        ssize_t n = ::write(fd, data.data() + done, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(error, "write " + what, errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void SetWriteFailureAfterBytesForTesting(long long bytes) { g_failAfterBytes.store(bytes); }

std::optional<std::string> ReadHostFile(const std::filesystem::path& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetError(error, "open " + path.string(), errno ? errno : ENOENT);
        return std::nullopt;
    }
    std::ostringstream data;
    data << in.rdbuf();
    if (in.bad()) {
        SetError(error, "read " + path.string(), errno ? errno : EIO);
        return std::nullopt;
    }
    return data.str();
}

bool WriteHostFileAtomic(const std::filesystem::path& path, std::string_view data, std::string* error) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    std::filesystem::path temp = folder / TemporaryName(path);
    const std::string what = temp.string();

    mode_t mode = 0644;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) mode = old.st_mode & 07777;

    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetError(error, "create " + what, errno);
        return false;
    }
    bool ok = WriteAll(fd, data, error, what);
    if (ok && ::fsync(fd) != 0) {
        SetError(error, "fsync " + what, errno);
        ok = false;
    }
    if (ok && ::fchmod(fd, mode) != 0) {
        SetError(error, "chmod " + what, errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        SetError(error, "close " + what, errno);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        SetError(error, "rename " + what + " to " + path.string(), errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace platform
