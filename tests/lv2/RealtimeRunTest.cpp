// The run callback, reached through lilv like any host reaches it, must neither allocate nor
// lock: counted on the calling thread while every path of run() is exercised.
#include "LilvHost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <new>

// The replacement operators pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace
{
thread_local bool tCounting = false;
thread_local int tAllocations = 0;
thread_local int tLocks = 0;
} // namespace

void* operator new(std::size_t size)
{
  tAllocations += tCounting;
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
  tLocks += tCounting;
  return real(m);
}

using namespace ostra::lv2test;

TEST(Lv2Realtime, RunNeitherAllocatesNorLocks)
{
  // The counters themselves see an allocation and a lock.
  tCounting = true;
  auto* volatile p = new int(3);
  pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
  pthread_mutex_lock(&m);
  pthread_mutex_unlock(&m);
  tCounting = false;
  delete p;
  ASSERT_EQ(tAllocations, 1);
  ASSERT_EQ(tLocks, 1);

  LilvHost host(1024);
  for (const char* uri : {kStereoUri, kMonoUri, kMonoStereoUri})
  {
    SCOPED_TRACE(uri);
    Instance fx(host, uri);
    ASSERT_TRUE(fx.valid());
    Audio buffers = noise(4, 4096);
    fx.run(256); // the first cycle takes every port once, outside the count as well
    tAllocations = tLocks = 0;
    auto countedRuns = [&](int cycles, int frames) {
      fx.connectAudio({buffers[0].data(), buffers[1].data()}, {buffers[2].data(), buffers[3].data()});
      for (int i = 0; i < cycles; ++i)
      {
        tCounting = true;
        lilv_instance_run(fx.raw(), static_cast<uint32_t>(frames));
        tCounting = false;
      }
    };
    countedRuns(20, 1000); // idle ticks get scheduled on the worker
    fx.control("feedback") = 80.0f;
    fx.control("sync") = 0.0f;
    fx.control("tap") = 1.0f;
    countedRuns(3, 333);
    fx.control("enabled") = 0.0f; // host bypass: reset and pass-through
    countedRuns(3, 512);
    fx.control("enabled") = 1.0f;
    fx.control("freewheel") = 1.0f;
    countedRuns(3, 4096); // longer than the announced block: sliced
    fx.sendTempo(97.0, 17);
    countedRuns(1, 512);

    EXPECT_EQ(tAllocations, 0);
    EXPECT_EQ(tLocks, 0);
    EXPECT_GT(host.pendingWork, 0);
    fx.serveWorker();
  }
}
