#include "cli/StateOptions.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ostratapedelay::cli
{
namespace
{

std::string notesFor(std::vector<std::string> sets)
{
  OstraTapeDelay plugin;
  StateOptions options;
  options.sets = std::move(sets);
  std::ostringstream notes;
  applyStateOptions(plugin, options, notes);
  return notes.str();
}

TEST(StateOptions, PointsOutSettingsThatOtherSettingsMakeIneffective)
{
  EXPECT_NE(notesFor({"Time L=300"}).find("Sync is on, so Time L has no effect"), std::string::npos);
  EXPECT_EQ(notesFor({"Sync=off", "Time L=300"}), "");
  EXPECT_EQ(notesFor({"Time L=300", "sync=OFF"}), ""); // order does not matter
  EXPECT_NE(notesFor({"Sync=off", "Note L=1/8"}).find("Sync is off, so Note L has no effect"), std::string::npos);
  EXPECT_NE(notesFor({"Note R=1/8"}).find("Link is on, so Note R follows the left side"), std::string::npos);
  EXPECT_EQ(notesFor({"Link=off", "Note R=1/8", "Note L=1/4"}), "");
  // Said once, however often the value is set.
  const std::string twice = notesFor({"Time R=300", "Time R=310", "Sync=off"});
  EXPECT_EQ(twice, "note: Link is on, so Time R follows the left side (add --set Link=off)\n");
}

TEST(StateOptions, AppliesTheValuesInOrder)
{
  OstraTapeDelay plugin;
  StateOptions options;
  options.sets = {"Feedback=10", "Feedback=20"};
  std::ostringstream notes;
  applyStateOptions(plugin, options, notes);
  EXPECT_EQ(plugin.GetParam(plugin::kFeedback)->Value(), 20.0);
}

} // namespace
} // namespace ostratapedelay::cli
