#include "updates/HttpFetch.h"
#include "updates/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace corvana::updates;
using corvana::updates::test::LoopbackServer;
using namespace std::chrono_literals;

TEST(HttpFetch, GetsBodyAndStatusAskingForJson)
{
  LoopbackServer server(
      [](const std::string& path)
      {
        return path == "/updates.json" ? LoopbackServer::response(200, R"({"a":1})")
                                       : LoopbackServer::response(503, "busy");
      });
  const HttpResult ok = httpGet(server.url("/updates.json"), 2000ms);
  EXPECT_EQ(std::pair(ok.status, ok.body), std::pair(200, std::string(R"({"a":1})")));
  ASSERT_EQ(server.requestCount(), 1);
  EXPECT_TRUE(server.requests().front().starts_with("GET /updates.json "));
  EXPECT_NE(server.requests().front().find("\r\nAccept: application/json\r\n"), std::string::npos);
  const HttpResult busy = httpGet(server.url("/else"), 2000ms); // error statuses are answers too
  EXPECT_EQ(std::pair(busy.status, busy.body), std::pair(503, std::string("busy")));
}

TEST(HttpFetch, LongBodiesRedirectsAndUnusableAddressesGiveNoResult)
{
  const std::string over(kMaxBodyBytes + 1, 'x');
  LoopbackServer server(
      [&](const std::string& path)
      {
        if (path == "/exact")
          return LoopbackServer::response(200, std::string(kMaxBodyBytes, 'x'));
        if (path == "/over")
          return LoopbackServer::response(200, over);
        if (path == "/unannounced") // no length: the transfer itself has to be cut off
          return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + over + over;
        return LoopbackServer::response(302, "{}", "Location: /target\r\n");
      });
  EXPECT_EQ(httpGet(server.url("/exact"), 2000ms).body.size(), kMaxBodyBytes);
  const int closedPort = LoopbackServer([](const std::string&) { return std::string(); }).port();
  for (const std::string& url :
       {server.url("/over"), server.url("/unannounced"), server.url("/moved"),
        "http://127.0.0.1:" + std::to_string(closedPort) + "/", std::string("file:///etc/passwd"),
        std::string()})
  {
    const HttpResult result = httpGet(url, 1000ms);
    EXPECT_EQ(result.status, 0) << url;
    EXPECT_TRUE(result.body.empty()) << url;
  }
  for (const std::string& head : server.requests())
    EXPECT_FALSE(head.starts_with("GET /target ")) << "a redirect was followed";
}
