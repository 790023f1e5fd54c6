// libFuzzer target: what a self-extractor stub reads from its own, possibly tampered, file
// before it writes anything - the trailer, the LHA directive lines, the CAB options, the
// command it would run and the member names it would write. Refusing input is fine; crashing,
// reading out of bounds, or accepting a command or member set that could leave the
// extraction folder is not.
//  - a trailer that ReadLayout accepts describes exactly the bytes of the file;
//  - directive names are never empty and no name or value holds a line break;
//  - CAB options survive encode and decode unchanged;
//  - a command CommandMember accepts is a file member of the archive with a safe name;
//  - a member set CheckMemberSet accepts has only safe names.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/safe_path.h"
#include "platform/sjis.h"
#include "sfx/cab_options.h"
#include "sfx/sfx_file.h"
#include "sfx/stub_support.h"

using namespace archivers;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool HasLineBreak(std::string_view s) { return s.find('\n') != std::string_view::npos; }

void FuzzTrailer(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!f) return;
    sfx::Layout layout;
    std::string error;
    if (sfx::ReadLayout(f, &layout, &error)) {
        Check(layout.archiveOffset >= 0 && layout.archiveSize >= 0);
        Check(static_cast<std::size_t>(layout.archiveOffset) + static_cast<std::size_t>(layout.archiveSize) +
                  layout.options.size() + 32 ==
              size);
        (void)sfx::DecodeCabSfxOptions(layout.options);
    }
    std::fclose(f);
}

void FuzzDirectives(std::string_view text) {
    for (const auto& [name, value] : sfx::ParseDirectives(text)) {
        Check(!HasLineBreak(name) && !HasLineBreak(value));
    }
    const sfx::CabSfxOptions decoded = sfx::DecodeCabSfxOptions(std::string(text));
    const sfx::CabSfxOptions again = sfx::DecodeCabSfxOptions(sfx::EncodeCabSfxOptions(decoded));
    Check(again.extractDir == decoded.extractDir && again.command == decoded.command &&
          again.askFolder == decoded.askFolder && again.deleteAfterRun == decoded.deleteAfterRun);
    (void)sfx::ExpandStubPath(decoded.extractDir, "%temp%");
}

// Lines: the first is the command, the second the extraction folder, the others members (a
// trailing '/' marks a folder member).
void FuzzCommand(std::string_view text) {
    std::vector<std::string> lines = platform::sjis::SplitSjis(text, '\n');
    if (lines.size() < 2) return;
    std::vector<MemberName> members;
    for (std::size_t i = 2; i < lines.size() && i < 64; ++i) {
        std::string name = lines[i];
        const bool folder = !name.empty() && name.back() == '/';
        if (folder) name.pop_back();
        members.push_back({name, folder});
    }
    std::string error;
    if (CheckMemberSet(members, &error)) {
        for (const MemberName& m : members) Check(SafeRelativePath(m.name, &error).has_value());
    }
    const auto member = sfx::CommandMember(lines[0], lines[1], members, &error);
    if (!member) return;
    Check(SafeRelativePath(*member, &error).has_value());
    bool found = false;
    for (const MemberName& m : members) found = found || (m.name == *member && !m.directory);
    Check(found);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0: FuzzTrailer(data + 1, size - 1); break;
        case 1: FuzzDirectives(rest); break;
        default: FuzzCommand(rest); break;
    }
    return 0;
}
