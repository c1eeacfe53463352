// Channel layout strings, legal channel counts, bus names and the Audio Unit type code.
#include "framework/IProcessor.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

} // namespace

TEST(ChannelIO, LayoutStringsGiveBusesChannelsAndMaxima)
{
  struct Case
  {
    const char* text;
    const char* parsed; // the layouts read back, buses joined by '.', "" for no bus
    int maxIn, maxOut, maxInBuses, maxOutBuses;
  };
  const Case cases[] = {
    {"1-1 1-2 2-2", "1-1 1-2 2-2", 2, 2, 1, 1},
    {"0-2", "-2", 0, 2, 0, 1},
    {"2-2 2.1.1-2.2 *-1", "2-2 2.1.1-2.2 *-1", 4, 4, 3, 2},
    {"  abc 2-x 3 -1 1- 1-1  2..2-2 1-999999999 2-2\t", "1-1 2-2", 2, 2, 1, 1},
    {"", "", 0, 0, 0, 0},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.text);
    std::vector<IOConfig> configs;
    int maxIn = -1, maxOut = -1, maxInBuses = -1, maxOutBuses = -1;
    const int n = ParseChannelIOStr(c.text, configs, maxIn, maxOut, maxInBuses, maxOutBuses);
    std::string parsed;
    for (const IOConfig& config : configs)
    {
      parsed += parsed.empty() ? "" : " ";
      for (ERoute d : {kInput, kOutput})
      {
        for (int b = 0; b < config.NBuses(d); ++b)
        {
          const int channels = config.NChannelsOnBus(d, b);
          parsed += (b ? "." : "") + (channels == kWildcardChannels ? "*" : std::to_string(channels));
        }
        parsed += d == kInput ? "-" : "";
      }
    }
    EXPECT_EQ(n, static_cast<int>(configs.size()));
    EXPECT_EQ(parsed, c.parsed);
    EXPECT_EQ(std::vector<int>({maxIn, maxOut, maxInBuses, maxOutBuses}),
              std::vector<int>({c.maxIn, c.maxOut, c.maxInBuses, c.maxOutBuses}));
  }
  std::vector<IOConfig> configs;
  int a, b, c, d;
  ParseChannelIOStr("*-1 2.2-2", configs, a, b, c, d);
  EXPECT_TRUE(configs[0].ContainsWildcard(kInput));
  EXPECT_EQ(configs[1].GetTotalNChannels(kInput), 4);
  EXPECT_EQ(configs[1].NChannelsOnBus(kOutput, 1), 0); // beyond the last bus
}

TEST(ChannelIO, LegalIOTable)
{
  // -1 leaves a side open.
  const std::tuple<const char*, int, int, bool> cases[] = {
    {"1-1 1-2 2-2", 2, 2, true},   {"1-1 1-2 2-2", 1, 2, true},  {"1-1 1-2 2-2", 1, 1, true},
    {"1-1 1-2 2-2", 2, 1, false},  {"1-1 1-2 2-2", -1, 1, true}, {"1-1 1-2 2-2", 0, 2, false},
    {"1-1 1-2 2-2", -1, -1, true}, {"1-1 1-2 2-2", 2, -1, true}, {"1-1 1-2 2-2", 3, -1, false},
    {"", -1, -1, false},           {"", 2, 2, false},            {"*-2", 0, 2, true},
    {"*-2", 7, 2, true},           {"*-2", 7, 1, false},
  };
  for (const auto& [io, nIn, nOut, legal] : cases)
    EXPECT_EQ(IProcessor(MakeConfig(io)).LegalIO(nIn, nOut), legal) << '"' << io << "\" " << nIn << "-" << nOut;
  IProcessor proc(MakeConfig("1-1 1-2 2-2"));
  EXPECT_EQ(proc.NChannels(kInput), 2);
  EXPECT_EQ(proc.NChannels(kOutput), 2);
  EXPECT_EQ(IProcessor(MakeConfig("")).NChannels(kInput), 0);
}

TEST(ChannelIO, MaxNBusesReportsFirstLayoutWithMost)
{
  IProcessor proc(MakeConfig("1-1 1.1-2 2.2-2.2.2 1.1-1"));
  int idx = -2;
  EXPECT_EQ(proc.MaxNBuses(kInput, &idx), 2);
  EXPECT_EQ(idx, 1);
  EXPECT_EQ(proc.MaxNBuses(kOutput, &idx), 3);
  EXPECT_EQ(idx, 2);
  EXPECT_EQ(IProcessor(MakeConfig("")).MaxNBuses(kOutput, &idx), 0);
  EXPECT_EQ(idx, -1);
}

TEST(ChannelIO, BusNamesAndAudioUnitTypes)
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
  EXPECT_EQ(IProcessor(MakeConfig("2-2")).GetAUPluginType(), FourCharCode("aufx"));
  EXPECT_EQ(IProcessor(MakeConfig("2-2", kEffect, true)).GetAUPluginType(), FourCharCode("aumf"));
  EXPECT_EQ(IProcessor(MakeConfig("0-2", kInstrument)).GetAUPluginType(), FourCharCode("aumu"));
  EXPECT_EQ(IProcessor(MakeConfig("0-0", kMIDIEffect)).GetAUPluginType(), FourCharCode("aumi"));
  EXPECT_EQ(IProcessor(MakeConfig("0-2", kGenerator)).GetAUPluginType(), FourCharCode("augn"));
  EXPECT_EQ(IProcessor(MakeConfig("2-2", static_cast<EPlugType>(9))).GetAUPluginType(), FourCharCode("aufx"));
}
