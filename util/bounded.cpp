// Bounded copying, appending and formatting into fixed buffers. Every routine
// leaves its destination terminated inside its capacity.
#include "bounded.h"

#include <stdio.h>
#include <string.h>

#include "mbstring.h"

// Length of text, but at most limit; never reads past the terminator or limit.
static size_t BoundedLength(const char* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] != '\0') n++;
    return n;
}

void CopyBounded(char* dest, size_t capacity, const char* source) {
    if (capacity == 0) return;
    size_t k = capacity - 1;
    // When the source goes on past the cut and the last byte kept is a lead
    // byte, its partner would be lost: keep one byte less. This covers a lead
    // byte followed by a valid trail byte (ByteTypeAt of the first byte cut off
    // is a trail) and one followed by any other non-zero byte alike.
    if (k > 0 && BoundedLength(source, capacity) == capacity &&
        ByteTypeAt(source, k - 1) == BYTE_LEAD)
        k--;
    size_t n = BoundedLength(source, k);
    memmove(dest, source, n);
    dest[n] = '\0';
}

size_t AppendBounded(char* dest, size_t lengthSoFar, const char* source) {
    if (dest == nullptr) return strlen(source);
    if (lengthSoFar >= APPEND_CAPACITY) return 0;
    size_t n = BoundedLength(source, APPEND_CAPACITY - 1 - lengthSoFar);
    memmove(dest + lengthSoFar, source, n);
    dest[lengthSoFar + n] = '\0';
    return n;
}

int FormatBoundedV(char* dest, size_t capacity, const char* format, va_list args) {
    if (capacity == 0) return -1;
    // The runtime's _vsnprintf stores at most count bytes and returns -1 when
    // the text did not fit; a text of exactly count bytes is left unterminated.
    int length = _vsnprintf(dest, capacity - 1, format, args);
    if (length > 0 && (size_t)length < capacity) {
        dest[length] = '\0';
        return length;
    }
    dest[capacity - 1] = '\0';
    // An empty result is a valid, empty text.
    if (length == 0) dest[0] = '\0';
    return length == 0 ? 0 : -1;
}

int FormatBounded(char* dest, size_t capacity, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = FormatBoundedV(dest, capacity, format, args);
    va_end(args);
    return length;
}

// The registry hands back exactly the bytes that were stored: a value written
// without its terminating NUL comes back unterminated (NT adds one only when
// the buffer has room to spare), so the text is ended here from the size read.
bool EndStringValue(char* buffer, DWORD size, DWORD capacity) {
    if (capacity == 0) return false;
    if (size > capacity) {
        buffer[0] = '\0';
        return false;
    }
    if (size > 0 && buffer[size - 1] == '\0') return true;
    if (size == capacity) {
        // Every byte is text: the value is one byte too long for the buffer.
        buffer[0] = '\0';
        return false;
    }
    buffer[size] = '\0';
    return true;
}
