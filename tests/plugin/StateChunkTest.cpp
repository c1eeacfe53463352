// The state chunk: its layout, and how each damaged or older form is read.
#include "plugin/StateTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <tuple>

using namespace ostratapedelay::plugin;
using ostra::test::ChunkWriter;
using ostra::test::paramValues;
using ostra::test::sampleValues;

namespace
{

constexpr int kValuesEnd = 32 + 8 * 18; // after the values of a chunk with an empty name

class StateChunk : public ::testing::Test
{
protected:
  std::unique_ptr<OstraTapeDelay> plugin = std::make_unique<OstraTapeDelay>();

  std::vector<double> values() const { return paramValues(*plugin); }
  int read(const ChunkWriter& w, int pos = 0) { return plugin->UnserializeState(w.chunk(), pos); }

  plug::IByteChunk save() const
  {
    plug::IByteChunk chunk;
    EXPECT_TRUE(plugin->SerializeState(chunk));
    return chunk;
  }

  /** A version-3 chunk with every field chosen by the test. */
  static ChunkWriter full(const std::string& name, const std::vector<double>& v,
                          std::uint32_t modified, std::int32_t inputMode, std::uint32_t factory,
                          std::uint32_t accent = 3, std::int32_t width = 1500,
                          std::int32_t height = 684)
  {
    return ChunkWriter{}
        .header(3, accent, width, height, name)
        .values(modified, v)
        .tail(inputMode, factory);
  }
};

TEST_F(StateChunk, FreshPluginWritesTheVersionThreeLayout)
{
  const auto chunk = save();
  ASSERT_EQ(chunk.ByteCount(), 196);
  const unsigned char start[] = {'1', 'S', 'T', 'O', 3, 0, 0, 0};
  EXPECT_EQ(std::memcmp(chunk.Bytes(), start, sizeof start), 0);
  // Accent 5 ("DAW color"), 1000 x 456, empty name, not modified, 18 values.
  const auto expected =
      ChunkWriter{}.header(3, 5, 1000, 456, "").values(0, paramValues(*plugin, true)).tail(0, 0);
  EXPECT_TRUE(chunk.IsEqual(expected.chunk()));
}

TEST_F(StateChunk, EveryFieldSurvivesAReadAndAWrite)
{
  const std::string name = "Tape Room \xC3\xA9";
  const auto written = full(name, sampleValues(), 1, 2, 1);
  // The last bypass word is never read, so the reading ends four bytes before the chunk.
  ASSERT_EQ(read(written), written.size() - 4);
  EXPECT_EQ(values(), sampleValues());
  // Name, factory flag, modified mark, accent, input mode, and the size the closed editor takes
  // over.
  EXPECT_EQ(std::tuple(plugin->presetName(), plugin->presetIsFactory(), plugin->presetModified(),
                       plugin->accentIndex(), plugin->inputMode()),
            std::tuple(name, true, true, 3u, 2));
  EXPECT_EQ(std::tuple(plugin->storedEditorWidth(), plugin->storedEditorHeight(),
                       plugin->GetEditorWidth(), plugin->GetEditorHeight()),
            std::tuple(1500, 684, 1500, 684));
  EXPECT_TRUE(save().IsEqual(written.chunk()));
  plugin->OnIdle(); // the idle tick takes a new snapshot, which keeps the restored mark
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());
  EXPECT_TRUE(save().IsEqual(written.chunk()));
}

