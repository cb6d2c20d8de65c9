// Safe relative paths of fuzzed bytes, the first picking the capacity (0 to 63, else 522):
// ended inside it, only names Windows creates as files, unchanged when made safe again.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "../../util/mbstring.h"
#include "../../util/safepath.h"

static void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Components of 1 to 255 bytes, no dot or space last (so no "." or ".."), no device,
// no refused byte outside a double-byte character, no lead byte without its trail.
static void CheckComponents(const unsigned char* p, size_t length) {
    for (size_t i = 0, start = 0; i <= length; i++) {
        if (i == length || p[i] == '\\') {
            Check(i > start && i - start <= 255 && p[i - 1] != '.' && p[i - 1] != ' ');
            Check(!IsDeviceName((const char*)p + start, i - start));
            start = i + 1;
        } else if (IsLeadByte(p[i])) {
            Check(++i < length && IsTrailByte(p[i]));
        } else {
            Check(p[i] >= 0x20 && strchr("<>:\"|?*/", p[i]) == nullptr);
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t capacity = data[0] < 64 ? data[0] : 522, rooms[] = {capacity, 522};
    char* safe = (char*)malloc(capacity);  // exactly, for the address sanitizer
    size_t length = MakeSafeRelativePath((const char*)data + 1, size - 1, safe, capacity);
    Check(capacity == 0 ? length == 0 : memchr(safe, 0, capacity) == safe + length);
    if (length > 0) CheckComponents((const unsigned char*)safe, length);
    char again[522];
    for (size_t room : rooms)
        Check(capacity == 0 || (MakeSafeRelativePath(safe, length, again, room) == length &&
                                memcmp(safe, again, length + 1) == 0));
    free(safe);
    return 0;
}
