#include "attrstore.h"

#include "namecache.h"
#include "platform/hostfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace platform::winpath::detail {

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_xattrEnabled{true};

bool Unsupported(int err) { return err == ENOTSUP || err == EOPNOTSUPP; }

std::optional<std::uint32_t> ParseFlags(std::string_view text) {
    std::string t(text);
    char* end = nullptr;
    unsigned long value = std::strtoul(t.c_str(), &end, 16);
    if (end == t.c_str() || value > 0xFFFFFFFFUL) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::string FormatFlags(std::uint32_t flags) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", flags);
    return text;
}

SidecarEntries ParseSidecar(const std::string& text) {
    SidecarEntries entries;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::size_t blank = line.find(' ');
        if (blank == std::string::npos || blank + 1 >= line.size()) continue;
        if (auto flags = ParseFlags(std::string_view(line).substr(0, blank))) entries[line.substr(blank + 1)] = *flags;
    }
    return entries;
}

// Runs `change` on the sidecar of `folder` under an exclusive lock of the folder, and writes
// the result back (removing the sidecar when nothing is left in it).
template <typename Change>
bool UpdateSidecar(const fs::path& folder, Change change) {
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    while (::flock(dirFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(dirFd);
            return false;
        }
    }
    fs::path file = folder / kSidecarName;
    SidecarEntries entries = ReadSidecar(folder);
    bool ok = true;
    if (change(entries)) {
        if (entries.empty()) {
            ok = ::unlink(file.c_str()) == 0 || errno == ENOENT;
            NoteRemoved(file);
        } else {
            std::string text;
            for (const auto& [name, flags] : entries) text += FormatFlags(flags) + " " + name + "\n";
            ok = WriteHostFileAtomic(file, text);
            if (ok) NoteCreated(file);
        }
    }
    ::flock(dirFd, LOCK_UN);
    ::close(dirFd);
    return ok;
}

}  // namespace

void SetExtendedAttributesEnabled(bool enabled) { g_xattrEnabled.store(enabled); }

SidecarEntries ReadSidecar(const fs::path& folder) {
    std::optional<std::string> text = ReadHostFile(folder / kSidecarName);
    return text ? ParseSidecar(*text) : SidecarEntries{};
}

std::optional<std::uint32_t> ReadFlags(const fs::path& host, const SidecarEntries* sidecar) {
    if (g_xattrEnabled.load()) {
        char value[32];
        ssize_t n = ::getxattr(host.c_str(), kAttributeName, value, sizeof value - 1);
        if (n >= 0) return ParseFlags(std::string_view(value, static_cast<std::size_t>(n)));
        if (!Unsupported(errno)) return std::nullopt;
    }
    std::string name = host.filename().string();
    if (sidecar) {
        auto it = sidecar->find(name);
        return it == sidecar->end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
    }
    SidecarEntries entries = ReadSidecar(host.parent_path());
    auto it = entries.find(name);
    return it == entries.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
}

bool WriteFlags(const fs::path& host, std::uint32_t flags) {
    if (g_xattrEnabled.load()) {
        std::string text = FormatFlags(flags);
        if (::setxattr(host.c_str(), kAttributeName, text.data(), text.size(), 0) == 0) {
            ForgetFlags(host);  // a stale sidecar entry must not outvote the attribute
            return true;
        }
        if (!Unsupported(errno)) return false;
    }
    return WriteSidecarFlags(host, flags);
}

bool WriteSidecarFlags(const fs::path& host, std::uint32_t flags) {
    std::string name = host.filename().string();
    // The sidecar is line-based: a host name with a line break cannot be listed in it.
    if (name.find('\n') != std::string::npos) return false;
    return UpdateSidecar(host.parent_path(), [&](SidecarEntries& entries) {
        entries[name] = flags;
        return true;
    });
}

FlagStore WriteFlagsOf(int fd, std::uint32_t flags) {
    if (!g_xattrEnabled.load()) return FlagStore::Unsupported;
    const std::string text = FormatFlags(flags);
    if (::fsetxattr(fd, kAttributeName, text.data(), text.size(), 0) == 0) return FlagStore::Written;
    return Unsupported(errno) ? FlagStore::Unsupported : FlagStore::Failed;
}

void ForgetFlags(const fs::path& host) {
    fs::path folder = host.parent_path();
    if (::access((folder / kSidecarName).c_str(), F_OK) != 0) return;
    std::string name = host.filename().string();
    UpdateSidecar(folder, [&](SidecarEntries& entries) { return entries.erase(name) > 0; });
}

void MoveFlags(const fs::path& from, const fs::path& to) {
    fs::path fromFolder = from.parent_path();
    std::optional<std::uint32_t> moved;
    if (::access((fromFolder / kSidecarName).c_str(), F_OK) == 0) {
        std::string name = from.filename().string();
        UpdateSidecar(fromFolder, [&](SidecarEntries& entries) {
            auto it = entries.find(name);
            if (it == entries.end()) return false;
            moved = it->second;
            entries.erase(it);
            return true;
        });
    }
    ForgetFlags(to);
    if (moved) WriteFlags(to, *moved);
}

}  // namespace platform::winpath::detail
