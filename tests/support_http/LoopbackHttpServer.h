#pragma once
// A tiny HTTP server for tests: listens on 127.0.0.1 at a port the system picks, answers each
// connection with the canned response of its path, then closes it. Bounded: at most
// kMaxConnections connections, and reading a request ends after kMaxWait or when the server goes.

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvex::test {

class LoopbackHttpServer {
public:
    static constexpr std::size_t kMaxConnections = 64;
    static constexpr std::chrono::seconds kMaxWait{10};

    struct Response {
        std::string head; // status line and headers, without the blank line
        std::string body;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Paths without a route are answered with 404 and an empty body.
    void route(const std::string& path, Response response);
    // "http://127.0.0.1:<port><path>".
    std::string url(std::string_view path) const;

    // Requests received for `path` so far (counted when the request head has been read; each
    // count also queues an empty block on the main run loop, so a waiting loop looks again).
    std::size_t requests(const std::string& path) const;

    // Canned heads.
    static Response ok(std::string contentType, std::string body);
    static Response status(int code, std::string reason, std::string body);
    static Response redirect(std::string location);

private:
    void acceptLoop();
    void serve(int fd);

    int listenFd_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    bool stopping_ = false;
    std::map<std::string, Response> routes_;
    std::map<std::string, std::size_t> requests_;
    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

} // namespace orvex::test
