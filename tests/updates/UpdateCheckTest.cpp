#include "updates/UpdateCheck.h"
#include "updates/Json.h"
#include "updates/LoopbackServer.h"
#include "updates/TempFolder.h"
#include "updates/UpdateCheckProbe.h"
#include "updates/UpdatesCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

using namespace corvana::updates;
using corvana::updates::test::LoopbackServer;
using corvana::updates::test::TempFolder;
using namespace std::chrono_literals;
using Probe = UpdateCheckProbe;
using Record = Probe::Record;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kStart = 1'700'000'000;

std::pair<std::int64_t, std::string> fields(const Record &record) {
  return {record.lastCheck, record.feed};
}

std::string feedFor(const std::string &version, const std::string &page,
                    const std::string &product = "ostratape-delay") {
  return R"({"other":{"version":"9.9.9","page":"/other"},")" + product + R"(":{"version":")" + version +
         R"(","page":")" + page + "\"}}";
}

// A check on a fresh folder with its own clock, fetching from a loopback feed.
class UpdateCheckTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::unsetenv("CORVANA_UPDATES_URL");
    ::unsetenv("CORVANA_UPDATES_FOLDER");
  }

  Config config(std::chrono::milliseconds timeout = 2000ms) {
    Config c = defaultConfig("ostratape-delay", "1.0.0");
    c.folder = folder;
    c.feedUrl = server.url("/updates.json");
    c.now = [this] { return clock.load(); };
    c.fetch = [timeout](const std::string &url) { return httpGet(url, timeout); };
    return c;
  }

  void serve(std::string response) {
    std::lock_guard lock(mutex);
    reply = std::move(response);
  }

  int fetches() const { return server.requestCount(); }

  // The command-line verb's exit code, standard output and standard error.
  std::tuple<int, std::string, std::string> command(const std::string &verb) {
    std::ostringstream out, err;
    const int code = runUpdatesCommand(verb, config(), out, err);
    return {code, out.str(), err.str()};
  }

  TempFolder dir;
  const fs::path folder = dir.path / "Corvana" / "Updates";
  // The names every plug-in of the maker shares.
  const fs::path recordFile = folder / "updates.json", marker = folder / "updates-off";
  std::atomic<std::int64_t> clock{kStart};
  std::mutex mutex;
  std::string reply = LoopbackServer::response(200, feedFor("1.0.1", "/ostratape-delay#download"));
  LoopbackServer server{[this](const std::string &) {
    std::lock_guard lock(mutex);
    return reply;
  }};
};

} // namespace

TEST_F(UpdateCheckTest, TheNoticeNeedsANewerValidVersionASafePageAndAWellShapedFeed) {
  UpdateCheck check(config());
  const std::string site(kWebSite);
  const auto urlFor = [&](const std::string &feed) {
    const auto notice = Probe::noticeFrom(check, {kStart, feed});
    return notice ? notice->url : std::string("none");
  };
  for (const char *version : {"1.0.1", "1.1.0", "2.0.0"})
    EXPECT_EQ(urlFor(feedFor(version, "/p")), site + "/p") << version;
  for (const char *version : {"1.0.0", "1.0", "1.0.1-beta", "1.0.10000", ""})
    EXPECT_EQ(urlFor(feedFor(version, "/p")), "none") << version;

  for (const std::string &page :
       {std::string("/"), std::string("/Products/ostra_tape-delay/2#v101"), "/" + std::string(99, 'a')})
    EXPECT_EQ(urlFor(feedFor("1.0.1", page)), site + page);
  for (const std::string &page :
       std::vector<std::string>{"", "//evil.example/x", "//evil-host/x", "ostratape", "/a.html", "/a:b",
                                "/" + std::string(100, 'a'), "/a b", "/a;id", "/$(id)", "/a`id`", "/a'b",
                                "/a?x=1", "/a%2e", "/caf\xC3\xA9"})
    EXPECT_EQ(urlFor(feedFor("1.0.1", page)), "none") << page;

  const std::string padded = feedFor("1.0.1", "/p").insert(1, std::string(kMaxFileBytes, ' ') + "\"pad\":0,");
  for (const std::string &feed : std::vector<std::string>{
           "", "[]", "null", "{}", feedFor("1.0.1", "/p", "another-product"),
           R"({"ostratape-delay":"1.0.1"})", R"({"ostratape-delay":{"version":101,"page":"/p"}})",
           R"({"ostratape-delay":{"version":"1.0.1"}})",
           R"({"ostratape-delay":{"version":"1.0.1","page":["/p"]}})", feedFor("1.0.1", "/p") + "x", padded})
    EXPECT_EQ(urlFor(feed), "none") << feed.substr(0, 80);

  Config unknownSelf = config();
  unknownSelf.version = "1.0";
  EXPECT_FALSE(Probe::noticeFrom(UpdateCheck(std::move(unknownSelf)), {kStart, feedFor("9.0.0", "/p")}));
}

