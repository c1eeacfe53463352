#pragma once

#include <sys/wait.h>
#include <unistd.h>

namespace ostra::test
{

/**
 * Runs `body` in a forked child that is killed after `timeoutSeconds`, so resource limits
 * or user changes stay out of the test program and a hang fails instead of stalling the
 * suite. Returns the child's exit code (body's result), or -1 when it did not exit normally.
 */
template <typename Body>
int runInChild(Body body, unsigned timeoutSeconds = 10)
{
  const pid_t pid = ::fork();
  if (pid == 0)
  {
    ::alarm(timeoutSeconds);
    ::_exit(body());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

} // namespace ostra::test
