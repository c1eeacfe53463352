#pragma once

namespace CLI
{
class App;
}

namespace ostratapedelay::cli
{

/** Registers "updates check|off|on", which runs the maker's update check for this product
 *  or switches it off or on for all of the maker's plug-ins. Result goes to exitCode. */
void addUpdatesCommand(CLI::App& app, int& exitCode);

} // namespace ostratapedelay::cli
