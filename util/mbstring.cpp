// Character primitives, searches and spans over code page 932 texts. The lead
// byte ranges are fixed here, so a trail byte (0x5C included) is never taken
// for a backslash or a set member, whatever code page the system runs under.
// No Windows header: the native fuzz build of the byte-level core has it too.
#include "mbstring.h"

#include <string.h>
#if !defined(_WIN32)
#include <strings.h>
#endif

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

bool IsTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// A lead byte counts as the start of a double-byte character only when a
// non-zero byte follows, so that nothing ever steps over the terminator.
static bool StartsDoubleByte(const char* p) {
    return IsLeadByte((unsigned char)p[0]) && p[1] != '\0';
}

const char* NextChar(const char* p) {
    if (*p == '\0') return p;
    return StartsDoubleByte(p) ? p + 2 : p + 1;
}

char* NextChar(char* p) { return (char*)NextChar((const char*)p); }

// Type of the current byte given the type of the previous one.
static int ClassifyByte(unsigned char b, int previous) {
    if (previous == BYTE_LEAD) return IsTrailByte(b) ? BYTE_TRAIL : BYTE_SINGLE;
    return IsLeadByte(b) ? BYTE_LEAD : BYTE_SINGLE;
}

// Walks from the start to index; false when the text ends before it.
static bool TypeAt(const char* text, size_t index, int* type) {
    int previous = BYTE_SINGLE;
    for (size_t i = 0;; i++) {
        unsigned char b = (unsigned char)text[i];
        if (b == 0) return false;
        previous = ClassifyByte(b, previous);
        if (i == index) {
            *type = previous;
            return true;
        }
    }
}

int ByteTypeAt(const char* text, size_t index) {
    int type = BYTE_SINGLE;
    return TypeAt(text, index, &type) ? type : BYTE_SINGLE;
}

const char* StringEnd(const char* text) { return text + strlen(text); }

char* StringEnd(char* text) { return text + strlen(text); }

// One forward pass with the byte-type rules of ByteTypeAt, so the result is the
// same as asking ByteTypeAt at every backslash, without the quadratic walk.
const char* FindLastSeparator(const char* text) {
    const char* found = nullptr;
    int previous = BYTE_SINGLE;
    for (const char* p = text; *p != '\0'; p++) {
        previous = ClassifyByte((unsigned char)*p, previous);
        if (previous == BYTE_SINGLE && *p == '\\') found = p;
    }
    return found;
}

bool EndsWithSeparator(const char* text) {
    const char* last = FindLastSeparator(text);
    return last != nullptr && last[1] == '\0';
}

// 256-bit set, bit (b & 7) of bits[b / 8] for byte b.
struct ByteSet {
    unsigned char bits[32];
};

static void BuildByteSet(ByteSet* set, const char* setText) {
    memset(set->bits, 0, sizeof(set->bits));
    for (const unsigned char* p = (const unsigned char*)setText; *p != 0; p++)
        set->bits[*p / 8] |= (unsigned char)(1u << (*p & 7));
}

static bool ByteSetHas(const ByteSet* set, unsigned char b) {
    return (set->bits[b / 8] & (1u << (b & 7))) != 0;
}

size_t SpanNotInSet(const char* text, const char* setText) {
    ByteSet set;
    BuildByteSet(&set, setText);
    const char* p = text;
    while (*p != '\0') {
        if (StartsDoubleByte(p)) {
            p += 2;
            continue;
        }
        if (ByteSetHas(&set, (unsigned char)*p)) break;
        p++;
    }
    return (size_t)(p - text);
}

size_t SpanInSet(const char* text, const char* setText) {
    ByteSet set;
    BuildByteSet(&set, setText);
    const char* p = text;
    while (*p != '\0' && !StartsDoubleByte(p) && ByteSetHas(&set, (unsigned char)*p)) p++;
    return (size_t)(p - text);
}

bool StringsEqual(const char* a, const char* b) { return strcmp(a, b) == 0; }

bool StringsEqualNoCase(const char* a, const char* b) {
#if defined(_WIN32)
    return _stricmp(a, b) == 0;
#else
    return strcasecmp(a, b) == 0;
#endif
}
