#include "updates/Json.h"
#include "updates/LoopbackServer.h"
#include "updates/TempFolder.h"
#include "updates/UpdateCheck.h"
#include "updates/UpdateCheckProbe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace corvana::updates;
using corvana::updates::test::LoopbackServer;
using corvana::updates::test::TempFolder;
using namespace std::chrono_literals;
using Probe = UpdateCheckProbe;

namespace
{

constexpr std::int64_t kStart = 1'700'000'000;

std::string feedFor(std::string_view version, std::string_view page, std::string_view product = "ostratape-delay")
{
    return "{\"other\":{\"version\":\"9.9.9\",\"page\":\"/other\"},\"" + std::string(product) + "\":{\"version\":\""
           + std::string(version) + "\",\"page\":\"" + std::string(page) + "\"}}";
}

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/** Serves a fixed response for "/updates.json" and counts the requests. */
class UpdateCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The tests choose folder and feed themselves; the environment must not redirect them.
        ::unsetenv("CORVANA_UPDATES_URL");
        ::unsetenv("CORVANA_UPDATES_FOLDER");
    }

    Config config(std::chrono::milliseconds timeout = 2000ms)
    {
        Config c;
        c.product = "ostratape-delay";
        c.version = "1.0.0";
        c.folder = folder.path() / "Corvana" / "Updates";
        c.feedUrl = server.url("/updates.json");
        c.now = [this] { return clock.load(); };
        c.fetch = [timeout](const std::string& url) { return httpGet(url, timeout); };
        return c;
    }

    void serve(std::string response)
    {
        std::lock_guard lock(responseMutex);
        reply = std::move(response);
    }

    TempFolder folder;
    std::atomic<std::int64_t> clock{kStart};
    std::mutex responseMutex;
    std::string reply = LoopbackServer::response(200, feedFor("1.0.1", "/ostratape-delay#download"));
    LoopbackServer server{[this](const LoopbackServer::Request&) {
        std::lock_guard lock(responseMutex);
        return reply;
    }};
};

} // namespace

TEST_F(UpdateCheckTest, ANewerVersionInTheFeedGivesANotice)
{
    UpdateCheck check(config());
    EXPECT_EQ(check.generation(), 0u);
    check.checkIfDue();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(check.notice()); // only reload publishes
    check.reload();
    const auto notice = check.notice();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->version, "1.0.1");
    EXPECT_EQ(notice->url, "https://corvana.example/ostratape-delay#download");
    EXPECT_TRUE(check.enabled());
    EXPECT_EQ(check.generation(), 1u);
    check.reload(); // nothing changed: the generation stays
    EXPECT_EQ(check.generation(), 1u);

    const std::string feed = feedFor("1.0.1", "/ostratape-delay#download");
    std::string expected = "{\"version\":1,\"checked_at\":1700000000,\"feed\":";
    appendJsonString(expected, feed);
    expected += "}\n";
    EXPECT_EQ(fileText(Probe::recordFile(check)), expected);
}

TEST_F(UpdateCheckTest, EqualOlderOrInvalidVersionsGiveNoNotice)
{
    UpdateCheck check(config());
    const auto noticeFor = [&](std::string_view version) {
        return Probe::noticeFrom(check, {kStart, feedFor(version, "/p")});
    };
    EXPECT_TRUE(noticeFor("1.0.1"));
    EXPECT_TRUE(noticeFor("2.0.0"));
    for (const char* version : {"1.0.0", "0.9.9", "1.0", "1.0.1-beta", "1.0.10000", "1.0.1 ", "", "v1.0.1"})
        EXPECT_FALSE(noticeFor(version)) << version;

    Config invalidRunning = config();
    invalidRunning.version = "1.0";
    UpdateCheck unknownSelf(std::move(invalidRunning));
    EXPECT_FALSE(Probe::noticeFrom(unknownSelf, {kStart, feedFor("9.0.0", "/p")}));
}

