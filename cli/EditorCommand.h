#pragma once

#include "cli/StateOptions.h"

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace CLI
{
class App;
}

namespace ostratapedelay::cli
{

struct EditorOptions
{
  std::string output; // the PNG to write
  StateOptions state; // --preset, --set, --tempo
  std::string accent; // a name of the accent table or 0..5; empty keeps the default
  std::string inputMode = "auto";
  std::string input;               // rendered through the effect before the picture; may be empty
  double scale = 1.0;              // the window scale, 0.75..2
  std::vector<std::string> clicks; // "X,Y" in editor units, in order
};

/** The accent index that `text` names ("Red", "daw color") or numbers (0..5). Throws
 *  CliError naming the option. */
unsigned parseAccent(const std::string& text);

/** "X,Y" in editor units. Throws CliError naming the option. */
std::pair<float, float> parseClick(const std::string& text);

/** What a picture came out as. */
struct EditorPicture
{
  int width = 0;
  int height = 0;
};

/**
 * Builds the plug-in in the options' state, optionally plays the input file through it (so
 * the tape meter and the input detection show real values), opens its editor offscreen at
 * the scale, lets the idle ticks settle it, clicks where asked, and writes the editor as a
 * PNG of 1000 × 456 times the scale pixels. Notes (a missing font) go to `notes`. Throws
 * CliError for anything the user can fix, std::runtime_error when nothing can be drawn here.
 * Main thread.
 */
EditorPicture writeEditorPicture(const EditorOptions& options, std::ostream& notes);

/** `ostratape editor`; returns the exit status. */
int runEditor(const EditorOptions& options, std::ostream& out, std::ostream& err);

/** Registers the "editor" command; its result goes to exitCode. */
void addEditorCommand(CLI::App& app, int& exitCode);

} // namespace ostratapedelay::cli
