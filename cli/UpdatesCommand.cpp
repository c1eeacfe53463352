#include "cli/UpdatesCommand.h"

#include "plugin/Identity.h"
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
      app.add_subcommand("updates", std::string("Check for a newer version now, or switch the "
                                                "background check off or on for all ") +
                                        plugin::kMakerName + " plug-ins");
  command->add_option("ACTION", *verb, "check, off or on")
      ->required()
      ->check(CLI::IsMember({"check", "off", "on"}, CLI::ignore_case));
  command->callback(
      [&exitCode, verb]
      {
        exitCode = corvana::updates::runUpdatesCommand(
            *verb, corvana::updates::defaultConfig(plugin::kProductSlug, plugin::kVersion),
            std::cout, std::cerr);
      });
}

} // namespace ostratapedelay::cli
