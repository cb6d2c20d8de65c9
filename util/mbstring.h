// Multibyte-aware character primitives, searches and spans over zero-terminated
// 8-bit texts. The text is always treated as Shift-JIS (code page 932) with the
// lead-byte ranges built in, whatever the system's code page, so that the second
// byte of a double-byte character (0x5C included) is never taken for a
// separator or a set member. Nothing here allocates or keeps state.
#pragma once

#include <stddef.h>

enum ByteType { BYTE_SINGLE = 0, BYTE_LEAD = 1, BYTE_TRAIL = 2 };

// 256-bit set, bit (b & 7) of bits[b / 8] for byte b.
struct ByteSet {
    unsigned char bits[32];
};

bool IsLeadByte(unsigned char b);
bool IsTrailByte(unsigned char b);

// Lead byte followed by a non-zero byte: lead * 256 + trail; else the byte.
unsigned int CharCodeAt(const char* p);
// Terminator: unchanged; double-byte character: + 2; otherwise + 1.
const char* NextChar(const char* p);
char* NextChar(char* p);
// Classifies the byte at index by walking from the start; 0 past the end.
int ByteTypeAt(const char* text, size_t index);
// The byte at index is a backslash that is a one-byte character.
bool IsSeparatorAt(const char* text, size_t index);
const char* StringEnd(const char* text);
char* StringEnd(char* text);
// Clears n bytes and returns block + n.
void* ZeroFill(void* block, size_t n);

const char* FindCharCode(const char* text, unsigned int code);
const char* FindSeparator(const char* text);
const char* FindLastSeparator(const char* text);
const char* TrailingSeparator(const char* text);
bool EndsWithSeparator(const char* text);

void BuildByteSet(ByteSet* set, const char* setText);
bool ByteSetHas(const ByteSet* set, unsigned char b);
// Longest prefix without a one-byte character of the set; double-byte
// characters never end it.
size_t SpanNotInSet(const char* text, const char* setText);
// Longest prefix made of one-byte characters of the set only.
size_t SpanInSet(const char* text, const char* setText);

// a and b agree over the first n bytes, or both end together before that.
bool EqualPrefix(const char* a, const char* b, size_t n);
bool StringsEqual(const char* a, const char* b);
bool StringsEqualNoCase(const char* a, const char* b);
