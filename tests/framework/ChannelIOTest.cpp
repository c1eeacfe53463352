// Channel layout strings, legal channel counts, bus names and the Audio Unit type code.
#include "framework/IProcessor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plug;

namespace
{

Config MakeConfig(const char* io, EPlugType type = kEffect, bool midiIn = false)
{
  Config c;
  c.channelIOStr = io;
  c.plugType = type;
  c.plugDoesMidiIn = midiIn;
  return c;
}

struct Parsed
{
  std::vector<IOConfig> configs;
  int maxIn = -1, maxOut = -1, maxInBuses = -1, maxOutBuses = -1;
  int n = 0;
  explicit Parsed(const char* text)
  {
    n = ParseChannelIOStr(text, configs, maxIn, maxOut, maxInBuses, maxOutBuses);
  }
};

} // namespace

TEST(ChannelIO, ProductStringGivesThreeSingleBusLayouts)
{
  Parsed p("1-1 1-2 2-2");
  ASSERT_EQ(p.n, 3);
  const int expected[3][2] = {{1, 1}, {1, 2}, {2, 2}};
  for (int i = 0; i < 3; ++i)
  {
    const IOConfig& c = p.configs[static_cast<size_t>(i)];
    EXPECT_EQ(c.NBuses(kInput), 1);
    EXPECT_EQ(c.NBuses(kOutput), 1);
    EXPECT_EQ(c.GetTotalNChannels(kInput), expected[i][0]);
    EXPECT_EQ(c.GetTotalNChannels(kOutput), expected[i][1]);
    EXPECT_EQ(c.Buses(kOutput)[0].direction, kOutput);
  }
  EXPECT_EQ(p.maxIn, 2);
  EXPECT_EQ(p.maxOut, 2);
  EXPECT_EQ(p.maxInBuses, 1);
  EXPECT_EQ(p.maxOutBuses, 1);
}

TEST(ChannelIO, ZeroInputSideHasNoBus)
{
  Parsed p("0-2");
  ASSERT_EQ(p.n, 1);
  EXPECT_EQ(p.configs[0].NBuses(kInput), 0);
  EXPECT_EQ(p.configs[0].GetTotalNChannels(kInput), 0);
  EXPECT_EQ(p.configs[0].GetTotalNChannels(kOutput), 2);
  EXPECT_EQ(p.maxIn, 0);
}

TEST(ChannelIO, MultiBusAndWildcardSides)
{
  Parsed p("2-2 2.1.1-2.2 *-1");
  ASSERT_EQ(p.n, 3);
  EXPECT_EQ(p.configs[1].NBuses(kInput), 3);
  EXPECT_EQ(p.configs[1].GetTotalNChannels(kInput), 4);
  EXPECT_EQ(p.configs[1].NChannelsOnBus(kOutput, 1), 2);
  EXPECT_EQ(p.configs[1].NChannelsOnBus(kOutput, 2), 0);
  EXPECT_EQ(p.configs[2].GetTotalNChannels(kInput), kWildcardChannels);
  EXPECT_TRUE(p.configs[2].ContainsWildcard(kInput));
  EXPECT_EQ(p.maxIn, 4);
  EXPECT_EQ(p.maxInBuses, 3);
  EXPECT_EQ(p.maxOutBuses, 2);
}

TEST(ChannelIO, MalformedLayoutsAreSkipped)
{
  Parsed p("  abc 2-x 3 -1 1- 1-1  2..2-2 1-999999999 2-2\t");
  ASSERT_EQ(p.n, 2);
  EXPECT_EQ(p.configs[0].GetTotalNChannels(kOutput), 1);
  EXPECT_EQ(p.configs[1].GetTotalNChannels(kInput), 2);
  EXPECT_EQ(p.maxIn, 2);

  Parsed empty("");
  EXPECT_EQ(empty.n, 0);
  EXPECT_EQ(empty.maxIn, 0);
  EXPECT_EQ(empty.maxOutBuses, 0);
}

