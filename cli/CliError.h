#pragma once

#include <stdexcept>

namespace ostratapedelay::cli
{

/** Exit status for anything the user can fix: a bad argument, an unreadable or unsupported
 *  file, an unknown parameter. */
inline constexpr int kExitUserError = 2;

/**
 * A failure caused by the user's input, carrying the message to print. Thrown by the
 * command helpers and turned into "ostratape: <message>" and kExitUserError by each
 * command's entry point, so every path reports the same way.
 */
class CliError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

} // namespace ostratapedelay::cli
