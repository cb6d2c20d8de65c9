// Scanner for AVI, WAVE and animated-cursor RIFF streams anywhere in a file.
#pragma once

#include <stddef.h>

#include "budget.h"
#include "extract.h"
#include "riffscan.h"

// The file's size with all 64 bits, or -1; works on files held open unshared,
// and files of 2 GiB and more are scanned to their end.
LONGLONG FileSize64ByName(const char* path);

// False when the file cannot be opened for reading.
bool ScanRiffStreams(const char* sourcePath, KindMask kindMask);

// Read sizes of the scan: the signature search reads blocks of blockSize bytes,
// a stream is copied to its output in pieces of copyChunkSize bytes. When
// onCandidate is given it sees, in file order, the offset just after every
// "RIFF" that the search finds, accepted or not. memchrSearch turns the SSE2
// search off (it is also off on processors without SSE2). Every stream written
// draws from budget; a null budget stands for a fresh one for this file alone.
// Streams go where place says (null: beside the source, without fall-back).
struct RiffScanOptions {
    size_t blockSize;
    size_t copyChunkSize;
    bool memchrSearch;
    void (*onCandidate)(void* context, int64_t offsetAfterSignature);
    void* context;
    OutputBudget* budget;
    OutputPlace* place;
};
enum { RIFF_SCAN_BLOCK_SIZE = 1 << 20, RIFF_COPY_CHUNK_SIZE = 1 << 18 };

// ScanRiffStreams with explicit read sizes (zero sizes take the defaults).
bool ScanRiffStreamsWith(const char* sourcePath, KindMask kindMask, const RiffScanOptions* options);
