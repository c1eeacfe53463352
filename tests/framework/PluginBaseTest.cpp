// The default state form: a bare list of parameter doubles, and the reset notifications.
#include "framework/IPluginBase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

using plug::EParamSource;
using plug::IByteChunk;

namespace
{

plug::Config MakeConfig(int n)
{
  plug::Config config;
  config.nParams = n;
  return config;
}

/** A plug-in with n parameters 0..100 (each default 10 + i) that records its notifications. */
class RecordingPlugin : public plug::IPluginBase
{
public:
  explicit RecordingPlugin(int n) : IPluginBase(MakeConfig(n))
  {
    for (int i = 0; i < NParams(); ++i)
      GetParam(i)->InitDouble("p", 10.0 + i, 0.0, 100.0, 0.5);
  }
  void OnParamChange(int idx, EParamSource source, int offset) override { calls.emplace_back('C', idx, source, offset); }
  void OnParamChangeUI(int idx, EParamSource source) override { calls.emplace_back('U', idx, source, 0); }

  std::vector<double> Values() const
  {
    std::vector<double> values;
    for (int i = 0; i < NParams(); ++i)
      values.push_back(GetParam(i)->Value());
    return values;
  }

  /** Every parameter in order: OnParamChange, then OnParamChangeUI, both from `source`. */
  void ExpectResetCalls(EParamSource source) const
  {
    ASSERT_EQ(calls.size(), size_t(2 * NParams()));
    for (int i = 0; i < NParams(); ++i)
    {
      EXPECT_EQ(calls[size_t(2 * i)], std::make_tuple('C', i, source, -1));
      EXPECT_EQ(calls[size_t(2 * i + 1)], std::make_tuple('U', i, source, 0));
    }
  }

  std::vector<std::tuple<char, int, EParamSource, int>> calls;
};

} // namespace

TEST(PluginBaseSerialize, WritesDoublesInIndexOrderAndRoundTripsThroughTheStateOperations)
{
  RecordingPlugin source(5), target(5);
  EXPECT_EQ(source.GetParam(5), nullptr);
  EXPECT_EQ(source.GetParam(-1), nullptr);
  for (int i = 0; i < 5; ++i)
    source.GetParam(i)->Set(90.0 - 7.5 * i);
  IByteChunk chunk;
  chunk.AppendString("prefix");
  const int start = chunk.ByteCount();
  plug::IPluginBase& base = source;
  ASSERT_TRUE(base.SerializeState(chunk));
  ASSERT_EQ(chunk.ByteCount(), start + 40);
  double written[5] = {};
  EXPECT_EQ(chunk.ReadBytes(written, 40, start), start + 40);
  EXPECT_EQ(std::vector<double>(written, written + 5), source.Values());

  plug::IPluginBase& into = target;
  EXPECT_EQ(into.UnserializeState(chunk, start), start + 40);
  EXPECT_EQ(target.Values(), source.Values());
  target.ExpectResetCalls(plug::kPresetRecall);
}

TEST(PluginBaseUnserialize, ValuesAreConstrainedAndAShortChunkSetsWhatIsThereAndStillResets)
{
  RecordingPlugin plugin(18);
  IByteChunk chunk;
  for (double v : {250.0, -3.0, std::nan(""), 33.3})
    chunk.AppendValue(v);
  chunk.AppendValue(int32_t(0)); // a stub of a fifth value
  EXPECT_EQ(plugin.UnserializeParams(chunk, 0), -1);
  // NaN gives the default; step 0.5 without the stepped flag keeps 33.3; the rest keep theirs.
  std::vector<double> want{100.0, 0.0, 12.0, 33.3};
  for (int i = 4; i < 18; ++i)
    want.push_back(10.0 + i);
  EXPECT_EQ(plugin.Values(), want);
  plugin.ExpectResetCalls(plug::kPresetRecall);
}

TEST(PluginBaseUnserialize, NegativeStartOrNoParametersReadNothing)
{
  RecordingPlugin plugin(2), none(0);
  IByteChunk chunk;
  chunk.AppendValue(1.0);
  chunk.AppendValue(2.0);
  EXPECT_EQ(plugin.UnserializeParams(chunk, -1), -1);
  EXPECT_EQ(plugin.Values(), (std::vector<double>{10.0, 11.0}));
  plugin.ExpectResetCalls(plug::kPresetRecall);

  IByteChunk empty;
  EXPECT_TRUE(none.SerializeParams(empty));
  EXPECT_EQ(empty.ByteCount(), 0);
  EXPECT_EQ(none.UnserializeParams(chunk, 8), 8);
  EXPECT_TRUE(none.calls.empty());
}
