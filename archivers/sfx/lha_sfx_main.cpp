// LHA self-extractor stub: the archive is appended to this program. It checks every member's
// CRC and name, reads the directive file "$" from the archive, extracts the other members into
// a new private folder named after the one the directives give, and runs the command they
// name, which must be a member of the archive.
//
// Directives ("$Name=value" lines, Shift-JIS):
//   $InstallDir    extraction folder; "%WORK%" stands for the user's temporary folder
//                  ($TMPDIR, else /tmp). Default: %WORK%\<program name without extension>.
//                  The stub makes a new folder of mode 0700 whose name is this folder's name
//                  followed by "." and a unique part ("%WORK%\DOZOZE\T" becomes
//                  $TMPDIR/DOZOZE/T.k3J9aQ); folders above it are made 0700 when missing and
//                  refused when they are links or open to other users. It must lie below the
//                  temporary folder.
//   $Command       program started after extraction, with the extraction folder as its
//                  working folder; the stub waits for it and exits with its exit code. It
//                  must name a file of the archive, inside $InstallDir or relative to it
//                  (matched without regard to case); only that file is made executable.
//                  Without $Command the stub only extracts.
//   $WindowTitle   printed as the first progress line (there is no window).
//   $InstallTitle  caption of a folder prompt; the stub never prompts, so it is not used.
//   $E...          the same directives for users whose language is not Japanese: used when
//                  LANG/LC_ALL/LC_MESSAGES does not begin with "ja" and the E form is present.
//   $Flag          read and otherwise ignored: its bits choose what to ask the user, and the
//                  stub asks nothing.
// Exit codes: the command's, or 0 after extraction without a command; 2 for a damaged or
// missing archive, a refused member name or extraction folder; 3 when the command cannot be
// started; 4 when the command is not a member of the archive (nothing is extracted then).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
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

constexpr const char* kStub = "lha_sfx";

bool IsNotDirectives(const lha::Member& m) { return m.path != "$"; }

}  // namespace

int main(int argc, char** argv) {
    FileHandle self;
    sfx::Layout layout;
    std::string err;
    if (!sfx::OpenOwnArchive(sfx::Kind::Lha, &self, &layout, &err)) return sfx::Report(kStub, sfx::kExitDamaged, err);
    const long end = layout.archiveOffset + layout.archiveSize;
    if (!lha::TestArchive(self.get(), layout.archiveOffset, end, &err))
        return sfx::Report(kStub, sfx::kExitDamaged, "damaged archive: " + err);

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
    const fs::path wanted = sfx::ExpandStubPath(installDir, "%WORK%");
    if (wanted.empty()) return sfx::Report(kStub, sfx::kExitDamaged, "bad extraction folder");

    // Everything is checked before the first byte is written: the members, then the command.
    std::vector<MemberName> members;
    if (!lha::ListMemberNames(self.get(), layout.archiveOffset, end, IsNotDirectives, &members, &err) ||
        !CheckMemberSet(members, &err))
        return sfx::Report(kStub, sfx::kExitDamaged, err);
    const std::string command = pick("Command");
    std::optional<std::string> program;
    if (!command.empty()) {
        program = sfx::CommandMember(command, installDir, members, &err);
        if (!program) return sfx::Report(kStub, sfx::kExitCommandRefused, err);
    }

    const auto dest = sfx::CreatePrivateFolder(sfx::UserTempFolder(), wanted, &err);
    if (!dest) return sfx::Report(kStub, sfx::kExitDamaged, err);
    std::vector<fs::path> written;
    if (!lha::ExtractArchive(self.get(), layout.archiveOffset, end, *dest, IsNotDirectives, &err, &written, true)) {
        sfx::RemoveExtracted(*dest, sfx::IdentifyExtracted(written));
        return sfx::Report(kStub, sfx::kExitDamaged, err);
    }
    std::fprintf(stderr, "%s: extracted into %s\n", kStub, dest->c_str());
    if (!program) return 0;
    const fs::path run = *dest / *SafeRelativePath(*program, &err);
    if (!sfx::MakeRunnable(run)) return sfx::kExitNotStarted;
    return sfx::RunCommand(run, *dest, {argv + 1, argv + argc});
}
