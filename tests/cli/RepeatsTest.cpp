#include "cli/MiniJson.h"
#include "cli/RepeatsCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace ostratapedelay::cli
{
namespace
{

using test::JsonReader;
using test::JsonValue;

struct TableRow
{
  std::string side;
  int index = 0;
  double timeMs = 0, levelDb = 0, lowHz = 0, highHz = 0;
  bool lowOpen = false, highOpen = false;
};

std::vector<TableRow> parseTable(const std::string& text)
{
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line); // summary
  std::getline(lines, line); // header
  std::vector<TableRow> rows;
  while (std::getline(lines, line))
  {
    std::istringstream fields(line);
    int number;
    TableRow row;
    std::string low, high;
    fields >> number >> row.side >> row.index >> row.timeMs >> row.levelDb >> low >> high;
    EXPECT_FALSE(fields.fail()) << line;
    EXPECT_EQ(number, static_cast<int>(rows.size()) + 1);
    row.lowOpen = low == "open";
    row.highOpen = high == "open";
    row.lowHz = row.lowOpen ? 0.0 : std::stod(low);
    row.highHz = row.highOpen ? 0.0 : std::stod(high);
    rows.push_back(row);
  }
  return rows;
}

void expectJsonMatchesTable(const RepeatsOptions& base)
{
  RepeatsOptions options = base;
  std::ostringstream table, json, err;
  options.json = false;
  ASSERT_EQ(runRepeats(options, table, err), 0) << err.str();
  options.json = true;
  ASSERT_EQ(runRepeats(options, json, err), 0) << err.str();

  const JsonValue doc = JsonReader::parse(json.str());
  const auto& repeats = doc["repeats"].array();
  const std::vector<TableRow> rows = parseTable(table.str());
  ASSERT_EQ(rows.size(), repeats.size());
  ASSERT_FALSE(rows.empty());
  for (size_t i = 0; i < rows.size(); ++i)
  {
    const JsonValue& r = repeats[i];
    EXPECT_EQ(rows[i].side, r["right"].boolean() ? "R" : "L");
    EXPECT_EQ(rows[i].index, static_cast<int>(r["index"].number()));
    EXPECT_NEAR(rows[i].timeMs, r["time"].number() * 1000.0, 0.0005 + 1e-9);
    EXPECT_NEAR(rows[i].levelDb, r["levelDb"].number(), 0.005 + 1e-9);
    EXPECT_EQ(rows[i].highOpen, r["highHz"].isNull());
    if (!rows[i].highOpen)
    {
      EXPECT_NEAR(rows[i].highHz, r["highHz"].number(), 0.05 + 1e-9);
    }
    EXPECT_EQ(rows[i].lowOpen, r["lowHz"].number() == 0.0);
    if (!rows[i].lowOpen)
    {
      EXPECT_NEAR(rows[i].lowHz, r["lowHz"].number(), 0.05 + 1e-9);
    }
  }
}

TEST(Repeats, JsonParsesAndMatchesTheTable)
{
  expectJsonMatchesTable({});
  RepeatsOptions pingPong;
  pingPong.state.sets = {"Ping Pong=on", "Sync=off", "Link=off", "Time L=180", "Time R=270", "Feedback=70",
                         "Low Cut=200", "High Cut=5000"};
  expectJsonMatchesTable(pingPong);
}

TEST(Repeats, DefaultsGiveQuarterNoteEchoesThatFadeOnBothSides)
{
  std::ostringstream notes;
  const RepeatsReport report = measureRepeats({}, notes);
  ASSERT_GE(report.repeats.size(), 4u);
  EXPECT_EQ(report.repeats[0].time, 0.5);
  EXPECT_FALSE(report.repeats[0].right);
  EXPECT_EQ(report.repeats[1].time, 0.5);
  EXPECT_TRUE(report.repeats[1].right);
  EXPECT_EQ(report.repeats[2].time, 1.0);
  EXPECT_LT(report.repeats[2].levelDb, report.repeats[0].levelDb);
  // The measurement ends when the latest echo on each side is quiet.
  EXPECT_LT(report.repeats.back().levelDb, -48.0);
  EXPECT_TRUE(std::isinf(report.repeats[0].highHz) || report.repeats[0].highHz > 1000.0);
}

TEST(Repeats, TempoAndSettingsReachTheModel)
{
  std::ostringstream notes;
  RepeatsOptions options;
  options.state.tempo = 100.0;
  options.state.sets = {"Note L=1/8D", "Link=off", "Note R=1/4", "Drive=6"};
  const RepeatsReport report = measureRepeats(options, notes);
  EXPECT_DOUBLE_EQ(report.request.settings.timeLeft, 0.45);
  EXPECT_DOUBLE_EQ(report.request.settings.timeRight, 0.6);
  EXPECT_EQ(report.request.driveDb, 6.0);
  ASSERT_FALSE(report.repeats.empty());
  EXPECT_DOUBLE_EQ(report.repeats[0].time, 0.45);

  // Every number in the JSON reads back exactly.
  std::ostringstream json;
  printRepeatsJson(report, json);
  const JsonValue doc = JsonReader::parse(json.str());
  EXPECT_EQ(doc["tempo"].number(), 100.0);
  EXPECT_EQ(doc["settings"]["timeLeft"].number(), report.request.settings.timeLeft);
  for (size_t i = 0; i < report.repeats.size(); ++i)
  {
    EXPECT_EQ(doc["repeats"].array()[i]["levelDb"].number(), report.repeats[i].levelDb);
    EXPECT_EQ(doc["repeats"].array()[i]["time"].number(), report.repeats[i].time);
  }
}

} // namespace
} // namespace ostratapedelay::cli
