#include "updates/UpdateCheck.h"
#include "updates/Json.h"
#include "updates/LoopbackServer.h"
#include "updates/UpdateCheckProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <tuple>
#include <vector>

using namespace corvana::updates;
using corvana::updates::test::LoopbackServer;
using namespace std::chrono_literals;
using Probe = UpdateCheckProbe;
using Record = Probe::Record;
namespace fs = std::filesystem;

namespace
{

constexpr std::int64_t kStart = 1'700'000'000;

std::pair<std::int64_t, std::string> fields(const Record& record)
{
  return {record.lastCheck, record.feed};
}

std::string feedFor(const std::string& version, const std::string& page,
                    const std::string& product = "ostratape-delay")
{
  return R"({"other":{"version":"9.9.9","page":"/other"},")" + product + R"(":{"version":")" +
         version + R"(","page":")" + page + "\"}}";
}

// A check on a fresh folder with its own clock, fetching from a loopback feed.
class UpdateCheckTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ::unsetenv("CORVANA_UPDATES_URL");
    ::unsetenv("CORVANA_UPDATES_FOLDER");
    ASSERT_TRUE(fs::is_directory(root));
  }
  void TearDown() override
  {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  Config config(std::chrono::milliseconds timeout = 2000ms)
  {
    Config c = defaultConfig("ostratape-delay", "1.0.0");
    c.folder = folder;
    c.feedUrl = server.url("/updates.json");
    c.now = [this] { return clock.load(); };
    c.fetch = [timeout](const std::string& url) { return httpGet(url, timeout); };
    return c;
  }
  void serve(std::string response)
  {
    std::lock_guard lock(mutex);
    reply = std::move(response);
  }
  int fetches() const { return server.requestCount(); }

  const fs::path root = []
  {
    std::string pattern = (fs::temp_directory_path() / "ostra-updates-XXXXXX").string();
    return fs::path(::mkdtemp(pattern.data()) != nullptr ? pattern : "");
  }();
  // The record and the marker are shared by every plug-in of the maker.
  const fs::path folder = root / "Corvana" / "Updates", recordFile = folder / "updates.json",
                 marker = folder / "updates-off";
  std::atomic<std::int64_t> clock{kStart};
  std::mutex mutex;
  std::string reply = LoopbackServer::response(200, feedFor("1.0.1", "/ostratape-delay#download"));
  LoopbackServer server{[this](const std::string&)
                        {
                          std::lock_guard lock(mutex);
                          return reply;
                        }};
  const Notice stored{"1.0.1", "https://corvana.example/ostratape-delay#download"};
};

} // namespace

TEST_F(UpdateCheckTest, TheNoticeNeedsANewerValidVersionASafePageAndAWellShapedFeed)
{
  UpdateCheck check(config());
  const std::string site(kWebSite);
  const auto urlFor = [&](const std::string& feed)
  {
    const auto notice = Probe::noticeFrom(check, {kStart, feed});
    return notice ? notice->url : std::string("none");
  };
  const std::pair<const char*, bool> versions[] = {{"1.0.1", true}, {"1.1.0", true},
                                                   {"2.0.0", true}, {"1.0.0", false},
                                                   {"1.0", false},  {"1.0.1-beta", false}};
  for (const auto& [version, shown] : versions)
    EXPECT_EQ(urlFor(feedFor(version, "/p")), shown ? site + "/p" : "none") << version;

  for (const std::string& page :
       {std::string("/"), std::string("/Products/ostra_tape-delay/2#v101"),
        "/" + std::string(99, 'a')})
    EXPECT_EQ(urlFor(feedFor("1.0.1", page)), site + page);
  for (const std::string& page : std::vector<std::string>{
           "", "//evil.example/x", "ostratape", "/a.html", "/a:b", "/" + std::string(100, 'a'),
           "/a b", "/$(id)", "/a'b", "/a?x=1", "/a%2e", "/caf\xC3\xA9"})
    EXPECT_EQ(urlFor(feedFor("1.0.1", page)), "none") << page;

  const std::string padded =
      feedFor("1.0.1", "/p").insert(1, std::string(kMaxFileBytes, ' ') + "\"pad\":0,");
  for (const std::string& feed : std::vector<std::string>{
           "", "[]", "{}", feedFor("1.0.1", "/p", "another-product"),
           R"({"ostratape-delay":{"version":101,"page":"/p"}})",
           R"({"ostratape-delay":{"version":"1.0.1"}})", feedFor("1.0.1", "/p") + "x", padded})
    EXPECT_EQ(urlFor(feed), "none") << feed.substr(0, 80);
}

