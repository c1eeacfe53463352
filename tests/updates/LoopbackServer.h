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

namespace corvana::updates::test
{

// An HTTP server on 127.0.0.1 (never another address), one connection at a time on its own thread.
// The handler gets the request path and returns the raw response; an empty one means never answer.
class LoopbackServer
{
public:
  explicit LoopbackServer(std::function<std::string(const std::string& path)> handler)
    : mHandler(std::move(handler))
  {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* name = reinterpret_cast<sockaddr*>(&address);
    if (mListener < 0 || ::bind(mListener, name, length) != 0 || ::listen(mListener, 16) != 0 ||
        ::getsockname(mListener, name, &length) != 0)
      throw std::runtime_error("cannot listen on 127.0.0.1");
    mPort = ntohs(address.sin_port);
    mThread = std::thread([this] { serve(); });
  }
  ~LoopbackServer()
  {
    mStop = true;
    mThread.join();
    ::close(mListener);
  }
  int port() const { return mPort; }
  std::string url(const std::string& path) const
  {
    return "http://127.0.0.1:" + std::to_string(mPort) + path;
  }
  // The head of every request so far.
  std::vector<std::string> requests() const
  {
    std::lock_guard lock(mMutex);
    return mRequests;
  }
  int requestCount() const { return static_cast<int>(requests().size()); }

  // `headers` are whole lines, each ending in CR LF.
  static std::string response(int status, const std::string& body, const std::string& headers = "")
  {
    return "HTTP/1.1 " + std::to_string(status) +
           " Status\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
  }

private:
  static bool readable(int fd)
  { // short polls keep the thread responsive to mStop
    pollfd waiting{fd, POLLIN, 0};
    return ::poll(&waiting, 1, 20) > 0;
  }

  void serve()
  {
    while (!mStop)
      if (const int connection =
              readable(mListener) ? ::accept4(mListener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
          connection >= 0)
      {
        answer(connection);
        ::close(connection);
      }
  }

  void answer(int connection)
  {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos)
    {
      if (mStop)
        return;
      if (!readable(connection))
        continue;
      const auto got = ::recv(connection, buffer, sizeof buffer, 0);
      if (got <= 0)
        return;
      head.append(buffer, static_cast<std::size_t>(got));
    }
    {
      std::lock_guard lock(mMutex);
      mRequests.push_back(head);
    }
    const auto start = head.find(' ') + 1;
    const std::string reply = mHandler(head.substr(start, head.find(' ', start) - start));
    while (reply.empty() && !mStop) // hold the connection until the client gives up
      if (readable(connection) && ::recv(connection, buffer, sizeof buffer, 0) <= 0)
        return;
    ::send(connection, reply.data(), reply.size(),
           MSG_NOSIGNAL); // blocks until all is sent or the client left
  }

  std::function<std::string(const std::string&)> mHandler;
  int mListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int mPort = 0;
  std::atomic<bool> mStop{false};
  mutable std::mutex mMutex;
  std::vector<std::string> mRequests;
  std::thread mThread;
};

} // namespace corvana::updates::test
