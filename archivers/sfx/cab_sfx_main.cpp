// CAB self-extractor stub: the cabinet is appended to this program together with the options
// chosen when it was made. It verifies every data block's checksum, extracts into the
// options' folder ("%temp%" is the user's temporary folder: $TMPDIR, else /tmp), runs the
// options' command there and waits for it, and removes the extracted files afterwards when
// the options say so. With "ask for the folder" set and a terminal on standard input it asks
// for the folder (an empty answer keeps the default); without a terminal it keeps the default.
// Exit codes: the command's, or 0 without a command; 2 for a damaged or missing cabinet or a
// refused member name; 3 when the command cannot be started.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <system_error>

#include "cab/cabinet.h"
#include "common/hostfiles.h"
#include "platform/sjis.h"
#include "sfx/cab_options.h"
#include "sfx/sfx_file.h"
#include "sfx/stub_support.h"

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using namespace archivers;

namespace {

int Die(int code, const std::string& message) {
    std::fprintf(stderr, "cab_sfx: %s\n", message.c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    FileHandle self;
    sfx::Layout layout;
    std::string err;
    if (!sfx::OpenOwnArchive(sfx::Kind::Cab, &self, &layout, &err)) return Die(2, err);
    const long end = layout.archiveOffset + layout.archiveSize;
    if (!cab::TestCabinet(self.get(), layout.archiveOffset, end, &err)) return Die(2, "damaged cabinet: " + err);

    sfx::CabSfxOptions options = sfx::DecodeCabSfxOptions(layout.options);
    if (options.extractDir.empty()) options.extractDir = "%temp%\\" + sj::FromUtf8(fs::path(argv[0]).stem().string());
    fs::path dest = sfx::ExpandStubPath(options.extractDir, "%temp%");
    if (options.askFolder && ::isatty(0)) {
        std::fprintf(stderr, "Extract to [%s]: ", dest.c_str());
        std::string answer;
        if (std::getline(std::cin, answer) && !answer.empty()) dest = fs::path(answer);
    }
    if (dest.empty()) return Die(2, "bad extraction folder");

    std::vector<fs::path> written;
    if (!cab::ExtractCabinet(self.get(), layout.archiveOffset, end, dest, &err, &written)) return Die(2, err);
    if (options.command.empty()) return 0;

    std::string command;
    for (std::size_t i = 0; i < options.command.size(); i = sj::NextChar(options.command, i)) {
        const std::size_t len = sj::CharLength(options.command, i);
        command += (len == 1 && options.command[i] == '\\') ? std::string("/") : options.command.substr(i, len);
    }
    fs::path program(sj::ToUtf8(command));
    if (program.is_relative()) program = dest / program;
    const int code = sfx::RunCommand(program, dest, {argv + 1, argv + argc}, &err);
    if (options.deleteAfterRun) {
        std::error_code ec;
        for (const fs::path& p : written) fs::remove(p, ec);
        // Folders left empty, deepest first.
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            for (fs::path d = it->parent_path(); d != dest && d.string().size() > dest.string().size();
                 d = d.parent_path()) {
                if (!fs::remove(d, ec)) break;
            }
        }
        fs::remove(dest, ec);
    }
    return code;
}
