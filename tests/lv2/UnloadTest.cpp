// Hosts load and unload a plug-in many times (scans, sessions): each load, instance and
// unload must give back all the memory it took.
#include "LilvHost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <malloc.h>

#include <string>

using namespace ostra::lv2test;

namespace
{

std::size_t heapInUse()
{
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd; // small blocks and mapped large ones
}

} // namespace

TEST(Lv2Unload, EachLoadAndUnloadGivesBackItsMemory)
{
  const std::string binary = bundleDir() + "/ostratape-delay.so";
  LilvHost host(512);
  auto cycle = [&]
  {
    {
      Instance fx(host, kStereoUri);
      ASSERT_TRUE(fx.valid());
      fx.run(512); // the tape stages run, so their shared tables exist
    }
    // lilv unloaded the binary with the instance: not a leak merely kept for later.
    void* still = dlopen(binary.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(still, nullptr);
    if (still != nullptr)
      dlclose(still);
  };
  cycle(); // the first round's one-time allocations in lilv and the libraries it loads
  cycle();
  const std::size_t before = heapInUse();
  constexpr int kCycles = 8;
  for (int i = 0; i < kCycles; ++i)
    cycle();
  const std::size_t after = heapInUse();
  // The tape stage's tables alone are about 160 KB, so a leak of them shows at once.
  EXPECT_LT(after, before + kCycles * 8 * 1024) << (after - before) / kCycles << " bytes a cycle";
}
