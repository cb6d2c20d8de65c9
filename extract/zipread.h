// ZIP archives in memory: finds one that ends the bytes it is given (a whole file, or one after a
// self-extractor's program), walks its central directory and decodes stored and deflated members
// through zlib, with every offset checked against the bytes and the work bounded by a budget.
#pragma once

#include <stddef.h>
#include <stdint.h>

// An archive found in the caller's bytes, which stay the caller's and must
// outlive every use of the record. Offsets count from the first of the bytes.
struct ZipArchive {
    const unsigned char* bytes;
    size_t size;
    size_t start;         // where the archive begins; its own offsets count from here
    size_t directory;     // the central directory's first entry
    size_t directoryEnd;  // just past its last entry (the end record, or the ZIP64 one)
    size_t end;           // just past the end record's comment
    uint64_t entryCount;  // as declared, capped at what the directory can hold
    bool zip64;           // the directory was placed by a ZIP64 end record
};

// One member as the central directory describes it. The name is the raw bytes
// of the archive, not terminated, and may be empty.
struct ZipEntry {
    const unsigned char* name;
    size_t nameLength;
    bool utf8;       // flag bit 11: the name is UTF-8, else in the writer's OEM code page
    bool encrypted;  // flag bit 0
    uint16_t flags;
    uint16_t method;  // 0 stored, 8 deflated; no other method is decoded
    uint32_t crc;
    uint64_t compressedSize;  // ZIP64 values where the 32-bit fields are saturated
    uint64_t uncompressedSize;
    uint64_t localHeader;  // from the archive's start
    uint64_t index;        // place in the directory, folder entries counted
};

// True when an end-of-central-directory record lies in the last 64 KiB and
// 22 bytes and places a directory inside the bytes. Searching backwards, the
// first record that does wins.
bool OpenZipArchive(const unsigned char* bytes, size_t size, ZipArchive* archive);

// A walk over the central directory, entry by entry.
struct ZipWalk {
    size_t position;       // the next entry
    uint64_t index;        // entries read, folder entries counted
    uint64_t directories;  // folder entries (names ending in '/') passed over
    bool damaged;  // stopped at an entry without its signature or running past the directory
};

ZipWalk BeginZipWalk(const ZipArchive* archive);

// The next member of the walk, passing over folder entries: they hold no data,
// and the folders come from the members' own paths. False at the directory's
// end or at a damaged entry; the members delivered before stay usable.
bool NextZipEntry(const ZipArchive* archive, ZipWalk* walk, ZipEntry* entry);

// Where a member's compressed bytes begin, after its local header (whose own
// name and extra lengths are taken; its sizes are not, the directory's are).
// False unless the header's signature is there and header and data lie before
// the central directory; when true, entry->compressedSize bytes follow *data.
bool FindZipData(const ZipArchive* archive, const ZipEntry* entry, const unsigned char** data);

// What one archive may still cost to decode. The caller starts it from the
// container's size, so that no archive, however its entries overlap, makes
// more work than a fixed multiple of the bytes it came in.
struct ZipBudget {
    uint64_t remaining;
};
const uint64_t ZIP_BUDGET_MULTIPLE = 64;
const uint64_t ZIP_BUDGET_CONSTANT = 256u << 20;

ZipBudget ZipBudgetFor(uint64_t containerSize);

// What decoding the member takes from the budget: its declared size and its
// compressed size, both of which the decoder works through.
uint64_t ZipDecodeCost(const ZipEntry* entry);

enum ZipResult {
    ZIP_OK,
    ZIP_ENCRYPTED,
    ZIP_UNSUPPORTED_METHOD,
    ZIP_NO_DATA,      // FindZipData failed
    ZIP_TOO_LARGE,    // declared size above the buffer's capacity
    ZIP_OVER_BUDGET,  // its cost is more than the budget has left
    ZIP_BAD_STREAM,   // not a valid deflate stream
    ZIP_SHORT,        // the data ends before the declared size, or cannot reach it
    ZIP_LONG,         // the data goes on past the declared size
    ZIP_BAD_CRC,
    ZIP_NO_MEMORY,  // zlib could not have its state
};

// Short words for a result, for reports.
const char* ZipResultText(ZipResult result);

// Decodes a member into out, which holds capacity bytes, writing at most its
// declared size there. ZIP_OK only when exactly the declared size came out and
// its CRC-32 is the declared one; otherwise what out holds means nothing. The
// checks that need no decoding come first and cost nothing; then the cost is
// taken from the budget and stays taken whatever the decoding gives.
ZipResult DecodeZipMember(const ZipArchive* archive, const ZipEntry* entry, ZipBudget* budget,
                          unsigned char* out, size_t capacity);
