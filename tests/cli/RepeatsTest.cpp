#include "cli/CliTestSupport.h"
#include "cli/RepeatsCommand.h"
#include "updates/Json.h"

#include <gtest/gtest.h>

namespace ostratapedelay::cli
{
namespace
{

using corvana::updates::JsonValue;

/** The strictly parsed document; bad JSON throws, failing the test. */
JsonValue parse(const std::string& text)
{
  auto doc = corvana::updates::parseJson(text);
  return doc ? *doc : throw std::runtime_error("not JSON: " + text);
}

const JsonValue& member(const JsonValue& object, std::string_view name)
{
  const JsonValue* v = object.member(name);
  return v ? *v : throw std::runtime_error("missing " + std::string(name));
}

/** A member's number; null (an open filter, say) reads as -1. */
double at(const JsonValue& object, std::string_view name)
{
  const JsonValue& v = member(object, name);
  return v.type == JsonValue::Type::Null ? -1.0 : v.number;
}

TEST(Repeats, JsonParsesAndMatchesTheTable)
{
  RepeatsOptions pingPong;
  pingPong.state.sets = {"Ping Pong=on", "Sync=off",    "Link=off",    "Time L=180",
                         "Time R=270",   "Feedback=70", "Low Cut=200", "High Cut=5000"};
  for (RepeatsOptions options : {RepeatsOptions{}, pingPong})
  {
    std::ostringstream table, json, err;
    ASSERT_EQ(runRepeats(options, table, err), 0) << err.str();
    options.json = true;
    ASSERT_EQ(runRepeats(options, json, err), 0) << err.str();
    const JsonValue doc = parse(json.str());
    EXPECT_EQ(member(member(doc, "settings"), "pingPong").boolean, !options.state.sets.empty());
    const auto& repeats = member(doc, "repeats").array;
    ASSERT_FALSE(repeats.empty());

    std::istringstream lines(table.str());
    std::string line;
    std::getline(lines, line); // summary
    std::getline(lines, line); // header
    size_t i = 0;
    // An open filter shows as "open": a null high cut or a zero low cut in the JSON.
    const auto hz = [](const std::string& text) { return text == "open" ? -1.0 : std::stod(text); };
    for (; std::getline(lines, line) && i < repeats.size(); ++i)
    {
      const JsonValue& r = repeats[i];
      std::istringstream fields(line);
      int number, index;
      std::string side, low, high;
      double timeMs, levelDb;
      ASSERT_TRUE(fields >> number >> side >> index >> timeMs >> levelDb >> low >> high) << line;
      EXPECT_EQ(number, static_cast<int>(i) + 1);
      EXPECT_EQ(side, member(r, "right").boolean ? "R" : "L");
      EXPECT_EQ(index, at(r, "index"));
      EXPECT_NEAR(timeMs, at(r, "time") * 1000.0, 0.0005 + 1e-9);
      EXPECT_NEAR(levelDb, at(r, "levelDb"), 0.005 + 1e-9);
      EXPECT_NEAR(hz(high), at(r, "highHz"), 0.05 + 1e-9) << line;
      EXPECT_NEAR(hz(low), at(r, "lowHz") == 0.0 ? -1.0 : at(r, "lowHz"), 0.05 + 1e-9) << line;
    }
    EXPECT_EQ(i, repeats.size());
    EXPECT_FALSE(std::getline(lines, line)) << "extra row " << line;
  }
}

TEST(Repeats, TempoAndSetsReachTheModelAndEveryJsonNumberReadsBackExactly)
{
  const test::ToolRun run =
      test::runTool({"repeats", "--json", "--tempo", "100", "--set", "Note L=1/8D", "--set",
                     "Link=off", "--set", "Note R=1/4", "--set", "Drive=6"});
  ASSERT_EQ(run.status, 0) << run.err;
  const JsonValue doc = parse(run.out);
  EXPECT_EQ(at(doc, "tempo"), 100.0);
  EXPECT_EQ(at(doc, "driveDb"), 6.0);
  EXPECT_DOUBLE_EQ(at(member(doc, "settings"), "timeLeft"), 0.45);
  EXPECT_DOUBLE_EQ(at(member(doc, "settings"), "timeRight"), 0.6);

  std::ostringstream notes;
  RepeatsOptions options;
  options.state.tempo = 100.0;
  options.state.sets = {"Note L=1/8D", "Link=off", "Note R=1/4", "Drive=6"};
  const RepeatsReport report = measureRepeats(options, notes);
  const auto& repeats = member(doc, "repeats").array;
  ASSERT_EQ(repeats.size(), report.repeats.size());
  EXPECT_DOUBLE_EQ(at(repeats[0], "time"), 0.45);
  EXPECT_DOUBLE_EQ(at(repeats[1], "time"), 0.6);
  EXPECT_EQ(member(repeats[1], "right").boolean, true);
  // The measurement ends when the latest echo on each side is quiet.
  EXPECT_LT(report.repeats.back().levelDb, -48.0);
  for (size_t i = 0; i < repeats.size(); ++i)
  {
    EXPECT_EQ(at(repeats[i], "levelDb"), report.repeats[i].levelDb);
    EXPECT_EQ(at(repeats[i], "time"), report.repeats[i].time);
  }
}

} // namespace
} // namespace ostratapedelay::cli
