#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define CORVANA_HAS_MXCSR 1
#endif

namespace corvana::dsp
{

// Turns on flush-to-zero and denormals-are-zero for its lifetime and restores the
// previous mode afterwards: denormal recirculation in the delay lines would otherwise
// cost many times the normal per-sample price. Real-time safe.
class ScopedFlushToZero
{
public:
  ScopedFlushToZero() noexcept
  {
#ifdef CORVANA_HAS_MXCSR
    mSaved = _mm_getcsr();
    _mm_setcsr(mSaved | 0x8040u); // FTZ (bit 15) and DAZ (bit 6)
#endif
  }
  ~ScopedFlushToZero()
  {
#ifdef CORVANA_HAS_MXCSR
    _mm_setcsr(mSaved);
#endif
  }
  ScopedFlushToZero(const ScopedFlushToZero&) = delete;
  ScopedFlushToZero& operator=(const ScopedFlushToZero&) = delete;

private:
#ifdef CORVANA_HAS_MXCSR
  unsigned int mSaved = 0;
#endif
};

} // namespace corvana::dsp
