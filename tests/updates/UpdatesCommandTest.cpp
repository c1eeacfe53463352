#include "updates/LoopbackServer.h"
#include "updates/TempFolder.h"
#include "updates/UpdatesCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace corvana::updates;
using corvana::updates::test::LoopbackServer;
using corvana::updates::test::TempFolder;
using namespace std::chrono_literals;

namespace
{

struct Outcome
{
    int code;
    std::string out;
    std::string err;
};

class UpdatesCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::unsetenv("CORVANA_UPDATES_URL");
        ::unsetenv("CORVANA_UPDATES_FOLDER");
    }

    Outcome run(const std::string& verb)
    {
        Config config;
        config.product = "ostratape-delay";
        config.version = "1.0.0";
        config.folder = folder.path();
        config.feedUrl = server.url("/updates.json");
        config.fetch = [](const std::string& url) { return httpGet(url, 2000ms); };
        std::ostringstream out;
        std::ostringstream err;
        const int code = runUpdatesCommand(verb, std::move(config), out, err);
        return {code, out.str(), err.str()};
    }

    std::string feed = R"({"ostratape-delay":{"version":"1.2.0","page":"/ostratape-delay"}})";
    TempFolder folder;
    LoopbackServer server{[this](const LoopbackServer::Request&) { return LoopbackServer::response(200, feed); }};
};

} // namespace

TEST_F(UpdatesCommandTest, CheckPrintsTheNoticeOnceFetched)
{
    const auto first = run("check");
    EXPECT_EQ(first.code, 0);
    EXPECT_EQ(first.out, "Version 1.2.0 is available: https://corvana.example/ostratape-delay\n");
    EXPECT_TRUE(first.err.empty());
    // Within the period the stored record answers without a second fetch.
    EXPECT_EQ(run("check").out, first.out);
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(UpdatesCommandTest, CheckSaysSoWhenNothingNewerIsKnown)
{
    feed = R"({"ostratape-delay":{"version":"1.0.0","page":"/ostratape-delay"}})";
    const auto result = run("check");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out, "No newer version is known.\n");
}

TEST_F(UpdatesCommandTest, OffAndOnToggleTheMarker)
{
    const auto off = run("off");
    EXPECT_EQ(off.code, 0);
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "updates-off"));
    const auto checked = run("check");
    EXPECT_EQ(checked.out, "Update checks are off.\n");
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(run("on").code, 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "updates-off"));
    EXPECT_NE(run("check").out.find("1.2.0"), std::string::npos);
}

TEST_F(UpdatesCommandTest, FailuresAndUnknownVerbsReportErrors)
{
    EXPECT_EQ(run("sometimes").code, 2);
    EXPECT_FALSE(run("").err.empty());
    // The folder's place is a plain file: the marker cannot be written.
    std::filesystem::remove_all(folder.path());
    std::ofstream(folder.path()).put('x');
    const auto off = run("off");
    EXPECT_EQ(off.code, 1);
    EXPECT_FALSE(off.err.empty());
    std::filesystem::remove(folder.path());
    std::filesystem::create_directory(folder.path());
}
