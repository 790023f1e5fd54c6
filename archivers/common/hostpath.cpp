#include "common/hostpath.h"

#include "platform/sjis.h"
#include "platform/winpath.h"

namespace archivers {

namespace sj = platform::sjis;

std::filesystem::path HostPathFromWindows(std::string_view sjisPath) {
    std::string path(sjisPath);
    // A host path ("/tmp/x", as command-line users and tests give) stands for itself; '\'
    // still separates folders in it, so "/tmp/stage\" names the folder /tmp/stage.
    if (!path.empty() && path[0] == '/') {
        std::string utf8;
        for (std::size_t i = 0; i < path.size(); i = sj::NextChar(path, i)) {
            const std::size_t len = sj::CharLength(path, i);
            if (len == 1 && path[i] == '\\') {
                utf8.push_back('/');
            } else {
                utf8.append(path, i, len);
            }
        }
        utf8 = platform::winpath::WindowsNameToHost(utf8);
        while (utf8.size() > 1 && utf8.back() == '/') utf8.pop_back();
        return std::filesystem::path(utf8);
    }
    // A folder element ends in '\'; the drive map wants the path without it.
    while (path.size() > 3 && path.back() == '\\' && sj::IsCharBoundary(path, path.size() - 1)) path.pop_back();
    const auto host = platform::winpath::ToHostPath(path);
    return host ? *host : std::filesystem::path();
}

std::string ArchiveNameFromHost(const std::filesystem::path& name) {
    return platform::winpath::HostNameToWindows(name.string());
}

}  // namespace archivers
