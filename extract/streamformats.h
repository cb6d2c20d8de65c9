// Pictures and sounds found anywhere in a file's bytes, apart from RIFF: each
// format's first bytes (its anchor, which the scan's search looks for) and a
// walk of its structure from its first byte to an exact end. A candidate is a
// stream only where the whole walk holds. No Windows header, so that it builds
// natively and can be fuzzed.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "kinds.h"

// Where a walk reads the source: the span being searched, read in place, and
// else a buffer of its own filled through read. Every walk draws the bytes it
// looks at from budget, which the scan sizes by the file: a crafted file whose
// candidates all walk far therefore costs time linear in its size, and the
// candidates after the budget is spent give nothing.
struct ByteWindow {
    int64_t size;  // the source's size in bytes
    size_t (*read)(void* context, int64_t offset, void* dest, size_t count);
    void* context;
    const unsigned char* span;  // may be null
    int64_t spanOffset;
    size_t spanCount;
    unsigned char* buffer;  // capacity bytes, owned by the caller
    size_t capacity;
    int64_t bufferOffset;
    size_t bufferCount;
    uint64_t budget;  // bytes the walks may still look at
};

// Bytes of the window's own buffer by default; a walk reads at most 256 bytes
// at once (an Ogg page's segment table), and longer runs in pieces of the
// capacity.
enum { BYTE_WINDOW_CAPACITY = 1 << 16 };

// The count bytes at offset (count at most the capacity), or null when they are
// not all in the source or the budget is spent.
const unsigned char* PeekBytes(ByteWindow* window, int64_t offset, size_t count);

// A byte that an anchor accepts: lo <= (byte & mask) <= hi.
struct ByteClass {
    unsigned char mask, lo, hi;
};

// One recogniser. The anchor is four byte classes at the start plus
// anchorShift (EMF's signature lies 40 bytes into its header); the search
// groups anchors into eight buckets, a bucket's anchors sharing one bit of its
// tables, so rows whose anchors look alike share a bucket. The vector search
// looks at the classes at 0, 1 and 3, the check of each hit at all four. findEnd walks the
// structure from start and gives the offset just after its end, or -1.
enum { ANCHOR_LENGTH = 4 };
struct StreamFormat {
    int kind;  // an OutputKindId
    unsigned bucket;
    unsigned anchorShift;
    ByteClass anchor[ANCHOR_LENGTH];
    int64_t (*findEnd)(ByteWindow* window, int64_t start);
};
enum { STREAM_FORMAT_COUNT = 12, STREAM_BUCKET_COUNT = 8 };
extern const StreamFormat STREAM_FORMATS[STREAM_FORMAT_COUNT];

// Per position of an anchor and byte: bit i set when STREAM_FORMATS[i]
// accepts the byte there. Built at compile time, so that a scan gathers its
// tables without testing every class against every byte.
struct AnchorFormatTable {
    uint16_t entries[ANCHOR_LENGTH][256];
};
extern const AnchorFormatTable ANCHOR_FORMATS;
static_assert(STREAM_FORMAT_COUNT <= 16, "a format's bit in ANCHOR_FORMATS");

// True when the class accepts the byte.
constexpr bool ByteClassAccepts(ByteClass c, unsigned char byte) {
    return (unsigned char)(byte & c.mask) >= c.lo && (unsigned char)(byte & c.mask) <= c.hi;
}

// The fields of a 4-byte MPEG audio frame header that decide its length.
struct MpegFrameHeader {
    unsigned version;     // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1 (1 is reserved)
    unsigned layer;       // 1 layer III, 2 layer II, 3 layer I (0 is reserved)
    unsigned bitrate;     // index 1..14
    unsigned sampleRate;  // index 0..2
    unsigned padding;
};
// Reads the 4 bytes at p; false for no sync or a reserved or unusable field.
bool ReadMpegFrameHeader(const unsigned char* p, MpegFrameHeader* header);
// Bytes of the frame, header included.
size_t MpegFrameLength(const MpegFrameHeader& header);

// An MP3 chain shorter than this many frames gives nothing: executables hold
// frame syncs by the thousand (see MpegChainEnd), and media players ask for
// four frames before they play a file without a tag.
enum { MP3_MIN_UNTAGGED_FRAMES = 4, MP3_MIN_TAGGED_FRAMES = 2 };
