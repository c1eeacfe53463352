#pragma once

#include "cli/StateOptions.h"
#include "dsp/RepeatsModel.h"

#include <ostream>
#include <vector>

namespace CLI
{
class App;
}

namespace ostratapedelay::cli
{

struct RepeatsOptions
{
  StateOptions state;
  bool json = false;
};

/** A measurement and what it was asked. */
struct RepeatsReport
{
  double tempo = plug::kDefaultTempo;
  dsp::RepeatsModel::Request request;
  std::vector<dsp::Repeat> repeats;
};

/** Measures the repeats the editor would show for the options' state: the plug-in's
 *  delaySettings at the tempo and its Drive. Throws CliError. Main thread; runs the model
 *  for up to 60 s of simulated audio. */
RepeatsReport measureRepeats(const RepeatsOptions& options, std::ostream& notes);

/** One line per repeat: side, number, time in ms (3 decimals), level in dB (2 decimals),
 *  band edges in Hz (1 decimal; "open" for no filter). */
void printRepeatsTable(const RepeatsReport& report, std::ostream& out);

/** {"tempo":..,"driveDb":..,"settings":{..},"repeats":[{"time":..,"right":..,"index":..,
 *  "levelDb":..,"highHz":..,"lowHz":..},..]}, numbers at full precision (shortest text that
 *  reads back exactly; an infinite highHz is null). */
void printRepeatsJson(const RepeatsReport& report, std::ostream& out);

/** `ostratape repeats`; returns the exit status. */
int runRepeats(const RepeatsOptions& options, std::ostream& out, std::ostream& err);

/** Registers the "repeats" command; its result goes to exitCode. */
void addRepeatsCommand(CLI::App& app, int& exitCode);

} // namespace ostratapedelay::cli
