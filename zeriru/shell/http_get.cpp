#include "zeriru/http_get.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace zeriru {

namespace {

using Clock = std::chrono::steady_clock;

// Largest reply accepted, bytes: the information file is a few lines.
constexpr std::size_t kMaxReply = 1 << 20;

bool Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

class Socket {
public:
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd() const { return fd_; }

    bool Connect(const std::string& host, int port, Clock::time_point deadline, std::string* error) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(port);
        if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
            return Fail(error, "unknown host " + host);
        bool connected = false;
        for (addrinfo* a = found; a && !connected; a = a->ai_next) {
            fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
            if (fd_ < 0) continue;
            if (::connect(fd_, a->ai_addr, a->ai_addrlen) == 0) {
                connected = true;
            } else if (errno == EINPROGRESS && Wait(POLLOUT, deadline)) {
                int so = 0;
                socklen_t len = sizeof so;
                connected = ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &so, &len) == 0 && so == 0;
            }
            if (!connected) {
                ::close(fd_);
                fd_ = -1;
            }
        }
        ::freeaddrinfo(found);
        return connected || Fail(error, "cannot connect to " + host + ":" + service);
    }

    bool Wait(short events, Clock::time_point deadline) {
        pollfd p{fd_, events, 0};
        for (;;) {
            const int r = ::poll(&p, 1, RemainingMs(deadline));
            if (r < 0 && errno == EINTR) continue;
            return r > 0;
        }
    }

    bool SendAll(const std::string& data, Clock::time_point deadline, std::string* error) {
        std::size_t done = 0;
        while (done < data.size()) {
            if (!Wait(POLLOUT, deadline)) return Fail(error, "time-out while sending");
            const ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return Fail(error, std::string("send: ") + std::strerror(errno));
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Everything until the peer closes.
    bool ReceiveAll(std::string& out, Clock::time_point deadline, std::string* error) {
        char buffer[4096];
        for (;;) {
            if (!Wait(POLLIN, deadline)) return Fail(error, "time-out while receiving");
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n < 0) return Fail(error, std::string("recv: ") + std::strerror(errno));
            if (n == 0) return true;
            out.append(buffer, static_cast<std::size_t>(n));
            if (out.size() > kMaxReply) return Fail(error, "reply too large");
        }
    }

private:
    int fd_ = -1;
};

}  // namespace

std::optional<HttpUrl> ParseHttpUrl(std::string_view url) {
    constexpr std::string_view kScheme = "http://";
    if (url.size() < kScheme.size()) return std::nullopt;
    for (std::size_t i = 0; i < kScheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return std::nullopt;
    url.remove_prefix(kScheme.size());
    HttpUrl out;
    const std::size_t slash = url.find('/');
    std::string_view authority = url.substr(0, slash);
    out.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        out.port = std::stoi(std::string(port));
        if (out.port < 1 || out.port > 65535) return std::nullopt;
        authority = authority.substr(0, colon);
    }
    if (authority.empty() || authority.find_first_of(" \t\r\n@") != std::string_view::npos) return std::nullopt;
    if (out.path.find_first_of(" \r\n") != std::string::npos) return std::nullopt;
    out.host = std::string(authority);
    return out;
}

std::string BasicCredentials(std::string_view user, std::string_view password) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string in = std::string(user) + ":" + std::string(password);
    std::string out;
    for (std::size_t i = 0; i < in.size(); i += 3) {
        uint32_t v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        if (i + 2 < in.size()) v |= static_cast<unsigned char>(in[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < in.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < in.size() ? kAlphabet[v & 63] : '=';
    }
    return out;
}

std::optional<HttpResponse> HttpGet(const HttpGetRequest& request, std::string* error) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(request.timeoutMs);
    const std::optional<HttpUrl> url = ParseHttpUrl(request.url);
    if (!url) {
        Fail(error, "not an http address: " + request.url);
        return std::nullopt;
    }
    const bool viaProxy = !request.proxy.server.empty();
    const std::string hostHeader = url->port == 80 ? url->host : url->host + ":" + std::to_string(url->port);
    // Through a proxy the request line names the whole address.
    std::string text = "GET " + (viaProxy ? "http://" + hostHeader + url->path : url->path) + " HTTP/1.0\r\n";
    text += "Host: " + hostHeader + "\r\n";
    text += "User-Agent: Raredovo/2.45\r\n";
    text += "Connection: close\r\n";
    if (viaProxy && !request.proxy.user.empty())
        text += "Proxy-Authorization: Basic " + BasicCredentials(request.proxy.user, request.proxy.password) + "\r\n";
    text += "\r\n";

    Socket socket;
    if (!socket.Connect(viaProxy ? request.proxy.server : url->host, viaProxy ? request.proxy.port : url->port,
                        deadline, error))
        return std::nullopt;
    HttpResponse response;
    if (!socket.SendAll(text, deadline, error) || !socket.ReceiveAll(response.whole, deadline, error))
        return std::nullopt;
    // "HTTP/1.x NNN reason"
    const std::string& w = response.whole;
    if (w.compare(0, 5, "HTTP/") != 0 || w.find(' ') == std::string::npos) {
        Fail(error, "not an HTTP reply");
        return std::nullopt;
    }
    const std::size_t code = w.find(' ') + 1;
    if (code + 3 > w.size() || std::string_view(w).substr(code, 3).find_first_not_of("0123456789") != std::string_view::npos) {
        Fail(error, "not an HTTP reply");
        return std::nullopt;
    }
    response.status = std::stoi(w.substr(code, 3));
    const std::size_t end = w.find("\r\n\r\n");
    response.body = end == std::string::npos ? std::string() : w.substr(end + 4);
    return response;
}

}  // namespace zeriru
