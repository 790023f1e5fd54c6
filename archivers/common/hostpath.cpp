#include "common/hostpath.h"

#include "platform/prefix.h"
#include "platform/sjis.h"

namespace archivers {

namespace sj = platform::sjis;

// Until the suite-wide drive map is available this covers what the archivers are given: host
// paths, "Z:" (the host's root) and "C:" (the prefix's drive_c). Elements are taken as they are
// written; they are not matched without regard to case.
std::filesystem::path HostPathFromWindows(std::string_view sjisPath) {
    std::string path(sjisPath);
    std::filesystem::path root;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        const char drive = static_cast<char>(path[0] & ~0x20);
        root = drive == 'C' ? platform::PrefixRoot() / "drive_c" : std::filesystem::path("/");
        path = path.substr(2);
    }
    std::string utf8;
    for (std::size_t i = 0; i < path.size(); i = sj::NextChar(path, i)) {
        if (sj::CharLength(path, i) == 1 && path[i] == '\\') {
            utf8.push_back('/');
        } else {
            utf8.append(path, i, sj::CharLength(path, i));
        }
    }
    utf8 = sj::ToUtf8(utf8);
    while (utf8.size() > 1 && utf8.back() == '/') utf8.pop_back();
    if (root.empty()) return std::filesystem::path(utf8);
    while (!utf8.empty() && utf8.front() == '/') utf8.erase(0, 1);
    return root / utf8;
}

std::string ArchiveNameFromHost(const std::filesystem::path& name) { return sj::FromUtf8(name.string()); }

}  // namespace archivers
