// ostratape: renders audio files through OstraTape-delay, prints the repeats its settings
// produce, lists its parameters and writes a demo.

#include "cli/CliError.h"
#include "cli/DemoCommand.h"
#include "cli/ParamsCommand.h"
#include "cli/RenderCommand.h"
#include "cli/RepeatsCommand.h"
#include "cli/UpdatesCommand.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv)
{
  namespace cli = ostratapedelay::cli;
  CLI::App app{"ostratape: the OstraTape-delay tape delay by Corvana, version 1.0.0, on the command line",
               "ostratape"};
  app.set_version_flag("--version", "ostratape 1.0.0 (OstraTape-delay by Corvana)");
  app.require_subcommand(1);
  app.fallthrough(false);

  int exitCode = 0;
  cli::addRenderCommand(app, exitCode);
  cli::addRepeatsCommand(app, exitCode);
  cli::addParamsCommand(app, exitCode);
  cli::addDemoCommand(app, exitCode);
  cli::addUpdatesCommand(app, exitCode);

  try
  {
    app.parse(argc, argv);
  }
  catch (const CLI::ParseError& e)
  {
    const int code = app.exit(e);
    // Usage errors share the status of every other mistake the user can fix.
    return code == 0 ? 0 : cli::kExitUserError;
  }
  catch (const std::exception& e)
  {
    std::cerr << "ostratape: " << e.what() << '\n';
    return 1;
  }
  return exitCode;
}
