#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "core/RunLoop.h"

namespace orvex::test {

namespace {

constexpr int kSlice = 50; // ms between looks at the stop flag

void sendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return; // the client went away: nothing more to say
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("bind/listen on 127.0.0.1");
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    acceptor_.join();
    for (auto& t : connections_)
        t.join();
    ::close(listenFd_);
}

void LoopbackHttpServer::route(const std::string& path, Response response) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(response);
}

std::string LoopbackHttpServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::size_t LoopbackHttpServer::requests(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = requests_.find(path);
    return it == requests_.end() ? 0 : it->second;
}

LoopbackHttpServer::Response LoopbackHttpServer::ok(std::string contentType, std::string body) {
    return {"HTTP/1.1 200 OK\r\nContent-Type: " + contentType +
                "\r\nContent-Length: " + std::to_string(body.size()),
            std::move(body)};
}

LoopbackHttpServer::Response LoopbackHttpServer::status(int code, std::string reason,
                                                        std::string body) {
    return {"HTTP/1.1 " + std::to_string(code) + " " + reason +
                "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()),
            std::move(body)};
}

LoopbackHttpServer::Response LoopbackHttpServer::redirect(std::string location) {
    return {"HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0", {}};
}

void LoopbackHttpServer::acceptLoop() {
    for (std::size_t accepted = 0; accepted < kMaxConnections;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, kSlice) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++accepted;
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, fd] {
            serve(fd);
            ::close(fd);
        });
    }
}

void LoopbackHttpServer::serve(int fd) {
    // Read the request head (bounded); only the path of the request line matters.
    std::string request;
    const auto deadline = std::chrono::steady_clock::now() + kMaxWait;
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 8192) {
        if (std::chrono::steady_clock::now() >= deadline) return;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kSlice) <= 0) continue;
        char buf[1024];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        request.append(buf, static_cast<std::size_t>(n));
    }
    const auto first = request.find(' ');
    const auto second = request.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) return;
    const std::string path = request.substr(first + 1, second - first - 1);

    Response response = status(404, "Not Found", "");
    {
        std::lock_guard lock(mutex_);
        ++requests_[path];
        if (auto it = routes_.find(path); it != routes_.end()) response = it->second;
    }
    // A test waiting on the main run loop for this request looks again.
    pf::RunLoop::main().perform([] {});
    sendAll(fd, response.head + "\r\nConnection: close\r\n\r\n" + response.body);
}

} // namespace orvex::test
