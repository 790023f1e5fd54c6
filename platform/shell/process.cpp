#include "platform/process.h"

#include "platform/sjis.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace platform::shell {

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    auto blank = [&](std::size_t k) { return line[k] == ' ' || line[k] == '\t'; };
    for (;;) {
        while (i < n && blank(i)) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !blank(i))) {
            std::size_t len = sjis::CharLength(line, i);
            if (len == 2) {
                arg.append(line.substr(i, 2));
                i += 2;
                continue;
            }
            if (line[i] == '\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg.push_back('"');
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg.push_back('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg.push_back(line[i]);
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string QuoteArgument(std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) return std::string(arg);
    std::string out = "\"";
    std::size_t slashes = 0;
    for (std::size_t i = 0; i < arg.size(); i = sjis::NextChar(arg, i)) {
        std::size_t len = sjis::CharLength(arg, i);
        char c = arg[i];
        if (len == 1 && c == '\\') {
            ++slashes;
            out.push_back('\\');
            continue;
        }
        if (len == 1 && c == '"') {
            out.append(slashes + 1, '\\');  // double the run and escape the quote
        }
        slashes = 0;
        out.append(arg.substr(i, len));
    }
    out.append(slashes, '\\');  // a run before the closing quote is doubled
    out.push_back('"');
    return out;
}

namespace {

int ShellErrorFor(int err, const std::vector<std::string>& argv, const std::string& folder) {
    switch (err) {
    case ENOENT:
    case ENOTDIR: {
        struct stat st {};
        if (!folder.empty() && ::stat(folder.c_str(), &st) != 0) return kErrorPathNotFound;
        std::string program = argv[0];
        auto slash = program.rfind('/');
        if (slash != std::string::npos && slash > 0 && ::stat(program.substr(0, slash).c_str(), &st) != 0) {
            return kErrorPathNotFound;
        }
        return kErrorFileNotFound;
    }
    case EACCES:
    case EPERM:
    case EISDIR:
        return kErrorAccessDenied;
    case ENOMEM:
    case E2BIG:
        return kErrorOutOfMemory;
    case ENOEXEC:
    case ELIBBAD:
        return kErrorDllNotFound;
    default:
        return kErrorFileNotFound;
    }
}

}  // namespace

StartResult StartHostProcess(const std::vector<std::string>& argv, const std::string& hostFolder, bool wait,
                             const std::function<void()>& onPoll) {
    StartResult result;
    if (argv.empty() || argv[0].empty()) {
        result.error = kErrorFileNotFound;
        return result;
    }
    std::vector<char*> cargv;
    for (const std::string& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!hostFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, hostFolder.c_str());
    pid_t pid = 0;
    // posix_spawn reports exec failures (missing file, no permission) through its result.
    int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.error = ShellErrorFor(rc, argv, hostFolder);
        return result;
    }
    result.started = true;
    if (!wait) {
        // Nobody waits for it: a thread of its own reaps it so it does not linger as a zombie.
        std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
        return result;
    }
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return result;
        }
        if (r < 0 && errno != EINTR) return result;
        if (onPoll) onPoll();
        std::this_thread::sleep_for(std::chrono::milliseconds(kWaitPollMs));
    }
}

}  // namespace platform::shell