TEST_F(UpdateCheckTest, FeedsOfTheWrongShapeGiveNoNotice)
{
    UpdateCheck check(config());
    const std::string padded = feedFor("1.0.1", "/p").insert(1, std::string(kMaxFileBytes, ' ') + "\"pad\":0,");
    for (const std::string& feed : {std::string(), std::string("[]"), std::string("null"), std::string("{}"),
                                   feedFor("1.0.1", "/p", "another-product"),
                                   std::string(R"({"ostratape-delay":"1.0.1"})"),
                                   std::string(R"({"ostratape-delay":{"version":101,"page":"/p"}})"),
                                   std::string(R"({"ostratape-delay":{"version":"1.0.1"}})"),
                                   std::string(R"({"ostratape-delay":{"version":"1.0.1","page":["/p"]}})"),
                                   feedFor("1.0.1", "/p") + "x", padded})
        EXPECT_FALSE(Probe::noticeFrom(check, {kStart, feed})) << feed.substr(0, 80);
    // The first member of a name counts.
    EXPECT_FALSE(Probe::noticeFrom(
        check, {kStart, R"({"ostratape-delay":{"version":"1.0.0","page":"/a"},"ostratape-delay":{"version":"2.0.0","page":"/b"}})"}));
}

TEST_F(UpdateCheckTest, OnlySafePagesOnTheMakersSiteMakeANotice)
{
    UpdateCheck check(config());
    const auto urlFor = [&](const std::string& page) -> std::optional<std::string> {
        const auto notice = Probe::noticeFrom(check, {kStart, feedFor("1.0.1", page)});
        return notice ? std::optional(notice->url) : std::nullopt;
    };
    EXPECT_EQ(urlFor("/"), "https://corvana.example/");
    EXPECT_EQ(urlFor("/Products/ostra_tape-delay/2#v101"), "https://corvana.example/Products/ostra_tape-delay/2#v101");
    EXPECT_TRUE(urlFor("/" + std::string(99, 'a')));
    for (const std::string& page : {std::string(), std::string("//evil.example/x"), std::string("ostratape"),
                                   std::string("/a.html"), std::string("/a:b"), std::string("/" + std::string(100, 'a')),
                                   std::string("/a b"), std::string("/a;rm -rf ~"), std::string("/$(reboot)"),
                                   std::string("/a`id`"), std::string("/a'b"), std::string("/a?x=1"),
                                   std::string("/a%2e"), std::string("/a\\b"), std::string("/caf\xC3\xA9"),
                                   std::string("/a\nb")})
        EXPECT_FALSE(urlFor(page)) << page;
}

TEST_F(UpdateCheckTest, TheRecordHasItsExactTextAndRoundTrips)
{
    // A feed with an escape of its own and white space that the writer has to escape.
    const Probe::Record record{1700000123, "{\"a\":\"b\\n\"}\r\n\t"};
    EXPECT_EQ(Probe::recordText(record),
              R"({"version":1,"checked_at":1700000123,"feed":"{\"a\":\"b\\n\"}\r\n\t"})" "\n");
    for (const Probe::Record& sample : {record, Probe::Record{0, ""}, Probe::Record{-42, "[1,2]"},
                                        Probe::Record{INT64_MIN, "true"}, Probe::Record{(1LL << 53), "\"\\u0001\""}})
    {
        const auto back = Probe::parseRecord(Probe::recordText(sample));
        EXPECT_EQ(back.lastCheck, sample.lastCheck);
        EXPECT_EQ(back.feed, sample.feed);
    }
    UpdateCheck check(config());
    ASSERT_TRUE(Probe::writeRecord(check, record));
    const auto read = Probe::readRecord(check);
    EXPECT_EQ(read.lastCheck, record.lastCheck);
    EXPECT_EQ(read.feed, record.feed);
}

