#include "updates/UpdatesCommand.h"

#include <ostream>

namespace corvana::updates
{

int runUpdatesCommand(const std::string& verb, Config config, std::ostream& out, std::ostream& err)
{
  UpdateCheck check(std::move(config));
  if (verb == "check")
  {
    check.reload();
    if (!check.enabled())
    {
      out << "Update checks are off.\n";
      return 0;
    }
    check.checkIfDue();
    check.reload();
    if (const auto notice = check.notice())
      out << "Version " << notice->version << " is available: " << notice->url << "\n";
    else
      out << "No newer version is known.\n";
    return 0;
  }
  if (verb == "off" || verb == "on")
  {
    const bool on = verb == "on";
    check.setEnabled(on);
    if (check.enabled() != on)
    {
      err << "Could not switch update checks " << verb << " in " << check.folder().string()
          << ".\n";
      return 1;
    }
    out << "Update checks are " << verb << ".\n";
    return 0;
  }
  err << "Unknown updates command \"" << verb << "\"; use check, off or on.\n";
  return 2;
}

} // namespace corvana::updates
