#include "support/RealtimeCounters.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <new>

// The replacement operators pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace
{
thread_local bool tCounting = false;
thread_local ostra::test::RealtimeCounts tCounts;
} // namespace

void* operator new(std::size_t size)
{
  tCounts.allocations += tCounting;
  if (void* p = std::malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

extern "C" int pthread_mutex_lock(pthread_mutex_t* m)
{
  using Fn = int (*)(pthread_mutex_t*);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  tCounts.locks += tCounting;
  return real(m);
}

namespace ostra::test
{

void startCounting()
{
  tCounts = {};
  tCounting = true;
}

RealtimeCounts stopCounting()
{
  tCounting = false;
  return tCounts;
}

RealtimeCounts countKnownAllocationAndLock()
{
  startCounting();
  int* volatile p = new int(3);
  pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
  pthread_mutex_lock(&m);
  pthread_mutex_unlock(&m);
  const RealtimeCounts counts = stopCounting();
  delete p;
  return counts;
}

} // namespace ostra::test
