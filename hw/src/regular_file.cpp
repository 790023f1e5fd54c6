#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hw {
namespace {

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::string> {
        if (error) *error = path.string() + ": " + why;
        return std::nullopt;
    };
    const std::string tooLarge = "larger than " + std::to_string(kMaxDataFileBytes >> 20) + " MiB";
    // Non-blocking, so that opening a FIFO does not wait for a writer; the check below refuses it.
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) return fail(std::string("open: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return fail(std::string("fstat: ") + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return fail("not a regular file");
    if (static_cast<unsigned long long>(st.st_size) > kMaxDataFileBytes) return fail(tooLarge);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(std::string("read: ") + std::strerror(errno));
        if (n == 0) return text;
        // A file that grows while it is read stops at the bound like one that was too large.
        if (text.size() + static_cast<std::size_t>(n) > kMaxDataFileBytes) return fail(tooLarge);
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace hw
