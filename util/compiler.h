// Compiler differences that code without any Windows header needs too (the
// byte-level extraction core also builds natively with clang for fuzzing).
#pragma once

#if defined(_MSC_VER)
// MSVC has no printf-format checking attribute.
#define PELNORE_PRINTF(fmt, args)
// MSVC compiles SSE2 and SSSE3 intrinsics in any function.
#define PELNORE_TARGET_SSE2
#define PELNORE_TARGET_SSSE3
#define PELNORE_TARGET_AVX2
#else
#if defined(_WIN32)
#define PELNORE_PRINTF(fmt, args) __attribute__((format(ms_printf, fmt, args)))
#else
#define PELNORE_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#endif
// Lets one function use SSE2 intrinsics while the program as a whole still runs
// on processors without them; call it only when the processor has SSE2.
#define PELNORE_TARGET_SSE2 __attribute__((target("sse2")))
// The same for SSSE3 (its byte shuffle); call it only when the processor has it.
#define PELNORE_TARGET_SSSE3 __attribute__((target("ssse3")))
// And for AVX2; call it only when ProcessorHasAvx2 says so.
#define PELNORE_TARGET_AVX2 __attribute__((target("avx2")))
#endif

// Marks a parameter that a callback signature imposes but this code ignores.
#define PELNORE_UNUSED(x) ((void)(x))

#if defined(_MSC_VER)
#include <intrin.h>
#elif defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

// Whether the processor has SSSE3 (CPUID leaf 1, ECX bit 9); every x86-64
// processor of the last fifteen years has, some older ones have not.
inline bool ProcessorHasSsse3() {
#if defined(_MSC_VER)
    int info[4];
    __cpuid(info, 1);
    return (info[2] & (1 << 9)) != 0;
#elif defined(__i386__) || defined(__x86_64__)
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSSE3) != 0;
#else
    return false;
#endif
}

// Whether the processor has AVX2 and the system keeps the YMM registers across
// thread switches (OSXSAVE, and XCR0's SSE and AVX state bits).
inline bool ProcessorHasAvx2() {
#if defined(_MSC_VER)
    int info[4];
    __cpuid(info, 1);
    if (!(info[2] & (1 << 27)) || !(info[2] & (1 << 28)) || (_xgetbv(0) & 6) != 6) return false;
    __cpuidex(info, 7, 0);
    return (info[1] & (1 << 5)) != 0;
#elif defined(__i386__) || defined(__x86_64__)
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX)) return false;
    unsigned low, high;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 6) != 6) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2) != 0;
#else
    return false;
#endif
}
