// Resources recognised by their content: pictures and sounds that programs keep
// in resource types of their own ("PNG", "IMAGE", RT_RCDATA...), told apart by
// their first bytes and written as they are. One table: a format is one row.
// No Windows header, so that it builds natively and can be fuzzed.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "kinds.h"

// One recogniser: the bytes the content starts with (may be empty), then a
// check of what follows them (null: the signature alone decides). Several rows
// may share a kind (MP3 has two ways to start); a kind's files are numbered
// together.
struct ContentFormat {
    const char* signature;  // not terminated; signatureLength bytes
    size_t signatureLength;
    bool (*check)(const unsigned char* bytes, size_t size);  // size counts from bytes[0]
    int kind;                                                // an OutputKindId
};
enum { CONTENT_FORMAT_COUNT = 8 };
extern const ContentFormat CONTENT_FORMATS[CONTENT_FORMAT_COUNT];

// The first row whose signature and check accept the bytes, or null. Reads at
// most size bytes from bytes. A "RIFF" start is no format here: the RIFF scan
// finds such streams in the file's bytes, resources included.
const ContentFormat* RecogniseContent(const unsigned char* bytes, size_t size);
