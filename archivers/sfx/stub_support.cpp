#include "sfx/stub_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/sjis.h"

namespace archivers::sfx {

namespace fs = std::filesystem;
namespace sj = platform::sjis;

std::map<std::string, std::string> ParseDirectives(std::string_view text) {
    std::map<std::string, std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t eol = text.find('\n', at);
        if (eol == std::string_view::npos) eol = text.size();
        std::string line(text.substr(at, eol - at));
        at = eol + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t eq = sj::FindChar(line, '=');
        if (eq == sj::npos || eq == 0) continue;
        std::string key = line.substr(0, eq);
        if (key[0] == '$') key.erase(0, 1);
        out[key] = line.substr(eq + 1);
    }
    return out;
}

bool UserIsJapanese() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return std::strncmp(v, "ja", 2) == 0;
    }
    return false;
}

fs::path UserTempFolder() {
    const char* t = std::getenv("TMPDIR");
    return (t && *t) ? fs::path(t) : fs::path("/tmp");
}

fs::path ExpandStubPath(std::string_view sjisPath, std::string_view placeholder) {
    std::string path(sjisPath);
    const std::string temp = sj::FromUtf8(UserTempFolder().string());
    std::size_t hit;
    while ((hit = sj::FindTextNoCase(path, placeholder)) != sj::npos) path.replace(hit, placeholder.size(), temp);
    std::string utf8;
    for (std::size_t i = 0; i < path.size(); i = sj::NextChar(path, i)) {
        if (sj::CharLength(path, i) == 1 && path[i] == '\\') {
            utf8.push_back('/');
        } else {
            utf8.append(path, i, sj::CharLength(path, i));
        }
    }
    fs::path p(sj::ToUtf8(utf8));
    if (p.empty()) return p;
    if (p.is_relative()) p = UserTempFolder() / p;
    return p.lexically_normal();
}

namespace {

bool Refuse(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// A folder on the way to the extraction folder is trusted only when nobody else can change
// what it holds: a real folder of this user (or root), not writable by others unless sticky.
bool CheckFolderOnTheWay(const fs::path& at, std::string* error) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0)
        return Refuse(error, "cannot examine folder " + PathText(at) + ": " + std::strerror(errno));
    if (S_ISLNK(st.st_mode)) return Refuse(error, "folder is a link: " + PathText(at));
    if (!S_ISDIR(st.st_mode)) return Refuse(error, "not a folder: " + PathText(at));
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return Refuse(error, "folder belongs to another user: " + PathText(at));
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)
        return Refuse(error, "folder is writable by other users: " + PathText(at));
    return true;
}

// A member name with '\' between its elements, without empty or "." elements; empty when it
// has none.
std::string NormalizedName(std::string_view name) {
    std::string out;
    for (const std::string& part : sj::SplitSjis(name, '\\')) {
        for (const std::string& p : sj::SplitSjis(part, '/')) {
            if (p.empty() || p == ".") continue;
            out += (out.empty() ? "" : "\\") + p;
        }
    }
    return out;
}

}  // namespace

std::optional<fs::path> CreatePrivateFolder(const fs::path& base, const fs::path& wanted, std::string* error) {
    fs::path folder = wanted.lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();  // "x/" names the folder x
    const fs::path rel = folder.lexically_relative(base.lexically_normal());
    if (rel.empty() || rel == "." || *rel.begin() == "..") {
        Refuse(error, "extraction folder outside " + PathText(base) + ": " + PathText(wanted));
        return std::nullopt;
    }
    fs::path at = base;
    for (const auto& part : rel.parent_path()) {
        at /= part;
        if (::mkdir(at.c_str(), 0700) != 0 && errno != EEXIST) {
            Refuse(error, "cannot create folder " + PathText(at) + ": " + std::strerror(errno));
            return std::nullopt;
        }
        if (!CheckFolderOnTheWay(at, error)) return std::nullopt;
    }
    std::string pattern = (at / rel.filename()).string() + ".XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        Refuse(error, "cannot create folder " + PathText(pattern) + ": " + std::strerror(errno));
        return std::nullopt;
    }
    return fs::path(pattern);
}

