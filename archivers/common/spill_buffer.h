// Bytes gathered in memory up to a limit and past it in an unnamed temporary file, so that a
// large member compressed ahead of its turn need not fit in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/stream.h"

namespace archivers {

class SpillBuffer {
public:
    // The temporary file, when needed, is made in `folder` (the archive's, which must have room
    // for the archive anyway).
    SpillBuffer(std::filesystem::path folder, std::size_t memoryLimit);
    ~SpillBuffer();
    SpillBuffer(const SpillBuffer&) = delete;
    SpillBuffer& operator=(const SpillBuffer&) = delete;

    bool Append(const std::uint8_t* data, std::size_t size);
    // Drops everything gathered so far.
    bool Clear();
    std::uint64_t size() const { return memory_.size() + fileSize_; }
    ByteSink Sink();
    // Writes everything gathered to `out`.
    bool WriteTo(std::FILE* out);
    // Why the last call failed.
    const std::string& error() const { return error_; }

private:
    bool OpenFile();
    bool Fail(const std::string& what);

    std::filesystem::path folder_;
    std::size_t memoryLimit_;
    std::string memory_;
    int fd_ = -1;
    std::uint64_t fileSize_ = 0;
    std::string error_;
};

}  // namespace archivers
