#pragma once

#include "plugin/OstraTapeDelay.h"

#include <optional>
#include <string>

namespace ostratapedelay::cli
{

/**
 * The plug-in as the command line uses it for preset work: there is no editor to show a
 * message box, so the first message the plug-in would show is kept for the command to
 * report, and the replace question is answered by the command's own choice (--force).
 * Main thread.
 */
class CliPlugin : public OstraTapeDelay
{
public:
  void tell(const std::string& message, const std::string&) override
  {
    if (!told)
      told = message;
  }
  bool ask(const std::string&, const std::string&) override
  {
    wasAsked = true;
    return replace;
  }

  /** The answer to "already exists. Replace it?". */
  bool replace = false;
  bool wasAsked = false;
  /** The first message the plug-in wanted to show, if any. */
  std::optional<std::string> told;
};

} // namespace ostratapedelay::cli
