#include "cli/ParamArgs.h"
#include "cli/CliTestSupport.h"
#include "cli/StateOptions.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

namespace ostratapedelay::cli
{
namespace
{

using namespace ostratapedelay::plugin;
using test::contains;

class ParamArgs : public ::testing::Test
{
protected:
  double valueOf(const std::string& text) { return parseParamAssignment(plugin, text).value; }
  std::string errorOf(const std::string& text)
  {
    return test::errorOf([&] { parseParamAssignment(plugin, text); });
  }

  OstraTapeDelay plugin;
};

TEST_F(ParamArgs, NamesIgnoreCaseValuesTakeDisplayTextsAndUnits)
{
  EXPECT_EQ(findParam(plugin, "time l"), kTimeL);
  EXPECT_EQ(findParam(plugin, "  DUCK RELEASE "), kDuckRelease);
  EXPECT_EQ(findParam(plugin, "TimeL"), -1);
  EXPECT_EQ(findParam(plugin, "Time"), -1);

  const ParamAssignment a = parseParamAssignment(plugin, "feedBACK = 45.5");
  EXPECT_EQ(a.index, kFeedback);
  EXPECT_EQ(a.value, 45.5);
  EXPECT_TRUE(a.note.empty());

  const std::pair<const char*, double> cases[] = {
      {"Note L=1/8D", 12.0},
      {"note r=whole", 18.0},
      {"Note R=1/64T", 0.0},
      {"Sync=off", 0.0},
      {"Sync=ON", 1.0},
      {"Low Cut=Off", 20.0},
      {"High Cut=off", 20000.0},
      {"Duck=Off", 0.0},
      {"Time L=375ms", 375.0},
      {"Time R=1.5 MS", 1.5},
      {"Drive=-6 dB", -6.0},
      {"Mix=+40%", 40.0},
      {"Width=-30", -30.0},
      // The unit is known even while the current value shows a display text ("Off").
      {"Low Cut=150 Hz", 150.0},
  };
  for (const auto& [text, value] : cases)
    EXPECT_EQ(valueOf(text), value) << text;
  // Neither the probe for the unit nor parsing changes the parameter.
  EXPECT_EQ(plugin.GetParam(kLowCut)->Value(), 20.0);
}

TEST_F(ParamArgs, BadArgumentsNameTheParameterOrListTheValidOnes)
{
  const std::string unknown = errorOf("Tiem L=300");
  EXPECT_TRUE(contains(unknown, "Tiem L"));
  EXPECT_TRUE(contains(unknown, "Bypass, Time L, Time R, Note L"));
  EXPECT_TRUE(contains(unknown, "Duck Release, Mix"));
  EXPECT_TRUE(contains(errorOf("Time L"), "Name=value"));

  for (const char* bad : {"Time L=abc", "Time L=", "Time L=375 Hz", "Time L=nan", "Time L=inf",
                          "Time L=1e5", "Time L=3,5", "Time L=--6", "Time L=+-6", "time l=12..5"})
    EXPECT_TRUE(contains(errorOf(bad), "Time L:")) << bad << ": " << errorOf(bad);
  // Numbers for a switch or a note value would silently pick the first entry.
  EXPECT_TRUE(contains(errorOf("Sync=1"), "Sync"));
  EXPECT_TRUE(contains(errorOf("Sync=1"), "off, on"));
  EXPECT_TRUE(contains(errorOf("Note L=13"), "1/64T, 1/64, 1/32T"));
  EXPECT_TRUE(contains(errorOf("Note L=1/3"), "Note L"));
  // Continuous parameters with a named value mention it.
  EXPECT_TRUE(contains(errorOf("Low Cut=none"), "Off"));
}

TEST_F(ParamArgs, OutOfRangeValuesAreConstrainedWithANote)
{
  const ParamAssignment high = parseParamAssignment(plugin, "Time L=5000");
  EXPECT_EQ(high.value, 2000.0);
  EXPECT_TRUE(contains(high.note, "Time L"));
  EXPECT_TRUE(contains(high.note, "1.0 ms .. 2000.0 ms"));
  EXPECT_TRUE(contains(high.note, "using 2000.0 ms"));

  const ParamAssignment low = parseParamAssignment(plugin, "Low Cut=5");
  EXPECT_EQ(low.value, 20.0);
  EXPECT_TRUE(contains(low.note, "20 Hz .. 2000 Hz"));
  EXPECT_TRUE(contains(low.note, "using Off"));

  EXPECT_EQ(valueOf("Feedback=99"), 95.0);
  EXPECT_TRUE(parseParamAssignment(plugin, "Feedback=95").note.empty());
  EXPECT_TRUE(parseParamAssignment(plugin, "Drive=-18").note.empty());
}

TEST_F(ParamArgs, ApplyingSetsAllOrNothingInOrder)
{
  std::ostringstream notes;
  EXPECT_THROW(applyParamAssignments(plugin, {"Mix=30", "Bogus=1"}, notes), CliError);
  EXPECT_EQ(plugin.GetParam(kMix)->Value(), 100.0);

  applyParamAssignments(plugin, {"Mix=30", "Sync=off", "Time L=9999", "mix=40"}, notes);
  EXPECT_EQ(plugin.GetParam(kMix)->Value(), 40.0);
  EXPECT_EQ(plugin.GetParam(kSync)->Value(), 0.0);
  EXPECT_EQ(notes.str().rfind("note: Time L", 0), 0u) << notes.str();
  // The delay engine reads the new values.
  EXPECT_DOUBLE_EQ(plugin.delaySettings(120.0).timeLeft, 2.0);
}

TEST(StateOptions, PointsOutSettingsThatOtherSettingsMakeIneffectiveOnce)
{
  const auto notesFor = [](std::vector<std::string> sets)
  {
    OstraTapeDelay plugin;
    StateOptions options;
    options.sets = std::move(sets);
    std::ostringstream notes;
    applyStateOptions(plugin, options, notes);
    return notes.str();
  };
  EXPECT_TRUE(contains(notesFor({"Time L=300"}), "Sync is on, so Time L has no effect"));
  EXPECT_EQ(notesFor({"Time L=300", "sync=OFF"}), ""); // order does not matter
  EXPECT_TRUE(
      contains(notesFor({"Sync=off", "Note L=1/8"}), "Sync is off, so Note L has no effect"));
  EXPECT_TRUE(contains(notesFor({"Note R=1/8"}), "Link is on, so Note R follows the left side"));
  EXPECT_EQ(notesFor({"Link=off", "Note R=1/8", "Note L=1/4"}), "");
  EXPECT_EQ(notesFor({"Time R=300", "Time R=310", "Sync=off"}),
            "note: Link is on, so Time R follows the left side (add --set Link=off)\n");
}

} // namespace
} // namespace ostratapedelay::cli
