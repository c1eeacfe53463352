#pragma once

#include <string>
#include <vector>

namespace plug::graphics::x11
{

/** The full path of `program` found along $PATH (or `program` itself when it holds a
 *  slash and can be run); "" when there is none. */
std::string FindProgram(const std::string& program);

/** Starts `path` with `args` (not through a shell) in a session of its own that outlives
 *  this process and is never waited for; none of this process's open files are passed on.
 *  False with the reason when it could not be started. */
bool LaunchDetached(const std::string& path, const std::vector<std::string>& args,
                    std::string& error);

} // namespace plug::graphics::x11
