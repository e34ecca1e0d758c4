#pragma once
// A tiny HTTP server for tests: listens on 127.0.0.1 at a port the system picks, answers each
// connection with the canned response of its path, then closes it. Bounded: at most
// kMaxConnections connections, and every wait ends after kMaxWait or when the server goes.

#include <chrono>
#include <condition_variable>
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
        enum class Kind {
            complete, // the head and the body, then close
            stall,    // the head, then nothing until the client gives up or the gate opens
            gated,    // waits for openGate(), then like `complete`
        };
        std::string head; // status line and headers, without the blank line
        std::string body;
        Kind kind = Kind::complete;
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
    // Lets gated responses go and ends stalled ones (closed without their body).
    void openGate();

    // Canned heads.
    static Response ok(std::string contentType, std::string body);
    static Response status(int code, std::string reason, std::string body);
    static Response redirect(std::string location);

private:
    void acceptLoop();
    void serve(int fd);
    bool waitUntilClosedByPeer(int fd);

    int listenFd_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    bool gateOpen_ = false;
    std::map<std::string, Response> routes_;
    std::map<std::string, std::size_t> requests_;
    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

} // namespace orvex::test