TEST_F(UpdateCheckTest, BadRecordsCountAsNoEarlierCheck)
{
    const auto parsed = [](std::string_view text) {
        const auto record = Probe::parseRecord(text);
        return std::pair(record.lastCheck, record.feed);
    };
    EXPECT_EQ(parsed(""), std::pair(std::int64_t{0}, std::string()));
    EXPECT_EQ(parsed("[1]"), std::pair(std::int64_t{0}, std::string()));
    EXPECT_EQ(parsed(R"({"checked_at":5,"feed":"{}"} trailing)"), std::pair(std::int64_t{0}, std::string()));
    EXPECT_EQ(parsed(R"({"checked_at":5,"feed":"{}"})"), std::pair(std::int64_t{5}, std::string("{}")));
    EXPECT_EQ(parsed(R"({"checked_at":5.5,"feed":"{"})"), std::pair(std::int64_t{0}, std::string()));
    EXPECT_EQ(parsed(R"({"checked_at":"5","feed":7})"), std::pair(std::int64_t{0}, std::string()));
    EXPECT_EQ(parsed(R"({"checked_at":5e2})"), std::pair(std::int64_t{500}, std::string()));
    EXPECT_EQ(parsed(R"({"checked_at":1e300})"), std::pair(std::int64_t{0}, std::string()));
    EXPECT_EQ(parsed(R"({"checked_at":1e999})"), std::pair(std::int64_t{0}, std::string()));
    EXPECT_EQ(parsed(R"({"checked_at":9223372036854775808})"), std::pair(std::int64_t{0}, std::string()));

    UpdateCheck check(config());
    std::string tooLong = "{\"checked_at\":" + std::to_string(kStart) + ",\"feed\":\"{}\"}";
    tooLong += std::string(kMaxFileBytes, ' ');
    ASSERT_TRUE(Probe::writeFile(Probe::recordFile(check), tooLong));
    EXPECT_EQ(Probe::readRecord(check).lastCheck, 0);
    EXPECT_EQ(Probe::readRecord(UpdateCheck(config())).feed, "");
}

TEST_F(UpdateCheckTest, AFailedFetchKeepsTheOldFeedButClaimsThePeriod)
{
    const std::string oldFeed = feedFor("1.0.1", "/old");
    const std::pair<std::string, std::string> failures[] = {
        {"404", LoopbackServer::response(404, feedFor("2.0.0", "/new"))},
        {"too long", LoopbackServer::response(200, std::string(kMaxFileBytes + 1, ' ') + "{}")},
        {"array", LoopbackServer::response(200, "[1,2]")},
        {"broken", LoopbackServer::response(200, "{\"ostratape-delay\":")},
        {"redirect", LoopbackServer::response(302, feedFor("2.0.0", "/new"), {"Location: /elsewhere.json"})},
    };
    for (const auto& [name, response] : failures)
    {
        serve(response);
        clock += 1000;
        UpdateCheck check(config());
        ASSERT_TRUE(Probe::writeRecord(check, {clock - 700, oldFeed}));
        const int before = server.requestCount();
        check.checkIfDue();
        EXPECT_EQ(server.requestCount(), before + 1) << name;
        const auto record = Probe::readRecord(check);
        EXPECT_EQ(record.lastCheck, clock.load()) << name;
        EXPECT_EQ(record.feed, oldFeed) << name;
        check.reload();
        ASSERT_TRUE(check.notice()) << name;
        EXPECT_EQ(check.notice()->url, "https://corvana.example/old") << name;
    }
}

TEST_F(UpdateCheckTest, AFeedWhoseRecordWouldBeUnreadableIsNotStored)
{
    // Within the body cap, but escaping its many line feeds would push the record over it.
    std::string body = feedFor("1.0.1", "/p");
    body.insert(1, std::string(kMaxFileBytes - body.size(), '\n'));
    ASSERT_EQ(body.size(), kMaxFileBytes);
    ASSERT_TRUE(isJsonObject(body));
    serve(LoopbackServer::response(200, body));
    UpdateCheck check(config());
    check.checkIfDue();
    EXPECT_EQ(server.requestCount(), 1);
    const auto record = Probe::readRecord(check);
    EXPECT_EQ(record.lastCheck, kStart); // the claim still holds for every instance
    EXPECT_EQ(record.feed, "");
    UpdateCheck other(config());
    other.checkIfDue();
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(UpdateCheckTest, ASilentServerIsCutOffAndTheClaimStays)
{
    serve(std::string()); // accept, never answer
    UpdateCheck check(config(300ms));
    const auto start = std::chrono::steady_clock::now();
    check.checkIfDue();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(Probe::readRecord(check).lastCheck, kStart);
}

TEST_F(UpdateCheckTest, CancelEndsTheBuiltInFetchPromptly)
{
    serve(std::string());
    Config c = config();
    c.fetch = nullptr; // the platform fetch with its full time-out
    UpdateCheck check(std::move(c));
    std::thread worker([&] { check.checkIfDue(); });
    const auto start = std::chrono::steady_clock::now();
    while (server.requestCount() == 0 && std::chrono::steady_clock::now() - start < 5s)
        std::this_thread::sleep_for(5ms);
    const auto cancelledAt = std::chrono::steady_clock::now();
    check.cancel();
    worker.join();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, 500ms);
}

TEST_F(UpdateCheckTest, InstancesSharingAFolderFetchOncePerPeriod)
{
    UpdateCheck first(config());
    UpdateCheck second(config());
    first.checkIfDue();
    second.checkIfDue();
    EXPECT_EQ(server.requestCount(), 1);
    second.reload();
    EXPECT_TRUE(second.notice()); // the other instance's fetch shows here too

    clock += kCheckPeriodSeconds - 1;
    first.checkIfDue();
    second.checkIfDue();
    EXPECT_EQ(server.requestCount(), 1);

    clock += 1;
    second.checkIfDue();
    first.checkIfDue();
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_EQ(Probe::readRecord(first).lastCheck, kStart + kCheckPeriodSeconds);
}

TEST_F(UpdateCheckTest, AClockSetBackOrAWildRecordMakesTheCheckDue)
{
    UpdateCheck check(config());
    check.checkIfDue();
    EXPECT_EQ(server.requestCount(), 1);
    clock -= 1;
    check.checkIfDue();
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_EQ(Probe::readRecord(check).lastCheck, kStart - 1);

    for (const std::int64_t wild : {std::int64_t{INT64_MIN}, std::int64_t{INT64_MAX - 1024}, std::int64_t{-1}})
    {
        ASSERT_TRUE(Probe::writeFile(Probe::recordFile(check),
                                     "{\"checked_at\":" + std::to_string(wild) + ",\"feed\":\"{}\"}"));
        const int before = server.requestCount();
        check.checkIfDue();
        EXPECT_EQ(server.requestCount(), before + 1) << wild;
    }
}

TEST_F(UpdateCheckTest, TheMarkerStopsFetchingAndHidesTheNotice)
{
    UpdateCheck check(config());
    check.checkIfDue();
    check.reload();
    ASSERT_TRUE(check.notice());
    const unsigned shown = check.generation();

    check.setEnabled(false);
    EXPECT_EQ(fileText(Probe::offFile(check)),
              "The Corvana plug-ins do not check for updates while this file is here.\n");
    EXPECT_FALSE(check.enabled());
    EXPECT_FALSE(check.notice());
    EXPECT_GT(check.generation(), shown);

    // Due by the clock, a newer version in the record, and still nothing happens.
    clock += 10 * kCheckPeriodSeconds;
    UpdateCheck other(config());
    other.checkIfDue();
    other.reload();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(other.notice());
    EXPECT_FALSE(other.enabled());
    EXPECT_EQ(Probe::readRecord(other).lastCheck, kStart);

    // Only existence counts: an empty marker written by hand works as well.
    check.setEnabled(true);
    std::ofstream(Probe::offFile(check)).flush();
    check.checkIfDue();
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(UpdateCheckTest, SwitchingBackOnShowsTheStoredNoticeWithoutAFetch)
{
    UpdateCheck check(config());
    check.checkIfDue();
    check.setEnabled(false);
    EXPECT_FALSE(check.notice());
    const unsigned hidden = check.generation();
    check.setEnabled(true);
    EXPECT_FALSE(std::filesystem::exists(Probe::offFile(check)));
    EXPECT_TRUE(check.enabled());
    ASSERT_TRUE(check.notice());
    EXPECT_EQ(check.notice()->version, "1.0.1");
    EXPECT_GT(check.generation(), hidden);
    EXPECT_EQ(server.requestCount(), 1);
    const auto snapshot = check.snapshot();
    EXPECT_TRUE(snapshot.enabled);
    EXPECT_EQ(snapshot.generation, check.generation());
    EXPECT_EQ(snapshot.notice, check.notice());
}

TEST_F(UpdateCheckTest, NoNetworkOrNoWritableRecordMeansNoFetch)
{
    Config offline = config();
    offline.networkAllowed = [] { return false; };
    UpdateCheck check(std::move(offline));
    check.checkIfDue();
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(Probe::recordFile(check)));

    // The folder's place is taken by a file: the claim cannot be written, so no fetch.
    Config blocked = config();
    blocked.folder = folder.path() / "plain-file";
    std::ofstream(blocked.folder).put('x');
    UpdateCheck stuck(std::move(blocked));
    stuck.checkIfDue();
    stuck.reload();
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_FALSE(stuck.notice());

    Config nowhere = config();
    nowhere.folder.clear();
    UpdateCheck homeless(std::move(nowhere));
    homeless.checkIfDue();
    homeless.setEnabled(false);
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_FALSE(std::filesystem::exists("updates-off"));
}

TEST_F(UpdateCheckTest, FilesAreReplacedWholeAndReadWithinTheCap)
{
    UpdateCheck check(config());
    const auto target = folder.path() / "deep" / "er" / "file.json";
    ASSERT_TRUE(Probe::writeFile(target, std::string("a\r\nb\0c", 6)));
    EXPECT_EQ(Probe::readFile(target), std::string("a\r\nb\0c", 6));
    ASSERT_TRUE(Probe::writeFile(target, "short"));
    EXPECT_EQ(Probe::readFile(target), "short");
    ASSERT_TRUE(Probe::writeFile(target, std::string(kMaxFileBytes, 'x')));
    EXPECT_EQ(Probe::readFile(target)->size(), kMaxFileBytes);
    ASSERT_TRUE(Probe::writeFile(target, std::string(kMaxFileBytes + 1, 'x')));
    EXPECT_FALSE(Probe::readFile(target));
    EXPECT_FALSE(Probe::readFile(folder.path() / "missing"));

    // A folder in the target's place: the rename fails and no temporary file stays behind.
    const auto occupied = folder.path() / "occupied";
    std::filesystem::create_directories(occupied / "inside");
    EXPECT_FALSE(Probe::writeFile(occupied, "x"));
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    {
        ++entries;
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    }
    EXPECT_EQ(entries, 2); // "deep" and "occupied"
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path()))
        EXPECT_EQ(entry.path().filename(), "file.json");
}

