#include "cli/RenderCommand.h"

#include "cli/AudioFile.h"
#include "cli/CliError.h"
#include "cli/OfflineHost.h"
#include "cli/ProgressBar.h"
#include "cli/Tail.h"
#include "framework/NumberText.h"
#include "plugin/OstraTapeDelay.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <memory>

namespace ostratapedelay::cli
{

namespace
{

constexpr int kMaxBlockSize = 65536;

// Set by SIGINT/SIGTERM so a render stops cleanly and removes its temporary file.
volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void requestStop(int)
{
  gStopRequested = 1;
}

// Installs the stop handlers for one render and restores the previous ones afterwards.
class StopSignals
{
public:
  StopSignals()
  {
    gStopRequested = 0;
    mInt = std::signal(SIGINT, requestStop);
    mTerm = std::signal(SIGTERM, requestStop);
  }
  ~StopSignals()
  {
    std::signal(SIGINT, mInt);
    std::signal(SIGTERM, mTerm);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  void check(const std::string& output) const
  {
    if (gStopRequested)
      throw CliError("interrupted; " + std::string("'") + output + "' was not written");
  }

private:
  void (*mInt)(int);
  void (*mTerm)(int);
};

using Planes = std::vector<std::vector<double>>;

std::vector<double*> pointers(Planes& planes)
{
  std::vector<double*> p;
  for (auto& plane : planes)
    p.push_back(plane.data());
  return p;
}

} // namespace

int parseInputMode(const std::string& text)
{
  std::string lower;
  for (unsigned char c : text)
    lower.push_back(static_cast<char>(std::tolower(c)));
  if (lower == "auto")
    return 0;
  if (lower == "stereo")
    return 1;
  if (lower == "left")
    return 2;
  throw CliError("--input-mode: '" + text + "' is not one of: auto, stereo, left");
}

RenderResult render(const RenderOptions& options, std::ostream& notes, std::ostream& progressStream)
{
  // Everything that can be checked before touching files is checked first.
  const TailRule tailRule = TailRule::parse(options.tail);
  const int inputMode = parseInputMode(options.inputMode);
  if (options.blockSize < 1 || options.blockSize > kMaxBlockSize)
    throw CliError("--block: " + std::to_string(options.blockSize) + " is outside 1.." +
                   std::to_string(kMaxBlockSize));
  if (options.channels != 0 && options.channels != 1 && options.channels != 2)
    throw CliError("--channels: " + std::to_string(options.channels) + " is neither 1 nor 2");

  AudioReader reader(options.input);
  if (reader.endsEarly())
    notes << "warning: '" << options.input
          << "' ends before its header says; rendering the audio that is there\n";
  const AudioFormat inFormat = reader.format();
  const int nIn = inFormat.channels;
  const int nOut = options.channels == 0 ? nIn : options.channels;
  if (nIn == 2 && nOut == 1)
    throw CliError("--channels 1 needs a mono input; '" + options.input + "' is stereo");

  auto plugin = std::make_unique<OstraTapeDelay>();
  applyStateOptions(*plugin, options.state, notes);
  plugin->setInputMode(inputMode);

  const int outFormat = outputFormatFor(options.output, inFormat.format, nOut, inFormat.sampleRate);
  AtomicAudioWriter writer(options.output, {outFormat, nOut, inFormat.sampleRate});

  StopSignals stop;
  OfflineHost host(*plugin, inFormat.sampleRate, nIn, nOut, options.blockSize, options.state.tempo);
  ProgressBar bar(progressStream, options.progress, "rendering");

  const int chunk = std::max(options.blockSize, 8192);
  Planes in(static_cast<size_t>(nIn), std::vector<double>(static_cast<size_t>(chunk), 0.0));
  Planes out(static_cast<size_t>(nOut), std::vector<double>(static_cast<size_t>(chunk), 0.0));
  auto inPtrs = pointers(in);
  auto outPtrs = pointers(out);
  const double totalIn = static_cast<double>(std::max<std::int64_t>(reader.frames(), 1));

  RenderResult result;
  result.channels = nOut;
  result.sampleRate = inFormat.sampleRate;
  for (;;)
  {
    stop.check(options.output);
    const int got = reader.read(inPtrs.data(), chunk);
    if (got == 0)
      break;
    host.process(inPtrs.data(), outPtrs.data(), got);
    writer.write(outPtrs.data(), got);
    result.inputFrames += got;
    bar.update(static_cast<double>(result.inputFrames) / totalIn);
  }

  // The echoes ring out on silent input.
  for (auto& plane : in)
    std::fill(plane.begin(), plane.end(), 0.0);
  TailTracker tail(tailRule, inFormat.sampleRate);
  const double tailLimit = static_cast<double>(std::max<std::int64_t>(tail.remaining(), 1));
  while (!tail.done())
  {
    stop.check(options.output);
    const int n = static_cast<int>(std::min<std::int64_t>(chunk, tail.remaining()));
    host.process(inPtrs.data(), outPtrs.data(), n);
    const int keep = tail.consume(outPtrs.data(), nOut, n);
    writer.write(outPtrs.data(), keep);
    bar.update(static_cast<double>(tail.framesKept()) / tailLimit, "tail");
  }
  result.tailFrames = tail.framesKept();
  bar.finish();

  stop.check(options.output);
  writer.commit();
  if (writer.nonFiniteSamples() > 0)
    notes << "note: " << writer.nonFiniteSamples()
          << " samples that were not finite numbers were written as 0\n";
  result.timerTicks = host.timerTicks();
  return result;
}

int runRender(const RenderOptions& options, std::ostream& out, std::ostream& err)
{
  try
  {
    const RenderResult result = render(options, err, err);
    out << "wrote " << options.output << ": " << result.channels
        << (result.channels == 1 ? " channel, " : " channels, ") << result.sampleRate << " Hz, "
        << plug::FormatFixed(
               static_cast<double>(result.inputFrames + result.tailFrames) / result.sampleRate, 3)
        << " s (tail "
        << plug::FormatFixed(static_cast<double>(result.tailFrames) / result.sampleRate, 3)
        << " s)\n";
    return 0;
  }
  catch (const CliError& e)
  {
    err << "ostratape: " << e.what() << '\n';
    return kExitUserError;
  }
}

void addRenderCommand(CLI::App& app, int& exitCode)
{
  auto options = std::make_shared<RenderOptions>();
  CLI::App* command = app.add_subcommand("render", "Render an audio file through the effect");
  command->add_option("IN", options->input, "Mono or stereo audio file (WAV, FLAC, AIFF, ...)")
      ->required();
  command->add_option("OUT", options->output, "Output file, written in the input's format and rate")
      ->required();
  addStateOptions(*command, options->state);
  command->add_option("--block", options->blockSize, "Frames per processing block (default 512)")
      ->type_name("N");
  command
      ->add_option("--input-mode", options->inputMode,
                   "How a stereo input feeds the echoes: auto, stereo, left")
      ->type_name("auto|stereo|left");
  command
      ->add_option(
          "--tail", options->tail,
          "Time after the input for the echoes to ring out: seconds, or auto (until the output "
          "stays below -96 dBFS for 1 s, at most 60 s)")
      ->type_name("SECONDS|auto");
  command
      ->add_option("--channels", options->channels,
                   "Output channels for a mono input: 1 or 2 (default: as input)")
      ->type_name("1|2");
  command->callback(
      [&exitCode, options]
      {
        options->progress = ProgressBar::stderrIsTerminal();
        exitCode = runRender(*options, std::cout, std::cerr);
      });
}

} // namespace ostratapedelay::cli
