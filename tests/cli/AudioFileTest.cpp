#include "cli/AudioFile.h"
#include "cli/CliTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <limits>

namespace ostratapedelay::cli
{
namespace
{

using namespace test;

TEST(AudioReader, RefusesWhatItCannotUseNamingTheFile)
{
  // Reading itself is checked by the renders, which must return their input unchanged at Mix 0 %.
  TempDir dir;
  writeText(dir.file("notes.wav"), "this is not a sound file, whatever its name says\n");
  writeText(dir.file("truncated.wav"), "RIFF\x24\x00\x00\x00WAVEfmt ");
  writeRaw(dir.file("three.wav"), noise(3, 100, 1), 48000);
  for (const char* name : {"missing.wav", "notes.wav", "truncated.wav", "three.wav"})
  {
    const std::string path = dir.file(name);
    EXPECT_TRUE(contains(errorOf([&] { AudioReader r(path); }), path)) << name;
  }
  EXPECT_TRUE(contains(errorOf([&] { AudioReader r(dir.file("three.wav")); }), "3 channels"));
}

TEST(AudioReader, RefusesAbsurdRatesAndNoticesAFileCutShort)
{
  TempDir dir;
  // A float WAV header: the rate at byte 24, bytes per second at byte 28.
  const auto withRate = [&](const std::string& name, std::uint32_t rate)
  {
    writeRaw(dir.file(name), noise(1, 100, 3), 48000);
    std::string bytes = readText(dir.file(name));
    const std::uint32_t perSecond = rate * 4;
    bytes.replace(24, 4, reinterpret_cast<const char*>(&rate), 4);
    bytes.replace(28, 4, reinterpret_cast<const char*>(&perSecond), 4);
    writeText(dir.file(name), bytes);
    return dir.file(name);
  };
  const std::string absurd = withRate("absurd.wav", 2147483647u);
  EXPECT_TRUE(contains(errorOf([&] { AudioReader r(absurd); }),
                       "'" + absurd +
                           "' states a sample rate of 2147483647 Hz; rates above "
                           "768000 Hz are not supported"));
  EXPECT_EQ(AudioReader(withRate("fastest.wav", 768000)).format().sampleRate, 768000);

  writeRaw(dir.file("whole.wav"), noise(2, 1000, 4), 48000);
  const std::string whole = readText(dir.file("whole.wav"));
  writeText(dir.file("cut.wav"), whole.substr(0, whole.size() - 4000));
  EXPECT_FALSE(AudioReader(dir.file("whole.wav")).endsEarly());
  const AudioReader cut(dir.file("cut.wav"));
  EXPECT_TRUE(cut.endsEarly());
  EXPECT_EQ(cut.frames(), 500); // what is there is read
}

TEST(OutputFormat, FollowsTheExtensionAndKeepsTheInputsEncodingWherePossible)
{
  const int pcm16Flac = SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
            pcm24Aiff = SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
  const struct
  {
    const char* path;
    int input, expected;
  } cases[] = {
      {"out.wav", kFloatWav, kFloatWav},
      {"OUT.WAV", pcm24Aiff, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
      {"out.wav", pcm16Flac, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"out.flac", kFloatWav, SF_FORMAT_FLAC | SF_FORMAT_PCM_24}, // FLAC holds no floats
      {"dir.v2/out.aiff", pcm16Flac, SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
      {"dir.wav/out", pcm16Flac, pcm16Flac}, // no or an unknown extension: the input's type
      {"out.xyz", pcm24Aiff, pcm24Aiff},
  };
  for (const auto& c : cases)
    EXPECT_EQ(outputFormatFor(c.path, c.input, 2, 48000), c.expected) << c.path;
}

TEST(AtomicAudioWriter, CommitReplacesTheFileAndAnAbandonedOrImpossibleWriteLeavesTheOldOne)
{
  TempDir dir;
  const std::string path = dir.file("out.wav");
  writeText(path, "precious");
  const Planes planes = noise(2, 1000, 2);
  const double* p[] = {planes[0].data(), planes[1].data()};
  {
    AtomicAudioWriter abandoned(path, {kFloatWav, 2, 48000});
    abandoned.write(p, 1000);
    EXPECT_EQ(dir.entries().size(), 2u); // the temporary beside the target
  }
  const std::string noDir = dir.file("no/such/dir/out.wav");
  EXPECT_TRUE(contains(errorOf([&] { AtomicAudioWriter w(noDir, {kFloatWav, 1, 48000}); }), noDir));
  EXPECT_NE(
      errorOf(
          [&] {
            AtomicAudioWriter w(dir.file("x.flac"), {SF_FORMAT_FLAC | SF_FORMAT_FLOAT, 2, 48000});
          }),
      "");
  EXPECT_EQ(readText(path), "precious");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.wav"});

  writeAudioFile(path, {kFloatWav, 2, 48000}, planes);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.wav"});
  SF_INFO info{};
  EXPECT_EQ(readRaw(path, &info)[1][123], static_cast<double>(static_cast<float>(planes[1][123])));
  EXPECT_EQ(info.format, kFloatWav);
  // An ordinary file's permissions, not the temporary file's owner-only ones.
  struct stat st
  {
  };
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0044, 0u);
}

TEST(AtomicAudioWriter, NonFiniteSamplesBecomeSilenceAndIntegerOutputClips)
{
  TempDir dir;
  const std::vector<double> samples = {0.5, std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::infinity(), -0.25};
  AtomicAudioWriter writer(dir.file("out.wav"), {kFloatWav, 1, 48000});
  const double* p[] = {samples.data()};
  writer.write(p, 4);
  EXPECT_EQ(writer.nonFiniteSamples(), 2);
  writer.commit();
  EXPECT_EQ(readRaw(dir.file("out.wav"))[0], (std::vector<double>{0.5, 0.0, 0.0, -0.25}));

  // Clipped, not wrapped round.
  writeAudioFile(dir.file("loud.wav"), {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000},
                 {{1.7, -2.0, 0.5}});
  const Planes back = readRaw(dir.file("loud.wav"));
  EXPECT_GT(back[0][0], 0.99);
  EXPECT_LT(back[0][1], -0.99);
  EXPECT_NEAR(back[0][2], 0.5, 1e-4);
}

} // namespace
} // namespace ostratapedelay::cli