TEST_F(UpdateCheckTest, TheRecordRoundTripsAndBadRecordsCountAsNone) {
  const Record record{1700000123, "{\"a\":\"b\\n\"}\r\n\t"};
  EXPECT_EQ(Probe::recordText(record),
            R"({"version":1,"checked_at":1700000123,"feed":"{\"a\":\"b\\n\"}\r\n\t"})"
            "\n");
  for (const Record &sample :
       {record, Record{0, ""}, Record{INT64_MIN, "true"}, Record{1LL << 53, "\"\\u0001\""}})
    EXPECT_EQ(fields(Probe::parseRecord(Probe::recordText(sample))), fields(sample));

  const std::pair<std::string, Record> cases[] = {
      {"", {0, ""}},
      {R"({"checked_at":5,"feed":"{}"} trailing)", {0, ""}},
      {R"({"checked_at":5,"feed":"{}"})", {5, "{}"}},
      {R"({"checked_at":5e2,"feed":"{"})", {500, ""}},
      {R"({"checked_at":5.5,"feed":7})", {0, ""}},
      {R"({"checked_at":"5"})", {0, ""}},
      // Beyond what an int64 holds: no earlier check rather than an undefined conversion.
      {R"({"checked_at":1e300})", {0, ""}},
      {R"({"checked_at":9223372036854775808})", {0, ""}},
      {R"({"checked_at":5,"feed":"{}"})" + std::string(kMaxFileBytes, ' '), {0, ""}}};
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(fields(Probe::parseRecord(text)), fields(expected)) << text.substr(0, 60);
}

TEST_F(UpdateCheckTest, AFailedFetchKeepsTheOldFeedButClaimsThePeriod) {
  // Within the body cap, but escaping its line feeds pushes the record over the read cap;
  // stored, it would read as no record and make every instance fetch on every pass.
  std::string unstorable = feedFor("2.0.0", "/new");
  unstorable.insert(1, std::string(kMaxFileBytes - unstorable.size(), '\n'));
  ASSERT_TRUE(isJsonObject(unstorable));
  const std::string oldFeed = feedFor("1.0.1", "/old");
  const std::pair<std::string, std::string> failures[] = {
      {"404", LoopbackServer::response(404, feedFor("2.0.0", "/new"))},
      {"too long", LoopbackServer::response(200, std::string(kMaxFileBytes + 1, ' ') + "{}")},
      {"record too long", LoopbackServer::response(200, unstorable)},
      {"array", LoopbackServer::response(200, "[1,2]")},
      {"broken", LoopbackServer::response(200, "{\"ostratape-delay\":")},
      {"redirect", LoopbackServer::response(302, feedFor("2.0.0", "/new"), "Location: /elsewhere.json\r\n")}};
  for (const auto &[name, response] : failures) {
    SCOPED_TRACE(name);
    serve(response);
    clock += 1000;
    UpdateCheck check(config());
    ASSERT_TRUE(Probe::writeRecord(check, {clock - 700, oldFeed}));
    const int before = fetches();
    check.checkIfDue();
    EXPECT_EQ(fetches(), before + 1);
    EXPECT_EQ(fields(Probe::readRecord(check)), std::pair(clock.load(), oldFeed));
    check.reload();
    EXPECT_EQ(check.notice(), (Notice{"1.0.1", "https://corvana.example/old"}));
  }
}

