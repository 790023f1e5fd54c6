#include "test_util.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace archivers::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "archivers_test_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Extracted read-only files must not keep the folder alive.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::filesystem::path& p, const std::string& data) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int RunTool(const std::string& command, std::string* output) {
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    const int status = ::pclose(pipe);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::filesystem::path& p) {
    std::string s = "'";
    for (char c : p.string()) {
        if (c == '\'') {
            s += "'\\''";
        } else {
            s.push_back(c);
        }
    }
    return s + "'";
}

std::string RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

std::string TextLike(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {"install", "folder", "value", "archive", "the", "of", "setup", "file",
                                         "registry", "shortcut", "version", "and", "program", "data", "%InstallDir%",
                                         "\x95\x5C", "\x83\x74\x83\x40\x83\x43\x83\x8B"};
    std::mt19937 rng(seed);
    std::string s;
    s.reserve(size + 64);
    while (s.size() < size) {
        s += kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        s += (rng() % 11 == 0) ? "\r\n" : " ";
        if (rng() % 97 == 0) s += std::to_string(rng() % 100000);
    }
    s.resize(size);
    return s;
}

}  // namespace archivers::testing
