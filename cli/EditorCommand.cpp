#include "cli/EditorCommand.h"

#include "cli/AudioFile.h"
#include "cli/CliError.h"
#include "cli/CliPlugin.h"
#include "cli/OfflineHost.h"
#include "cli/PresetLookup.h"
#include "cli/RenderCommand.h"
#include "controls/OutputMeterControl.h"
#include "controls/RepeatsDisplayControl.h"
#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/offscreen/ICanvasOffscreen.h"
#include "graphics/offscreen/PngWriter.h"
#include "plugin/Accents.h"
#include "plugin/EditorStyle.h"
#include "plugin/OstraTapeDelay.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <thread>

namespace ostratapedelay::cli
{

namespace
{

using namespace plug::graphics;

constexpr double kMinScale = 0.75;
constexpr double kMaxScale = 2.0;
// Enough for every idle step to have run and its effects drawn; the editor has no
// animation that runs longer without input.
constexpr int kSettleTicks = 10;
// Idle periods to wait for the first repeats: far more than the debounce and a measurement.
constexpr int kRepeatsWaitTicks = 250;

std::string lowered(const std::string& text)
{
  std::string s;
  for (unsigned char c : text)
    s.push_back(static_cast<char>(std::tolower(c)));
  return s;
}

bool parseNumber(const std::string& text, double& value)
{
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && std::isfinite(value);
}

// Plays the input file through the plug-in with its editor open: the idle timer ticks every
// 20 ms of audio, and the meter runs on the audio's clock, so the picture shows what a
// listener would see at the end of the file.
void playInput(OstraTapeDelay& plugin, ICanvas& canvas, const std::string& path, double tempo)
{
  AudioReader reader(path);
  const AudioFormat format = reader.format();
  const int nIn = format.channels;
  OfflineHost host(plugin, format.sampleRate, nIn, 2, 512, tempo);
  auto* meter = dynamic_cast<corvana::controls::limiter_panel::OutputMeterControl*>(
      canvas.GetControlWithTag(plugin::editor::kMeterTag));
  if (meter)
    meter->setClock([&host, rate = double(format.sampleRate)]
                    { return double(host.framesProcessed()) / rate; });

  constexpr size_t chunk = 8192;
  std::vector<std::vector<double>> in(static_cast<size_t>(nIn), std::vector<double>(chunk));
  std::vector<std::vector<double>> out(2, std::vector<double>(chunk));
  std::vector<double*> inPtrs, outPtrs;
  for (auto& plane : in)
    inPtrs.push_back(plane.data());
  for (auto& plane : out)
    outPtrs.push_back(plane.data());
  while (const int got = reader.read(inPtrs.data(), int(chunk)))
    host.process(inPtrs.data(), outPtrs.data(), got);

  // The picture is taken at the end of the file: the meter's time stops there.
  if (meter)
    meter->setClock([end = double(host.framesProcessed()) / format.sampleRate] { return end; });
}

} // namespace

unsigned parseAccent(const std::string& text)
{
  const std::string name = lowered(text);
  for (size_t i = 0; i < plugin::kAccents.size(); ++i)
    if (name == lowered(plugin::kAccents[i].name) || name == std::to_string(i))
      return unsigned(i);
  std::string names;
  for (const auto& accent : plugin::kAccents)
    names += std::string(names.empty() ? "" : ", ") + accent.name;
  throw CliError("--accent: '" + text + "' is not one of: " + names + " (or 0.." +
                 std::to_string(plugin::kAccents.size() - 1) + ")");
}

std::pair<float, float> parseClick(const std::string& text)
{
  const auto comma = text.find(',');
  double x = 0.0, y = 0.0;
  if (comma == std::string::npos || !parseNumber(text.substr(0, comma), x) ||
      !parseNumber(text.substr(comma + 1), y))
    throw CliError("--click: '" + text + "' is not X,Y in editor units (e.g. 918,62)");
  if (x < 0.0 || y < 0.0 || x >= plugin::editor::kWidth || y >= plugin::editor::kHeight)
    throw CliError("--click: '" + text + "' is outside the editor (0..999, 0..455)");
  return {float(x), float(y)};
}

EditorPicture writeEditorPicture(const EditorOptions& options, std::ostream& notes)
{
  // Every option is checked before anything is built.
  if (!(options.scale >= kMinScale && options.scale <= kMaxScale))
    throw CliError("--scale: " + std::to_string(options.scale) + " is outside 0.75..2");
  const int inputMode = parseInputMode(options.inputMode);
  const bool setAccent = !options.accent.empty();
  const unsigned accent = setAccent ? parseAccent(options.accent) : 0;
  std::vector<std::pair<float, float>> clicks;
  for (const std::string& click : options.clicks)
    clicks.push_back(parseClick(click));
  if (options.output.empty())
    throw CliError("no output file given");

  auto plugin = std::make_unique<OstraTapeDelay>();
  plugin->stopUpdateWorker(); // a picture stays off the network
  // A preset is loaded as the preset bar would, so the bar shows its name.
  StateOptions state = options.state;
  if (!state.preset.empty() || !state.presetFile.empty())
  {
    const FoundPreset found = state.preset.empty()
                                  ? findPreset(CliPlugin(), state.presetFile, PresetArgument::kFile)
                                  : findPreset(CliPlugin(), state.preset);
    if (found.kind == FoundPreset::Kind::kFactory)
      plugin->loadFactoryPreset(found.preset.name);
    else
      plugin->loadPreset(found.preset);
    state.preset.clear();
    state.presetFile.clear();
  }
  applyStateOptions(*plugin, state, notes);
  plugin->setInputMode(inputMode);
  if (setAccent)
    plugin->setAccentIndex(accent);
  plugin->takeAccentChanged(); // the editor is built in this accent from the start

  // The stored window size sets the scale the editor opens at, as a host's saved size does.
  plugin->SetEditorSize(int(std::lround(plugin::editor::kWidth * options.scale)),
                        int(std::lround(plugin::editor::kHeight * options.scale)));
  ICanvasOffscreen* offscreen = nullptr;
  plugin->setCanvasFactory(
      [&offscreen](ICanvasEditorDelegate& delegate, int w, int h, int, float scale)
      {
        auto canvas = std::make_unique<ICanvasOffscreen>(&delegate, w, h, scale);
        // A click that opens a menu or a field leaves it open in the picture.
        canvas->AttachPopupMenuControl();
        canvas->AttachTextEntryControl();
        offscreen = canvas.get();
        return canvas;
      });
  if (!plugin->openEditor() || !offscreen)
    throw std::runtime_error("the editor could not be opened");
  if (!offscreen->IsReady())
    throw std::runtime_error("cannot render: " + offscreen->GetError());
  for (const char* font : {plugin::editor::kRegularFont, plugin::editor::kCondensedFont})
    if (!offscreen->HasFont(font))
      notes << "note: the font " << font << " was not found beside the program; its text is "
            << "left out\n";

  if (!options.input.empty())
    playInput(*plugin, *offscreen, options.input, options.state.tempo);

  auto settle = [&]
  {
    IRECTList dirty;
    for (int i = 0; i < kSettleTicks; ++i)
    {
      plugin->OnTimer();
      if (!offscreen->IsDirty(dirty))
        break;
      offscreen->SetAllControlsClean();
      dirty.Clear();
    }
  };
  settle();
  // The repeats display shows its first measurement, which a worker thread makes after a
  // short debounce.
  const auto* repeats = dynamic_cast<const ostratapedelay::controls::RepeatsDisplayControl*>(
      offscreen->GetControlWithTag(plugin::editor::kRepeatsTag));
  for (int wait = 0; repeats && !repeats->hasRepeats() && wait < kRepeatsWaitTicks; ++wait)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(plug::kIdleTimerPeriodMs));
    plugin->OnTimer();
  }
  settle();
  for (const auto& [x, y] : clicks)
  {
    offscreen->OnMouseDown(x, y, IMouseMod(true));
    offscreen->OnMouseUp(x, y, IMouseMod(true));
    settle();
  }

  std::string error;
  IOffscreenFrame frame;
  if (!offscreen->RenderFrame(frame, error))
    throw std::runtime_error(error);
  if (!writePng(options.output, frame.width, frame.height, frame.rgba.data(), error))
    throw CliError("cannot write '" + options.output + "': " + error);
  return {frame.width, frame.height};
}

