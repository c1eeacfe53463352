#include "cli/UpdatesCommand.h"

#include "updates/UpdatesCommand.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

namespace ostratapedelay::cli
{

void addUpdatesCommand(CLI::App& app, int& exitCode)
{
  auto verb = std::make_shared<std::string>();
  CLI::App* command =
      app.add_subcommand("updates", "Check for a newer version now, or switch the "
                                    "background check off or on for all Corvana plug-ins");
  command->add_option("ACTION", *verb, "check, off or on")
      ->required()
      ->check(CLI::IsMember({"check", "off", "on"}, CLI::ignore_case));
  command->callback(
      [&exitCode, verb]
      { exitCode = corvana::updates::runUpdatesCommand(*verb, std::cout, std::cerr); });
}

} // namespace ostratapedelay::cli
