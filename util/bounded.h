// Bounded writing into fixed buffers. Every routine leaves its destination
// terminated inside its capacity.
#pragma once

#include <stdarg.h>
#include <stddef.h>

#include "compat.h"

// Capacity of every path buffer in the program: 521 bytes of text and a NUL.
enum { PATH_CAPACITY = 522 };
// Capacity of the buffers that AppendBounded works on: 1024 bytes of text.
enum { APPEND_CAPACITY = 1025 };

// Copies at most capacity - 1 bytes, one less when the cut would separate a
// double-byte character, and terminates. A capacity of 0 writes nothing.
void CopyBounded(char* dest, size_t capacity, const char* source);

// Measuring (dest null): returns strlen(source). Otherwise appends to a text of
// lengthSoFar bytes in a 1025-byte buffer, cut by bytes so that the text never
// exceeds 1024 bytes, and returns the count appended.
size_t AppendBounded(char* dest, size_t lengthSoFar, const char* source);

// printf-style into capacity bytes; returns the length, or -1 when the text was
// cut or formatting failed (capacity 0: -1, nothing written).
int FormatBounded(char* dest, size_t capacity, const char* format, ...) PELNORE_PRINTF(3, 4);
int FormatBoundedV(char* dest, size_t capacity, const char* format, va_list args);

// Ends a string value of size bytes read into a buffer of capacity bytes
// inside the buffer; false, leaving it empty, when the text does not fit.
bool EndStringValue(char* buffer, DWORD size, DWORD capacity);
