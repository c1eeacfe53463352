#include "support/RealtimeCounters.h"
#include "support/Sanitizers.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <new>

#if OSTRA_SANITIZED
#include <sanitizer/allocator_interface.h>
#endif

namespace
{
thread_local bool tCounting = false;
thread_local ostra::test::RealtimeCounts tCounts;
} // namespace

#if OSTRA_SANITIZED
// A sanitizer brings its own operator new, which must stay (ThreadSanitizer's cannot even
// be replaced); its allocator tells a hook of every allocation, new and malloc alike.
namespace
{
void countAllocation(const volatile void*, std::size_t)
{
  tCounts.allocations += tCounting;
}
void ignoreFree(const volatile void*) {}
[[maybe_unused]] const int kHooked =
    __sanitizer_install_malloc_and_free_hooks(countAllocation, ignoreFree);
} // namespace
#else

// The replacement operators pair malloc with free on purpose.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Every form, so that each allocation is counted and each pointer goes back
// to the allocator it came from.
void* operator new(std::size_t size)
{
  tCounts.allocations += tCounting;
  if (void* p = std::malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t align)
{
  tCounts.allocations += tCounting;
  const auto alignment = static_cast<std::size_t>(align);
  if (void* p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment))
    return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
  return operator new(size);
}
void* operator new[](std::size_t size, std::align_val_t align)
{
  return operator new(size, align);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
  tCounts.allocations += tCounting;
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
  return operator new(size, tag);
}
void operator delete(void* p) noexcept
{
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}
void operator delete[](void* p) noexcept
{
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}
#endif

#if OSTRA_THREAD_SANITIZED
// ThreadSanitizer sees locks through its own pthread_mutex_lock, which this one replaces:
// pass them on to it, or every lock would look like a race.
extern "C" int __interceptor_pthread_mutex_lock(pthread_mutex_t* m);
#endif

extern "C" int pthread_mutex_lock(pthread_mutex_t* m)
{
  tCounts.locks += tCounting;
#if OSTRA_THREAD_SANITIZED
  return __interceptor_pthread_mutex_lock(m);
#else
  using Fn = int (*)(pthread_mutex_t*);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  return real(m);
#endif
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
