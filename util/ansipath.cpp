// Conversions from UTF-16 to the ANSI code page that refuse to guess: a
// character the code page lacks is never replaced by '?' or by a look-alike,
// because an 8-bit path built that way names a different file or none at all.
#include "ansipath.h"

#include <limits.h>

#include "bounded.h"

#ifndef WC_ERR_INVALID_CHARS
#define WC_ERR_INVALID_CHARS 0x00000080  // declared only for Vista and later
#endif

// Converts to the ANSI code page without best-fit mapping; out may be null with
// a capacity of 0 to measure. Returns the bytes with the terminator, or 0 when
// the text is not representable or the conversion fails.
static int ConvertExactly(const WCHAR* text, char* out, int capacity) {
    // With UTF-8 as the ANSI code page (an option of Windows 10 and later)
    // everything but a lone surrogate is representable, and the conversion
    // refuses both the no-best-fit flag and the used-default pointer.
    if (GetACP() == CP_UTF8)
        return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, text, -1, out, capacity, nullptr,
                                   nullptr);
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, capacity, nullptr,
                                &usedDefault);
    return usedDefault ? 0 : n;
}

bool IsAnsiRepresentable(const WCHAR* text) {
    return ConvertExactly(text, nullptr, 0) > 0;
}

bool WideToAnsiExact(const WCHAR* text, char* out, size_t capacity) {
    if (capacity == 0) return false;
    int limit = capacity > (size_t)INT_MAX ? INT_MAX : (int)capacity;
    // A text that does not fit fails with the buffer partly written and
    // unterminated; it is emptied below.
    if (ConvertExactly(text, out, limit) > 0) return true;
    out[0] = '\0';
    return false;
}

bool AnsiPathForWide(const WCHAR* path, char* out) {
    if (WideToAnsiExact(path, out, PATH_CAPACITY)) return true;
    // The short form is no longer than PATH_CAPACITY units when its 8-bit form
    // fits in PATH_CAPACITY bytes. Where the volume makes no short names the
    // long name comes back, and its conversion fails again.
    WCHAR shortPath[PATH_CAPACITY];
    DWORD n = GetShortPathNameW(path, shortPath, PATH_CAPACITY);
    if (n == 0 || n >= PATH_CAPACITY) return false;
    return WideToAnsiExact(shortPath, out, PATH_CAPACITY);
}