TEST_F(StateChunk, ShorterTailsRestoreLessAndReturnWhereTheyStopped)
{
  const int tail = kValuesEnd + 4; // names of four bytes below
  plugin->setInputMode(OstraTapeDelay::kInputStereo);

  // Version 2, as the factory presets are: input mode read, factory flag false.
  ASSERT_EQ(read(ChunkWriter{}
                     .header(2, 1, 1000, 456, "Two!")
                     .values(0, sampleValues())
                     .word(0)
                     .i32(2)
                     .word(0)),
            tail + 8);
  EXPECT_EQ(values(), sampleValues());
  EXPECT_EQ(std::tuple(plugin->inputMode(), plugin->presetIsFactory(), plugin->presetName()),
            std::tuple(2, false, "Two!"));

  // Version 3 ending after the values: input mode unchanged, factory flag false.
  ASSERT_EQ(read(full("Fact", sampleValues(), 0, 0, 1)), tail + 16);
  ASSERT_TRUE(plugin->presetIsFactory());
  plugin->setInputMode(OstraTapeDelay::kInputStereo);
  const auto bare =
      ChunkWriter{}.header(3, 1, 1000, 456, "Bare").values(0, paramValues(*plugin, true));
  EXPECT_EQ(read(bare), tail);
  EXPECT_EQ(std::pair(plugin->inputMode(), plugin->presetIsFactory()), std::pair(1, false));

  // A later version reads the version-3 tail with the input mode clamped.
  read(ChunkWriter{}
           .header(9, 1, 1000, 456, "Bare")
           .values(0, paramValues(*plugin, true))
           .tail(77, 1));
  EXPECT_EQ(plugin->inputMode(), 2);
}

TEST_F(StateChunk, ParameterCountsOtherThanEighteen)
{
  // Twenty: the extra two are skipped.
  auto twenty = sampleValues();
  twenty.insert(twenty.end(), {1e9, -1e9});
  const auto w = ChunkWriter{}.header(3, 0, 1000, 456, "").values(0, twenty).tail(0, 0);
  EXPECT_EQ(read(w), 208);
  EXPECT_EQ(values(), sampleValues());

  // Ten: the rest return to their defaults.
  const auto sample = sampleValues();
  const auto defaults = paramValues(*plugin, true);
  const std::vector<double> ten(sample.begin(), sample.begin() + 10);
  EXPECT_EQ(read(ChunkWriter{}.header(3, 0, 1000, 456, "").values(0, ten).tail(0, 0)),
            32 + 80 + 16);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(values()[size_t(i)], i < 10 ? sample[size_t(i)] : defaults[size_t(i)]) << i;

  // Seventeen of eighteen fails, after resetting what is missing; the name stays.
  ASSERT_GT(read(full("Before", sample, 0, 0, 0)), 0);
  std::vector<double> seventeen(sample.begin(), sample.end() - 1);
  seventeen[0] = 0.0;
  auto cut = ChunkWriter{}.header(3, 2, 1000, 456, "After").values(0, seventeen, 18);
  EXPECT_EQ(read(cut), -1);
  EXPECT_EQ(std::tuple(values()[kBypass], values()[kDuckRelease], values()[kMix]),
            std::tuple(0.0, 900.0, 100.0));
  EXPECT_EQ(plugin->presetName(), "Before");
  // Half a value is as good as none; a count far beyond the bytes fails the same way.
  EXPECT_EQ(read(cut.bytes("1234")), -1);
  EXPECT_EQ(read(ChunkWriter{}.header(3, 2, 1000, 456, "Huge").values(0, sample, 0x7fffffff)), -1);
  EXPECT_EQ(plugin->presetName(), "Before");
}

TEST_F(StateChunk, OutOfRangeFieldsAreConstrainedNotRefused)
{
  std::vector<double> wild(18, 1e300);
  wild[1] = -5.0;
  wild[3] = 4.6; // a note index rounds to 5
  wild[7] = std::numeric_limits<double>::quiet_NaN();
  const auto w = full("Wild", wild, 0, 0, 0, 7, 1200, 456);
  ASSERT_EQ(read(w), w.size() - 4);
  EXPECT_EQ(std::tuple(plugin->accentIndex(), plugin->storedEditorWidth(),
                       plugin->storedEditorHeight(), plugin->GetEditorWidth()),
            std::tuple(0u, 1000, 456, 1000));
  EXPECT_TRUE(plugin->takeAccentChanged());
  // Time L -5 and Note L 4.6 constrained, Feedback NaN back to its default, Mix 1e300 at the top.
  const auto v = values();
  EXPECT_EQ(std::tuple(v[kTimeL], v[kNoteL], v[kFeedback], v[kMix]),
            std::tuple(1.0, 5.0, 30.0, 100.0));

  // The window keeps inside its limits; a non-positive size leaves it alone, and sizes near
  // the int range neither wrap nor slip through as a small window.
  const int sizes[][4] = {{0, 456, 1000, 456}, {2000000000, 912000000, 2000, 912}};
  for (auto [width, height, expectW, expectH] : sizes)
  {
    ASSERT_GT(read(full("", paramValues(*plugin, true), 0, 0, 0, 0, width, height)), 0) << width;
    EXPECT_EQ(std::tuple(plugin->GetEditorWidth(), plugin->GetEditorHeight(),
                         plugin->storedEditorWidth(), plugin->storedEditorHeight()),
              std::tuple(expectW, expectH, width, height));
  }
}

