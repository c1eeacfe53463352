#include "cli/CliError.h"
#include "cli/ParamArgs.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ostratapedelay::cli
{
namespace
{

using namespace ostratapedelay::plugin;

class ParamArgs : public ::testing::Test
{
protected:
  std::string errorOf(const std::string& text)
  {
    try
    {
      parseParamAssignment(plugin, text);
    }
    catch (const CliError& e)
    {
      return e.what();
    }
    return {};
  }

  OstraTapeDelay plugin;
};

TEST_F(ParamArgs, NamesMatchIgnoringCaseAndSurroundingSpace)
{
  EXPECT_EQ(findParam(plugin, "Time L"), kTimeL);
  EXPECT_EQ(findParam(plugin, "time l"), kTimeL);
  EXPECT_EQ(findParam(plugin, "  DUCK RELEASE "), kDuckRelease);
  EXPECT_EQ(findParam(plugin, "ping pong"), kPingPong);
  EXPECT_EQ(findParam(plugin, "TimeL"), -1);
  EXPECT_EQ(findParam(plugin, "Time"), -1);

  const ParamAssignment a = parseParamAssignment(plugin, "feedBACK = 45.5");
  EXPECT_EQ(a.index, kFeedback);
  EXPECT_EQ(a.value, 45.5);
  EXPECT_TRUE(a.note.empty());
}

TEST_F(ParamArgs, ValuesGoThroughTheParametersDisplayTexts)
{
  EXPECT_EQ(parseParamAssignment(plugin, "Note L=1/8D").value, 12.0);
  EXPECT_EQ(parseParamAssignment(plugin, "note r=whole").value, 18.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Note R=1/64T").value, 0.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Sync=off").value, 0.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Sync=ON").value, 1.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Low Cut=Off").value, 20.0);
  EXPECT_EQ(parseParamAssignment(plugin, "High Cut=off").value, 20000.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Duck=Off").value, 0.0);
}

TEST_F(ParamArgs, NumbersMayCarryTheParametersUnit)
{
  EXPECT_EQ(parseParamAssignment(plugin, "Time L=375").value, 375.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Time L=375ms").value, 375.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Time R=1.5 MS").value, 1.5);
  EXPECT_EQ(parseParamAssignment(plugin, "Drive=-6 dB").value, -6.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Mix=+40%").value, 40.0);
  // The unit is known even while the current value shows a display text ("Off").
  EXPECT_EQ(parseParamAssignment(plugin, "Low Cut=150 Hz").value, 150.0);
  EXPECT_EQ(parseParamAssignment(plugin, "Width=-30").value, -30.0);
  // Neither the probe for the unit nor parsing changes the parameter.
  EXPECT_EQ(plugin.GetParam(kLowCut)->Value(), 20.0);
}

TEST_F(ParamArgs, BadArgumentsNameTheParameterOrListTheValidOnes)
{
  const std::string unknown = errorOf("Tiem L=300");
  EXPECT_NE(unknown.find("Tiem L"), std::string::npos);
  EXPECT_NE(unknown.find("Bypass, Time L, Time R, Note L"), std::string::npos);
  EXPECT_NE(unknown.find("Duck Release, Mix"), std::string::npos);

  EXPECT_NE(errorOf("Time L").find("Name=value"), std::string::npos);

  for (const char* bad : {"Time L=abc", "Time L=", "Time L=375 Hz", "Time L=nan", "Time L=inf", "Time L=1e5",
                          "Time L=3,5", "Time L=--6", "Time L=+-6", "time l=12..5"})
  {
    const std::string error = errorOf(bad);
    EXPECT_NE(error.find("Time L:"), std::string::npos) << bad << ": " << error;
  }
  // Numbers for a switch or a note value would silently pick the first entry.
  const std::string syncError = errorOf("Sync=1");
  EXPECT_NE(syncError.find("Sync"), std::string::npos);
  EXPECT_NE(syncError.find("off, on"), std::string::npos);
  EXPECT_NE(errorOf("Note L=13").find("1/64T, 1/64, 1/32T"), std::string::npos);
  EXPECT_NE(errorOf("Note L=1/3").find("Note L"), std::string::npos);
  // Continuous parameters with a named value mention it.
  EXPECT_NE(errorOf("Low Cut=none").find("Off"), std::string::npos);
}

TEST_F(ParamArgs, OutOfRangeValuesAreConstrainedWithANote)
{
  const ParamAssignment high = parseParamAssignment(plugin, "Time L=5000");
  EXPECT_EQ(high.value, 2000.0);
  EXPECT_NE(high.note.find("Time L"), std::string::npos);
  EXPECT_NE(high.note.find("1.0 ms .. 2000.0 ms"), std::string::npos);
  EXPECT_NE(high.note.find("using 2000.0 ms"), std::string::npos);

  const ParamAssignment low = parseParamAssignment(plugin, "Low Cut=5");
  EXPECT_EQ(low.value, 20.0);
  EXPECT_NE(low.note.find("20 Hz .. 2000 Hz"), std::string::npos);
  EXPECT_NE(low.note.find("using Off"), std::string::npos);

  EXPECT_EQ(parseParamAssignment(plugin, "Feedback=99").value, 95.0);
  EXPECT_TRUE(parseParamAssignment(plugin, "Feedback=95").note.empty());
  EXPECT_TRUE(parseParamAssignment(plugin, "Drive=-18").note.empty());
}

TEST_F(ParamArgs, ApplyingSetsAllOrNothing)
{
  std::ostringstream notes;
  EXPECT_THROW(applyParamAssignments(plugin, {"Mix=30", "Bogus=1"}, notes), CliError);
  EXPECT_EQ(plugin.GetParam(kMix)->Value(), 100.0);

  applyParamAssignments(plugin, {"Mix=30", "Sync=off", "Time L=9999", "mix=40"}, notes);
  EXPECT_EQ(plugin.GetParam(kMix)->Value(), 40.0);
  EXPECT_EQ(plugin.GetParam(kSync)->Value(), 0.0);
  EXPECT_EQ(plugin.GetParam(kTimeL)->Value(), 2000.0);
  EXPECT_EQ(notes.str().rfind("note: Time L", 0), 0u) << notes.str();
  // The delay engine reads the new values.
  EXPECT_DOUBLE_EQ(plugin.delaySettings(120.0).timeLeft, 2.0);
}

TEST_F(ParamArgs, DisplayWithLabelOmitsTheUnitOfNamedValues)
{
  EXPECT_EQ(displayWithLabel(*plugin.GetParam(kTimeL), 375.0), "375.0 ms");
  EXPECT_EQ(displayWithLabel(*plugin.GetParam(kLowCut), 20.0), "Off");
  EXPECT_EQ(displayWithLabel(*plugin.GetParam(kLowCut), 150.0), "150 Hz");
  EXPECT_EQ(displayWithLabel(*plugin.GetParam(kNoteL), 12.0), "1/8D");
  EXPECT_EQ(storedLabel(*plugin.GetParam(kHighCut)), "Hz");
  EXPECT_EQ(storedLabel(*plugin.GetParam(kSync)), "");
}

} // namespace
} // namespace ostratapedelay::cli
