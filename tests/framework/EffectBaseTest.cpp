// The default state form: a bare list of parameter doubles, and the reset notifications.
#include "framework/IEffectBase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

using namespace plug;

namespace
{

using Call = std::tuple<char, int, EParamSource, int>;

// A plug-in with n parameters 0..100 (each default 10 + i) that records its notifications.
class RecordingPlugin : public IEffectBase
{
public:
  explicit RecordingPlugin(int n)
    : IEffectBase(
          [n]
          {
            Config config;
            config.nParams = n;
            return config;
          }())
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

  std::vector<double> Values() const
  {
    std::vector<double> values;
    for (int i = 0; i < NParams(); ++i)
      values.push_back(GetParam(i)->Value());
    return values;
  }

  // What a preset recall reports: every parameter in order, to the plug-in and then its editor.
  std::vector<Call> ResetCalls() const
  {
    std::vector<Call> want;
    for (int i = 0; i < NParams(); ++i)
      want.insert(want.end(), {{'C', i, kPresetRecall, -1}, {'U', i, kPresetRecall, 0}});
    return want;
  }

  std::vector<Call> calls;
};

} // namespace

TEST(PluginBaseSerialize, WritesDoublesInIndexOrderAndRoundTripsThroughTheStateOperations)
{
  RecordingPlugin source(5), target(5);
  for (int i = 0; i < 5; ++i)
    source.GetParam(i)->Set(90.0 - 7.5 * i);
  IByteChunk chunk;
  chunk.AppendString("prefix");
  const int start = chunk.ByteCount();
  ASSERT_TRUE(static_cast<IEffectBase&>(source).SerializeState(chunk));
  ASSERT_EQ(chunk.ByteCount(), start + 40);
  double written[5] = {};
  EXPECT_EQ(chunk.ReadBytes(written, 40, start), start + 40);
  EXPECT_EQ(std::vector<double>(written, written + 5), source.Values());

  EXPECT_EQ(static_cast<IEffectBase&>(target).UnserializeState(chunk, start), start + 40);
  EXPECT_EQ(target.Values(), source.Values());
  EXPECT_EQ(target.calls, target.ResetCalls());
}

TEST(PluginBaseUnserialize, PartialReadsSetWhatIsThereConstrainedAndStillReset)
{
  RecordingPlugin plugin(18), early(2), none(0);
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
  EXPECT_EQ(plugin.calls, plugin.ResetCalls());

  EXPECT_EQ(early.UnserializeParams(chunk, -1), -1);
  EXPECT_EQ(early.Values(), (std::vector<double>{10.0, 11.0}));
  EXPECT_EQ(early.calls, early.ResetCalls());

  IByteChunk empty;
  EXPECT_TRUE(none.SerializeParams(empty));
  EXPECT_EQ(empty.ByteCount(), 0);
  EXPECT_EQ(none.UnserializeParams(chunk, 8), 8);
  EXPECT_TRUE(none.calls.empty());
}
