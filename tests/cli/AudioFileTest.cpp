#include "cli/AudioFile.h"
#include "cli/CliError.h"
#include "cli/CliTestSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <limits>

namespace ostratapedelay::cli
{
namespace
{

using test::Planes;
using test::TempDir;

Planes ramp(int channels, int frames)
{
  Planes planes(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames)));
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < frames; ++i)
      planes[static_cast<size_t>(c)][static_cast<size_t>(i)] = (i % 200 - 100) / 128.0 * (c == 0 ? 1.0 : -0.5);
  return planes;
}

std::string errorOf(const std::function<void()>& f)
{
  try
  {
    f();
  }
  catch (const CliError& e)
  {
    return e.what();
  }
  return {};
}

TEST(AudioReader, ReadsMonoAndStereoInBlocks)
{
  TempDir dir;
  for (int channels : {1, 2})
  {
    const Planes written = ramp(channels, 10007);
    const std::string path = dir.file("in" + std::to_string(channels) + ".wav");
    test::writeRaw(path, written, 44100);

    AudioReader reader(path);
    EXPECT_EQ(reader.format().channels, channels);
    EXPECT_EQ(reader.format().sampleRate, 44100);
    EXPECT_EQ(reader.format().format, test::kFloatWav);
    EXPECT_EQ(reader.frames(), 10007);

    Planes got(static_cast<size_t>(channels));
    std::vector<std::vector<double>> block(2, std::vector<double>(1000));
    double* ptrs[2] = {block[0].data(), block[1].data()};
    int n;
    while ((n = reader.read(ptrs, 1000)) > 0)
      for (int c = 0; c < channels; ++c)
        got[static_cast<size_t>(c)].insert(got[static_cast<size_t>(c)].end(), block[static_cast<size_t>(c)].begin(),
                                           block[static_cast<size_t>(c)].begin() + n);
    ASSERT_EQ(got[0].size(), 10007u);
    for (int c = 0; c < channels; ++c)
      for (size_t i = 0; i < got[0].size(); i += 97)
        EXPECT_EQ(got[static_cast<size_t>(c)][i], static_cast<double>(static_cast<float>(written[static_cast<size_t>(c)][i])));
  }
}

TEST(AudioReader, RefusesWhatItCannotUseNamingTheFile)
{
  TempDir dir;
  const std::string missing = dir.file("missing.wav");
  EXPECT_NE(errorOf([&] { AudioReader r(missing); }).find(missing), std::string::npos);

  const std::string text = dir.file("notes.wav");
  test::writeText(text, "this is not a sound file, whatever its name says\n");
  const std::string textError = errorOf([&] { AudioReader r(text); });
  EXPECT_NE(textError.find(text), std::string::npos);

  const std::string truncated = dir.file("truncated.wav");
  test::writeText(truncated, "RIFF\x24\x00\x00\x00WAVEfmt ");
  EXPECT_NE(errorOf([&] { AudioReader r(truncated); }).find(truncated), std::string::npos);

  const std::string surround = dir.file("three.wav");
  test::writeRaw(surround, ramp(3, 100), 48000);
  const std::string surroundError = errorOf([&] { AudioReader r(surround); });
  EXPECT_NE(surroundError.find(surround), std::string::npos);
  EXPECT_NE(surroundError.find("3 channels"), std::string::npos);
}

