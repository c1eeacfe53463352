#include "updates/HttpFetch.h"
#include "updates/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace corvana::updates;
using corvana::updates::test::LoopbackServer;
using namespace std::chrono_literals;

TEST(HttpFetch, GetsBodyStatusAndRetryAfterAskingForJson) {
  const std::pair<std::string, int> retryAfter[] = {{"1", 1},     {"3600", 3600},
                                                    {" 42 ", 42}, {"0", 0},
                                                    {"3601", 0},  {"99999999999999999999", 0},
                                                    {"12abc", 0}, {"Wed, 21 Oct 2015 07:28:00 GMT", 0}};
  LoopbackServer server([&](const std::string &path) {
    if (path == "/updates.json")
      return LoopbackServer::response(200, R"({"a":1})", "Content-Type: application/json\r\n");
    const auto &header = retryAfter[std::stoul(path.substr(1))].first;
    return LoopbackServer::response(503, "busy", "retry-after: " + header + "\r\n");
  });
  const HttpResult ok = httpGet(server.url("/updates.json"), 2000ms);
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body, R"({"a":1})");
  ASSERT_EQ(server.requestCount(), 1);
  const std::string head = server.requests().front();
  EXPECT_TRUE(head.starts_with("GET /updates.json "));
  EXPECT_NE(head.find("\r\nAccept: application/json\r\n"), std::string::npos);

  // Error statuses are answers too; Retry-After counts only from 1 to 3600 seconds.
  for (std::size_t i = 0; i < std::size(retryAfter); ++i) {
    SCOPED_TRACE(retryAfter[i].first);
    const HttpResult result = httpGet(server.url("/" + std::to_string(i)), 2000ms);
    EXPECT_EQ(result.status, 503);
    EXPECT_EQ(result.body, "busy");
    EXPECT_EQ(result.retryAfter, retryAfter[i].second);
  }
}

TEST(HttpFetch, LongBodiesRedirectsAndUnusableAddressesGiveNoResult) {
  const std::string over(kMaxBodyBytes + 1, 'x');
  LoopbackServer server([&](const std::string &path) {
    if (path == "/exact")
      return LoopbackServer::response(200, std::string(kMaxBodyBytes, 'x'));
    if (path == "/over")
      return LoopbackServer::response(200, over);
    if (path == "/unannounced") // no length: the transfer itself has to be cut off
      return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + over + over;
    if (path == "/moved")
      return LoopbackServer::response(302, "{}", "Location: /target\r\n");
    return LoopbackServer::response(301, "{}", "Location: http://127.0.0.1:1/elsewhere\r\n");
  });
  EXPECT_EQ(httpGet(server.url("/exact"), 2000ms).body.size(), kMaxBodyBytes);
  const int closedPort = LoopbackServer([](const std::string &) { return std::string(); }).port();
  for (const std::string &url :
       {server.url("/over"), server.url("/unannounced"), server.url("/moved"),
        server.url("/moved-permanently"), "http://127.0.0.1:" + std::to_string(closedPort) + "/",
        std::string("file:///etc/passwd"), std::string("not a url"), std::string()}) {
    const HttpResult result = httpGet(url, 1000ms);
    EXPECT_EQ(result.status, 0) << url;
    EXPECT_TRUE(result.body.empty()) << url;
  }
  for (const std::string &head : server.requests())
    EXPECT_FALSE(head.starts_with("GET /target ")) << "a redirect was followed";
}
