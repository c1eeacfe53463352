#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace ostratapedelay::cli
{

/** What a sound file holds: libsndfile's format code (major type | encoding), channel count
 *  and sample rate. */
struct AudioFormat
{
  int format = 0;
  int channels = 0;
  int sampleRate = 0;
};

/**
 * A mono or stereo sound file opened for reading in blocks of non-interleaved doubles
 * (integer encodings scaled to -1..1, float files as stored).
 *
 * Main thread only; not real-time safe (file I/O).
 */
class AudioReader
{
public:
  /** Highest sample rate taken; the plug-in runs no faster, and a header claiming more
   *  is damaged (the tail alone would run to billions of frames). */
  static constexpr int kMaxSampleRate = 768000;

  /** Throws CliError naming the file when it cannot be opened, is not a sound file
   *  libsndfile knows, has no channels or more than two, or has no sample rate in
   *  1..kMaxSampleRate. */
  explicit AudioReader(const std::string& path);
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  const AudioFormat& format() const { return mFormat; }
  /** Frames in the file as libsndfile counts them (of a cut file: the frames there). */
  std::int64_t frames() const { return mFrames; }
  /** The file ends before its header says: it was cut short (libsndfile reads what is
   *  there). */
  bool endsEarly() const { return mEndsEarly; }

  /** Reads up to maxFrames frames into planes[0..channels-1]; returns the frames read,
   *  0 at the end. Throws CliError on a read error. */
  int read(double* const* planes, int maxFrames);

private:
  std::string mPath;
  SNDFILE* mFile = nullptr;
  AudioFormat mFormat;
  std::int64_t mFrames = 0;
  bool mEndsEarly = false;
  std::vector<double> mInterleaved;
};

/**
 * Writes a sound file so that the target appears whole or not at all: the audio goes to a
 * temporary file beside the target, which commit() flushes to disk and renames over the
 * target. Until then an existing target is untouched; destroying an uncommitted writer
 * (an error, an interrupted render) removes the temporary file.
 *
 * Main thread only; not real-time safe.
 */
class AtomicAudioWriter
{
public:
  /** Throws CliError naming the target when the format cannot be written or the
   *  temporary file cannot be created. */
  AtomicAudioWriter(const std::string& path, const AudioFormat& format);
  ~AtomicAudioWriter();
  AtomicAudioWriter(const AtomicAudioWriter&) = delete;
  AtomicAudioWriter& operator=(const AtomicAudioWriter&) = delete;

  /** Appends frames from planes[0..channels-1]. Non-finite samples are written as 0 and
   *  counted. Throws CliError when the disk write fails. */
  void write(const double* const* planes, int frames);

  /** Closes, syncs and renames the file into place. Throws CliError on failure, in which
   *  case the temporary file is removed and the target is as it was. */
  void commit();

  /** Path of the temporary file (empty once committed or discarded). */
  const std::string& temporaryPath() const { return mTempPath; }
  /** Samples that were not finite and were written as 0. */
  std::int64_t nonFiniteSamples() const { return mNonFinite; }

private:
  void discard() noexcept;

  std::string mPath;
  std::string mTempPath;
  int mFd = -1;
  SNDFILE* mFile = nullptr;
  AudioFormat mFormat;
  std::vector<double> mInterleaved;
  std::int64_t mNonFinite = 0;
};

/**
 * The format to write outPath in, given the input's format: the major type from outPath's
 * extension (.wav, .flac, .aif/.aiff, .caf, .w64, .rf64, .ogg/.oga; the input's type for any
 * other), and the input's sample encoding where that type accepts it (so a float input
 * gives a 32-bit float WAV), else 24-bit, 16-bit PCM or Vorbis, whichever the type takes.
 * Throws CliError when no encoding fits.
 */
int outputFormatFor(const std::string& outPath, int inputFormat, int channels, int sampleRate);

/** Writes a whole file at once (demo phrase, tests), atomically as above. */
void writeAudioFile(const std::string& path, const AudioFormat& format,
                    const std::vector<std::vector<double>>& planes);

/** Reads a whole file into planes (one vector per channel). */
std::vector<std::vector<double>> readAudioFile(const std::string& path,
                                               AudioFormat* format = nullptr);

} // namespace ostratapedelay::cli
