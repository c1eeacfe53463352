#include "updates/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <stdexcept>

namespace corvana::updates::test
{

namespace
{

constexpr int kPollMs = 20;
constexpr std::size_t kMaxRequestBytes = 16384;
constexpr int kMaxConnections = 1000; // bounds the accept loop even if a test misbehaves

std::string headerValue(const std::string& raw, std::string_view name)
{
    std::size_t pos = 0;
    while ((pos = raw.find("\r\n", pos)) != std::string::npos)
    {
        pos += 2;
        std::string_view rest(raw.data() + pos, raw.size() - pos);
        if (rest.size() > name.size() && rest[name.size()] == ':')
        {
            bool same = true;
            for (std::size_t i = 0; i < name.size(); ++i)
                same = same && std::tolower(static_cast<unsigned char>(rest[i])) == std::tolower(static_cast<unsigned char>(name[i]));
            if (same)
            {
                auto value = rest.substr(name.size() + 1, rest.find("\r\n") - name.size() - 1);
                while (!value.empty() && value.front() == ' ')
                    value.remove_prefix(1);
                return std::string(value);
            }
        }
    }
    return {};
}

} // namespace

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler))
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 16) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        ::close(listener_);
        throw std::runtime_error("bind/listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackServer::~LoopbackServer()
{
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

std::string LoopbackServer::url(std::string_view path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

int LoopbackServer::requestCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(requests_.size());
}

std::vector<LoopbackServer::Request> LoopbackServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string LoopbackServer::response(int status, std::string_view body, const std::vector<std::string>& headers)
{
    std::string text = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n";
    for (const auto& header : headers)
        text += header + "\r\n";
    text += "\r\n";
    text += body;
    return text;
}

void LoopbackServer::serve()
{
    for (int served = 0; served < kMaxConnections && !stop_;)
    {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, kPollMs) <= 0)
            continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        ++served;
        handle(connection);
        ::close(connection);
    }
}

void LoopbackServer::handle(int connection)
{
    // Read the request head (a GET has no body), for at most two seconds.
    std::string raw;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (raw.find("\r\n\r\n") == std::string::npos && raw.size() < kMaxRequestBytes && !stop_)
    {
        if (std::chrono::steady_clock::now() > deadline)
            return;
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, kPollMs) <= 0)
            continue;
        char buffer[4096];
        const auto got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        raw.append(buffer, static_cast<std::size_t>(got));
    }
    Request request;
    const auto firstSpace = raw.find(' ');
    const auto secondSpace = raw.find(' ', firstSpace + 1);
    if (firstSpace != std::string::npos && secondSpace != std::string::npos)
        request.path = raw.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    request.accept = headerValue(raw, "Accept");
    request.raw = raw;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    const std::string reply = handler_(request);
    if (reply.empty())
    {
        // Never answer: hold the connection until the client gives up or the server stops.
        while (!stop_)
        {
            pollfd readable{connection, POLLIN, 0};
            if (::poll(&readable, 1, kPollMs) > 0)
            {
                char buffer[256];
                if (::recv(connection, buffer, sizeof buffer, 0) <= 0)
                    return;
            }
        }
        return;
    }
    std::size_t sent = 0;
    while (sent < reply.size() && !stop_)
    {
        const auto wrote = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (wrote <= 0)
            return;
        sent += static_cast<std::size_t>(wrote);
    }
}

} // namespace corvana::updates::test
