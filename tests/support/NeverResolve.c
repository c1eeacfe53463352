// A name server that has gone silent, for tests: loaded with LD_PRELOAD, this getaddrinfo
// never returns. It creates the file named by OSTRA_LOOKUP_STARTED first, so the test knows
// a lookup is under way.
#include <fcntl.h>
#include <netdb.h>
#include <stdlib.h>
#include <unistd.h>

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                struct addrinfo** result)
{
  (void)node;
  (void)service;
  (void)hints;
  (void)result;
  const char* marker = getenv("OSTRA_LOOKUP_STARTED");
  if (marker != NULL)
  {
    const int fd = open(marker, O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0)
      close(fd);
  }
  for (;;)
    sleep(3600);
}
