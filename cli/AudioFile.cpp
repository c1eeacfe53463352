#include "cli/AudioFile.h"

#include "cli/CliError.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostratapedelay::cli
{

namespace
{

std::string quoted(const std::string& path)
{
  return "'" + path + "'";
}

std::string lowerExtension(const std::string& path)
{
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

int majorTypeForExtension(const std::string& ext)
{
  if (ext == "wav" || ext == "wave")
    return SF_FORMAT_WAV;
  if (ext == "flac")
    return SF_FORMAT_FLAC;
  if (ext == "aif" || ext == "aiff" || ext == "aifc")
    return SF_FORMAT_AIFF;
  if (ext == "caf")
    return SF_FORMAT_CAF;
  if (ext == "w64")
    return SF_FORMAT_W64;
  if (ext == "rf64")
    return SF_FORMAT_RF64;
  if (ext == "ogg" || ext == "oga")
    return SF_FORMAT_OGG;
  return 0;
}

// libsndfile notes each chunk whose stated size the file cannot hold as
// "NAME : STATED (should be ACTUAL)" in its log.
bool logShowsCutChunk(SNDFILE* file)
{
  std::string log(16384, '\0');
  sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  log.resize(std::strlen(log.c_str()));
  for (std::size_t at = log.find("(should be "); at != std::string::npos;
       at = log.find("(should be ", at + 1))
  {
    const std::size_t colon = log.rfind(':', at);
    const std::size_t lineStart = log.rfind('\n', at);
    if (colon == std::string::npos || (lineStart != std::string::npos && colon < lineStart))
      continue;
    const long long stated = std::strtoll(log.c_str() + colon + 1, nullptr, 10);
    const long long actual = std::strtoll(log.c_str() + at + 11, nullptr, 10);
    if (actual < stated)
      return true;
  }
  return false;
}

// Permissions a freshly created file would get, so the renamed result does not keep the
// temporary file's owner-only mode.
mode_t newFileMode()
{
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

} // namespace

// ---------------------------------------------------------------------------------------

AudioReader::AudioReader(const std::string& path)
  : mPath(path)
{
  SF_INFO info{};
  mFile = sf_open(path.c_str(), SFM_READ, &info);
  if (!mFile)
    throw CliError("cannot read " + quoted(path) + ": " + sf_strerror(nullptr));
  if (info.channels < 1 || info.channels > 2)
  {
    const int channels = info.channels;
    sf_close(mFile);
    mFile = nullptr;
    throw CliError(quoted(path) + " has " + std::to_string(channels) +
                   " channels; only mono and stereo files are supported");
  }
  if (info.samplerate <= 0)
  {
    sf_close(mFile);
    mFile = nullptr;
    throw CliError(quoted(path) + " has no valid sample rate");
  }
  if (info.samplerate > kMaxSampleRate)
  {
    sf_close(mFile);
    mFile = nullptr;
    throw CliError(quoted(path) + " states a sample rate of " + std::to_string(info.samplerate) +
                   " Hz; rates above " + std::to_string(kMaxSampleRate) +
                   " Hz are not supported (is the file damaged?)");
  }
  mFormat = {info.format, info.channels, info.samplerate};
  mFrames = std::max<sf_count_t>(info.frames, 0);
  mEndsEarly = logShowsCutChunk(mFile);
}

AudioReader::~AudioReader()
{
  if (mFile)
    sf_close(mFile);
}

int AudioReader::read(double* const* planes, int maxFrames)
{
  if (maxFrames <= 0)
    return 0;
  const int channels = mFormat.channels;
  mInterleaved.resize(static_cast<size_t>(maxFrames) * static_cast<size_t>(channels));
  const sf_count_t got = sf_readf_double(mFile, mInterleaved.data(), maxFrames);
  if (got < 0 || (got < maxFrames && sf_error(mFile) != SF_ERR_NO_ERROR))
    throw CliError("cannot read " + quoted(mPath) + ": " + sf_strerror(mFile));
  for (sf_count_t i = 0; i < got; ++i)
    for (int c = 0; c < channels; ++c)
      planes[c][i] = mInterleaved[static_cast<size_t>(i * channels + c)];
  return static_cast<int>(got);
}

// ---------------------------------------------------------------------------------------

AtomicAudioWriter::AtomicAudioWriter(const std::string& path, const AudioFormat& format)
  : mPath(path)
  , mFormat(format)
{
  SF_INFO info{};
  info.format = format.format;
  info.channels = format.channels;
  info.samplerate = format.sampleRate;
  if (!sf_format_check(&info))
    throw CliError("cannot write " + quoted(path) + ": the file type does not take this audio (" +
                   std::to_string(format.channels) + " channels at " +
                   std::to_string(format.sampleRate) + " Hz)");

  // Beside the target, so the final rename stays within one file system.
  const auto slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty())
    throw CliError("cannot write " + quoted(path) + ": not a file name");
  std::string pattern = dir + "." + base + ".partial-XXXXXX";
  mFd = ::mkstemp(pattern.data());
  if (mFd < 0)
    throw CliError("cannot write " + quoted(path) + ": " + std::strerror(errno));
  mTempPath = pattern;

  struct stat existing
  {
  };
  const mode_t mode =
      ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : newFileMode();
  (void)::fchmod(mFd, mode);

  mFile = sf_open_fd(mFd, SFM_WRITE, &info, SF_FALSE);
  if (!mFile)
  {
    const std::string reason = sf_strerror(nullptr);
    discard();
    throw CliError("cannot write " + quoted(path) + ": " + reason);
  }
  // Integer encodings: clip loud samples instead of letting them wrap around.
  sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AtomicAudioWriter::~AtomicAudioWriter()
{
  discard();
}

void AtomicAudioWriter::write(const double* const* planes, int frames)
{
  if (frames <= 0)
    return;
  if (!mFile)
    throw CliError("cannot write " + quoted(mPath) + ": file already closed");
  const int channels = mFormat.channels;
  mInterleaved.resize(static_cast<size_t>(frames) * static_cast<size_t>(channels));
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
    {
      double x = planes[c][i];
      if (!std::isfinite(x))
      {
        x = 0.0;
        ++mNonFinite;
      }
      mInterleaved[static_cast<size_t>(i * channels + c)] = x;
    }
  if (sf_writef_double(mFile, mInterleaved.data(), frames) != frames)
    throw CliError("cannot write " + quoted(mPath) + ": " + sf_strerror(mFile));
}

void AtomicAudioWriter::commit()
{
  if (!mFile)
    throw CliError("cannot write " + quoted(mPath) + ": file already closed");
  std::string error;
  const int closeResult = sf_close(mFile);
  mFile = nullptr;
  if (closeResult != 0)
    error = sf_error_number(closeResult);
  else if (::fsync(mFd) != 0)
    error = std::strerror(errno);
  else if (::close(mFd) != 0)
    error = std::strerror(errno);
  else
  {
    mFd = -1;
    if (::rename(mTempPath.c_str(), mPath.c_str()) != 0)
      error = std::strerror(errno);
  }
  if (!error.empty())
  {
    discard();
    throw CliError("cannot write " + quoted(mPath) + ": " + error);
  }
  mTempPath.clear();
}

void AtomicAudioWriter::discard() noexcept
{
  if (mFile)
  {
    sf_close(mFile);
    mFile = nullptr;
  }
  if (mFd >= 0)
  {
    ::close(mFd);
    mFd = -1;
  }
  if (!mTempPath.empty())
  {
    ::unlink(mTempPath.c_str());
    mTempPath.clear();
  }
}

// ---------------------------------------------------------------------------------------

int outputFormatFor(const std::string& outPath, int inputFormat, int channels, int sampleRate)
{
  int major = majorTypeForExtension(lowerExtension(outPath));
  if (major == 0)
    major = inputFormat & SF_FORMAT_TYPEMASK;
  const int candidates[] = {inputFormat & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16,
                            SF_FORMAT_VORBIS};
  for (int subtype : candidates)
  {
    SF_INFO info{};
    info.format = major | subtype;
    info.channels = channels;
    info.samplerate = sampleRate;
    if (subtype != 0 && sf_format_check(&info))
      return info.format;
  }
  throw CliError("cannot write " + quoted(outPath) + ": no sample encoding of that file type fits");
}

void writeAudioFile(const std::string& path, const AudioFormat& format,
                    const std::vector<std::vector<double>>& planes)
{
  AtomicAudioWriter writer(path, format);
  std::vector<const double*> pointers;
  size_t frames = planes.empty() ? 0 : planes[0].size();
  for (const auto& plane : planes)
  {
    pointers.push_back(plane.data());
    frames = std::min(frames, plane.size());
  }
  constexpr size_t kChunk = 65536;
  for (size_t pos = 0; pos < frames; pos += kChunk)
  {
    std::vector<const double*> at;
    for (const double* p : pointers)
      at.push_back(p + pos);
    writer.write(at.data(), static_cast<int>(std::min(kChunk, frames - pos)));
  }
  writer.commit();
}

std::vector<std::vector<double>> readAudioFile(const std::string& path, AudioFormat* format)
{
  AudioReader reader(path);
  if (format)
    *format = reader.format();
  const int channels = reader.format().channels;
  std::vector<std::vector<double>> planes(static_cast<size_t>(channels));
  constexpr int kChunk = 65536;
  std::vector<std::vector<double>> block(static_cast<size_t>(channels),
                                         std::vector<double>(kChunk));
  std::vector<double*> pointers;
  for (auto& b : block)
    pointers.push_back(b.data());
  for (;;)
  {
    const int got = reader.read(pointers.data(), kChunk);
    if (got <= 0)
      break;
    for (int c = 0; c < channels; ++c)
      planes[static_cast<size_t>(c)].insert(planes[static_cast<size_t>(c)].end(),
                                            block[static_cast<size_t>(c)].begin(),
                                            block[static_cast<size_t>(c)].begin() + got);
  }
  return planes;
}

} // namespace ostratapedelay::cli
