#include "plugin/StateTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace ostratapedelay::plugin;
using ostra::test::ChunkWriter;
using ostra::test::defaultValues;
using ostra::test::sampleValues;

namespace
{

class StateChunk : public ::testing::Test
{
protected:
  std::unique_ptr<OstraTapeDelay> plugin = std::make_unique<OstraTapeDelay>();

  std::vector<double> values() const
  {
    std::vector<double> v;
    for (int i = 0; i < kNumParams; ++i)
      v.push_back(plugin->GetParam(i)->Value());
    return v;
  }

  plug::IByteChunk save() const
  {
    plug::IByteChunk chunk;
    EXPECT_TRUE(plugin->SerializeState(chunk));
    return chunk;
  }

  template <typename T>
  static T at(const plug::IByteChunk& chunk, int pos)
  {
    T v{};
    EXPECT_GE(chunk.ReadValue(v, pos), 0) << "no value at " << pos;
    return v;
  }

  // A version-3 chunk with every field chosen by the test.
  static ChunkWriter full(const std::string& name, const std::vector<double>& v, std::uint32_t modified,
                          std::int32_t inputMode, std::uint32_t factory, std::uint32_t accent = 3,
                          std::int32_t width = 1500, std::int32_t height = 684)
  {
    ChunkWriter w;
    w.header(3, accent, width, height, name).values(modified, v);
    w.word(0).i32(inputMode).word(0).word(factory).word(0);
    return w;
  }
};

TEST_F(StateChunk, FreshPluginWritesTheVersionThreeLayout)
{
  const auto chunk = save();
  ASSERT_EQ(chunk.ByteCount(), 196);
  const unsigned char start[] = {'1', 'S', 'T', 'O', 3, 0, 0, 0};
  EXPECT_EQ(std::memcmp(chunk.Bytes(), start, sizeof start), 0);
  EXPECT_EQ(at<std::uint32_t>(chunk, 8), 5u); // "DAW color" until something chooses another
  EXPECT_EQ(at<std::int32_t>(chunk, 12), 1000);
  EXPECT_EQ(at<std::int32_t>(chunk, 16), 456);
  EXPECT_EQ(at<std::int32_t>(chunk, 20), 0);  // empty name
  EXPECT_EQ(at<std::uint32_t>(chunk, 24), 0u); // not modified
  EXPECT_EQ(at<std::int32_t>(chunk, 28), 18);
  const auto defaults = defaultValues(*plugin);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(at<double>(chunk, 32 + 8 * i), defaults[static_cast<size_t>(i)]) << "parameter " << i;
  for (int word = 0; word < 5; ++word)
    EXPECT_EQ(at<std::uint32_t>(chunk, 176 + 4 * word), 0u) << "tail word " << word;
}

TEST_F(StateChunk, WriterCarriesBypassInputModeAndFactoryFlagInTheTail)
{
  plugin->SetBypassed(true);
  plugin->setInputMode(OstraTapeDelay::kInputLeftOnly);
  plugin->loadFactoryPreset("Ping and pong");
  const auto chunk = save();
  const int tail = 32 + 13 + 8 * 18;
  ASSERT_EQ(chunk.ByteCount(), tail + 20);
  EXPECT_EQ(at<std::uint32_t>(chunk, tail), 1u);
  EXPECT_EQ(at<std::int32_t>(chunk, tail + 4), 2);
  EXPECT_EQ(at<std::uint32_t>(chunk, tail + 8), 1u);
  EXPECT_EQ(at<std::uint32_t>(chunk, tail + 12), 1u);
  EXPECT_EQ(at<std::uint32_t>(chunk, tail + 16), 1u);
}

TEST_F(StateChunk, EveryFieldSurvivesAWriteAndARead)
{
  const auto written = full("Tape Room \xC3\xA9", sampleValues(), 1, 2, 1);
  // The last bypass word is never read, so the reading ends four bytes before the chunk.
  ASSERT_EQ(plugin->UnserializeState(written.chunk, 0), written.size() - 4);
  EXPECT_EQ(values(), sampleValues());
  EXPECT_EQ(plugin->presetName(), "Tape Room \xC3\xA9");
  EXPECT_TRUE(plugin->presetIsFactory());
  EXPECT_TRUE(plugin->presetModified());
  EXPECT_EQ(plugin->accentIndex(), 3u);
  EXPECT_EQ(plugin->storedEditorWidth(), 1500);
  EXPECT_EQ(plugin->storedEditorHeight(), 684);
  EXPECT_EQ(plugin->GetEditorWidth(), 1500); // the closed editor takes the size over
  EXPECT_EQ(plugin->GetEditorHeight(), 684);
  EXPECT_EQ(plugin->inputMode(), 2);

  // Written again, the chunk is the same bytes; read into a second plug-in, the same state.
  const auto again = save();
  ASSERT_TRUE(again.IsEqual(written.chunk));
  OstraTapeDelay other;
  ASSERT_EQ(other.UnserializeState(again, 0), again.ByteCount() - 4);
  plug::IByteChunk third;
  ASSERT_TRUE(other.SerializeState(third));
  EXPECT_TRUE(third.IsEqual(again));

  // The other setting of each flag survives as well.
  const auto clean = full("", defaultValues(*plugin), 0, 1, 0, 0, 1000, 456);
  ASSERT_EQ(plugin->UnserializeState(clean.chunk, 0), clean.size() - 4);
  EXPECT_TRUE(save().IsEqual(clean.chunk));
  EXPECT_FALSE(plugin->presetIsFactory());
  EXPECT_FALSE(plugin->presetModified());
  EXPECT_EQ(plugin->inputMode(), 1);
}

TEST_F(StateChunk, ValuesSetByTheHostRoundTrip)
{
  const auto v = sampleValues();
  for (int i = 0; i < kNumParams; ++i)
    plugin->SetParameterFromHost(i, v[static_cast<size_t>(i)], 0);
  const auto chunk = save();
  OstraTapeDelay other;
  ASSERT_EQ(other.UnserializeState(chunk, 0), 192);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(other.GetParam(i)->Value(), v[static_cast<size_t>(i)]) << "parameter " << i;
}

TEST_F(StateChunk, ShorterTailsRestoreLessAndReturnWhereTheyStopped)
{
  const int tail = 32 + 4 + 8 * 18;
  plugin->setInputMode(OstraTapeDelay::kInputStereo);

  // Version 2, as the factory presets are: input mode read, factory flag false.
  ChunkWriter v2;
  v2.header(2, 1, 1000, 456, "Two!").values(0, sampleValues()).word(0).i32(2).word(0);
  EXPECT_EQ(plugin->UnserializeState(v2.chunk, 0), tail + 8);
  EXPECT_EQ(values(), sampleValues());
  EXPECT_EQ(plugin->inputMode(), 2);
  EXPECT_FALSE(plugin->presetIsFactory());
  EXPECT_EQ(plugin->presetName(), "Two!");

  // Version 3 ending after the values: input mode unchanged, factory flag false.
  const auto factory = full("Fact", sampleValues(), 0, 0, 1);
  ASSERT_EQ(plugin->UnserializeState(factory.chunk, 0), tail + 16);
  ASSERT_TRUE(plugin->presetIsFactory());
  plugin->setInputMode(OstraTapeDelay::kInputStereo);
  ChunkWriter bare;
  bare.header(3, 1, 1000, 456, "Bare").values(0, defaultValues(*plugin));
  EXPECT_EQ(plugin->UnserializeState(bare.chunk, 0), tail);
  EXPECT_EQ(plugin->inputMode(), 1);
  EXPECT_FALSE(plugin->presetIsFactory());

  // Version 3 with a tail of three words: only the input mode counts. With a fourth word
  // the factory flag is there too, though the last bypass word is missing.
  auto partial = bare;
  partial.word(0).i32(2).word(0);
  EXPECT_EQ(plugin->UnserializeState(partial.chunk, 0), tail + 8);
  EXPECT_EQ(plugin->inputMode(), 2);
  EXPECT_FALSE(plugin->presetIsFactory());
  partial.word(1);
  EXPECT_EQ(plugin->UnserializeState(partial.chunk, 0), tail + 16);
  EXPECT_TRUE(plugin->presetIsFactory());
  partial.bytes("xy"); // nor does a stray half word after it
  EXPECT_EQ(plugin->UnserializeState(partial.chunk, 0), tail + 16);

  // Version 1 ignores a tail it does not know.
  ChunkWriter v1;
  v1.header(1, 1, 1000, 456, "Bare").values(0, defaultValues(*plugin)).word(0).i32(0).word(0).word(1).word(0);
  EXPECT_EQ(plugin->UnserializeState(v1.chunk, 0), tail);
  EXPECT_EQ(plugin->inputMode(), 2);

  // A later version reads the version-3 tail; the input mode word is clamped.
  ChunkWriter v9;
  v9.header(9, 1, 1000, 456, "Bare").values(0, defaultValues(*plugin)).word(0).i32(-4).word(0).word(7).word(0);
  EXPECT_EQ(plugin->UnserializeState(v9.chunk, 0), tail + 16);
  EXPECT_EQ(plugin->inputMode(), 0);
  EXPECT_TRUE(plugin->presetIsFactory());
  v9 = ChunkWriter{};
  v9.header(9, 1, 1000, 456, "Bare").values(0, defaultValues(*plugin)).word(0).i32(77).word(0).word(0).word(0);
  plugin->UnserializeState(v9.chunk, 0);
  EXPECT_EQ(plugin->inputMode(), 2);
}

TEST_F(StateChunk, ParameterCountsOtherThanEighteen)
{
  auto twenty = sampleValues();
  twenty.push_back(1e9);
  twenty.push_back(-1e9);
  ChunkWriter w;
  w.header(3, 0, 1000, 456, "").values(0, twenty).word(0).i32(0).word(0).word(0).word(0);
  EXPECT_EQ(w.size(), 212);
  EXPECT_EQ(plugin->UnserializeState(w.chunk, 0), 208);
  EXPECT_EQ(values(), sampleValues());

  const auto sample = sampleValues();
  std::vector<double> ten(sample.begin(), sample.begin() + 10);
  ChunkWriter shortList;
  shortList.header(3, 0, 1000, 456, "").values(0, ten).word(0).i32(0).word(0).word(0).word(0);
  EXPECT_EQ(plugin->UnserializeState(shortList.chunk, 0), 32 + 80 + 16);
  const auto defaults = defaultValues(*plugin);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(plugin->GetParam(i)->Value(), i < 10 ? sampleValues()[size_t(i)] : defaults[size_t(i)]) << i;

  // No values at all: everything back at its default.
  ChunkWriter none;
  none.header(3, 0, 1000, 456, "").values(0, {});
  EXPECT_EQ(plugin->UnserializeState(none.chunk, 0), 32);
  EXPECT_EQ(values(), defaults);
}

TEST_F(StateChunk, ValuesCutShortFailAfterResettingTheRest)
{
  ASSERT_GT(plugin->UnserializeState(full("Before", sampleValues(), 0, 0, 0).chunk, 0), 0);
  const auto sample = sampleValues();
  std::vector<double> seventeen(sample.begin(), sample.end() - 1);
  seventeen[0] = 0.0;
  ChunkWriter w;
  w.header(3, 2, 1000, 456, "After").values(0, seventeen, 18);
  EXPECT_EQ(plugin->UnserializeState(w.chunk, 0), -1);
  EXPECT_EQ(plugin->GetParam(kMix)->Value(), plugin->GetParam(kMix)->GetDefault());
  EXPECT_EQ(plugin->GetParam(kBypass)->Value(), 0.0);
  EXPECT_EQ(plugin->GetParam(kDuckRelease)->Value(), 900.0);
  EXPECT_EQ(plugin->presetName(), "Before");

  // Half a value is as good as none; a count far beyond the bytes fails the same way.
  auto half = w;
  half.bytes("1234");
  EXPECT_EQ(plugin->UnserializeState(half.chunk, 0), -1);
  ChunkWriter huge;
  huge.header(3, 2, 1000, 456, "Huge").values(0, sampleValues(), 0x7fffffff);
  EXPECT_EQ(plugin->UnserializeState(huge.chunk, 0), -1);
  EXPECT_EQ(plugin->presetName(), "Before");
}

TEST_F(StateChunk, OutOfRangeFieldsAreConstrainedNotRefused)
{
  std::vector<double> wild(18, 1e300);
  wild[1] = -5.0;
  wild[3] = 4.6; // note index rounds to 5
  wild[7] = std::numeric_limits<double>::quiet_NaN();
  auto w = full("Wild", wild, 0, 0, 0, 7, 1200, 456);
  ASSERT_EQ(plugin->UnserializeState(w.chunk, 0), w.size() - 4);
  EXPECT_EQ(plugin->accentIndex(), 0u);
  EXPECT_TRUE(plugin->takeAccentChanged());
  EXPECT_EQ(plugin->storedEditorWidth(), 1000);
  EXPECT_EQ(plugin->storedEditorHeight(), 456);
  EXPECT_EQ(plugin->GetEditorWidth(), 1000);
  for (int i = 0; i < kNumParams; ++i)
  {
    const auto* p = plugin->GetParam(i);
    EXPECT_GE(p->Value(), p->GetMin()) << i;
    EXPECT_LE(p->Value(), p->GetMax()) << i;
  }
  EXPECT_EQ(plugin->GetParam(kTimeL)->Value(), 1.0);
  EXPECT_EQ(plugin->GetParam(kNoteL)->Value(), 5.0);
  EXPECT_EQ(plugin->GetParam(kFeedback)->Value(), plugin->GetParam(kFeedback)->GetDefault());
  EXPECT_EQ(plugin->GetParam(kMix)->Value(), 100.0);

  // The same accent again is no change.
  ASSERT_GT(plugin->UnserializeState(w.chunk, 0), 0);
  EXPECT_FALSE(plugin->takeAccentChanged());
}

TEST_F(StateChunk, EditorSizeIsKeptInsideTheWindowLimits)
{
  struct Case
  {
    int width, height, expectW, expectH;
  };
  // Right proportion but too large or too small; a non-positive size leaves the window alone.
  const Case cases[] = {{3000, 1368, 2000, 912}, {200, 91, 750, 342}, {1500, 684, 1500, 684}, {0, 456, 1500, 684},
                        {-1000, -456, 1500, 684}};
  for (const auto& c : cases)
  {
    auto w = full("", defaultValues(*plugin), 0, 0, 0, 0, c.width, c.height);
    ASSERT_GT(plugin->UnserializeState(w.chunk, 0), 0);
    EXPECT_EQ(plugin->GetEditorWidth(), c.expectW) << c.width << " x " << c.height;
    EXPECT_EQ(plugin->GetEditorHeight(), c.expectH) << c.width << " x " << c.height;
    EXPECT_EQ(plugin->storedEditorWidth(), c.width);
    EXPECT_EQ(plugin->storedEditorHeight(), c.height);
  }
  // Sizes near the int range neither wrap nor slip through as a small window.
  auto extreme = full("", defaultValues(*plugin), 0, 0, 0, 0, 2000000000, 912000000);
  ASSERT_GT(plugin->UnserializeState(extreme.chunk, 0), 0);
  EXPECT_EQ(plugin->GetEditorWidth(), 2000);
  EXPECT_EQ(plugin->GetEditorHeight(), 912);
}

TEST_F(StateChunk, NamesEndAtTheirFirstZeroByte)
{
  ChunkWriter w;
  w.header(3, 0, 1000, 456, std::string("ab\0c", 4)).values(0, sampleValues()).word(0).i32(0).word(0).word(0).word(0);
  EXPECT_EQ(plugin->UnserializeState(w.chunk, 0), 196); // the name's four bytes count
  EXPECT_EQ(plugin->presetName(), "ab");
  EXPECT_EQ(values(), sampleValues());

  ChunkWriter empty;
  empty.header(3, 0, 1000, 456, "").values(0, sampleValues());
  EXPECT_EQ(plugin->UnserializeState(empty.chunk, 0), 176);
  EXPECT_EQ(plugin->presetName(), "");

  // A negative length counts as an empty name and takes no bytes.
  ChunkWriter negative;
  negative.bytes("1STO").i32(3).word(0).i32(1000).i32(456).i32(-5).values(0, sampleValues());
  ASSERT_TRUE(plugin->UnserializeState(full("x", sampleValues(), 0, 0, 0).chunk, 0) > 0);
  EXPECT_EQ(plugin->UnserializeState(negative.chunk, 0), 176);
  EXPECT_EQ(plugin->presetName(), "");
}

TEST_F(StateChunk, BypassWordsAreNeverRestored)
{
  auto w = full("", sampleValues(), 0, 0, 0);
  // Overwrite the three bypass words with 1.
  ChunkWriter bypassed;
  bypassed.header(3, 3, 1500, 684, "").values(0, sampleValues()).word(1).i32(0).word(1).word(0).word(1);
  EXPECT_EQ(plugin->UnserializeState(bypassed.chunk, 0), bypassed.size() - 4);
  EXPECT_FALSE(plugin->GetBypassed());
  plugin->SetBypassed(true);
  EXPECT_EQ(plugin->UnserializeState(w.chunk, 0), w.size() - 4);
  EXPECT_TRUE(plugin->GetBypassed());
}

TEST_F(StateChunk, WithoutMagicOrWithACutHeaderTheChunkIsABareParameterList)
{
  ASSERT_GT(plugin->UnserializeState(full("Kept", sampleValues(), 1, 0, 0).chunk, 0), 0);
  const unsigned accent = plugin->accentIndex();

  // The framework's own form: eighteen doubles.
  plug::IByteChunk list;
  const auto defaults = defaultValues(*plugin);
  for (double v : defaults)
    list.AppendValue(v);
  EXPECT_EQ(plugin->UnserializeState(list, 0), 144);
  EXPECT_EQ(values(), defaults);
  EXPECT_EQ(plugin->presetName(), "Kept"); // only the values belong to that form
  EXPECT_EQ(plugin->accentIndex(), accent);

  // The magic followed by a header cut short: read from the start as doubles, which
  // fails for want of bytes after the first two values.
  ChunkWriter cut;
  cut.bytes("1STO").i32(3).word(1).i32(1000).i32(456);
  EXPECT_EQ(plugin->UnserializeState(cut.chunk, 0), -1);
  EXPECT_EQ(plugin->presetName(), "Kept");
  EXPECT_EQ(plugin->accentIndex(), accent);

  // A negative count: the whole chunk as doubles from its start.
  ChunkWriter negative;
  negative.header(3, 1, 1000, 456, "").values(0, sampleValues(), -1);
  EXPECT_EQ(plugin->UnserializeState(negative.chunk, 0), 144);
  EXPECT_EQ(plugin->presetName(), "Kept");

  // A name longer than the chunk.
  ChunkWriter longName;
  longName.bytes("1STO").i32(3).word(1).i32(1000).i32(456).i32(1000).bytes("short");
  EXPECT_EQ(plugin->UnserializeState(longName.chunk, 0), -1);

  // Negative or too late start positions, and the empty chunk.
  EXPECT_EQ(plugin->UnserializeState(list, -1), -1);
  EXPECT_EQ(plugin->UnserializeState(plug::IByteChunk{}, 0), -1);
  EXPECT_EQ(plugin->presetName(), "Kept");
}

TEST_F(StateChunk, ReadingStartsAtTheGivenPosition)
{
  const auto w = full("Offset", sampleValues(), 0, 1, 0);
  plug::IByteChunk chunk;
  chunk.AppendBytes("0123456789", 10);
  chunk.PutChunk(w.chunk);
  EXPECT_EQ(plugin->UnserializeState(chunk, 10), 10 + w.size() - 4);
  EXPECT_EQ(plugin->presetName(), "Offset");
  EXPECT_EQ(values(), sampleValues());
}

TEST_F(StateChunk, RestoredModifiedWordKeepsThePresetModified)
{
  ASSERT_GT(plugin->UnserializeState(full("Mod", sampleValues(), 1, 0, 0).chunk, 0), 0);
  EXPECT_TRUE(plugin->presetModified());
  plugin->OnIdle(); // takes the new snapshot
  EXPECT_TRUE(plugin->presetModified());
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());
  // The chunk written now says so too.
  EXPECT_EQ(at<std::uint32_t>(save(), 27), 1u);