TEST(OutputFormat, FollowsTheExtensionAndKeepsTheInputsEncodingWherePossible)
{
  const int floatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  const int pcm16Flac = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  const int pcm24Aiff = SF_FORMAT_AIFF | SF_FORMAT_PCM_24;

  EXPECT_EQ(outputFormatFor("out.wav", floatWav, 2, 48000), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(outputFormatFor("OUT.WAV", pcm24Aiff, 1, 44100), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_EQ(outputFormatFor("out.wav", pcm16Flac, 2, 48000), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  // FLAC holds no floats: the best integer encoding it takes.
  EXPECT_EQ(outputFormatFor("out.flac", floatWav, 2, 48000), SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  EXPECT_EQ(outputFormatFor("dir.v2/out.aiff", pcm16Flac, 2, 48000), SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
  // No or an unknown extension: the input's type.
  EXPECT_EQ(outputFormatFor("dir.wav/out", pcm16Flac, 2, 96000), pcm16Flac);
  EXPECT_EQ(outputFormatFor("out.xyz", pcm24Aiff, 2, 96000), pcm24Aiff);
}

TEST(AtomicAudioWriter, CommitWritesTheFileAndLeavesNoTemporary)
{
  TempDir dir;
  const std::string path = dir.file("out.wav");
  const Planes planes = ramp(2, 5000);
  writeAudioFile(path, {test::kFloatWav, 2, 48000}, planes);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.wav"});

  SF_INFO info{};
  const Planes back = test::readRaw(path, &info);
  EXPECT_EQ(info.format, test::kFloatWav);
  EXPECT_EQ(info.samplerate, 48000);
  ASSERT_EQ(back[1].size(), 5000u);
  EXPECT_EQ(back[1][123], static_cast<double>(static_cast<float>(planes[1][123])));

  // An ordinary file's permissions, not the temporary file's owner-only ones.
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0044, 0u);
}

TEST(AtomicAudioWriter, AnAbandonedWriteLeavesTheExistingFileIntact)
{
  TempDir dir;
  const std::string path = dir.file("out.wav");
  test::writeText(path, "precious");
  {
    AtomicAudioWriter writer(path, {test::kFloatWav, 1, 48000});
    const Planes planes = ramp(1, 1000);
    const double* p[] = {planes[0].data()};
    writer.write(p, 1000);
    EXPECT_FALSE(writer.temporaryPath().empty());
    EXPECT_EQ(dir.entries().size(), 2u);
  }
  EXPECT_EQ(test::readText(path), "precious");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.wav"});
}

TEST(AtomicAudioWriter, AFailedRenameReportsTheTargetAndCleansUp)
{
  TempDir dir;
  // A directory in the way: the rename over it fails after all audio was written.
  const std::string path = dir.file("taken");
  std::filesystem::create_directory(path);
  test::writeText(dir.file("taken/inside"), "keep");
  AtomicAudioWriter writer(path, {test::kFloatWav, 1, 48000});
  const std::string error = errorOf([&] { writer.commit(); });
  EXPECT_NE(error.find(path), std::string::npos);
  EXPECT_EQ(test::readText(dir.file("taken/inside")), "keep");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"taken"});
}

TEST(AtomicAudioWriter, RefusesUnwritablePlacesAndFormats)
{
  TempDir dir;
  const std::string noDir = dir.file("no/such/dir/out.wav");
  EXPECT_NE(errorOf([&] { AtomicAudioWriter w(noDir, {test::kFloatWav, 1, 48000}); }).find(noDir),
            std::string::npos);
  // FLAC takes at most 8 channels and no floats.
  EXPECT_FALSE(errorOf([&] { AtomicAudioWriter w(dir.file("x.flac"), {SF_FORMAT_FLAC | SF_FORMAT_FLOAT, 2, 48000}); })
                   .empty());
  EXPECT_TRUE(dir.entries().empty());
}

TEST(AtomicAudioWriter, NonFiniteSamplesBecomeSilenceAndAreCounted)
{
  TempDir dir;
  const std::string path = dir.file("out.wav");
  std::vector<double> samples = {0.5, std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(), -0.25};
  AtomicAudioWriter writer(path, {test::kFloatWav, 1, 48000});
  const double* p[] = {samples.data()};
  writer.write(p, 4);
  EXPECT_EQ(writer.nonFiniteSamples(), 2);
  writer.commit();
  const Planes back = test::readRaw(path);
  EXPECT_EQ(back[0], (std::vector<double>{0.5, 0.0, 0.0, -0.25}));
}

TEST(AtomicAudioWriter, IntegerOutputClipsInsteadOfWrapping)
{
  TempDir dir;
  const std::string path = dir.file("loud.wav");
  writeAudioFile(path, {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000}, {{1.7, -2.0, 0.5}});
  const Planes back = test::readRaw(path);
  EXPECT_GT(back[0][0], 0.99);
  EXPECT_LT(back[0][1], -0.99);
  EXPECT_NEAR(back[0][2], 0.5, 1e-4);
}

} // namespace
} // namespace ostratapedelay::cli
