// Compiler differences that code without any Windows header needs too (the
// byte-level extraction core also builds natively with clang for fuzzing).
#pragma once

#if defined(_MSC_VER)
// MSVC has no printf-format checking attribute.
#define PELNORE_PRINTF(fmt, args)
// MSVC compiles SSE2 intrinsics in any function.
#define PELNORE_TARGET_SSE2
#else
#if defined(_WIN32)
#define PELNORE_PRINTF(fmt, args) __attribute__((format(ms_printf, fmt, args)))
#else
#define PELNORE_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#endif
// Lets one function use SSE2 intrinsics while the program as a whole still runs
// on processors without them; call it only when the processor has SSE2.
#define PELNORE_TARGET_SSE2 __attribute__((target("sse2")))
#endif

// Marks a parameter that a callback signature imposes but this code ignores.
#define PELNORE_UNUSED(x) ((void)(x))