std::optional<std::string> CommandMember(std::string_view command, std::string_view folderText,
                                         const std::vector<MemberName>& members, std::string* error) {
    const std::string cmd = NormalizedName(command);
    const std::string folder = NormalizedName(folderText);
    std::string rel;
    const bool leadingSeparator = !command.empty() && (command[0] == '\\' || command[0] == '/');
    if (!folder.empty() && cmd.size() > folder.size() && sj::StartsWithNoCase(cmd, folder) &&
        sj::IsCharBoundary(cmd, folder.size()) && cmd[folder.size()] == '\\' &&
        (leadingSeparator == (!folderText.empty() && (folderText[0] == '\\' || folderText[0] == '/')))) {
        rel = cmd.substr(folder.size() + 1);
    } else if (!leadingSeparator && sj::FindChar(cmd, ':') == sj::npos && sj::FindChar(cmd, '%') == sj::npos) {
        rel = cmd;
    } else {
        Refuse(error, "the command is not in the extraction folder: " + std::string(command));
        return std::nullopt;
    }
    if (!SafeRelativePath(rel, error)) {
        Refuse(error, "the command is not in the extraction folder: " + std::string(command));
        return std::nullopt;
    }
    for (const MemberName& m : members) {
        // A member whose own name is unsafe is never the program, whatever it normalizes to.
        if (!sj::EqualsNoCase(NormalizedName(m.name), rel) || !SafeRelativePath(m.name, nullptr)) continue;
        if (m.directory) break;
        return m.name;
    }
    Refuse(error, "the command is not a file of the archive: " + std::string(command));
    return std::nullopt;
}

bool MakeRunnable(const fs::path& program) {
    struct stat st {};
    if (::lstat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "cannot find the program to run: %s\n", program.c_str());
        return false;
    }
    // Only the extracted member, in the private extraction folder, is made executable.
    return ::chmod(program.c_str(), (st.st_mode & 07777) | S_IRUSR | S_IXUSR) == 0;
}

int RunCommand(const fs::path& program, const fs::path& workdir, const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::fprintf(stderr, "fork: %s\n", std::strerror(errno));
        return kExitNotStarted;
    }
    if (pid == 0) {
        if (::chdir(workdir.c_str()) != 0) _exit(kExitNotStarted);
        const std::string path = program.string();
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        std::fprintf(stderr, "cannot start %s: %s\n", path.c_str(), std::strerror(errno));
        _exit(kExitNotStarted);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "waitpid: %s\n", std::strerror(errno));
            return kExitNotStarted;
        }
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return kExitNotStarted;
}

std::vector<ExtractedFile> IdentifyExtracted(const std::vector<fs::path>& written) {
    std::vector<ExtractedFile> out;
    for (const fs::path& p : written) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) == 0) out.push_back({p, st.st_dev, st.st_ino, st.st_ctim});
    }
    return out;
}

void RemoveExtracted(const fs::path& dest, const std::vector<ExtractedFile>& files) {
    std::vector<fs::path> folders;
    for (const ExtractedFile& f : files) {
        struct stat st {};
        if (::lstat(f.path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == f.device &&
            st.st_ino == f.inode && st.st_ctim.tv_sec == f.changed.tv_sec && st.st_ctim.tv_nsec == f.changed.tv_nsec)
            ::unlink(f.path.c_str());
        for (fs::path d = f.path.parent_path(); d != dest && d.native().size() > dest.native().size();
             d = d.parent_path())
            folders.push_back(d);
    }
    // Deepest first; a folder that still holds something stays.
    std::sort(folders.begin(), folders.end(),
              [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
    for (const fs::path& d : folders) ::rmdir(d.c_str());
    ::rmdir(dest.c_str());
}

int Report(const char* stub, int code, const std::string& sjisMessage) {
    std::fprintf(stderr, "%s: %s\n", stub, sj::ToUtf8(sjisMessage, sj::Unconvertible::Replace).c_str());
    return code;
}

}  // namespace archivers::sfx
