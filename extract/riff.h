// Scanner for the streams anywhere in a file: AVI, WAVE and animated-cursor
// RIFF streams, and pictures and sounds of the other stream formats.
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

// How the scan reads the source: through the runtime's stream, which copies
// every byte into a buffer first, or through views of a file mapping, which
// the search reads in place. The stream is the default: under the page faults
// of mapped views it is the faster here (docs/benchmarks.md has the figures). Each
// way falls back to the other where it cannot be used. The stream cannot open
// a file held by someone with delete access, which a mapping shares. A mapping
// is not used for an empty file, for one that someone else has open for
// writing, or for one whose size differs from the size found before opening
// it. Both ways give the same files.
enum RiffSourceAccess {
    RIFF_ACCESS_DEFAULT,
    RIFF_ACCESS_MAPPED,
    RIFF_ACCESS_STREAM,
};

// Read sizes of the scan: the stream way's search reads blocks of blockSize
// bytes, the mapped way's maps views of viewSize bytes (rounded up to the
// allocation granularity), and a stream is copied to its output in pieces of
// copyChunkSize bytes. When onCandidate is given it sees, in file order, the
// offset just after every "RIFF" that the search finds, accepted or not.
// memchrSearch turns the SSE2 search off (it is also off on processors without
// SSE2). Every stream written draws from budget; a null budget stands for a
// fresh one for this file alone. When accessUsed is given it receives the way
// that was taken. Streams go where place says (null: beside the source,
// without fall-back), named after namingPath (null: the source itself),
// numbered on from indexes (null: from 0), and none but RIFF streams is
// written where it begins in one of the excluded ranges (sorted by start).
struct RiffScanOptions {
    size_t blockSize;
    size_t copyChunkSize;
    bool memchrSearch;
    void (*onCandidate)(void* context, int64_t offsetAfterSignature);
    void* context;
    OutputBudget* budget;
    RiffSourceAccess access;
    size_t viewSize;
    RiffSourceAccess* accessUsed;
    OutputPlace* place;
    const char* namingPath;
    KindIndexes* indexes = nullptr;
    const ByteRange* excluded = nullptr;
    size_t excludedCount = 0;
};
// A block of 256 KiB stays in the processor's second-level cache between its
// copy and its search. A view of 8 MiB keeps the address space that a 32-bit
// process needs small and the working set (a view's pages count while it is
// mapped) far below the 32 MiB that the scan of any file may take.
enum {
    RIFF_SCAN_BLOCK_SIZE = 1 << 18,
    RIFF_COPY_CHUNK_SIZE = 1 << 18,
    RIFF_VIEW_SIZE = 8 << 20,
};

// ScanRiffStreams with explicit read sizes (zero sizes take the defaults).
bool ScanRiffStreamsWith(const char* sourcePath, KindMask kindMask, const RiffScanOptions* options);