TEST_F(UpdateCheckTest, ASilentServerIsCutOffByTheTimeOutOrByCancel) {
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

TEST_F(UpdateCheckTest, InstancesSharingAFolderFetchOncePerPeriodUnlessTheClockGoesBack) {
  UpdateCheck first(config());
  UpdateCheck second(config());
  first.checkIfDue();
  second.checkIfDue();
  EXPECT_EQ(fetches(), 1);
  EXPECT_EQ(Probe::readFile(recordFile),
            Probe::recordText({kStart, feedFor("1.0.1", "/ostratape-delay#download")}));
  EXPECT_FALSE(second.notice()); // only reload publishes, and the other instance's fetch shows too
  second.reload();
  EXPECT_EQ(second.notice(), (Notice{"1.0.1", "https://corvana.example/ostratape-delay#download"}));
  EXPECT_EQ(second.generation(), 1u);
  second.reload();
  EXPECT_EQ(second.generation(), 1u); // nothing changed

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
  EXPECT_EQ(Probe::readRecord(first).lastCheck, kStart + kCheckPeriodSeconds - 1);
  // Records whose distance to now overflows a signed difference.
  for (const std::int64_t wild : {std::int64_t{INT64_MIN}, std::int64_t{INT64_MAX - 1024}}) {
    ASSERT_TRUE(Probe::writeRecord(first, {wild, "{}"}));
    const int before = fetches();
    first.checkIfDue();
    EXPECT_EQ(fetches(), before + 1) << wild;
  }
}

TEST_F(UpdateCheckTest, TheMarkerSwitchesEverythingOffAndBackOnWithoutAFetch) {
  UpdateCheck check(config());
  check.checkIfDue();
  check.reload();
  ASSERT_TRUE(check.notice());
  unsigned generation = check.generation();

  check.setEnabled(false);
  EXPECT_EQ(Probe::readFile(marker), kOffMarkerText);
  EXPECT_FALSE(check.enabled());
  EXPECT_FALSE(check.notice());
  EXPECT_GT(check.generation(), generation);
  generation = check.generation();

  // Due by the clock, a newer version in the record, and still nothing happens.
  clock += 10 * kCheckPeriodSeconds;
  check.checkIfDue();
  check.reload();
  EXPECT_FALSE(check.notice());
  EXPECT_EQ(fetches(), 1);
  EXPECT_EQ(Probe::readRecord(check).lastCheck, kStart); // not even claimed

  check.setEnabled(true);
  EXPECT_FALSE(fs::exists(marker));
  const auto shown = check.snapshot();
  EXPECT_TRUE(shown.enabled);
  EXPECT_EQ(shown.notice, (Notice{"1.0.1", "https://corvana.example/ostratape-delay#download"}));
  EXPECT_GT(shown.generation, generation);
  EXPECT_EQ(fetches(), 1);

  std::ofstream(marker).flush(); // only existence counts: an empty marker works too
  check.checkIfDue();
  EXPECT_EQ(fetches(), 1);
}

TEST_F(UpdateCheckTest, NoNetworkNoWritableRecordOrNoFolderMeansNoFetch) {
  Config offline = config();
  offline.networkAllowed = [] { return false; };
  UpdateCheck(std::move(offline)).checkIfDue();
  EXPECT_FALSE(fs::exists(dir.path / "Corvana"));

  Config blocked = config(); // a plain file in the folder's place: the claim cannot be written
  blocked.folder = dir.path / "plain-file";
  std::ofstream(blocked.folder).put('x');
  UpdateCheck stuck(std::move(blocked));
  stuck.checkIfDue();
  stuck.reload();
  EXPECT_FALSE(stuck.notice());

  Config nowhere = config();
  nowhere.folder.clear();
  UpdateCheck homeless(std::move(nowhere));
  homeless.checkIfDue();
  homeless.setEnabled(false);
  EXPECT_FALSE(fs::exists("updates-off"));
  EXPECT_EQ(fetches(), 0);
}

TEST_F(UpdateCheckTest, FilesAreReplacedWholeReadWithinTheCapAndLeaveNoTemporaries) {
  const auto target = dir.path / "deep" / "er" / "file.json";
  for (const std::string &text :
       {std::string("a\r\nb\0c", 6), std::string("short"), std::string(kMaxFileBytes, 'x')}) {
    ASSERT_TRUE(Probe::writeFile(target, text));
    EXPECT_EQ(Probe::readFile(target), text);
  }
  ASSERT_TRUE(Probe::writeFile(target, std::string(kMaxFileBytes + 1, 'x')));
  EXPECT_FALSE(Probe::readFile(target));
  EXPECT_FALSE(Probe::readFile(dir.path / "missing"));

  // A folder in the target's place: the rename fails and the temporary file goes.
  fs::create_directories(dir.path / "occupied" / "inside");
  EXPECT_FALSE(Probe::writeFile(dir.path / "occupied", "x"));
  std::vector<std::string> names;
  for (const auto &folder : {dir.path, target.parent_path()})
    for (const auto &entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"deep", "file.json", "occupied"}));
}

