// arcctl: hands one command line to an archiver library, as the editor's build does.
#include "archivers/cab32.h"
#include "archivers/unlha32.h"
#include "platform/sjis.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage: arcctl lha|cab COMMAND-LINE\n"
    "\n"
    "Passes COMMAND-LINE (UTF-8; paths are Windows paths of the prefix or host paths) to\n"
    "libunlha32.so or libcab32.so and prints the library's answer (Shift-JIS, shown as UTF-8).\n"
    "Exits 0 on success, 1 with the library's result code otherwise. A response file that\n"
    "names itself, directly or through another, is refused.\n"
    "\n"
    "examples:\n"
    "  arcctl lha 'u -jm2 \"/tmp/setup.lzh\" \"/tmp/stage\\\" *.*'\n"
    "  arcctl lha 's -+ -x1 \"/tmp/setup.lzh\" \"/tmp/out\\\"'\n"
    "  arcctl cab '-a -ml:21 \"/tmp/setup.cab\" \"/tmp/stage\\\" *.*'\n"
    "  arcctl cab '-t \"/tmp/setup.cab\"'\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3 || (std::strcmp(argv[1], "lha") != 0 && std::strcmp(argv[1], "cab") != 0)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string commandLine = platform::sjis::FromUtf8(argv[2]);
    char output[4096] = {};
    const bool lha = std::strcmp(argv[1], "lha") == 0;
    int result = lha ? Unlha(nullptr, commandLine.c_str(), output, sizeof output)
                     : Cab(nullptr, commandLine.c_str(), output, sizeof output);
    // The libraries answer in Shift-JIS, as their Windows callers expect (member names as the
    // archive stores them); the terminal gets UTF-8, with bytes that do not convert shown as
    // replacement characters.
    if (output[0])
        std::printf("%s\n", platform::sjis::ToUtf8(output, platform::sjis::Unconvertible::Replace).c_str());
    if (result != 0) {
        std::fprintf(stderr, "arcctl: %s library answered 0x%04X\n", argv[1], static_cast<unsigned>(result));
        return 1;
    }
    return 0;
}