TEST_F(UpdateCheckTest, TheRecordRoundTripsAndBadRecordsCountAsNone)
{
  const Record record{1700000123, "{\"a\":\"b\\n\"}\r\n\t"};
  EXPECT_EQ(Probe::recordText(record),
            R"({"version":1,"checked_at":1700000123,"feed":"{\"a\":\"b\\n\"}\r\n\t"})"
            "\n");
  for (const Record& sample :
       {record, Record{0, ""}, Record{INT64_MIN, "true"}, Record{1LL << 53, "\"\\u0001\""}})
    EXPECT_EQ(fields(Probe::parseRecord(Probe::recordText(sample))), fields(sample));

  const std::pair<std::string, Record> cases[] = {
      {R"({"checked_at":5,"feed":"{}"})", {5, "{}"}},
      {R"({"checked_at":5,"feed":"{}"} trailing)", {0, ""}},
      {R"({"checked_at":5.5,"feed":7})", {0, ""}},
      // Beyond what an int64 holds: no earlier check rather than an undefined conversion.
      {R"({"checked_at":1e300})", {0, ""}},
      {R"({"checked_at":9223372036854775808})", {0, ""}},
      {R"({"checked_at":5,"feed":"{}"})" + std::string(kMaxFileBytes, ' '), {0, ""}}};
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(fields(Probe::parseRecord(text)), fields(expected)) << text.substr(0, 60);
}

TEST_F(UpdateCheckTest, AFailedFetchKeepsTheOldFeedButClaimsThePeriod)
{
  // Within the body cap, but escaping its line feeds pushes the record over the read cap;
  // stored, it would read as no record and make every instance fetch on every pass.
  std::string unstorable = feedFor("2.0.0", "/new");
  unstorable.insert(1, std::string(kMaxFileBytes - unstorable.size(), '\n'));
  ASSERT_TRUE(isJsonObject(unstorable));
  const std::string oldFeed = feedFor("1.0.1", "/old");
  for (const std::string& response :
       {LoopbackServer::response(404, feedFor("2.0.0", "/new")),
        LoopbackServer::response(200, std::string(kMaxFileBytes + 1, ' ') + "{}"),
        LoopbackServer::response(200, unstorable), LoopbackServer::response(200, "[1,2]"),
        LoopbackServer::response(302, feedFor("2.0.0", "/new"), "Location: /elsewhere.json\r\n")})
  {
    serve(response);
    clock += 1000;
    UpdateCheck check(config());
    ASSERT_TRUE(Probe::writeRecord(check, {clock - 700, oldFeed}));
    const int before = fetches();
    check.checkIfDue();
    EXPECT_EQ(fetches(), before + 1);
    EXPECT_EQ(fields(Probe::readRecord(check)), std::pair(clock.load(), oldFeed))
        << response.substr(0, 40);
    check.reload();
    EXPECT_EQ(check.notice(), (Notice{"1.0.1", "https://corvana.example/old"}));
  }
}

TEST_F(UpdateCheckTest, ASilentServerIsCutOffByTheTimeOutOrByCancel)
{
  serve(std::string()); // accept, never answer
  const auto start = std::chrono::steady_clock::now();
  UpdateCheck timed(config(300ms));
  timed.checkIfDue();
  EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(Probe::readRecord(timed).lastCheck, kStart); // the claim stays

  clock += kCheckPeriodSeconds;
  Config c = config();
  c.fetch = nullptr; // the built-in fetch with its full time-out, ended by cancel()
  UpdateCheck check(std::move(c));
  std::thread worker([&] { check.checkIfDue(); });
  while (fetches() < 2 && std::chrono::steady_clock::now() - start < 5s)
    std::this_thread::sleep_for(5ms);
  const auto cancelledAt = std::chrono::steady_clock::now();
  check.cancel();
  worker.join();
  EXPECT_EQ(fetches(), 2);
  EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, 500ms);
  clock += kCheckPeriodSeconds; // once cancelled, no later fetch even connects
  serve(LoopbackServer::response(200, "{}"));
  check.checkIfDue();
  EXPECT_EQ(fetches(), 2);
}