TEST_F(UpdateCheckTest, TheEnvironmentRedirectsFeedAndFolder)
{
    TempFolder elsewhere;
    ::setenv("CORVANA_UPDATES_URL", server.url("/other.json").c_str(), 1);
    ::setenv("CORVANA_UPDATES_FOLDER", elsewhere.path().c_str(), 1);
    UpdateCheck check(config());
    EXPECT_EQ(check.feedUrl(), server.url("/other.json"));
    EXPECT_EQ(check.folder(), elsewhere.path());
    check.checkIfDue();
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().front().path, "/other.json");
    EXPECT_TRUE(std::filesystem::exists(elsewhere.path() / "updates.json"));

    ::setenv("CORVANA_UPDATES_URL", "", 1);
    ::setenv("CORVANA_UPDATES_FOLDER", "", 1);
    UpdateCheck unchanged(config());
    EXPECT_EQ(unchanged.feedUrl(), server.url("/updates.json"));
    EXPECT_EQ(unchanged.folder(), folder.path() / "Corvana" / "Updates");
    ::unsetenv("CORVANA_UPDATES_URL");
    ::unsetenv("CORVANA_UPDATES_FOLDER");
}

TEST_F(UpdateCheckTest, TheDefaultFolderFollowsXdgDataHome)
{
    const char* savedXdg = std::getenv("XDG_DATA_HOME");
    const std::string saved = savedXdg != nullptr ? savedXdg : "";
    ::setenv("XDG_DATA_HOME", "/data/share", 1);
    EXPECT_EQ(defaultFolder(), std::filesystem::path("/data/share/Corvana/Updates"));
    ::setenv("XDG_DATA_HOME", "relative/share", 1); // not absolute: ignored
    const auto fromHome = defaultFolder();
    EXPECT_TRUE(fromHome.string().ends_with(".local/share/Corvana/Updates")) << fromHome;
    const auto config = defaultConfig("p", "1.2.3");
    EXPECT_EQ(config.feedUrl, "https://updates.corvana.example/updates.json");
    EXPECT_EQ(config.folder, fromHome);
    if (savedXdg != nullptr)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}
