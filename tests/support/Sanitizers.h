#pragma once

// Whether this test program is built with AddressSanitizer or ThreadSanitizer, with GCC
// (which names them by macros) or with clang (which answers __has_feature).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OSTRA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define OSTRA_SANITIZED 1
#endif
#endif
#ifndef OSTRA_SANITIZED
#define OSTRA_SANITIZED 0
#endif

#if defined(__SANITIZE_THREAD__)
#define OSTRA_THREAD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define OSTRA_THREAD_SANITIZED 1
#endif
#endif
#ifndef OSTRA_THREAD_SANITIZED
#define OSTRA_THREAD_SANITIZED 0
#endif