  ASSERT_GT(plugin->UnserializeState(full("Mod", sampleValues(), 0, 0, 0).chunk, 0), 0);
  EXPECT_FALSE(plugin->presetModified());
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
  // After the restore, a change shows on the next tick.
  plugin->SetParameterFromHost(kFeedback, 10.0, 0);
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());
}

TEST_F(StateChunk, DamagedChunksNeverCrashTheReader)
{
  // Every prefix of a good chunk, and the same chunk with each byte flipped.
  const auto good = full("Damage", sampleValues(), 1, 2, 1);
  for (int n = 0; n <= good.size(); ++n)
  {
    plug::IByteChunk cut;
    cut.AppendBytes(good.chunk.Bytes(), n);
    const int result = plugin->UnserializeState(cut, 0);
    EXPECT_LE(result, n);
  }
  for (int i = 0; i < good.size(); ++i)
  {
    plug::IByteChunk flipped;
    flipped.PutChunk(good.chunk);
    flipped.Bytes()[i] ^= 0xff;
    const int result = plugin->UnserializeState(flipped, 0);
    EXPECT_LE(result, good.size());
    for (int p = 0; p < kNumParams; ++p)
    {
      const auto* param = plugin->GetParam(p);
      ASSERT_TRUE(param->Value() >= param->GetMin() && param->Value() <= param->GetMax()) << i << " " << p;
    }
  }
}

} // namespace
