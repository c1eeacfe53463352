#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace corvana::updates::test {

// An HTTP server on 127.0.0.1 (never another address), one connection at a time on its own thread.
// The handler gets the request path and returns the raw response; an empty one means never answer.
class LoopbackServer {
public:
  explicit LoopbackServer(std::function<std::string(const std::string &path)> handler)
      : handler_(std::move(handler)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto *name = reinterpret_cast<sockaddr *>(&address);
    if (listener_ < 0 || ::bind(listener_, name, length) != 0 || ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, name, &length) != 0)
      throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }
  std::string url(const std::string &path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  // The head of every request so far.
  std::vector<std::string> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  int requestCount() const { return static_cast<int>(requests().size()); }

  // `headers` are whole lines, each ending in CR LF.
  static std::string response(int status, const std::string &body, const std::string &headers = "") {
    return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
  }

private:
  static bool readable(int fd) { // short polls keep the thread responsive to stop_
    pollfd waiting{fd, POLLIN, 0};
    return ::poll(&waiting, 1, 20) > 0;
  }

  void serve() {
    while (!stop_)
      if (const int connection = readable(listener_) ? ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
          connection >= 0) {
        answer(connection);
        ::close(connection);
      }
  }

  void answer(int connection) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      if (stop_)
        return;
      if (!readable(connection))
        continue;
      const auto got = ::recv(connection, buffer, sizeof buffer, 0);
      if (got <= 0)
        return;
      head.append(buffer, static_cast<std::size_t>(got));
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(head);
    }
    const auto start = head.find(' ') + 1;
    const std::string reply = handler_(head.substr(start, head.find(' ', start) - start));
    while (reply.empty() && !stop_) // hold the connection until the client gives up
      if (readable(connection) && ::recv(connection, buffer, sizeof buffer, 0) <= 0)
        return;
    ::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL); // blocks until all is sent or the client left
  }

  std::function<std::string(const std::string &)> handler_;
  int listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

} // namespace corvana::updates::test
