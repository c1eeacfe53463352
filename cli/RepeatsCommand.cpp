#include "cli/RepeatsCommand.h"

#include "cli/CliError.h"
#include "cli/NumberFormat.h"
#include "framework/NumberText.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <iomanip>
#include <iostream>
#include <memory>

namespace ostratapedelay::cli
{

namespace
{

std::string bandEdge(double hz, bool high)
{
  if (high ? !std::isfinite(hz) : !(hz > 0.0))
    return "open";
  return plug::FormatFixed(hz, 1);
}

} // namespace

RepeatsReport measureRepeats(const RepeatsOptions& options, std::ostream& notes)
{
  auto plugin = std::make_unique<OstraTapeDelay>();
  applyStateOptions(*plugin, options.state, notes);

  RepeatsReport report;
  report.tempo = options.state.tempo;
  report.request.settings = plugin->delaySettings(options.state.tempo);
  report.request.driveDb = plugin->GetParam(plugin::kDrive)->Value();

  dsp::RepeatsModel model;
  model.prepare();
  model.measure(report.request, report.repeats, {});
  return report;
}

void printRepeatsTable(const RepeatsReport& report, std::ostream& out)
{
  const auto& s = report.request.settings;
  out << "Delay L " << plug::FormatFixed(s.timeLeft * 1000.0, 3) << " ms, R "
      << plug::FormatFixed(s.timeRight * 1000.0, 3) << " ms, feedback "
      << plug::FormatFixed(s.feedback * 100.0, 1) << " %, drive "
      << plug::FormatFixed(report.request.driveDb, 1) << " dB" << (s.pingPong ? ", ping-pong" : "")
      << ", tempo " << shortestNumber(report.tempo) << " BPM\n";
  out << std::right << std::setw(4) << "#" << std::setw(7) << "side" << std::setw(5) << "n"
      << std::setw(13) << "time ms" << std::setw(11) << "level dB" << std::setw(11) << "low Hz"
      << std::setw(11) << "high Hz" << '\n';
  int row = 1;
  for (const dsp::Repeat& r : report.repeats)
  {
    out << std::setw(4) << row++ << std::setw(7) << (r.right ? "R" : "L") << std::setw(5) << r.index
        << std::setw(13) << plug::FormatFixed(r.time * 1000.0, 3) << std::setw(11)
        << plug::FormatFixed(r.levelDb, 2) << std::setw(11) << bandEdge(r.lowHz, false)
        << std::setw(11) << bandEdge(r.highHz, true) << '\n';
  }
}

void printRepeatsJson(const RepeatsReport& report, std::ostream& out)
{
  const auto& s = report.request.settings;
  out << "{\"tempo\":" << jsonNumber(report.tempo)
      << ",\"driveDb\":" << jsonNumber(report.request.driveDb)
      << ",\"settings\":{\"timeLeft\":" << jsonNumber(s.timeLeft)
      << ",\"timeRight\":" << jsonNumber(s.timeRight) << ",\"feedback\":" << jsonNumber(s.feedback)
      << ",\"pingPong\":" << (s.pingPong ? "true" : "false")
      << ",\"lowCut\":" << jsonNumber(s.lowCut) << ",\"highCut\":" << jsonNumber(s.highCut)
      << ",\"bandwidth\":" << jsonNumber(s.bandwidth) << ",\"slope\":" << static_cast<int>(s.slope)
      << ",\"wobble\":" << jsonNumber(s.wobble) << "},\"repeats\":[";
  bool first = true;
  for (const dsp::Repeat& r : report.repeats)
  {
    out << (first ? "" : ",") << "\n  {\"time\":" << jsonNumber(r.time)
        << ",\"right\":" << (r.right ? "true" : "false") << ",\"index\":" << r.index
        << ",\"levelDb\":" << jsonNumber(r.levelDb) << ",\"highHz\":" << jsonNumber(r.highHz)
        << ",\"lowHz\":" << jsonNumber(r.lowHz) << "}";
    first = false;
  }
  out << (first ? "" : "\n") << "]}\n";
}

int runRepeats(const RepeatsOptions& options, std::ostream& out, std::ostream& err)
{
  try
  {
    const RepeatsReport report = measureRepeats(options, err);
    if (options.json)
      printRepeatsJson(report, out);
    else
      printRepeatsTable(report, out);
    return 0;
  }
  catch (const CliError& e)
  {
    err << "ostratape: " << e.what() << '\n';
    return kExitUserError;
  }
}

void addRepeatsCommand(CLI::App& app, int& exitCode)
{
  auto options = std::make_shared<RepeatsOptions>();
  CLI::App* command = app.add_subcommand(
      "repeats", "Print the echoes the settings produce, as the editor shows them");
  addStateOptions(*command, options->state);
  command->add_flag("--json", options->json, "JSON with every number at full precision");
  command->callback([&exitCode, options]
                    { exitCode = runRepeats(*options, std::cout, std::cerr); });
}

} // namespace ostratapedelay::cli
