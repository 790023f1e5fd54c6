#include "platform/winpath.h"

#include "namecache.h"
#include "resolve.h"
#include "platform/drives.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"

#include <sys/stat.h>

#include <vector>

namespace platform::winpath {

namespace fs = std::filesystem;

namespace {

bool IsAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// The entry of `folder` that stands for the Windows name `name` (see the header); its exact
// spelling first. `hostName` is `name` in UTF-8.
detail::FolderLookup FindEntry(const fs::path& folder, std::string_view name, const std::string& hostName) {
    detail::FolderLookup exact;
    if (::lstat((folder / hostName).c_str(), &exact.st) == 0) {
        exact.folderThere = true;
        exact.name = hostName;
        return exact;
    }
    return detail::FindNameIgnoringCase(folder, name, hostName);
}

// Number of elements of `root` when it holds `path` (both absolute and normal); -1 otherwise.
int HoldingDepth(const fs::path& root, const fs::path& path) {
    auto r = root.begin(), p = path.begin();
    int depth = 0;
    for (; r != root.end(); ++r, ++p) {
        if (r->empty()) continue;  // trailing "/" of a root
        if (p == path.end() || *r != *p) return -1;
        if (*r != "/") ++depth;
    }
    return depth;
}

fs::path NormalHost(const fs::path& p) {
    fs::path n = p.lexically_normal();
    if (n.has_parent_path() && n.filename().empty()) n = n.parent_path();
    return n;
}

// The drive holding `path` by the longest host folder, lowest letter on a tie.
std::optional<Drive> HoldingDrive(const fs::path& path, const std::vector<Drive>& drives, bool canonical) {
    std::optional<Drive> best;
    int bestDepth = -1;
    for (const Drive& d : drives) {
        fs::path root = d.hostFolder;
        if (canonical) {
            std::error_code ec;
            root = fs::weakly_canonical(root, ec);
            if (ec) continue;
        }
        int depth = HoldingDepth(NormalHost(root), path);
        if (depth > bestDepth) {
            best = d;
            bestDepth = depth;
        }
    }
    return best;
}

}  // namespace

std::string WindowsNameToHost(std::string_view name) {
    if (IsAscii(name)) return std::string(name);
    return sjis::ToUtf8(name, sjis::Unconvertible::Keep);
}

std::string HostNameToWindows(std::string_view hostName) {
    if (IsAscii(hostName)) return std::string(hostName);
    return sjis::FromUtf8(hostName, sjis::Unconvertible::Keep);
}

std::optional<fs::path> ToHostPath(std::string_view windowsPath) {
    std::optional<PathParts> parts = ParsePath(windowsPath);
    if (!parts) return std::nullopt;
    std::optional<fs::path> root = detail::RootFolder(*parts);
    if (!root) return std::nullopt;
    return detail::HostEntryUnder(*root, *parts).host;
}

std::optional<fs::path> detail::RootFolder(const PathParts& parts) {
    if (parts.root == PathParts::Root::Drive) {
        auto drive = GetDrive(parts.drive);
        if (!drive) return std::nullopt;
        return drive->hostFolder;
    }
    if (parts.root == PathParts::Root::Unc) return ShareFolder(parts.server, parts.share);
    return std::nullopt;
}

namespace {

// `folder` + "/" + `name`, without a second slash after a root.
void AppendElement(std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    folder += name;
}

}  // namespace

fs::path detail::SpelledHostPath(const fs::path& root, const PathParts& parts) {
    std::string host = root.native();
    for (const std::string& element : parts.elements) AppendElement(host, WindowsNameToHost(element));
    return host;
}

detail::HostEntry detail::HostEntryUnder(const fs::path& root, const PathParts& parts) {
    using Known = HostEntry::Known;
    HostEntry entry;
    if (parts.elements.empty()) {
        entry.host = root;
        return entry;
    }
    std::vector<std::string> hostNames;
    hostNames.reserve(parts.elements.size());
    for (const std::string& element : parts.elements) hostNames.push_back(WindowsNameToHost(element));

    // Most paths are on disk as spelled, or all of them but the last element (a file about to
    // be made): then every element before is its own exact spelling, and one lstat tells, or
    // the kept names of the folder do.
    std::string parent = root.native();
    for (std::size_t i = 0; i + 1 < hostNames.size(); ++i) AppendElement(parent, hostNames[i]);
    std::string exact = parent;
    AppendElement(exact, hostNames.back());
    if (::lstat(exact.c_str(), &entry.st) == 0) {
        entry.host = std::move(exact);
        entry.known = Known::Present;
        return entry;
    }
    const FolderLookup last = FindNameIgnoringCase(parent, parts.elements.back(), hostNames.back());
    if (last.folderThere || hostNames.size() == 1) {
        entry.host = fs::path(parent) / last.name.value_or(hostNames.back());
        entry.known = last.name ? Known::Present : last.folderThere ? Known::Missing : Known::Nothing;
        entry.st = last.st;
        return entry;
    }

    // Element by element from the root.
    fs::path host = root;
    bool onDisk = true;
    for (std::size_t i = 0; i < hostNames.size(); ++i) {
        if (!onDisk) {
            host /= hostNames[i];
            continue;
        }
        const FolderLookup found = FindEntry(host, parts.elements[i], hostNames[i]);
        onDisk = found.name.has_value();
        host /= found.name.value_or(hostNames[i]);
        if (i + 1 == hostNames.size()) {
            entry.known = found.name ? Known::Present : found.folderThere ? Known::Missing : Known::Nothing;
            entry.st = found.st;
        }
    }
    entry.host = std::move(host);
    return entry;
}

std::string ToWindowsPath(const fs::path& hostPath) {
    if (hostPath.empty()) return {};
    std::error_code ec;
    fs::path absolute = hostPath.is_absolute() ? hostPath : fs::absolute(hostPath, ec);
    if (ec) return {};
    fs::path path = NormalHost(absolute);
    std::vector<Drive> drives = Drives();
    std::optional<Drive> drive = HoldingDrive(path, drives, false);
    // A prefix reached through a symbolic link: compare the real folders as well before
    // settling for the host's root.
    if (!drive || HoldingDepth(NormalHost(drive->hostFolder), path) == 0) {
        fs::path real = NormalHost(fs::weakly_canonical(path, ec));
        if (!ec) {
            if (std::optional<Drive> other = HoldingDrive(real, drives, true)) {
                fs::path otherRoot = NormalHost(fs::weakly_canonical(other->hostFolder, ec));
                if (!ec && HoldingDepth(otherRoot, real) > 0) {
                    drive = other;
                    path = real;
                }
            }
        }
    }
    if (!drive) return {};
    fs::path root = NormalHost(drive->hostFolder);
    if (HoldingDepth(root, path) < 0) root = NormalHost(fs::weakly_canonical(drive->hostFolder, ec));

    std::string out = std::string(1, drive->letter) + ":\\";
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r) {
        if (!r->empty()) ++p;
    }
    bool first = true;
    for (; p != path.end(); ++p) {
        if (p->empty() || *p == "/") continue;
        std::string name = HostNameToWindows(p->native());
        if (!IsValidElement(name)) return {};
        if (!first) out.push_back('\\');
        out += name;
        first = false;
    }
    return out;
}

std::string FromCommandLine(std::string_view arg) {
    if (arg.empty()) return {};
    bool drivePath = arg.size() >= 2 && ((arg[0] >= 'A' && arg[0] <= 'Z') || (arg[0] >= 'a' && arg[0] <= 'z')) &&
                     arg[1] == ':';
    bool uncPath = arg.size() >= 2 && arg[0] == '\\' && arg[1] == '\\';
    if (drivePath || uncPath) return HostNameToWindows(arg);
    return ToWindowsPath(fs::path(std::string(arg)));
}

}  // namespace platform::winpath
