#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvana::updates::test
{

/**
 * A small HTTP/1.1 server on 127.0.0.1 (never any other address) for the fetch tests.
 * It serves one connection at a time from its own thread; the handler returns the whole
 * raw response, or an empty string to accept the request and then never answer.
 */
class LoopbackServer
{
public:
    struct Request
    {
        std::string path;
        std::string accept;
        std::string raw;
    };
    using Handler = std::function<std::string(const Request&)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string url(std::string_view path) const;
    int port() const noexcept { return port_; }
    int requestCount() const;
    std::vector<Request> requests() const;

    /** A complete response with Content-Length and "Connection: close". */
    static std::string response(int status, std::string_view body, const std::vector<std::string>& headers = {});

private:
    void serve();
    void handle(int connection);

    Handler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::thread thread_;
};

} // namespace corvana::updates::test
