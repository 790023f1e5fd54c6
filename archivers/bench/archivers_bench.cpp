// Times our coders over a list of files: each file read from disk and compressed as the
// libraries do (LHA: one member per file; MSZIP: one cabinet of all files).
// Usage: archivers_bench <-lh5-|-lh6-|-lh7-|mszip|mszip:LEVEL> <output> <file>...
// Prints: <input bytes> <output bytes> <processor seconds>
// Example: archivers_bench -lh5- /tmp/out.lzh /usr/bin/ls /usr/bin/cp
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cab/cabinet.h"
#include "common/filescan.h"
#include "lha/archive.h"
#include "lha/method.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <-lh5-|-lh6-|-lh7-|mszip> <output> <file>...\n"
                             "example: %s -lh7- /tmp/a.lzh /usr/bin/ls\n", argv[0], argv[0]);
        return 2;
    }
    const std::string method = argv[1];
    std::vector<archivers::FoundFile> files;
    std::uint64_t in = 0;
    for (int i = 3; i < argc; ++i) {
        archivers::FoundFile f;
        if (!archivers::DescribeHostFile(argv[i], &f) || f.directory) continue;
        f.name = "f" + std::to_string(i);
        in += f.size;
        files.push_back(f);
    }
    std::remove(argv[2]);
    std::string error;
    // Processor time, not wall time: the machines we measure on are shared.
    const std::clock_t start = std::clock();
    bool ok;
    if (method.rfind("mszip", 0) == 0) {
        // "mszip:N" picks the deflate level N (default: the library's).
        archivers::cab::WriteSettings settings;
        if (method.size() > 6) settings.level = std::atoi(method.c_str() + 6);
        ok = archivers::cab::WriteCabinet(argv[2], files, settings, &error);
    } else {
        archivers::lha::PackSettings s;
        s.method = archivers::lha::FindMethod(method);
        if (!s.method) {
            std::fprintf(stderr, "unknown method %s\n", method.c_str());
            return 2;
        }
        s.onlyNewer = false;
        ok = archivers::lha::UpdateArchive(argv[2], files, s, &error);
    }
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (!ok) {
        std::fprintf(stderr, "failed: %s\n", error.c_str());
        return 1;
    }
    std::FILE* f = std::fopen(argv[2], "rb");
    std::fseek(f, 0, SEEK_END);
    const long out = std::ftell(f);
    std::fclose(f);
    std::printf("%llu %ld %.3f\n", static_cast<unsigned long long>(in), out, seconds);
    return 0;
}
