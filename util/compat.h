// Toolchain differences between MinGW-w64 GCC and MSVC, kept in this one place.
// Everything else includes this header instead of testing compilers itself.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#if defined(_MSC_VER)
// MSVC has no printf-format checking attribute.
#define PELNORE_PRINTF(fmt, args)
// MSVC compiles SSE2 intrinsics in any function.
#define PELNORE_TARGET_SSE2
#else
#define PELNORE_PRINTF(fmt, args) __attribute__((format(ms_printf, fmt, args)))
// Lets one function use SSE2 intrinsics while the program as a whole still runs
// on processors without them; call it only when IsProcessorFeaturePresent says so.
#define PELNORE_TARGET_SSE2 __attribute__((target("sse2")))
#endif

// Marks a parameter that a callback signature imposes but this code ignores.
#define PELNORE_UNUSED(x) ((void)(x))
