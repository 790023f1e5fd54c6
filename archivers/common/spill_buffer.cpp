#include "common/spill_buffer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace archivers {

SpillBuffer::SpillBuffer(std::filesystem::path folder, std::size_t memoryLimit)
    : folder_(std::move(folder)), memoryLimit_(memoryLimit) {}

SpillBuffer::~SpillBuffer() {
    if (fd_ >= 0) ::close(fd_);
}

bool SpillBuffer::Fail(const std::string& what) {
    error_ = what + ": " + std::strerror(errno);
    return false;
}

bool SpillBuffer::OpenFile() {
    const std::filesystem::path folder = folder_.empty() ? std::filesystem::path(".") : folder_;
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) return true;
    // A file system without unnamed files: a named one, unlinked at once.
    std::string pattern = (folder / ".spillXXXXXX").string();
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return Fail("create temporary file in " + folder.string());
    ::unlink(pattern.c_str());
    return true;
}

bool SpillBuffer::Append(const std::uint8_t* data, std::size_t size) {
    if (fd_ < 0 && memory_.size() + size <= memoryLimit_) {
        memory_.append(reinterpret_cast<const char*>(data), size);
        return true;
    }
    if (fd_ < 0 && !OpenFile()) return false;
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(fileSize_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail("write temporary file");
        data += n;
        size -= static_cast<std::size_t>(n);
        fileSize_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool SpillBuffer::Clear() {
    memory_.clear();
    if (fd_ >= 0 && ::ftruncate(fd_, 0) != 0) return Fail("truncate temporary file");
    fileSize_ = 0;
    return true;
}

ByteSink SpillBuffer::Sink() {
    return [this](const std::uint8_t* data, std::size_t size) { return Append(data, size); };
}

bool SpillBuffer::WriteTo(std::FILE* out) {
    if (std::fwrite(memory_.data(), 1, memory_.size(), out) != memory_.size()) return Fail("write");
    std::vector<char> chunk(fileSize_ > 0 ? 1 << 20 : 0);
    for (std::uint64_t at = 0; at < fileSize_;) {
        const ssize_t n = ::pread(fd_, chunk.data(), chunk.size(), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail("read temporary file");
        if (std::fwrite(chunk.data(), 1, static_cast<std::size_t>(n), out) != static_cast<std::size_t>(n))
            return Fail("write");
        at += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace archivers