TEST_F(UpdateCheckTest, TheEnvironmentChoosesFeedAndFolder) {
  TempFolder elsewhere;
  ::setenv("CORVANA_UPDATES_URL", server.url("/other.json").c_str(), 1);
  ::setenv("CORVANA_UPDATES_FOLDER", elsewhere.path.c_str(), 1);
  UpdateCheck(config()).checkIfDue();
  ASSERT_EQ(fetches(), 1);
  EXPECT_TRUE(server.requests().front().starts_with("GET /other.json "));
  EXPECT_TRUE(fs::exists(elsewhere.path / "updates.json"));
  ::setenv("CORVANA_UPDATES_URL", "", 1); // empty values count as unset
  ::setenv("CORVANA_UPDATES_FOLDER", "", 1);
  UpdateCheck unchanged(config());
  EXPECT_EQ(unchanged.feedUrl(), server.url("/updates.json"));
  EXPECT_EQ(unchanged.folder(), folder);

  const char *xdg = std::getenv("XDG_DATA_HOME");
  const std::string saved = xdg != nullptr ? xdg : "";
  ::setenv("XDG_DATA_HOME", "/data/share", 1);
  EXPECT_EQ(defaultFolder(), fs::path("/data/share/Corvana/Updates"));
  ::setenv("XDG_DATA_HOME", "relative/share", 1); // not absolute: ignored
  EXPECT_TRUE(defaultFolder().string().ends_with(".local/share/Corvana/Updates")) << defaultFolder();
  xdg != nullptr ? ::setenv("XDG_DATA_HOME", saved.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
}

TEST_F(UpdateCheckTest, TheUpdatesCommandPrintsWhatItDid) {
  const std::string site(kWebSite);
  const auto notice = std::make_tuple(
      0, "Version 1.0.1 is available: " + site + "/ostratape-delay#download\n", std::string());
  EXPECT_EQ(command("check"), notice);
  EXPECT_EQ(command("check"), notice); // the stored record answers within the period
  EXPECT_EQ(command("off"), std::make_tuple(0, std::string("Update checks are off.\n"), std::string()));
  EXPECT_EQ(std::get<1>(command("check")), "Update checks are off.\n");
  EXPECT_EQ(command("on"), std::make_tuple(0, std::string("Update checks are on.\n"), std::string()));
  EXPECT_EQ(command("check"), notice);
  EXPECT_EQ(fetches(), 1);
  EXPECT_EQ(std::get<0>(command("sometimes")), 2);

  clock += kCheckPeriodSeconds;
  serve(LoopbackServer::response(200, feedFor("1.0.0", "/p")));
  EXPECT_EQ(std::get<1>(command("check")), "No newer version is known.\n");
  fs::remove_all(dir.path); // a plain file in the folder's place: the marker cannot be written
  std::ofstream(dir.path).put('x');
  const auto [code, out, err] = command("off");
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(err.empty());
}
