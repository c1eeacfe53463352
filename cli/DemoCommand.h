#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace CLI
{
class App;
}

namespace ostratapedelay::cli
{

/** The settings the demo renders with: synced, unlinked dotted-eighth and quarter echoes,
 *  some drive, extra wobble, a wide stereo image and trimmed lows and highs. */
const std::vector<std::string>& demoSettings();

/** Writes DIR/phrase.wav (the dry phrase) and DIR/phrase-ostratape.wav (its render at the
 *  demo settings, tail auto), creating DIR when missing, and prints what it wrote to out.
 *  Returns the exit status. Main thread. */
int runDemo(const std::string& dir, std::ostream& out, std::ostream& err);

/** Registers the "demo" command; its result goes to exitCode. */
void addDemoCommand(CLI::App& app, int& exitCode);

} // namespace ostratapedelay::cli
