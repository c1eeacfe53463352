#pragma once

// CORVANA_DSP_CLONES marks a per-sample hot function to be compiled twice: for
// the x86-64 baseline and for x86-64-v3 (AVX2), the copy picked once at load
// time by what the processor offers. The binaries still run on any x86-64.
// Results are identical bit for bit: floating-point contraction stays off
// (dsp/CMakeLists.txt), so the AVX2 copy performs the same IEEE operations,
// only with shorter and wider instruction encodings.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__ELF__)
#define CORVANA_DSP_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define CORVANA_DSP_CLONES
#endif

// A function that takes or returns a vector wider than 16 bytes is always
// inlined into its caller: the AVX2 copies pass such vectors in registers and
// the baseline code in memory, so a call between the two (an out-of-line copy,
// as in a build without optimisation) would read garbage.
#if defined(__GNUC__)
#define CORVANA_LANES_INLINE [[gnu::always_inline]] inline
#else
#define CORVANA_LANES_INLINE inline
#endif
