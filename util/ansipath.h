// Wide texts handed on to the program's 8-bit code: whether the ANSI code page
// holds a text exactly, and for a path that it cannot hold, the path's short
// (8.3) form, which the file system keeps in plain ASCII where it has one.
#pragma once

#include "compat.h"

// Every character of text has its own character in the ANSI code page: no
// default character and no best-fit look-alike (such as 'e' for U+00E9, or a
// backslash for the yen sign U+00A5 under code page 932).
bool IsAnsiRepresentable(const WCHAR* text);
// True and the exact conversion of text in out; false and "" when text is not
// representable or does not fit in capacity bytes with its terminator.
bool WideToAnsiExact(const WCHAR* text, char* out, size_t capacity);
// An 8-bit name for an existing path: its exact conversion when the ANSI code
// page holds it, else the exact conversion of its short form. False and "" when
// neither is possible (no short name, or the result does not fit PATH_CAPACITY).
bool AnsiPathForWide(const WCHAR* path, char* out /* PATH_CAPACITY */);
