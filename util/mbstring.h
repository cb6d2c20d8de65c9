// Multibyte-aware character primitives, searches and spans over zero-terminated
// 8-bit texts. The text is always treated as Shift-JIS (code page 932) with the
// lead-byte ranges built in, whatever the system's code page, so that the second
// byte of a double-byte character (0x5C included) is never taken for a
// separator or a set member. Nothing here allocates or keeps state.
#pragma once

#include <stddef.h>

enum ByteType { BYTE_SINGLE = 0, BYTE_LEAD = 1, BYTE_TRAIL = 2 };

bool IsLeadByte(unsigned char b);
// A byte that completes a double-byte character after a lead byte: 0x40 to
// 0xFC without 0x7F. After a lead byte, any other byte stands on its own.
bool IsTrailByte(unsigned char b);
// Terminator: unchanged; double-byte character: + 2; otherwise + 1.
const char* NextChar(const char* p);
char* NextChar(char* p);
// Classifies the byte at index by walking from the start; 0 past the end.
int ByteTypeAt(const char* text, size_t index);
const char* StringEnd(const char* text);
char* StringEnd(char* text);

// The last backslash that is a one-byte character, or null.
const char* FindLastSeparator(const char* text);
// The text's last character is such a backslash.
bool EndsWithSeparator(const char* text);

// Longest prefix without a one-byte character of the set; double-byte
// characters never end it.
size_t SpanNotInSet(const char* text, const char* setText);
// Longest prefix made of one-byte characters of the set only.
size_t SpanInSet(const char* text, const char* setText);

bool StringsEqual(const char* a, const char* b);
bool StringsEqualNoCase(const char* a, const char* b);
