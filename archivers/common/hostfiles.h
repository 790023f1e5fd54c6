// Host files for the archivers: owned FILE handles, plain reads and writes as streams, and a
// temporary file that replaces its target only once it is complete.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "common/stream.h"

namespace archivers {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

class HostFile {
public:
    HostFile() = default;
    ~HostFile();
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;

    bool OpenRead(const std::filesystem::path& path, std::string* error);
    // Creates or truncates; refuses to follow a link at the last element.
    bool CreateWrite(const std::filesystem::path& path, std::string* error, unsigned mode = 0644);
    // Creates a file that must not exist yet: never writes over anything, never through a link.
    bool CreateNew(const std::filesystem::path& path, std::string* error, unsigned mode = 0644);
    bool Rewind(std::string* error);
    bool Close(std::string* error);

    ByteSource Source();
    ByteSink Sink();

private:
    int fd_ = -1;
    std::filesystem::path path_;
};

// A file beside the target, renamed over it by Commit after its data reached the disk;
// removed when Commit was not reached.
class TempFile {
public:
    ~TempFile();
    bool Create(const std::filesystem::path& target, std::string* error);
    std::FILE* file() const { return file_; }
    bool Commit(const std::filesystem::path& target, std::string* error);

private:
    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
};

// Last-write time (seconds since 1970 UTC) and the read-only state of a host file.
void SetHostFileInfo(const std::filesystem::path& path, std::int64_t mtime, bool readOnly);

}  // namespace archivers
