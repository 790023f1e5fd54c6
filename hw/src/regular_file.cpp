#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hw {

std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::string> {
        if (error) *error = path.string() + ": " + why;
        return std::nullopt;
    };
    // Non-blocking, so that opening a FIFO does not wait for a writer; the check below refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return fail(std::string("open: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return fail(std::string("fstat: ") + std::strerror(e));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail("not a regular file");
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxDataFileBytes) {
        ::close(fd);
        return fail("larger than " + std::to_string(kMaxDataFileBytes >> 20) + " MiB");
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            return fail(std::string("read: ") + std::strerror(e));
        }
        if (n == 0) break;
        // A file that grows while it is read stops at the bound like one that was too large.
        if (text.size() + static_cast<std::size_t>(n) > kMaxDataFileBytes) {
            ::close(fd);
            return fail("larger than " + std::to_string(kMaxDataFileBytes >> 20) + " MiB");
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

}  // namespace hw
