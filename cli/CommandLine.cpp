#include "cli/CommandLine.h"

#include "cli/CliError.h"
#include "cli/DemoCommand.h"
#ifdef OSTRA_HAVE_EDITOR_PICTURES
#include "cli/EditorCommand.h"
#endif
#include "cli/ParamsCommand.h"
#include "cli/PresetsCommand.h"
#include "cli/RenderCommand.h"
#include "cli/RepeatsCommand.h"
#include "cli/UpdatesCommand.h"
#include "plugin/Identity.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace ostratapedelay::cli
{

int runCommandLine(int argc, const char* const* argv)
{
  using namespace std::string_literals;
  CLI::App app{"ostratape: the "s + plugin::kProductName + " tape delay by " + plugin::kMakerName +
                   ", version " + plugin::kVersion + ", on the command line",
               "ostratape"};
  app.set_version_flag("--version", "ostratape "s + plugin::kVersion + " (" + plugin::kProductName +
                                        " by " + plugin::kMakerName + ")");
  app.require_subcommand(1);

  int exitCode = 0;
  addRenderCommand(app, exitCode);
  addRepeatsCommand(app, exitCode);
  addParamsCommand(app, exitCode);
  addPresetsCommand(app, exitCode);
  addDemoCommand(app, exitCode);
  addUpdatesCommand(app, exitCode);
#ifdef OSTRA_HAVE_EDITOR_PICTURES
  addEditorCommand(app, exitCode);
#endif

  try
  {
    app.parse(argc, argv);
  }
  catch (const CLI::ParseError& e)
  {
    const int code = app.exit(e);
    // Usage errors share the status of every other mistake the user can fix.
    return code == 0 ? 0 : kExitUserError;
  }
  catch (const std::exception& e)
  {
    std::cerr << "ostratape: " << e.what() << '\n';
    return 1;
  }
  return exitCode;
}

} // namespace ostratapedelay::cli
