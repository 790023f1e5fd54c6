// A one-thread HTTP server on 127.0.0.1 for the update-check tests: it records each request
// and answers with a fixed reply, or, when silent, keeps the connection open without a word
// until it is stopped. It serves only while the object lives.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LocalHttpServer {
public:
    // `reply` is sent as it stands (status line, header, body).
    explicit LocalHttpServer(std::string reply, bool silent = false)
        : reply_(std::move(reply)), silent_(silent) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LocalHttpServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // A port on which nobody listens: bound, then closed again.
    static int ClosedPort() {
        LocalHttpServer probe("");
        const int port = probe.port();
        return port;
    }

private:
    bool Readable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    void Serve() {
        while (!stop_) {
            if (!Readable(fd_, 20)) continue;
            const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::string request;
            char buffer[1024];
            // The request header, at most two seconds.
            for (int turns = 0; turns < 100 && request.find("\r\n\r\n") == std::string::npos && !stop_; ++turns) {
                if (!Readable(client, 20)) continue;
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, static_cast<std::size_t>(n));
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            if (silent_) {
                while (!stop_) Readable(client, 20);
            } else {
                ::send(client, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            }
            ::close(client);
        }
    }

    std::string reply_;
    bool silent_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};
