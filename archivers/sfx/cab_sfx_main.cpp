// CAB self-extractor stub: the cabinet is appended to this program together with the options
// chosen when it was made. It verifies every data block's checksum and every name, extracts
// into a new private folder named after the options' folder ("%temp%" is the user's temporary
// folder: $TMPDIR, else /tmp; the folder made is that name followed by "." and a unique part,
// mode 0700, as the LHA stub does), runs the options' command there and waits for it, and
// removes what it extracted afterwards when the options say so. The command must be a file of
// the cabinet, inside the options' folder or relative to it. With "ask for the folder" set and
// a terminal on standard input it asks for the folder (an empty answer keeps the default);
// without a terminal it keeps the default.
// Exit codes: the command's, or 0 without a command; 2 for a damaged or missing cabinet, a
// refused member name or extraction folder; 3 when the command cannot be started; 4 when the
// command is not a file of the cabinet (nothing is extracted then).
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cab/cabinet.h"
#include "common/hostfiles.h"
#include "common/safe_path.h"
#include "platform/sjis.h"
#include "sfx/cab_options.h"
#include "sfx/sfx_file.h"
#include "sfx/stub_support.h"

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using namespace archivers;

namespace {

constexpr const char* kStub = "cab_sfx";

}  // namespace

int main(int argc, char** argv) {
    FileHandle self;
    sfx::Layout layout;
    std::string err;
    if (!sfx::OpenOwnArchive(sfx::Kind::Cab, &self, &layout, &err)) return sfx::Report(kStub, sfx::kExitDamaged, err);
    const long end = layout.archiveOffset + layout.archiveSize;
    if (!cab::TestCabinet(self.get(), layout.archiveOffset, end, &err))
        return sfx::Report(kStub, sfx::kExitDamaged, "damaged cabinet: " + err);

    sfx::CabSfxOptions options = sfx::DecodeCabSfxOptions(layout.options);
    if (options.extractDir.empty()) options.extractDir = "%temp%\\" + sj::FromUtf8(fs::path(argv[0]).stem().string());
    fs::path base = sfx::UserTempFolder();
    fs::path wanted = sfx::ExpandStubPath(options.extractDir, "%temp%");
    if (options.askFolder && ::isatty(0)) {
        std::fprintf(stderr, "Extract to [%s]: ", wanted.c_str());
        std::string answer;
        if (std::getline(std::cin, answer) && !answer.empty()) {
            wanted = fs::absolute(fs::path(answer)).lexically_normal();
            if (wanted.filename().empty()) wanted = wanted.parent_path();
            base = wanted.parent_path();
        }
    }
    if (wanted.empty()) return sfx::Report(kStub, sfx::kExitDamaged, "bad extraction folder");

    // Everything is checked before the first byte is written: the names, then the command.
    cab::CabinetReader reader;
    if (!reader.Open(self.get(), layout.archiveOffset, end, &err)) return sfx::Report(kStub, sfx::kExitDamaged, err);
    std::vector<MemberName> members;
    for (const cab::Entry& e : reader.entries()) members.push_back({e.name, false});
    if (!CheckMemberSet(members, &err)) return sfx::Report(kStub, sfx::kExitDamaged, err);
    std::optional<std::string> program;
    if (!options.command.empty()) {
        program = sfx::CommandMember(options.command, options.extractDir, members, &err);
        if (!program) return sfx::Report(kStub, sfx::kExitCommandRefused, err);
    }

    const auto dest = sfx::CreatePrivateFolder(base, wanted, &err);
    if (!dest) return sfx::Report(kStub, sfx::kExitDamaged, err);
    std::vector<fs::path> written;
    if (!cab::ExtractCabinet(self.get(), layout.archiveOffset, end, *dest, &err, &written, true)) {
        sfx::RemoveExtracted(*dest, sfx::IdentifyExtracted(written));
        return sfx::Report(kStub, sfx::kExitDamaged, err);
    }
    std::fprintf(stderr, "%s: extracted into %s\n", kStub, dest->c_str());
    if (!program) return 0;
    const fs::path run = *dest / *SafeRelativePath(*program, &err);
    const bool runnable = sfx::MakeRunnable(run);
    const auto extracted = sfx::IdentifyExtracted(written);
    const int code = runnable ? sfx::RunCommand(run, *dest, {argv + 1, argv + argc}) : sfx::kExitNotStarted;
    if (options.deleteAfterRun) sfx::RemoveExtracted(*dest, extracted);
    return code;
}
