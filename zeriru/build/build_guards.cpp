#include "build_guards.h"

#include "platform/pathtext.h"
#include "platform/prefix.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "zeriru/build_machine.h"
#include "zeriru/ini_document.h"

#include <system_error>

namespace zeriru {

namespace fs = std::filesystem;
namespace sj = platform::sjis;
namespace wp = platform::winpath;

std::optional<fs::path> CanonicalHostPath(std::string_view windowsPath) {
    // "C:" as a folder is the drive's root, as the build writes it without its backslash.
    const bool bareDrive = windowsPath.size() == 2 && windowsPath[1] == ':';
    const std::optional<fs::path> host =
        wp::ToHostPath(bareDrive ? std::string(windowsPath) + "\\" : std::string(windowsPath));
    if (!host) return std::nullopt;
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(*host, ec);
    if (ec) return std::nullopt;
    // "a/b/" and "a/b" name one folder.
    if (!canonical.has_filename() && canonical.has_parent_path() && canonical != canonical.root_path())
        canonical = canonical.parent_path();
    return canonical;
}

bool IsSameOrBelow(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty()) continue;  // a trailing separator
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

HostFolder::HostFolder(std::string_view windowsFolder) : host_(CanonicalHostPath(windowsFolder)) {}

bool HostFolder::Holds(std::string_view windowsPath) const {
    if (!host_) return false;
    const std::optional<fs::path> path = CanonicalHostPath(windowsPath);
    return path && IsSameOrBelow(*path, *host_);
}

bool HostFolder::IsHeldBy(std::string_view windowsPath) const {
    if (!host_) return false;
    const std::optional<fs::path> path = CanonicalHostPath(windowsPath);
    return path && IsSameOrBelow(*host_, *path);
}

bool SourceFolders::HeldByOutput(std::string_view windowsFile) {
    const std::string folder = wp::RemoveBackslash(wp::FolderOf(windowsFile));
    auto [at, fresh] = folders_.try_emplace(FoldName(folder), false);
    if (fresh) at->second = output_.Holds(folder);
    return at->second;
}

std::vector<std::string> KnownFolders(TBuildMachine& machine) {
    std::vector<std::string> folders;
    auto add = [&folders](std::string folder) {
        folder = wp::RemoveBackslash(folder);
        if (folder.empty()) return;
        for (const std::string& known : folders)
            if (sj::EqualsNoCase(known, folder)) return;
        folders.push_back(std::move(folder));
    };
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (wp::ToHostPath(root)) folders.push_back(root);
    }
    for (int f = 0; f <= static_cast<int>(platform::PrefixFolder::CommonTemplates); ++f)
        add(platform::PrefixFolderPath(static_cast<platform::PrefixFolder>(f)));
    add(machine.WindowsFolder());
    add(machine.SystemFolder());
    add(machine.ProgramFilesFolder());
    for (int kind = 0; kind <= 9; ++kind) {
        add(machine.ShellFolder(kind, false));
        add(machine.ShellFolder(kind, true));
    }
    return folders;
}

bool HasParentElement(std::string_view path) {
    std::size_t start = 0;
    auto dotsOnly = [&](std::size_t end) {
        // Windows drops trailing points and blanks of a name, so "..." and ".. " climb as ".."
        // does; a single "." stays where it is.
        std::size_t dots = 0;
        for (std::size_t i = start; i < end; ++i) {
            if (path[i] == '.') {
                ++dots;
            } else if (path[i] != ' ') {
                return false;
            }
        }
        return dots >= 2;
    };
    for (std::size_t i = 0; i < path.size(); i = sj::NextChar(path, i)) {
        if (sj::CharLength(path, i) == 1 && (path[i] == '\\' || path[i] == '/')) {
            if (dotsOnly(i)) return true;
            start = i + 1;
        }
    }
    return dotsOnly(path.size());
}

bool StartsOnHostRoot(std::string_view path) {
    // A define name first ("%AbsoluteDir%Z:\tmp" or a literal path after it).
    if (!path.empty() && path[0] == '%') {
        const std::size_t close = sj::FindChar(path, '%', 1);
        if (close != sj::npos) path.remove_prefix(close + 1);
    }
    while (!path.empty() && path[0] == ' ') path.remove_prefix(1);
    std::string root;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        root = std::string(path.substr(0, 2)) + "\\";
    } else if (path.size() > 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) {
        const std::optional<platform::winpath::PathParts> parts = platform::winpath::ParsePath(path);
        if (!parts || parts->root != platform::winpath::PathParts::Root::Unc) return false;
        root = "\\\\" + parts->server + "\\" + parts->share;
    } else {
        return false;
    }
    const std::optional<fs::path> host = CanonicalHostPath(root);
    return host && *host == host->root_path();
}

}  // namespace zeriru
