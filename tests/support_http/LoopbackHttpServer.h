#pragma once
// A tiny HTTP server for tests: listens on 127.0.0.1 at a port the system picks and answers each
// connection in turn with the canned response of its request's path (404 without a route), then
// closes it. A connection that sends nothing is dropped after ten seconds.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace orvex::test {

class LoopbackHttpServer {
public:
    struct Response {
        std::string head; // status line and headers, without the blank line
        std::string body;
    };
    static Response ok(const std::string& contentType, std::string body) {
        return {"HTTP/1.1 200 OK\r\nContent-Type: " + contentType +
                    "\r\nContent-Length: " + std::to_string(body.size()),
                std::move(body)};
    }
    static Response redirect(const std::string& location) {
        return {"HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0", {}};
    }

    LoopbackHttpServer() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            // Ends when the destructor shuts the listening socket down.
            for (int c; (c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ::close(c))
                serve(c);
        });
    }
    ~LoopbackHttpServer() {
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
    }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    void route(const std::string& path, Response response) {
        std::lock_guard lock(mutex_);
        routes_[path] = std::move(response);
    }
    std::string url(std::string_view path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
    }
    // Requests received for `path` so far.
    std::size_t requests(const std::string& path) const {
        std::lock_guard lock(mutex_);
        return requests_.count(path) ? requests_.at(path) : 0;
    }

private:
    void serve(int c) {
        const timeval patience{10, 0};
        ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 8192) {
            const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            request.append(buffer, std::size_t(n));
        }
        const auto from = request.find(' ') + 1;
        const std::string path = request.substr(from, request.find(' ', from) - from);
        Response response{"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 13",
                          "<h1>gone</h1>"};
        {
            std::lock_guard lock(mutex_);
            ++requests_[path];
            if (routes_.count(path)) response = routes_[path];
        }
        const std::string all = response.head + "\r\nConnection: close\r\n\r\n" + response.body;
        std::string_view out = all;
        for (ssize_t n; !out.empty() && (n = ::send(c, out.data(), out.size(), MSG_NOSIGNAL)) > 0;)
            out.remove_prefix(std::size_t(n));
    }

    int fd_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, Response> routes_;
    std::map<std::string, std::size_t> requests_;
    std::thread thread_;
};

} // namespace orvex::test
