// Counts heap allocations and mutex locks made by the thread under test while the plug-in
// processes audio: the audio path must do neither.
#include "PluginHost.h"

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

void startCounting()
{
  tAllocations = tLocks = 0;
  tCounting = true;
}
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

using namespace ostratapedelay::plugin;

TEST(RealtimeSafety, ProcessingAllocatesNothingAndTakesNoLock)
{
  // The counters themselves see both.
  startCounting();
  int* volatile p = new int(3);
  delete p;
  pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
  pthread_mutex_lock(&m);
  pthread_mutex_unlock(&m);
  tCounting = false;
  ASSERT_EQ(std::pair(tAllocations, tLocks), std::pair(1, 1));

  for (int nIn : {1, 2})
  {
    ostra::test::PluginHost host(nIn, 2, 44100.0, 256);
    host.set({{kDrive, 6.0}, {kWobble, 100.0}, {kWidth, 50.0}, {kDuck, 6.0}, {kFeedback, 50.0}, {kSync, 0.0}});
    host.plugin->setMeterEnabled(true);
    std::vector<std::vector<double>> in(size_t(nIn), std::vector<double>(256, 0.25)), out(2, std::vector<double>(256));
    double* inPtrs[2] = {in[0].data(), in.back().data()};
    double* outPtrs[2] = {out[0].data(), out[1].data()};
    startCounting();
    for (int block = 0; block < 200; ++block)
    {
      if (block == 50 || block == 120) // host automation is on the audio path too
        host.plugin->SetParameterFromHost(kBypass, block == 50 ? 1.0 : 0.0, 0);
      host.plugin->AttachBuffers(plug::kInput, 0, nIn, inPtrs, 256);
      host.plugin->AttachBuffers(plug::kOutput, 0, 2, outPtrs, 256);
      host.plugin->ProcessBuffers(256);
    }
    tCounting = false;
    EXPECT_EQ(std::pair(tAllocations, tLocks), std::pair(0, 0)) << nIn << " inputs";
  }
}
