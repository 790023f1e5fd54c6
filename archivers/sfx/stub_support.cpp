#include "sfx/stub_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The path as given, or the one whose elements match it without regard to case.
fs::path ResolveNoCase(const fs::path& p) {
    std::error_code ec;
    if (fs::exists(p, ec)) return p;
    fs::path at = p.root_path();
    for (const auto& part : p.relative_path()) {
        fs::path next = at / part;
        if (!fs::exists(next, ec)) {
            const std::string want = sj::ToUpper(part.string());
            for (const auto& e : fs::directory_iterator(at, ec)) {
                if (sj::ToUpper(e.path().filename().string()) == want) {
                    next = e.path();
                    break;
                }
            }
        }
        at = next;
    }
    return at;
}

}  // namespace

int RunCommand(const fs::path& program, const fs::path& workdir, const std::vector<std::string>& args,
               std::string* error) {
    const fs::path resolved = ResolveNoCase(program);
    std::error_code ec;
    if (!fs::is_regular_file(resolved, ec)) {
        std::fprintf(stderr, "cannot find the program to run: %s\n", program.c_str());
        return 3;
    }
    ::chmod(resolved.c_str(), 0755);
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::fprintf(stderr, "fork: %s\n", std::strerror(errno));
        return 3;
    }
    if (pid == 0) {
        if (::chdir(workdir.c_str()) != 0) _exit(3);
        const std::string path = resolved.string();
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        std::fprintf(stderr, "cannot start %s: %s\n", path.c_str(), std::strerror(errno));
        _exit(3);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            if (error) *error = "waitpid failed";
            return 3;
        }
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 3;
}

}  // namespace archivers::sfx
