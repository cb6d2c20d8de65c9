// The RIFF scan over bytes: the signature search, the header decision and the
// copy of a stream, reading the source and writing the outputs through small
// callbacks, so that the same code runs on files in the program (riff.cpp) and
// on memory in the native fuzz targets. No Windows header.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "budget.h"
#include "kinds.h"

// One known form: the four bytes at offset 8 of a stream, the output extension
// and its kind bit (the KindMask bit that switches it off). A new form is one
// row of RIFF_FORMS and its switch in the command line's table.
struct RiffForm {
    char formType[4];
    const char* extension;
    KindMask kindBit;
};
enum { RIFF_FORM_COUNT = 3 };
extern const RiffForm RIFF_FORMS[RIFF_FORM_COUNT];

// The bits of every form in the table.
KindMask RiffKindBits();

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
// read of up to count bytes at offset that returns how many arrived.
struct RiffInput {
    int64_t size;
    size_t (*read)(void* context, int64_t offset, void* dest, size_t count);
    void* context;
};

// Where a stream goes: open gives false when the output of that row and index
// cannot be made; finish ends it, dropping it when ok is false, and tells
// whether it was kept.
struct RiffOutput {
    bool (*open)(void* context, int row, int index);
    bool (*write)(void* context, const void* bytes, size_t count);
    bool (*finish)(void* context, bool ok);
    void* context;
};

struct RiffScanSettings {
    unsigned kindMask;     // forms switched off are neither written nor counted
    size_t blockSize;      // bytes per read of the signature search
    size_t copyChunkSize;  // bytes per piece of a stream's copy
    bool vectorSearch;
    // When given, sees the offset just after every signature, in file order.
    void (*onCandidate)(void* context, int64_t offsetAfterSignature);
    void* candidateContext;
    OutputBudget* budget;  // every stream written draws its bytes from it
};

// Finds every "RIFF" in the source, in order, and writes every stream of a
// known form that is switched on and fits the budget; the search goes on right
// after each signature, so streams inside streams are found too. False only
// when its buffers cannot be allocated.
bool ScanRiffBytes(const RiffInput* input, const RiffOutput* output,
                   const RiffScanSettings* settings);