TEST_F(UpdateCheckTest, InstancesSharingAFolderFetchOncePerPeriodUnlessTheClockGoesBack)
{
  UpdateCheck first(config());
  UpdateCheck second(config());
  first.checkIfDue();
  second.checkIfDue();
  EXPECT_EQ(fetches(), 1);
  EXPECT_EQ(Probe::readFile(recordFile),
            Probe::recordText({kStart, feedFor("1.0.1", "/ostratape-delay#download")}));
  EXPECT_FALSE(second.notice()); // only reload publishes, and the other instance's fetch shows too
  second.reload();
  EXPECT_EQ(std::pair(second.notice(), second.generation()), std::pair(std::optional(stored), 1u));

  clock += kCheckPeriodSeconds - 1;
  first.checkIfDue();
  second.checkIfDue();
  EXPECT_EQ(fetches(), 1);
  clock += 1;
  second.checkIfDue();
  first.checkIfDue();
  EXPECT_EQ(fetches(), 2);

  clock -= 1;
  first.checkIfDue();
  EXPECT_EQ(fetches(), 3);
  // Records whose distance to now overflows a signed difference.
  for (const std::int64_t wild : {std::int64_t{INT64_MIN}, std::int64_t{INT64_MAX - 1024}})
  {
    ASSERT_TRUE(Probe::writeRecord(first, {wild, "{}"}));
    first.checkIfDue();
    EXPECT_EQ(Probe::readRecord(first).lastCheck, clock.load()) << wild;
  }
}

TEST_F(UpdateCheckTest, TheMarkerSwitchesEverythingOffAndBackOnWithoutAFetch)
{
  UpdateCheck check(config());
  check.checkIfDue();
  check.reload();
  ASSERT_TRUE(check.notice());
  unsigned generation = check.generation();

  check.setEnabled(false);
  EXPECT_EQ(Probe::readFile(marker), kOffMarkerText);
  EXPECT_FALSE(check.enabled() || check.notice());
  EXPECT_GT(check.generation(), generation);
  generation = check.generation();

  // Due by the clock, a newer version in the record, and still nothing happens.
  clock += 10 * kCheckPeriodSeconds;
  check.checkIfDue();
  check.reload();
  EXPECT_FALSE(check.notice());
  EXPECT_EQ(Probe::readRecord(check).lastCheck, kStart); // not even claimed

  check.setEnabled(true);
  EXPECT_FALSE(fs::exists(marker));
  const auto shown = check.snapshot();
  EXPECT_EQ(std::tuple(shown.enabled, shown.notice, shown.generation > generation),
            std::tuple(true, std::optional(stored), true));
  EXPECT_EQ(fetches(), 1);

  std::ofstream(marker).flush(); // only existence counts: an empty marker works too
  check.checkIfDue();
  EXPECT_EQ(fetches(), 1);
}

TEST_F(UpdateCheckTest, NoNetworkOrNoFolderMeansNoFetch)
{
  Config offline = config();
  offline.networkAllowed = [] { return false; };
  UpdateCheck(std::move(offline)).checkIfDue();
  EXPECT_FALSE(fs::exists(root / "Corvana"));

  Config nowhere = config();
  nowhere.folder.clear();
  UpdateCheck homeless(std::move(nowhere));
  homeless.checkIfDue();
  homeless.setEnabled(false);
  EXPECT_FALSE(fs::exists("updates-off"));
  EXPECT_EQ(fetches(), 0);
}

TEST_F(UpdateCheckTest, FilesAreReplacedWholeReadWithinTheCapAndLeaveNoTemporaries)
{
  const auto target = root / "deep" / "file.json";
  ASSERT_TRUE(Probe::writeFile(target, std::string(kMaxFileBytes, '\0')));
  EXPECT_EQ(Probe::readFile(target), std::string(kMaxFileBytes, '\0'));
  ASSERT_TRUE(Probe::writeFile(target, std::string(kMaxFileBytes + 1, 'x')));
  EXPECT_FALSE(Probe::readFile(target));
  // A folder in the target's place: the rename fails and the temporary file goes.
  fs::create_directories(root / "occupied" / "inside");
  EXPECT_FALSE(Probe::writeFile(root / "occupied", "x"));
  std::vector<std::string> names;
  for (const auto& in : {root, target.parent_path()})
    for (const auto& entry : fs::directory_iterator(in))
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"deep", "file.json", "occupied"}));
}
