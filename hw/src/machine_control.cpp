// The control socket of a running machine (machinectl talks to it).
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "hw/machine.h"

namespace hw {

namespace {
// Longest command line accepted, bytes.
constexpr size_t kMaxCommand = 1024;
// Poll step of the accepting thread, ms: how soon it notices the machine ending.
constexpr int kPollMs = 100;
// How long a client waits for the machine's answer, s.
constexpr int kAnswerSeconds = 10;
}  // namespace

std::filesystem::path ControlSocketPath(long pid) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::filesystem::path dir = runtime && *runtime ? runtime : std::filesystem::temp_directory_path();
    return dir / ("zuzoruve-machine-" + std::to_string(pid) + ".sock");
}

Machine::ControlServer::~ControlServer() {
    stop = true;
    if (thread.joinable()) thread.join();
    if (fd >= 0) close(fd);
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove(path, ec);
}

bool Machine::ServeControl(const std::filesystem::path& socket_path, std::string* error) {
    sockaddr_un addr{};
    std::string p = socket_path.string();
    if (p.size() >= sizeof addr.sun_path) {
        if (error) *error = "socket path too long: " + p;
        return false;
    }
    auto server = std::make_unique<ControlServer>();
    server->fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (server->fd < 0) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, p.c_str(), p.size() + 1);
    unlink(p.c_str());  // a socket left by a process that died
    if (bind(server->fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(server->fd, 4) != 0) {
        if (error) *error = "bind/listen " + p + ": " + std::strerror(errno);
        return false;
    }
    server->path = socket_path;
    ControlServer* s = server.get();
    server->thread = std::thread([this, s] {
        while (!s->stop) {
            pollfd pfd{s->fd, POLLIN, 0};
            if (poll(&pfd, 1, kPollMs) <= 0) continue;
            int c = accept4(s->fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            std::string line;
            char buf[256];
            while (line.size() < kMaxCommand && line.find('\n') == std::string::npos) {
                pollfd cp{c, POLLIN, 0};
                if (poll(&cp, 1, 1000) <= 0) break;
                ssize_t n = read(c, buf, sizeof buf);
                if (n <= 0) break;
                line.append(buf, static_cast<size_t>(n));
            }
            line = line.substr(0, line.find('\n'));
            std::string answer = line.size() >= kMaxCommand ? "error command too long\n" : Control(line);
            for (size_t off = 0; off < answer.size();) {
                ssize_t n = write(c, answer.data() + off, answer.size() - off);
                if (n <= 0) break;
                off += static_cast<size_t>(n);
            }
            close(c);
        }
    });
    control_ = std::move(server);
    return true;
}

bool SendControlCommand(const std::filesystem::path& socket_path, const std::string& command, std::string* answer,
                        std::string* error) {
    auto fail = [error](const std::string& what) {
        if (error) *error = what;
        return false;
    };
    sockaddr_un addr{};
    const std::string p = socket_path.string();
    if (p.size() >= sizeof addr.sun_path) return fail("socket path too long: " + p);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(std::string("socket: ") + std::strerror(errno));
    // A machine that stopped answering does not hold the caller for ever.
    timeval timeout{kAnswerSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, p.c_str(), p.size() + 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const std::string why = "connect " + p + ": " + std::strerror(errno);
        close(fd);
        return fail(why);
    }
    const std::string line = command + "\n";
    if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        const std::string why = std::string("write: ") + std::strerror(errno);
        close(fd);
        return fail(why);
    }
    answer->clear();
    char buf[512];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) answer->append(buf, static_cast<size_t>(n));
    close(fd);
    return true;
}

}  // namespace hw
