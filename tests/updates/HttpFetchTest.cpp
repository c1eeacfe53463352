#include "updates/HttpFetch.h"
#include "updates/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace corvana::updates;
using corvana::updates::test::LoopbackServer;
using namespace std::chrono_literals;

namespace
{

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(HttpFetch, GetsTheBodyAskingForJson)
{
    LoopbackServer server([](const LoopbackServer::Request&) {
        return LoopbackServer::response(200, R"({"a":1})", {"Content-Type: application/json"});
    });
    const HttpResult result = httpGet(server.url("/updates.json"), 2000ms);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, R"({"a":1})");
    EXPECT_EQ(result.retryAfter, 0);
    ASSERT_EQ(server.requestCount(), 1);
    const auto request = server.requests().front();
    EXPECT_EQ(request.path, "/updates.json");
    EXPECT_EQ(request.accept, "application/json");
    EXPECT_TRUE(request.raw.starts_with("GET "));
    EXPECT_EQ(request.raw.find("Cookie:"), std::string::npos);
    EXPECT_EQ(request.raw.find("Authorization:"), std::string::npos);
}

TEST(HttpFetch, ErrorStatusesAreResponsesToo)
{
    LoopbackServer server([](const LoopbackServer::Request&) {
        return LoopbackServer::response(404, "missing", {"Retry-After: 120"});
    });
    const HttpResult result = httpGet(server.url("/updates.json"), 2000ms);
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(result.body, "missing");
    EXPECT_EQ(result.retryAfter, 120);
}

TEST(HttpFetch, RetryAfterCountsOnlyOneToThreeThousandSixHundredSeconds)
{
    const std::pair<const char*, int> cases[] = {
        {"1", 1}, {"3600", 3600}, {"  42 ", 42}, {"0", 0}, {"3601", 0}, {"-5", 0}, {"12abc", 0},
        {"99999999999999999999", 0}, {"Wed, 21 Oct 2015 07:28:00 GMT", 0}, {"", 0}};
    for (const auto& [value, expected] : cases)
    {
        const std::string header = std::string("retry-after: ") + value;
        LoopbackServer server([&](const LoopbackServer::Request&) { return LoopbackServer::response(503, "", {header}); });
        const HttpResult result = httpGet(server.url("/x"), 2000ms);
        EXPECT_EQ(result.status, 503) << value;
        EXPECT_EQ(result.retryAfter, expected) << value;
    }
}

TEST(HttpFetch, BodiesOverTheCapGiveNoResult)
{
    const std::string exact(kMaxBodyBytes, 'x');
    const std::string over(kMaxBodyBytes + 1, 'x');
    LoopbackServer server([&](const LoopbackServer::Request& request) {
        if (request.path == "/exact")
            return LoopbackServer::response(200, exact);
        if (request.path == "/over")
            return LoopbackServer::response(200, over);
        // No length announced: the transfer itself has to be cut off.
        return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + over + over;
    });
    const HttpResult atCap = httpGet(server.url("/exact"), 2000ms);
    EXPECT_EQ(atCap.status, 200);
    EXPECT_EQ(atCap.body.size(), kMaxBodyBytes);
    for (const char* path : {"/over", "/unannounced"})
    {
        const HttpResult result = httpGet(server.url(path), 2000ms);
        EXPECT_EQ(result.status, 0) << path;
        EXPECT_TRUE(result.body.empty()) << path;
    }
}

TEST(HttpFetch, RedirectsAreNotFollowedAndGiveNoResult)
{
    LoopbackServer server([&](const LoopbackServer::Request& request) {
        if (request.path == "/moved")
            return LoopbackServer::response(302, "", {"Location: /target"});
        if (request.path == "/moved-permanently")
            return LoopbackServer::response(301, "{}", {"Location: http://127.0.0.1:1/elsewhere"});
        return LoopbackServer::response(200, "{}");
    });
    for (const char* path : {"/moved", "/moved-permanently"})
    {
        const HttpResult result = httpGet(server.url(path), 2000ms);
        EXPECT_EQ(result.status, 0) << path;
        EXPECT_TRUE(result.body.empty()) << path;
    }
    for (const auto& request : server.requests())
        EXPECT_NE(request.path, "/target");
}

TEST(HttpFetch, ASilentServerIsCutOffByTheTimeOut)
{
    LoopbackServer server([](const LoopbackServer::Request&) { return std::string(); });
    const auto start = std::chrono::steady_clock::now();
    const HttpResult result = httpGet(server.url("/updates.json"), 500ms);
    const double took = secondsSince(start);
    EXPECT_EQ(result.status, 0);
    EXPECT_GE(took, 0.4);
    EXPECT_LT(took, 3.0);
    EXPECT_EQ(server.requestCount(), 1);
}

TEST(HttpFetch, CancelEndsARunningFetchAtOnceAndRefusesLaterOnes)
{
    LoopbackServer server([](const LoopbackServer::Request&) { return std::string(); });
    FetchCancel cancel;
    HttpResult result{-1, "", 0};
    const auto start = std::chrono::steady_clock::now();
    std::thread fetcher([&] { result = httpGet(server.url("/updates.json"), kFetchTimeout, &cancel); });
    while (server.requestCount() == 0 && secondsSince(start) < 5.0)
        std::this_thread::sleep_for(5ms);
    const auto cancelledAt = std::chrono::steady_clock::now();
    cancel.cancel();
    fetcher.join();
    EXPECT_LT(secondsSince(cancelledAt), 0.5);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(cancel.cancelled());

    LoopbackServer answering([](const LoopbackServer::Request&) { return LoopbackServer::response(200, "{}"); });
    EXPECT_EQ(httpGet(answering.url("/"), 1000ms, &cancel).status, 0);
    EXPECT_EQ(answering.requestCount(), 0);
}

TEST(HttpFetch, UnusableAddressesGiveNoResult)
{
    // A port nobody listens on: take one from a server and close it again.
    int closedPort = 0;
    {
        LoopbackServer gone([](const LoopbackServer::Request&) { return std::string(); });
        closedPort = gone.port();
    }
    for (const std::string& url : {"http://127.0.0.1:" + std::to_string(closedPort) + "/updates.json",
                                  std::string("file:///etc/passwd"), std::string("not a url"), std::string()})
    {
        const HttpResult result = httpGet(url, 1000ms);
        EXPECT_EQ(result.status, 0) << url;
        EXPECT_TRUE(result.body.empty()) << url;
    }
}
