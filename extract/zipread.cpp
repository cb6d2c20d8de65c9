// Reads ZIP archives: the end record and its ZIP64 twin, the directory's entries and their ZIP64
// extra fields, the local headers, stored and deflated data. Positions stay at or below the
// bytes' size, and every addition is checked before it is made.
#include "zipread.h"

#include <limits.h>
#include <string.h>
#include <zlib.h>

#include "../util/lebytes.h"

namespace {

const uint32_t END_SIGNATURE = 0x06054b50;
const uint32_t ZIP64_LOCATOR_SIGNATURE = 0x07064b50;
const uint32_t ZIP64_END_SIGNATURE = 0x06064b50;
const uint32_t CENTRAL_SIGNATURE = 0x02014b50;
const uint32_t LOCAL_SIGNATURE = 0x04034b50;

const size_t END_SIZE = 22;
const size_t MAX_COMMENT = 0xFFFF;
const size_t ZIP64_LOCATOR_SIZE = 20;
const size_t ZIP64_END_SIZE = 56;  // without extensible data
const size_t ZIP64_END_LEAD = 12;  // signature and the record's size, which leaves them out
const size_t CENTRAL_SIZE = 46;
const size_t LOCAL_SIZE = 30;

const uint16_t ZIP64_EXTRA = 1;
const size_t EXTRA_HEADER_SIZE = 4;
const uint32_t SATURATED = 0xFFFFFFFF;

const uint16_t FLAG_ENCRYPTED = 1;
const uint16_t FLAG_UTF8 = 1 << 11;
const uint16_t METHOD_STORED = 0;
const uint16_t METHOD_DEFLATED = 8;
// Deflate makes at most 258 bytes of two bits (a match of the longest length at
// one-bit codes), so no stream gives more than 1032 times its size; the slack
// covers a tiny stream's block headers.
const uint64_t MAX_DEFLATE_RATIO = 1032;
const uint64_t DEFLATE_SLACK = 64;

// zlib counts in unsigned int; longer runs go through in pieces.
const size_t ZLIB_PIECE = UINT_MAX;

size_t Piece(size_t length) {
    return length < ZLIB_PIECE ? length : ZLIB_PIECE;
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

// The directory as an end record declares it; end is where it must stop.
struct DirectoryPlace {
    uint64_t offset, size, count;
    size_t end;
    bool zip64;
};

// Takes the directory's place from the ZIP64 end record when a locator sits
// right before the end record at endRecord. The record normally ends at the
// locator; one with extensible data is looked for where the locator puts it,
// which holds for an archive that starts its bytes.
void ReadZip64End(const unsigned char* bytes, size_t endRecord, DirectoryPlace* place) {
    if (endRecord < ZIP64_LOCATOR_SIZE + ZIP64_END_SIZE) return;
    size_t locator = endRecord - ZIP64_LOCATOR_SIZE;
    if (ReadLE32(bytes + locator) != ZIP64_LOCATOR_SIGNATURE) return;
    size_t record = locator - ZIP64_END_SIZE;
    if (ReadLE32(bytes + record) != ZIP64_END_SIGNATURE ||
        ReadLE64(bytes + record + 4) != ZIP64_END_SIZE - ZIP64_END_LEAD) {
        uint64_t stated = ReadLE64(bytes + locator + 8);
        if (stated > record || ReadLE32(bytes + stated) != ZIP64_END_SIGNATURE) return;
        record = (size_t)stated;
    }
    place->count = ReadLE64(bytes + record + 32);
    place->size = ReadLE64(bytes + record + 40);
    place->offset = ReadLE64(bytes + record + 48);
    place->end = record;
    place->zip64 = true;
}

// Fills the archive from the end record at endRecord when that record's
// directory lies inside the bytes. The directory ends where the end records
// begin, so its real place, and from its declared offset the archive's start,
// follow from where the end record really is, whatever precedes the archive.
bool PlaceArchive(const unsigned char* bytes, size_t size, size_t endRecord, ZipArchive* archive) {
    size_t comment = ReadLE16(bytes + endRecord + 20);
    if (comment > size - endRecord - END_SIZE) return false;
    DirectoryPlace place = {ReadLE32(bytes + endRecord + 16), ReadLE32(bytes + endRecord + 12),
                            ReadLE16(bytes + endRecord + 10), endRecord, false};
    ReadZip64End(bytes, endRecord, &place);
    if (place.size > place.end || place.offset > place.end - place.size) return false;
    size_t directory = place.end - (size_t)place.size;
    if (place.size > 0 &&
        (place.size < CENTRAL_SIZE || ReadLE32(bytes + directory) != CENTRAL_SIGNATURE))
        return false;
    archive->bytes = bytes;
    archive->size = size;
    archive->start = directory - (size_t)place.offset;
    archive->directory = directory;
    archive->directoryEnd = place.end;
    archive->end = endRecord + END_SIZE + comment;
    uint64_t fits = place.size / CENTRAL_SIZE;
    archive->entryCount = place.count < fits ? place.count : fits;
    archive->zip64 = place.zip64;
    return true;
}

// Overrides the entry's saturated 32-bit values from its ZIP64 extra field,
// which holds, in this order, only those that are saturated. A value that the
// field lacks keeps its 32-bit one.
void ReadZip64Extra(const unsigned char* extra, size_t length, ZipEntry* entry) {
    size_t at = 0;
    while (length - at >= EXTRA_HEADER_SIZE) {
        uint16_t id = ReadLE16(extra + at);
        size_t fieldLength = ReadLE16(extra + at + 2);
        at += EXTRA_HEADER_SIZE;
        if (fieldLength > length - at) return;
        if (id != ZIP64_EXTRA) {
            at += fieldLength;
            continue;
        }
        const unsigned char* field = extra + at;
        uint64_t* values[] = {&entry->uncompressedSize, &entry->compressedSize,
                              &entry->localHeader};
        for (uint64_t* value : values) {
            if (*value != SATURATED) continue;
            if (fieldLength < 8) return;
            *value = ReadLE64(field);
            field += 8;
            fieldLength -= 8;
        }
        return;
    }
}

ZipResult Inflate(const unsigned char* in, size_t inLength, unsigned char* out, size_t outLength) {
    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return ZIP_NO_MEMORY;
    z.next_in = const_cast<unsigned char*>(in);
    z.next_out = out;
    // Once the declared size is out, one spare byte tells a stream that ends
    // there from one that would go on.
    unsigned char spare;
    bool probing = false;
    ZipResult result = ZIP_OK;
    for (;;) {
        if (outLength == 0 && !probing) {
            probing = true;
            z.next_out = &spare;
            outLength = 1;
        }
        uInt inPiece = (uInt)Piece(inLength), outPiece = (uInt)Piece(outLength);
        z.avail_in = inPiece;
        z.avail_out = outPiece;
        int status = inflate(&z, Z_NO_FLUSH);
        inLength -= inPiece - z.avail_in;
        outLength -= outPiece - z.avail_out;
        if (probing && outLength == 0) {
            result = ZIP_LONG;
            break;
        }
        if (status == Z_STREAM_END) {
            if (!probing && outLength > 0) result = ZIP_SHORT;
            break;
        }
        if (status == Z_MEM_ERROR) {
            result = ZIP_NO_MEMORY;
            break;
        }
        // Z_BUF_ERROR: no progress was possible, which with room for output
        // means the input ran out before the stream's end.
        if (status == Z_BUF_ERROR) {
            result = inLength == 0 ? ZIP_SHORT : ZIP_BAD_STREAM;
            break;
        }
        if (status != Z_OK) {
            result = ZIP_BAD_STREAM;
            break;
        }
    }
    inflateEnd(&z);
    return result;
}

uint32_t Crc(const unsigned char* p, size_t length) {
    uLong crc = crc32(0, Z_NULL, 0);
    while (length > 0) {
        size_t piece = Piece(length);
        crc = crc32(crc, p, (uInt)piece);
        p += piece;
        length -= piece;
    }
    return (uint32_t)crc;
}

const char* const RESULT_TEXTS[] = {
    "ok",        "encrypted",    "unsupported method", "no data",
    "too large", "over budget",  "bad stream",         "short data",
    "long data", "CRC mismatch", "out of memory",
};
static_assert(sizeof RESULT_TEXTS / sizeof RESULT_TEXTS[0] == ZIP_NO_MEMORY + 1, "a text a result");

}  // namespace

bool OpenZipArchive(const unsigned char* bytes, size_t size, ZipArchive* archive) {
    if (size < END_SIZE) return false;
    size_t last = size - END_SIZE;
    size_t first = last > MAX_COMMENT ? last - MAX_COMMENT : 0;
    for (size_t at = last + 1; at-- > first;) {
        if (bytes[at] == 'P' && ReadLE32(bytes + at) == END_SIGNATURE &&
            PlaceArchive(bytes, size, at, archive))
            return true;
    }
    return false;
}

ZipWalk BeginZipWalk(const ZipArchive* archive) {
    ZipWalk walk = {archive->directory, 0, 0, false};
    return walk;
}

// The walk goes by the directory's bytes, not by the declared count: writers
// that do not know ZIP64 wrap the count of an archive with more than 65535
// entries, and a count can only be trusted as far as the bytes hold entries.
bool NextZipEntry(const ZipArchive* archive, ZipWalk* walk, ZipEntry* entry) {
    while (!walk->damaged && walk->position < archive->directoryEnd) {
        const unsigned char* p = archive->bytes + walk->position;
        size_t rest = archive->directoryEnd - walk->position;
        if (rest < CENTRAL_SIZE || ReadLE32(p) != CENTRAL_SIGNATURE) break;
        size_t nameLength = ReadLE16(p + 28);
        size_t extraLength = ReadLE16(p + 30);
        size_t length = CENTRAL_SIZE + nameLength + extraLength + ReadLE16(p + 32);
        if (length > rest) break;
        walk->position += length;
        uint64_t index = walk->index++;
        if (nameLength > 0 && p[CENTRAL_SIZE + nameLength - 1] == '/') {
            walk->directories++;
            continue;
        }
        entry->name = p + CENTRAL_SIZE;
        entry->nameLength = nameLength;
        entry->flags = ReadLE16(p + 8);
        entry->utf8 = (entry->flags & FLAG_UTF8) != 0;
        entry->encrypted = (entry->flags & FLAG_ENCRYPTED) != 0;
        entry->method = ReadLE16(p + 10);
        entry->crc = ReadLE32(p + 16);
        entry->compressedSize = ReadLE32(p + 20);
        entry->uncompressedSize = ReadLE32(p + 24);
        entry->localHeader = ReadLE32(p + 42);
        entry->index = index;
        ReadZip64Extra(p + CENTRAL_SIZE + nameLength, extraLength, entry);
        return true;
    }
    walk->damaged = walk->position < archive->directoryEnd;
    return false;
}

// Members lie between the archive's start and its central directory; bounding
// them there keeps a member from being read out of the directory's own bytes.
bool FindZipData(const ZipArchive* archive, const ZipEntry* entry, const unsigned char** data) {
    size_t limit = archive->directory;
    if (entry->localHeader > limit - archive->start) return false;
    size_t local = archive->start + (size_t)entry->localHeader;
    const unsigned char* p = archive->bytes + local;
    if (limit - local < LOCAL_SIZE || ReadLE32(p) != LOCAL_SIGNATURE) return false;
    size_t skip = LOCAL_SIZE + ReadLE16(p + 26) + ReadLE16(p + 28);
    if (skip > limit - local || entry->compressedSize > limit - local - skip) return false;
    *data = p + skip;
    return true;
}

ZipBudget ZipBudgetFor(uint64_t containerSize) {
    uint64_t scaled = containerSize > UINT64_MAX / ZIP_BUDGET_MULTIPLE
                          ? UINT64_MAX
                          : containerSize * ZIP_BUDGET_MULTIPLE;
    ZipBudget budget = {SaturatingAdd(scaled, ZIP_BUDGET_CONSTANT)};
    return budget;
}

uint64_t ZipDecodeCost(const ZipEntry* entry) {
    return SaturatingAdd(entry->uncompressedSize, entry->compressedSize);
}

const char* ZipResultText(ZipResult result) {
    size_t count = sizeof RESULT_TEXTS / sizeof RESULT_TEXTS[0];
    return (size_t)result < count ? RESULT_TEXTS[result] : "unknown";
}

ZipResult DecodeZipMember(const ZipArchive* archive, const ZipEntry* entry, ZipBudget* budget,
                          unsigned char* out, size_t capacity) {
    if (entry->encrypted) return ZIP_ENCRYPTED;
    if (entry->method != METHOD_STORED && entry->method != METHOD_DEFLATED)
        return ZIP_UNSUPPORTED_METHOD;
    if (entry->uncompressedSize > capacity) return ZIP_TOO_LARGE;
    const unsigned char* data;
    if (!FindZipData(archive, entry, &data)) return ZIP_NO_DATA;
    size_t length = (size_t)entry->uncompressedSize;
    size_t inLength = (size_t)entry->compressedSize;
    bool stored = entry->method == METHOD_STORED;
    // Sizes that the data cannot give are refused before they take from the
    // budget, which the archive's true members may need.
    if (stored && inLength != length) return inLength < length ? ZIP_SHORT : ZIP_LONG;
    if (!stored && length / MAX_DEFLATE_RATIO > inLength + DEFLATE_SLACK) return ZIP_SHORT;
    // Charged by declared size and input alike: many entries may name one
    // compressed run, and each decode of it costs again.
    uint64_t cost = ZipDecodeCost(entry);
    if (cost > budget->remaining) return ZIP_OVER_BUDGET;
    budget->remaining -= cost;
    if (stored) {
        if (length > 0) memcpy(out, data, length);
    } else {
        ZipResult result = Inflate(data, inLength, out, length);
        if (result != ZIP_OK) return result;
    }
    return Crc(out, length) == entry->crc ? ZIP_OK : ZIP_BAD_CRC;
}
