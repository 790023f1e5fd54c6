// Helpers of the archiver tests: a temporary folder, whole files, running a tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

namespace archivers::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& rel) const { return path_ / rel; }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& p, const std::string& data);
std::string ReadFile(const std::filesystem::path& p);

// Runs a shell command; returns its exit status and puts stdout+stderr into *output.
int RunTool(const std::string& command, std::string* output = nullptr);
// Single-quoted for the shell.
std::string Quote(const std::filesystem::path& p);

// Deterministic test data.
std::string RandomBytes(std::size_t size, std::uint32_t seed);
std::string TextLike(std::size_t size, std::uint32_t seed);

}  // namespace archivers::testing