TEST(ChannelIO, LegalIOForTheProductLayouts)
{
  IProcessor proc(MakeConfig("1-1 1-2 2-2"));
  EXPECT_TRUE(proc.LegalIO(2, 2));
  EXPECT_TRUE(proc.LegalIO(1, 2));
  EXPECT_TRUE(proc.LegalIO(1, 1));
  EXPECT_FALSE(proc.LegalIO(2, 1));
  EXPECT_TRUE(proc.LegalIO(-1, 1));
  EXPECT_FALSE(proc.LegalIO(0, 2));
  EXPECT_TRUE(proc.LegalIO(-1, -1));
  EXPECT_TRUE(proc.LegalIO(2, -1));
  EXPECT_FALSE(proc.LegalIO(3, -1));
  EXPECT_EQ(proc.NChannels(kInput), 2);
  EXPECT_EQ(proc.NChannels(kOutput), 2);
}

TEST(ChannelIO, LegalIOWithoutLayoutsOrWithWildcards)
{
  IProcessor none(MakeConfig(""));
  EXPECT_FALSE(none.LegalIO(-1, -1));
  EXPECT_FALSE(none.LegalIO(2, 2));
  EXPECT_EQ(none.NChannels(kInput), 0);

  IProcessor any(MakeConfig("*-2"));
  EXPECT_TRUE(any.LegalIO(0, 2));
  EXPECT_TRUE(any.LegalIO(7, 2));
  EXPECT_FALSE(any.LegalIO(7, 1));
}

TEST(ChannelIO, MaxNBusesReportsFirstLayoutWithMost)
{
  IProcessor proc(MakeConfig("1-1 1.1-2 2.2-2.2.2 1.1-1"));
  int idx = -2;
  EXPECT_EQ(proc.MaxNBuses(kInput, &idx), 2);
  EXPECT_EQ(idx, 1);
  EXPECT_EQ(proc.MaxNBuses(kOutput, &idx), 3);
  EXPECT_EQ(idx, 2);

  IProcessor none(MakeConfig(""));
  EXPECT_EQ(none.MaxNBuses(kOutput, &idx), 0);
  EXPECT_EQ(idx, -1);
}

TEST(ChannelIO, BusNames)
{
  std::string name;
  IProcessor::GetBusName(kOutput, 0, 1, name);
  EXPECT_EQ(name, "Output");
  IProcessor::GetBusName(kOutput, 1, 2, name);
  EXPECT_EQ(name, "Output 1");
  IProcessor::GetBusName(kInput, 0, 2, name);
  EXPECT_EQ(name, "Main");
  IProcessor::GetBusName(kInput, 1, 2, name);
  EXPECT_EQ(name, "Aux");
  IProcessor::GetBusName(kInput, 0, 1, name);
  EXPECT_EQ(name, "Input");
  IProcessor::GetBusName(kInput, 1, 3, name);
  EXPECT_EQ(name, "Input 1");
}

TEST(ChannelIO, AudioUnitTypeFollowsPluginTypeAndMidi)
{
  EXPECT_EQ(IProcessor(MakeConfig("2-2")).GetAUPluginType(), FourCharCode("aufx"));
  EXPECT_EQ(IProcessor(MakeConfig("2-2", kEffect, true)).GetAUPluginType(), FourCharCode("aumf"));
  EXPECT_EQ(IProcessor(MakeConfig("0-2", kInstrument)).GetAUPluginType(), FourCharCode("aumu"));
  EXPECT_EQ(IProcessor(MakeConfig("0-0", kMIDIEffect)).GetAUPluginType(), FourCharCode("aumi"));
  EXPECT_EQ(IProcessor(MakeConfig("0-2", kGenerator)).GetAUPluginType(), FourCharCode("augn"));
  EXPECT_EQ(IProcessor(MakeConfig("2-2", static_cast<EPlugType>(9))).GetAUPluginType(),
            FourCharCode("aufx"));
}
