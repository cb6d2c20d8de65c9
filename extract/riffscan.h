// The stream scan over bytes: one search for the RIFF signature and the other
// stream formats' anchors, the RIFF header decision and the walks of the other
// formats, and the copy of every stream found, reading the source and writing
// the outputs through small callbacks, so that the same code runs on files in
// the program (riff.cpp) and on memory in the native fuzz targets. No Windows
// header.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "budget.h"
#include "kinds.h"

// One known form: the four bytes at offset 8 of a stream and its kind. A new
// form is one row of RIFF_FORMS and its kind's row.
struct RiffForm {
    char formType[4];
    int kind;  // an OutputKindId
};
enum { RIFF_FORM_COUNT = 3 };
extern const RiffForm RIFF_FORMS[RIFF_FORM_COUNT];

// Row of the form whose type equals the four bytes (case-sensitive), or -1.
int RiffFormRow(const unsigned char* formType);

// A stream that passed the header checks.
struct RiffStreamHeader {
    int row;             // its row in RIFF_FORMS
    uint32_t sizeField;  // as read, written back unchanged
    uint32_t rounded;    // rounded up to a multiple of four
};

// The header decision for the eight bytes after a "RIFF" (size field, form
// type) with bytesLeft bytes from just after the signature to the end of the
// source (negative when its size is unknown). False for a size field of 0 or
// from 0x7FFFFFFD up, a stream that runs more than four bytes past the end, or
// a form that is not in the table.
bool AcceptRiffHeader(const unsigned char* header, int64_t bytesLeft, RiffStreamHeader* stream);

// Offset of the first "RIFF" at or after from whose four bytes lie below
// valid, or RIFF_NOT_FOUND. vectorSearch uses SSE2: only where the processor
// has it.
const size_t RIFF_NOT_FOUND = (size_t)-1;
size_t FindRiffSignature(const unsigned char* buffer, size_t from, size_t valid, bool vectorSearch);

// Where the source's bytes come from: size in bytes (-1 when unknown) and a
// read of up to count bytes at offset that returns how many arrived. span may
// be null; when given, the search reads the source through it in place, with
// no copy: it returns the bytes from offset on and in *count how many follow
// there (null or 0 at the end), and they stay readable until the next call of
// span, whatever reads come between.
struct RiffInput {
    int64_t size;
    size_t (*read)(void* context, int64_t offset, void* dest, size_t count);
    const unsigned char* (*span)(void* context, int64_t offset, size_t* count);
    void* context;
};

// Where a stream goes: open gives false when the output of that kind and index
// cannot be made (start: the stream's offset in the source); finish ends it, dropping it when ok is
// false, and tells whether it was kept.
struct RiffOutput {
    bool (*open)(void* context, int kind, unsigned index, int64_t start);
    bool (*write)(void* context, const void* bytes, size_t count);
    bool (*finish)(void* context, bool ok);
    void* context;
};

// Bytes of the source that the scan leaves alone: a stream that begins in one
// is not written (RIFF streams aside).
struct ByteRange {
    int64_t start, end;
};

// A growing list of ranges; false when there is no memory for one more (the
// list is kept as it was).
struct ByteRanges {
    ByteRange* items;
    size_t count, capacity;
};
bool AddByteRange(ByteRanges* ranges, int64_t start, int64_t end);
// Sorts by start, as the scan takes them.
void SortByteRanges(ByteRanges* ranges);
void FreeByteRanges(ByteRanges* ranges);

struct RiffScanSettings {
    unsigned kindMask;     // kinds switched off are neither written nor counted
    size_t blockSize;      // bytes per read of the signature search without span
    size_t copyChunkSize;  // bytes per piece of a stream's copy
    // Bytes of the buffer that the walks of other formats read through (at
    // least 256); 0: BYTE_WINDOW_CAPACITY.
    size_t windowSize;
    bool vectorSearch;
    // When given, sees the offset just after every signature, in file order.
    void (*onCandidate)(void* context, int64_t offsetAfterSignature);
    void* candidateContext;
    OutputBudget* budget;  // every stream written draws its bytes from it
    // The next index of each kind, on from the source's earlier ways; null:
    // every kind from 0.
    KindIndexes* indexes;
    // Sorted by start; they may overlap. Null when there are none.
    const ByteRange* excluded;
    size_t excludedCount;
};

// Finds every "RIFF" and every other format's anchor in the source, in order,
// and writes every stream of a kind that is switched on, holds to its end and
// fits the budget; the search goes on right after each start. A RIFF stream
// is written wherever it lies, inside another one too; any other stream only
// where it begins in no excluded range and in no stream written before it.
// False only when its buffers cannot be allocated.
bool ScanRiffBytes(const RiffInput* input, const RiffOutput* output,
                   const RiffScanSettings* settings);
