#pragma once

#include "updates/UpdateCheck.h"

#include <iosfwd>
#include <string>

namespace corvana::updates
{

/**
 * The command-line tool's "updates" verbs: "check" runs a due check and prints the notice
 * or that no newer version is known; "off" and "on" write or remove the marker that
 * switches the check off for all of the maker's plug-ins. Returns the process exit code
 * (0 success, 1 failure, 2 unknown verb). Main thread; "check" may block for the fetch.
 */
int runUpdatesCommand(const std::string& verb, Config config, std::ostream& out, std::ostream& err);

} // namespace corvana::updates
