#pragma once

#include <ostream>

namespace CLI
{
class App;
}
namespace plug
{
class IEffectBase;
}

namespace ostratapedelay::cli
{

/** Prints the plug-in's parameters: index, name, kind, range, default, unit, shape and
 *  display texts, one line each. Main thread. */
void printParams(plug::IEffectBase& plugin, std::ostream& out);

/** `ostratape params` on a fresh plug-in; returns the exit status. */
int runParams(std::ostream& out, std::ostream& err);

/** Registers the "params" command; its result goes to exitCode. */
void addParamsCommand(CLI::App& app, int& exitCode);

} // namespace ostratapedelay::cli