int runEditor(const EditorOptions& options, std::ostream& out, std::ostream& err)
{
  try
  {
    const EditorPicture picture = writeEditorPicture(options, err);
    out << "wrote " << options.output << ": " << picture.width << " x " << picture.height
        << " pixels\n";
    return 0;
  }
  catch (const CliError& e)
  {
    err << "ostratape: " << e.what() << '\n';
    return kExitUserError;
  }
  catch (const std::runtime_error& e)
  {
    err << "ostratape: " << e.what() << '\n';
    return 1;
  }
}

void addEditorCommand(CLI::App& app, int& exitCode)
{
  auto options = std::make_shared<EditorOptions>();
  CLI::App* command =
      app.add_subcommand("editor", "Write a picture of the editor (PNG) for any state");
  command->add_option("OUT", options->output, "PNG file to write")->required();
  addStateOptions(*command, options->state);
  command
      ->add_option("--accent", options->accent,
                   "Accent colour: Green, Red, Orange, Blue, Purple, \"DAW color\" or 0..5")
      ->type_name("NAME|N");
  command
      ->add_option("--input-mode", options->inputMode,
                   "How a stereo input feeds the echoes: auto, stereo, left")
      ->type_name("MODE");
  command
      ->add_option("--input", options->input,
                   "Play this audio file through the effect first (meter, input detection)")
      ->type_name("FILE");
  command->add_option("--scale", options->scale, "Window scale, 0.75..2 (default 1)")
      ->type_name("S");
  command
      ->add_option("--click", options->clicks,
                   "Click at X,Y in editor units (1000 x 456) before the picture; repeatable")
      ->type_name("X,Y")
      ->allow_extra_args(false);
  command->callback([&exitCode, options] { exitCode = runEditor(*options, std::cout, std::cerr); });
}

} // namespace ostratapedelay::cli
