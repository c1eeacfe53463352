#pragma once

namespace ostratapedelay::cli
{

/**
 * The whole `ostratape` command line: parses argv (argv[0] is the program name), runs the
 * chosen command with output on stdout and messages on stderr, and returns the exit status:
 * 0 success, 2 for anything the user can fix (usage, files, parameters), 1 otherwise.
 * Main thread.
 */
int runCommandLine(int argc, const char* const* argv);

} // namespace ostratapedelay::cli
