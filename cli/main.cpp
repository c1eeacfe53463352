// ostratape: renders audio files through OstraTape-delay, prints the repeats its settings
// produce, lists its parameters and writes a demo.

#include "cli/CommandLine.h"

int main(int argc, char** argv)
{
  return ostratapedelay::cli::runCommandLine(argc, argv);
}
