#pragma once

// Counts heap allocations (operator new) and mutex locks (pthread_mutex_lock) made by the
// calling thread while counting is on: the audio path must make neither. A test program
// that uses these links tests/support/RealtimeCounters.cpp, which replaces both functions
// (under a sanitizer, allocations are counted through its allocator's hook instead).
namespace ostra::test
{

struct RealtimeCounts
{
  int allocations = 0;
  int locks = 0;
  bool operator==(const RealtimeCounts&) const = default;
};

/** Zeroes the counts and starts counting on this thread. */
void startCounting();
/** Stops counting and returns what was counted since startCounting(). */
RealtimeCounts stopCounting();
/** Counts one allocation and one lock: proves the counters see both. */
RealtimeCounts countKnownAllocationAndLock();

} // namespace ostra::test
