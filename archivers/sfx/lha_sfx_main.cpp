// LHA self-extractor stub: the archive is appended to this program. It checks every member's
// CRC, reads the directive file "$" from the archive, extracts the other members into the
// folder the directives name and runs the command they name.
//
// Directives ("$Name=value" lines, Shift-JIS):
//   $InstallDir    extraction folder; "%WORK%" stands for the user's temporary folder
//                  ($TMPDIR, else /tmp). Default: %WORK%\<program name without extension>.
//   $Command       program started after extraction, with the extraction folder as its
//                  working folder; the stub waits for it and exits with its exit code. Its
//                  name is matched without regard to case and it is made executable first.
//                  Without $Command the stub only extracts.
//   $WindowTitle   printed as the first progress line (there is no window).
//   $InstallTitle  caption of a folder prompt; the stub never prompts, so it is not used.
//   $E...          the same directives for users whose language is not Japanese: used when
//                  LANG/LC_ALL/LC_MESSAGES does not begin with "ja" and the E form is present.
//   $Flag          read and otherwise ignored: its bits choose what to ask the user, and the
//                  stub asks nothing.
// Exit codes: the command's, or 0 after extraction without a command; 2 for a damaged or
// missing archive or a refused member name; 3 when the command cannot be started.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "common/hostfiles.h"
#include "common/safe_path.h"
#include "lha/archive.h"
#include "platform/sjis.h"
#include "sfx/sfx_file.h"
#include "sfx/stub_support.h"

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using namespace archivers;

namespace {

int Die(int code, const std::string& message) {
    std::fprintf(stderr, "lha_sfx: %s\n", message.c_str());
    return code;
}

std::string ReadDirectiveFile(std::FILE* f, const sfx::Layout& layout, std::string* error) {
    lha::ArchiveReader reader(f, layout.archiveOffset, layout.archiveOffset + layout.archiveSize);
    lha::Member m;
    while (reader.Next(&m, error) == lha::HeaderStatus::Ok) {
        if (m.path != "$") continue;
        std::string text;
        reader.Extract(
            [&text](const std::uint8_t* d, std::size_t n) {
                text.append(reinterpret_cast<const char*>(d), n);
                return text.size() < (1u << 20);
            },
            error);
        return text;
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    FileHandle self;
    sfx::Layout layout;
    std::string err;
    if (!sfx::OpenOwnArchive(sfx::Kind::Lha, &self, &layout, &err)) return Die(2, err);
    const long end = layout.archiveOffset + layout.archiveSize;
    if (!lha::TestArchive(self.get(), layout.archiveOffset, end, &err)) return Die(2, "damaged archive: " + err);

    const auto directives = sfx::ParseDirectives(ReadDirectiveFile(self.get(), layout, &err));
    const bool japanese = sfx::UserIsJapanese();
    auto pick = [&](const std::string& key) -> std::string {
        if (!japanese) {
            auto e = directives.find("E" + key);
            if (e != directives.end()) return e->second;
        }
        auto it = directives.find(key);
        return it == directives.end() ? std::string() : it->second;
    };

    const std::string title = pick("WindowTitle");
    if (!title.empty()) std::fprintf(stderr, "%s\n", sj::ToUtf8(title, sj::Unconvertible::Replace).c_str());

    std::string installDir = pick("InstallDir");
    if (installDir.empty()) installDir = "%WORK%\\" + sj::FromUtf8(fs::path(argv[0]).stem().string());
    const fs::path dest = sfx::ExpandStubPath(installDir, "%WORK%");
    if (dest.empty()) return Die(2, "bad extraction folder");

    std::vector<fs::path> written;
    const bool ok = lha::ExtractArchive(
        self.get(), layout.archiveOffset, end, dest, [](const lha::Member& m) { return m.path != "$"; }, &err, &written);
    if (!ok) return Die(2, err);

    const std::string command = pick("Command");
    if (command.empty()) return 0;
    return sfx::RunCommand(sfx::ExpandStubPath(command, "%WORK%"), dest, {argv + 1, argv + argc}, &err);
}