TEST_F(StateChunk, NamesEndAtTheirFirstZeroByteAndReadingStartsAtTheGivenPosition)
{
  const auto zero =
      ChunkWriter{}.header(3, 0, 1000, 456, std::string("ab\0c", 4)).values(0, sampleValues());
  EXPECT_EQ(read(zero), kValuesEnd + 4); // the name's four bytes count
  EXPECT_EQ(plugin->presetName(), "ab");
  EXPECT_EQ(values(), sampleValues());

  // A negative length counts as an empty name and takes no bytes.
  ASSERT_GT(read(full("x", sampleValues(), 0, 0, 0)), 0);
  const auto negative =
      ChunkWriter{}.bytes("1STO").i32(3).word(0).i32(1000).i32(456).i32(-5).values(0,
                                                                                   sampleValues());
  EXPECT_EQ(read(negative), kValuesEnd);
  EXPECT_EQ(plugin->presetName(), "");

  const auto w = full("Offset", sampleValues(), 0, 1, 0);
  EXPECT_EQ(read(ChunkWriter{}.bytes("0123456789").bytes(w.data), 10), 10 + w.size() - 4);
  EXPECT_EQ(plugin->presetName(), "Offset");
}

TEST_F(StateChunk, WithoutMagicOrWithACutHeaderTheChunkIsABareParameterList)
{
  ASSERT_GT(read(full("Kept", sampleValues(), 1, 0, 0)), 0);

  // The framework's own form: eighteen doubles, and only the values belong to it.
  OstraTapeDelay other;
  other.GetParam(kTimeL)->Set(123.4);
  plug::IByteChunk list;
  ASSERT_TRUE(other.SerializeParams(list));
  EXPECT_EQ(plugin->UnserializeState(list, 0), 144);
  EXPECT_EQ(values(), paramValues(other));
  EXPECT_EQ(std::pair(plugin->presetName(), plugin->accentIndex()),
            std::pair(std::string("Kept"), 3u));

  // The magic with a header cut short is read from the start as doubles and fails for want
  // of bytes; a negative count reads the whole chunk as doubles; a name longer than the chunk
  // fails.
  const auto cut = ChunkWriter{}.bytes("1STO").i32(3).word(1).i32(1000).i32(456);
  EXPECT_EQ(read(cut), -1);
  EXPECT_EQ(read(ChunkWriter{}.header(3, 1, 1000, 456, "").values(0, sampleValues(), -1)), 144);
  EXPECT_EQ(read(ChunkWriter{cut}.i32(1000).bytes("short")), -1);
  // Negative start positions and the empty chunk.
  EXPECT_EQ(plugin->UnserializeState(list, -1), -1);
  EXPECT_EQ(plugin->UnserializeState(plug::IByteChunk{}, 0), -1);
  EXPECT_EQ(std::pair(plugin->presetName(), plugin->accentIndex()),
            std::pair(std::string("Kept"), 3u));
}

TEST_F(StateChunk, DamagedChunksNeverCrashTheReader)
{
  // Every prefix of a good chunk, and the same chunk with each byte flipped.
  const auto good = full("Damage", sampleValues(), 1, 2, 1);
  for (int n = 0; n <= good.size(); ++n)
    EXPECT_LE(read(ChunkWriter{good.data.substr(0, size_t(n))}), n);
  for (size_t i = 0; i < good.data.size(); ++i)
  {
    ChunkWriter flipped{good.data};
    flipped.data[i] = char(flipped.data[i] ^ 0xff);
    EXPECT_LE(read(flipped), good.size());
    for (int p = 0; p < kNumParams; ++p) // every value stays one its parameter could hold
      ASSERT_EQ(plugin->GetParam(p)->Constrain(values()[size_t(p)]), values()[size_t(p)])
          << i << " " << p;
  }
}

} // namespace
