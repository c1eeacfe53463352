// The default state form: a bare list of parameter doubles, and the reset notifications.
#include "framework/IPluginBase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

using plug::EParamSource;
using plug::IByteChunk;
using plug::IParam;

namespace
{

/** A plug-in with n parameters 0..100 (each default 10 + i) that records its notifications. */
class RecordingPlugin : public plug::IPluginBase
{
public:
  explicit RecordingPlugin(int n) : IPluginBase(MakeConfig(n))
  {
    for (int i = 0; i < NParams(); ++i)
      GetParam(i)->InitDouble("p", 10.0 + i, 0.0, 100.0, 0.5);
  }

  void OnParamChange(int idx, EParamSource source, int offset) override
  {
    calls.emplace_back('C', idx, source, offset);
  }
  void OnParamChangeUI(int idx, EParamSource source) override
  {
    calls.emplace_back('U', idx, source, 0);
  }

  std::vector<std::tuple<char, int, EParamSource, int>> calls;

private:
  static plug::Config MakeConfig(int n)
  {
    plug::Config config;
    config.nParams = n;
    return config;
  }
};

void ExpectResetCalls(const RecordingPlugin& plugin, EParamSource source)
{
  ASSERT_EQ(plugin.calls.size(), size_t(2 * plugin.NParams()));
  for (int i = 0; i < plugin.NParams(); ++i)
  {
    EXPECT_EQ(plugin.calls[size_t(2 * i)], std::make_tuple('C', i, source, -1));
    EXPECT_EQ(plugin.calls[size_t(2 * i + 1)], std::make_tuple('U', i, source, 0));
  }
}

} // namespace

TEST(PluginBaseParams, CreatedFromTheConfigurationAndBoundsChecked)
{
  RecordingPlugin plugin(3);
  EXPECT_EQ(plugin.NParams(), 3);
  EXPECT_NE(plugin.GetParam(2), nullptr);
  EXPECT_EQ(plugin.GetParam(3), nullptr);
  EXPECT_EQ(plugin.GetParam(-1), nullptr);
  EXPECT_EQ(plugin.GetConfig().nParams, 3);
}

TEST(PluginBaseSerialize, WritesEachValueAsADoubleInIndexOrder)
{
  RecordingPlugin plugin(3);
  plugin.GetParam(1)->Set(42.5);
  IByteChunk chunk;
  ASSERT_TRUE(plugin.SerializeParams(chunk));
  ASSERT_EQ(chunk.ByteCount(), 24);
  double values[3] = {};
  EXPECT_EQ(chunk.ReadBytes(values, 24, 0), 24);
  EXPECT_EQ(values[0], 10.0);
  EXPECT_EQ(values[1], 42.5);
  EXPECT_EQ(values[2], 12.0);
}

TEST(PluginBaseSerialize, RoundTripThroughTheVirtualStateOperations)
{
  RecordingPlugin source(5), target(5);
  for (int i = 0; i < 5; ++i)
    source.GetParam(i)->Set(90.0 - 7.5 * i);
  IByteChunk chunk;
  chunk.AppendString("prefix");
  const int start = chunk.ByteCount();
  plug::IPluginBase& base = source;
  ASSERT_TRUE(base.SerializeState(chunk));
  plug::IPluginBase& into = target;
  EXPECT_EQ(into.UnserializeState(chunk, start), start + 40);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(target.GetParam(i)->Value(), source.GetParam(i)->Value());
  ExpectResetCalls(target, plug::kPresetRecall);
}

TEST(PluginBaseUnserialize, ShortChunkSetsWhatIsThereAndStillResets)
{
  RecordingPlugin plugin(18);
  IByteChunk chunk;
  chunk.AppendValue(50.0);
  chunk.AppendValue(60.0);
  chunk.AppendValue(int32_t(0)); // 20 bytes: two values and a stub
  ASSERT_EQ(chunk.ByteCount(), 20);
  EXPECT_EQ(plugin.UnserializeParams(chunk, 0), -1);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 50.0);
  EXPECT_EQ(plugin.GetParam(1)->Value(), 60.0);
  for (int i = 2; i < 18; ++i)
    EXPECT_EQ(plugin.GetParam(i)->Value(), 10.0 + i) << "parameter " << i;
  ExpectResetCalls(plugin, plug::kPresetRecall);
}

TEST(PluginBaseUnserialize, ValuesAreConstrainedOnTheWayIn)
{
  RecordingPlugin plugin(4);
  IByteChunk chunk;
  for (double v : {250.0, -3.0, std::nan(""), 33.3})
    chunk.AppendValue(v);
  EXPECT_EQ(plugin.UnserializeParams(chunk, 0), 32);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 100.0);
  EXPECT_EQ(plugin.GetParam(1)->Value(), 0.0);
  EXPECT_EQ(plugin.GetParam(2)->Value(), 12.0); // NaN: the default
  EXPECT_EQ(plugin.GetParam(3)->Value(), 33.3); // step 0.5 but not stepped
}

TEST(PluginBaseUnserialize, NegativeStartOrNoParametersReadNothing)
{
  RecordingPlugin plugin(2), none(0);
  IByteChunk chunk;
  chunk.AppendValue(1.0);
  chunk.AppendValue(2.0);
  EXPECT_EQ(plugin.UnserializeParams(chunk, -1), -1);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 10.0);
  ExpectResetCalls(plugin, plug::kPresetRecall);

  IByteChunk empty;
  EXPECT_TRUE(none.SerializeParams(empty));
  EXPECT_EQ(empty.ByteCount(), 0);
  EXPECT_EQ(none.UnserializeParams(chunk, 8), 8);
  EXPECT_TRUE(none.calls.empty());
}

TEST(PluginBaseReset, NotifiesEveryParameterChangeThenEditor)
{
  RecordingPlugin plugin(3);
  plugin.OnParamReset(plug::kReset);
  ExpectResetCalls(plugin, plug::kReset);
}
