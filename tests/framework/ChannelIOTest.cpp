// Channel layout strings: legal channel counts, channel maxima and bus names.
#include "framework/IProcessor.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace plug;

namespace
{

IProcessor Make(const char* io)
{
  Config c;
  c.channelIOStr = io;
  return IProcessor(c);
}

} // namespace

TEST(ChannelIO, LegalIOTableAndMaximaIgnoringMalformedLayouts)
{
  const char* const kGarbage =
      "  abc 2-x 3 -1 1- 1-1  2..2-2 1-999999999 2-2\t"; // only 1-1 and 2-2 are good
  // -1 leaves a side open.
  const std::tuple<const char*, int, int, bool> cases[] = {
      {"1-1 1-2 2-2", 2, 2, true},
      {"1-1 1-2 2-2", 1, 2, true},
      {"1-1 1-2 2-2", 1, 1, true},
      {"1-1 1-2 2-2", 2, 1, false},
      {"1-1 1-2 2-2", -1, 1, true},
      {"1-1 1-2 2-2", 0, 2, false},
      {"1-1 1-2 2-2", -1, -1, true},
      {"1-1 1-2 2-2", 2, -1, true},
      {"1-1 1-2 2-2", 3, -1, false},
      {"", -1, -1, false},
      {"", 2, 2, false},
      {"*-2", 0, 2, true},
      {"*-2", 7, 2, true},
      {"*-2", 7, 1, false},
      {kGarbage, 1, 1, true},
      {kGarbage, 2, 2, true},
      {kGarbage, 1, 2, false},
      {kGarbage, 1, -1, true},
      {kGarbage, 3, -1, false},
      {"2.1.1-2.2", 4, 4, true},
      {"2.1.1-2.2", 2, 2, false},
  };
  for (const auto& [io, nIn, nOut, legal] : cases)
    EXPECT_EQ(Make(io).LegalIO(nIn, nOut), legal) << '"' << io << "\" " << nIn << "-" << nOut;
  const std::tuple<const char*, int, int> maxima[] = {
      {kGarbage, 2, 2}, {"0-2", 0, 2}, {"2.1.1-2.2 *-1", 4, 4}, {"", 0, 0}};
  for (const auto& [io, nIn, nOut] : maxima)
    EXPECT_EQ(std::pair(Make(io).NChannels(kInput), Make(io).NChannels(kOutput)),
              std::pair(nIn, nOut))
        << io;
}

TEST(ChannelIO, BusNames)
{
  const std::tuple<ERoute, int, int, const char*> names[] = {
      {kOutput, 0, 1, "Output"}, {kOutput, 1, 2, "Output 1"}, {kInput, 0, 2, "Main"},
      {kInput, 1, 2, "Aux"},     {kInput, 0, 1, "Input"},     {kInput, 1, 3, "Input 1"}};
  for (const auto& [direction, bus, nBuses, expected] : names)
  {
    std::string name;
    IProcessor::GetBusName(direction, bus, nBuses, name);
    EXPECT_EQ(name, expected) << direction << " " << bus << " of " << nBuses;
  }
}
