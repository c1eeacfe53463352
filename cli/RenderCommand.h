#pragma once

#include "cli/StateOptions.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace CLI
{
class App;
}

namespace ostratapedelay::cli
{

struct RenderOptions
{
  std::string input;
  std::string output;
  StateOptions state;
  int blockSize = 512;            // frames per ProcessBlock call at most
  std::string inputMode = "auto"; // auto | stereo | left
  std::string tail = "auto";      // "auto" or seconds
  int channels = 0;               // output channels; 0 = as many as the input has
  bool progress = false;          // draw a progress bar on the error stream
};

/** What a render wrote. */
struct RenderResult
{
  std::int64_t inputFrames = 0;
  std::int64_t tailFrames = 0;
  int channels = 0;
  int sampleRate = 0;
  std::uint64_t timerTicks = 0;
};

/**
 * Renders options.input through the effect into options.output (atomically: a failure
 * leaves an existing output untouched and no temporary file). Notes about constrained
 * values and replaced samples go to `notes`, the progress bar to `progress`. Throws
 * CliError for anything the user can fix. Main thread.
 */
RenderResult render(const RenderOptions& options, std::ostream& notes, std::ostream& progress);

/** `ostratape render`: render() with messages on err; returns the exit status. */
int runRender(const RenderOptions& options, std::ostream& out, std::ostream& err);

/** Registers the "render" command; its result goes to exitCode. */
void addRenderCommand(CLI::App& app, int& exitCode);

/** Input mode text to the plug-in's code: auto 0, stereo 1, left 2. Throws CliError. */
int parseInputMode(const std::string& text);

} // namespace ostratapedelay::cli
