// The walks of the stream formats: each reads its format's structure from the
// first byte, every length and count checked against the source, and accepts
// only where the structure ends exactly (a PNG's IEND after chunks whose CRCs
// hold, a GIF's trailer after every block, a JPEG's end of image after its
// entropy-coded data...). Format knowledge that the search needs, the anchor,
// sits beside each walk in STREAM_FORMATS.
#include "streamformats.h"

#include <string.h>

#include "../util/lebytes.h"

const unsigned char* PeekBytes(ByteWindow* w, int64_t offset, size_t count) {
    if (offset < 0 || count > w->capacity || offset > w->size ||
        (uint64_t)(w->size - offset) < count)
        return nullptr;
    if (w->budget < count) return nullptr;
    w->budget -= count;
    if (w->span != nullptr && offset >= w->spanOffset &&
        (uint64_t)(offset - w->spanOffset) + count <= w->spanCount)
        return w->span + (offset - w->spanOffset);
    if (offset >= w->bufferOffset && (uint64_t)(offset - w->bufferOffset) + count <= w->bufferCount)
        return w->buffer + (offset - w->bufferOffset);
    int64_t rest = w->size - offset;
    size_t want = rest < (int64_t)w->capacity ? (size_t)rest : w->capacity;
    w->bufferOffset = offset;
    w->bufferCount = w->read(w->context, offset, w->buffer, want);
    if (w->bufferCount > want) w->bufferCount = 0;
    return w->bufferCount >= count ? w->buffer : nullptr;
}

namespace {

uint16_t ReadBE16(const unsigned char* p) {
    return (uint16_t)((p[0] << 8) | p[1]);
}

uint32_t ReadBE32(const unsigned char* p) {
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

// Whether count bytes from offset lie within the source.
bool Within(const ByteWindow* w, int64_t offset, uint64_t count) {
    return offset >= 0 && offset <= w->size && (uint64_t)(w->size - offset) >= count;
}

// CRC-32 tables, built at compile time: PNG's reflected polynomial and Ogg's
// unreflected one.
struct CrcTable {
    uint32_t entries[256];
};

constexpr CrcTable MakeReflectedTable() {
    CrcTable table = {};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table.entries[n] = c;
    }
    return table;
}

constexpr CrcTable MakeOggTable() {
    CrcTable table = {};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n << 24;
        for (int k = 0; k < 8; k++) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        table.entries[n] = c;
    }
    return table;
}

constexpr CrcTable PNG_CRC = MakeReflectedTable();
constexpr CrcTable OGG_CRC = MakeOggTable();

uint32_t PngCrcStep(uint32_t c, unsigned char byte) {
    return PNG_CRC.entries[(c ^ byte) & 0xFF] ^ (c >> 8);
}

uint32_t OggCrcStep(uint32_t c, unsigned char byte) {
    return (c << 8) ^ OGG_CRC.entries[((c >> 24) ^ byte) & 0xFF];
}

// A CRC carried on over count bytes from offset, read in pieces; false when
// they are not all there.
template <uint32_t (*Step)(uint32_t, unsigned char)>
bool CrcOver(ByteWindow* w, int64_t offset, uint64_t count, uint32_t* crc) {
    uint32_t c = *crc;
    while (count > 0) {
        size_t piece = count < w->capacity ? (size_t)count : w->capacity;
        const unsigned char* p = PeekBytes(w, offset, piece);
        if (p == nullptr) return false;
        for (size_t i = 0; i < piece; i++) c = Step(c, p[i]);
        offset += (int64_t)piece;
        count -= piece;
    }
    *crc = c;
    return true;
}

// ---------------------------------------------------------------- PNG

bool IsChunkTypeLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool PngDepthFitsColour(unsigned depth, unsigned colour) {
    switch (colour) {
        case 0:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2:
        case 4:
        case 6:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

bool SaneImageHeader(const unsigned char* data) {
    uint32_t width = ReadBE32(data), height = ReadBE32(data + 4);
    return width != 0 && height != 0 && width <= 0x7FFFFFFFu && height <= 0x7FFFFFFFu &&
           PngDepthFitsColour(data[8], data[9]) && data[10] == 0 && data[11] == 0 && data[12] <= 1;
}

// The signature, IHDR first, then chunks whose lengths and CRCs hold, up to
// and with IEND.
int64_t PngEnd(ByteWindow* w, int64_t start) {
    const unsigned char* sig = PeekBytes(w, start, 8);
    if (sig == nullptr || memcmp(sig, "\x89PNG\r\n\x1A\n", 8) != 0) return -1;
    int64_t at = start + 8;
    for (bool first = true;; first = false) {
        const unsigned char* head = PeekBytes(w, at, 8);
        if (head == nullptr) return -1;
        uint32_t length = ReadBE32(head);
        unsigned char type[4];
        memcpy(type, head + 4, 4);
        if (length > 0x7FFFFFFFu || !Within(w, at + 8, (uint64_t)length + 4)) return -1;
        for (unsigned char c : type)
            if (!IsChunkTypeLetter(c)) return -1;
        bool isHeader = memcmp(type, "IHDR", 4) == 0;
        if (first != isHeader) return -1;
        if (isHeader) {
            const unsigned char* data = PeekBytes(w, at + 8, 13);
            if (length != 13 || data == nullptr || !SaneImageHeader(data)) return -1;
        }
        uint32_t crc = 0xFFFFFFFFu;
        if (!CrcOver<PngCrcStep>(w, at + 4, (uint64_t)length + 4, &crc)) return -1;
        const unsigned char* stored = PeekBytes(w, at + 8 + length, 4);
        if (stored == nullptr || ReadBE32(stored) != (crc ^ 0xFFFFFFFFu)) return -1;
        at += 12 + (int64_t)length;
        if (memcmp(type, "IEND", 4) == 0) return length == 0 ? at : -1;
    }
}

// ---------------------------------------------------------------- GIF

// Data sub-blocks up to their zero terminator; the offset after it, or -1.
int64_t SkipSubBlocks(ByteWindow* w, int64_t at) {
    for (;;) {
        const unsigned char* size = PeekBytes(w, at, 1);
        if (size == nullptr) return -1;
        at += 1 + size[0];
        if (size[0] == 0) return at;
    }
}

int64_t GifColourTableSize(unsigned flags) {
    return (flags & 0x80) ? 3 * ((int64_t)2 << (flags & 7)) : 0;
}

// Header, logical screen and its colour table, then extensions and images with
// their sub-blocks, to the trailer after them; at least one image.
int64_t GifEnd(ByteWindow* w, int64_t start) {
    const unsigned char* head = PeekBytes(w, start, 13);
    if (head == nullptr || (memcmp(head, "GIF87a", 6) != 0 && memcmp(head, "GIF89a", 6) != 0))
        return -1;
    int64_t at = start + 13 + GifColourTableSize(head[10]);
    unsigned images = 0;
    for (;;) {
        const unsigned char* block = PeekBytes(w, at, 1);
        if (block == nullptr) return -1;
        if (block[0] == 0x3B) return images > 0 ? at + 1 : -1;
        if (block[0] == 0x21) {
            at = SkipSubBlocks(w, at + 2);
        } else if (block[0] == 0x2C) {
            const unsigned char* image = PeekBytes(w, at, 10);
            if (image == nullptr) return -1;
            at += 10 + GifColourTableSize(image[9]);
            const unsigned char* codeSize = PeekBytes(w, at, 1);
            if (codeSize == nullptr || codeSize[0] < 1 || codeSize[0] > 11) return -1;
            at = SkipSubBlocks(w, at + 1);
            images++;
        } else {
            return -1;
        }
        if (at < 0) return -1;
    }
}

// ---------------------------------------------------------------- JPEG

bool IsFrameMarker(unsigned m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Markers that carry a length and may stand between the start of the image
// and the end of its last scan: frames, tables, restart interval, number of
// lines, hierarchical progression, expansion, application data and comments.
bool IsSegmentMarker(unsigned m) {
    return (m >= 0xC0 && m <= 0xCF && m != 0xC8) || (m >= 0xDA && m <= 0xDF) ||
           (m >= 0xE0 && m <= 0xEF) || m == 0xFE;
}

// The entropy-coded data of a scan from at: only stuffed zeros and restart
// markers may follow an FF. The offset of the marker that ends it, or -1.
int64_t SkipEntropyData(ByteWindow* w, int64_t at) {
    for (;;) {
        int64_t rest = w->size - at;
        if (rest < 2) return -1;
        size_t piece = rest < (int64_t)w->capacity ? (size_t)rest : w->capacity;
        const unsigned char* p = PeekBytes(w, at, piece);
        if (p == nullptr) return -1;
        const unsigned char* ff = (const unsigned char*)memchr(p, 0xFF, piece - 1);
        if (ff == nullptr) {
            at += (int64_t)piece - 1;
            continue;
        }
        int64_t found = at + (ff - p);
        unsigned next = ff[1];
        if (next != 0 && !(next >= 0xD0 && next <= 0xD7)) return found;
        at = found + 2;
    }
}

// Start of image, segments by their lengths (a frame before the first scan),
// each scan's entropy-coded data, further segments and scans, end of image.
int64_t JpegEnd(ByteWindow* w, int64_t start) {
    const unsigned char* soi = PeekBytes(w, start, 2);
    if (soi == nullptr || soi[0] != 0xFF || soi[1] != 0xD8) return -1;
    int64_t at = start + 2;
    bool frame = false, scanned = false;
    for (;;) {
        const unsigned char* marker = PeekBytes(w, at, 2);
        if (marker == nullptr || marker[0] != 0xFF) return -1;
        // Fill bytes: any number of FF before a marker.
        while (marker[1] == 0xFF) {
            marker = PeekBytes(w, ++at, 2);
            if (marker == nullptr) return -1;
        }
        unsigned m = marker[1];
        at += 2;
        if (m == 0xD9) return scanned ? at : -1;
        if (!IsSegmentMarker(m)) return -1;
        const unsigned char* length = PeekBytes(w, at, 2);
        if (length == nullptr || ReadBE16(length) < 2 || !Within(w, at, ReadBE16(length)))
            return -1;
        at += ReadBE16(length);
        if (IsFrameMarker(m)) frame = true;
        if (m != 0xDA) continue;
        if (!frame) return -1;
        at = SkipEntropyData(w, at);
        if (at < 0) return -1;
        scanned = true;
    }
}

// ---------------------------------------------------------------- BMP

const uint32_t BITMAP_FILE_HEADER = 14;

bool IsBitmapHeaderSize(uint32_t size) {
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
           size == 124;
}

// Bit counts and compressions that go together: none (BI_RGB), run lengths of
// 8 and 4 bits, bit fields with or without alpha, and embedded JPEG or PNG.
bool BitCountFitsCompression(unsigned bits, uint32_t compression) {
    switch (compression) {
        case 0:
            return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
        case 1:
            return bits == 8;
        case 2:
            return bits == 4;
        case 3:
        case 6:
            return bits == 16 || bits == 32;
        case 4:
        case 5:
            return bits == 0;
        default:
            return false;
    }
}

// "BM", zero reserved fields, a known header, one plane, a bit count that fits
// the compression, and masks, colour table and pixels within bfSize, the end.
int64_t BmpEnd(ByteWindow* w, int64_t start) {
    // The short header's bitmaps may be smaller than the long header.
    size_t have = BITMAP_FILE_HEADER + 40;
    const unsigned char* h = PeekBytes(w, start, have);
    if (h == nullptr) h = PeekBytes(w, start, have = BITMAP_FILE_HEADER + 12);
    if (h == nullptr || h[0] != 'B' || h[1] != 'M' || ReadLE32(h + 6) != 0) return -1;
    uint32_t fileSize = ReadLE32(h + 2), pixelsAt = ReadLE32(h + 10), headerSize = ReadLE32(h + 14);
    if (!IsBitmapHeaderSize(headerSize) || fileSize < BITMAP_FILE_HEADER + headerSize ||
        !Within(w, start, fileSize) || pixelsAt > fileSize)
        return -1;
    if (headerSize > 12 && have < BITMAP_FILE_HEADER + 40) return -1;
    const unsigned char* info = h + BITMAP_FILE_HEADER;
    uint64_t width, height, colours, entrySize, masks = 0;
    unsigned bits;
    uint32_t compression = 0, imageSize = 0;
    if (headerSize == 12) {
        width = ReadLE16(info + 4);
        height = ReadLE16(info + 6);
        if (ReadLE16(info + 8) != 1) return -1;
        bits = ReadLE16(info + 10);
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return -1;
        colours = bits <= 8 ? (uint64_t)1 << bits : 0;
        entrySize = 3;
    } else {
        int32_t signedWidth = (int32_t)ReadLE32(info + 4),
                signedHeight = (int32_t)ReadLE32(info + 8);
        if (ReadLE16(info + 12) != 1) return -1;
        bits = ReadLE16(info + 14);
        compression = ReadLE32(info + 16);
        imageSize = ReadLE32(info + 20);
        uint32_t used = ReadLE32(info + 32);
        if (signedWidth <= 0 || signedHeight == 0 || signedHeight == INT32_MIN) return -1;
        // Only uncompressed and bit-field bitmaps may run top-down.
        if (signedHeight < 0 && compression != 0 && compression != 3 && compression != 6) return -1;
        if (!BitCountFitsCompression(bits, compression)) return -1;
        width = (uint64_t)signedWidth;
        height = signedHeight < 0 ? (uint64_t) - (int64_t)signedHeight : (uint64_t)signedHeight;
        uint64_t most = bits <= 8 && bits > 0 ? (uint64_t)1 << bits : 0x10000;
        if (used > most) return -1;
        colours = used != 0 ? used : (bits <= 8 && bits > 0 ? (uint64_t)1 << bits : 0);
        entrySize = 4;
        // The masks follow a 40-byte header; the larger ones hold them inside.
        if (headerSize == 40) masks = compression == 3 ? 12 : compression == 6 ? 16 : 0;
    }
    if (width == 0 || height == 0) return -1;
    uint64_t tableEnd = BITMAP_FILE_HEADER + headerSize + masks + colours * entrySize;
    if (tableEnd > pixelsAt) return -1;
    uint64_t pixels;
    if (compression == 0 || compression == 3 || compression == 6) {
        uint64_t stride = (width * bits + 31) / 32 * 4;
        if (stride == 0 || height > fileSize / stride) return -1;
        pixels = stride * height;
    } else {
        if (imageSize == 0) return -1;
        pixels = imageSize;
    }
    if (pixels > (uint64_t)fileSize - pixelsAt) return -1;
    return start + (int64_t)fileSize;
}

// ---------------------------------------------------------------- ICO and CUR

// Directories hold a few dozen images at most; more is no icon.
const unsigned ICON_DIRECTORY_MOST = 255;

// A bitmap header of an icon image: its size, a positive width and height,
// one plane and a bit count that exists; or a PNG signature.
bool IsImageStart(ByteWindow* w, int64_t at) {
    const unsigned char* p = PeekBytes(w, at, 16);
    if (p == nullptr) return false;
    if (memcmp(p, "\x89PNG\r\n\x1A\n", 8) == 0) return true;
    uint32_t header = ReadLE32(p);
    int32_t width = (int32_t)ReadLE32(p + 4), height = (int32_t)ReadLE32(p + 8);
    unsigned bits = ReadLE16(p + 14);
    return (header == 40 || header == 108 || header == 124) && width > 0 && height > 0 &&
           ReadLE16(p + 12) == 1 &&
           (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// Reserved zero, the type, a sane count, and every entry's image after the
// directory, within the source, starting as a bitmap header or a PNG; the end
// is the furthest image's end.
int64_t IconDirectoryEnd(ByteWindow* w, int64_t start, unsigned type) {
    const unsigned char* h = PeekBytes(w, start, 6);
    if (h == nullptr || ReadLE16(h) != 0 || ReadLE16(h + 2) != type) return -1;
    unsigned count = ReadLE16(h + 4);
    if (count == 0 || count > ICON_DIRECTORY_MOST) return -1;
    uint64_t directoryEnd = 6 + 16 * (uint64_t)count, end = directoryEnd;
    for (unsigned i = 0; i < count; i++) {
        const unsigned char* entry = PeekBytes(w, start + 6 + 16 * (int64_t)i, 16);
        if (entry == nullptr) return -1;
        uint64_t bytes = ReadLE32(entry + 8), offset = ReadLE32(entry + 12);
        if (bytes < 8 || offset < directoryEnd || !Within(w, start + (int64_t)offset, bytes))
            return -1;
        if (!IsImageStart(w, start + (int64_t)offset)) return -1;
        if (offset + bytes > end) end = offset + bytes;
    }
    return start + (int64_t)end;
}

int64_t IcoEnd(ByteWindow* w, int64_t start) {
    return IconDirectoryEnd(w, start, 1);
}

int64_t CurEnd(ByteWindow* w, int64_t start) {
    return IconDirectoryEnd(w, start, 2);
}

// ---------------------------------------------------------------- MIDI

// "MThd" of length 6, format 0 to 2 (format 0 with one track), then exactly
// as many "MTrk" chunks as it counts.
int64_t MidiEnd(ByteWindow* w, int64_t start) {
    const unsigned char* h = PeekBytes(w, start, 14);
    if (h == nullptr || memcmp(h, "MThd\0\0\0\x06", 8) != 0) return -1;
    unsigned format = ReadBE16(h + 8), tracks = ReadBE16(h + 10);
    if (format > 2 || tracks == 0 || (format == 0 && tracks != 1)) return -1;
    int64_t at = start + 14;
    for (unsigned i = 0; i < tracks; i++) {
        const unsigned char* chunk = PeekBytes(w, at, 8);
        if (chunk == nullptr || memcmp(chunk, "MTrk", 4) != 0) return -1;
        uint32_t length = ReadBE32(chunk + 4);
        if (!Within(w, at + 8, length)) return -1;
        at += 8 + (int64_t)length;
    }
    return at;
}

// ---------------------------------------------------------------- Ogg

const size_t OGG_PAGE_HEADER = 27;

// One page at at: its length, or -1 when it is no page of version 0 or its
// CRC does not hold.
int64_t OggPageLength(ByteWindow* w, int64_t at, uint32_t* serial, unsigned* flags) {
    const unsigned char* h = PeekBytes(w, at, OGG_PAGE_HEADER);
    if (h == nullptr || memcmp(h, "OggS", 5) != 0 || (h[5] & ~7u) != 0) return -1;
    unsigned char header[OGG_PAGE_HEADER];
    memcpy(header, h, sizeof(header));
    *flags = header[5];
    *serial = ReadLE32(header + 14);
    uint32_t stored = ReadLE32(header + 22);
    unsigned segments = header[26];
    const unsigned char* table = PeekBytes(w, at + (int64_t)OGG_PAGE_HEADER, segments);
    if (table == nullptr) return -1;
    uint64_t body = 0;
    for (unsigned i = 0; i < segments; i++) body += table[i];
    int64_t length = (int64_t)(OGG_PAGE_HEADER + segments + body);
    if (!Within(w, at, (uint64_t)length)) return -1;
    memset(header + 22, 0, 4);
    uint32_t crc = 0;
    for (unsigned char b : header) crc = OggCrcStep(crc, b);
    if (!CrcOver<OggCrcStep>(w, at + (int64_t)OGG_PAGE_HEADER, segments + body, &crc)) return -1;
    return crc == stored ? length : -1;
}

// Pages one after another, from a beginning-of-stream page through the end of
// stream page of the same logical stream; pages of other streams between them
// belong to it.
int64_t OggEnd(ByteWindow* w, int64_t start) {
    const unsigned BEGIN = 2, END = 4;
    uint32_t first = 0, serial = 0;
    unsigned flags = 0;
    int64_t at = start, length = OggPageLength(w, start, &first, &flags);
    if (length < 0 || !(flags & BEGIN)) return -1;
    serial = first;
    while (serial != first || !(flags & END)) {
        at += length;
        length = OggPageLength(w, at, &serial, &flags);
        if (length < 0) return -1;
    }
    return at + length;
}

// Kilobits per second by bitrate index. MPEG-2 and 2.5 share their tables,
// and share one for layers II and III.
const unsigned short MPEG1_BITRATES[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // layer III
};
const unsigned short MPEG2_BITRATES[2][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // layers II, III
};
// Hertz by version field (2.5, reserved, 2, 1) and sample-rate index.
const unsigned short MPEG_SAMPLE_RATES[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

const unsigned MPEG_VERSION_1 = 3;
const unsigned MPEG_LAYER_I = 3;
const unsigned MPEG_LAYER_III = 1;

unsigned MpegBitrate(const MpegFrameHeader& h) {
    if (h.version == MPEG_VERSION_1) return MPEG1_BITRATES[MPEG_LAYER_I - h.layer][h.bitrate];
    return MPEG2_BITRATES[h.layer == MPEG_LAYER_I ? 0 : 1][h.bitrate];
}

}  // namespace

// Eleven set sync bits and no reserved or unusable field: bitrate index 0 is
// free format, whose frames carry no length, and 15 is forbidden.
bool ReadMpegFrameHeader(const unsigned char* p, MpegFrameHeader* header) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    header->version = (p[1] >> 3) & 3;
    header->layer = (p[1] >> 1) & 3;
    header->bitrate = p[2] >> 4;
    header->sampleRate = (p[2] >> 2) & 3;
    header->padding = (p[2] >> 1) & 1;
    return header->version != 1 && header->layer != 0 && header->bitrate != 0 &&
           header->bitrate != 15 && header->sampleRate != 3;
}

// Layer I counts in 4-byte slots of 384 samples a frame; layers II and III in
// bytes of 1152 samples, except layer III of MPEG-2 and 2.5 with 576.
size_t MpegFrameLength(const MpegFrameHeader& h) {
    unsigned long bitsPerSecond = MpegBitrate(h) * 1000ul;
    unsigned long rate = MPEG_SAMPLE_RATES[h.version][h.sampleRate];
    if (h.layer == MPEG_LAYER_I) return (12 * bitsPerSecond / rate + h.padding) * 4;
    unsigned long factor = h.layer == MPEG_LAYER_III && h.version != MPEG_VERSION_1 ? 72 : 144;
    return factor * bitsPerSecond / rate + h.padding;
}

namespace {

// ---------------------------------------------------------------- MP3

const size_t MPEG_HEADER = 4;
const size_t ID3_HEADER = 10;
const size_t ID3V1_TAG = 128;

// Layer III frames of one version, sample rate and channel mode, each where
// the one before it ends, from at: the end of the last one, and in *frames
// their count. Only layer III is MP3: x86 code is full of FF FF, which reads
// as a layer I sync, and over the test prefix's 1,500 modules layer I and II
// gave chains of up to 150 frames where layer III gave none longer than three.
int64_t MpegChainEnd(ByteWindow* w, int64_t at, unsigned* frames) {
    const unsigned LAYER_III = 1, RESERVED_EMPHASIS = 2;
    *frames = 0;
    MpegFrameHeader first = {}, header = {};
    unsigned channels = 0;
    for (;;) {
        const unsigned char* p = PeekBytes(w, at, MPEG_HEADER);
        if (p == nullptr || !ReadMpegFrameHeader(p, &header) || header.layer != LAYER_III ||
            (p[3] & 3) == RESERVED_EMPHASIS)
            break;
        if (*frames > 0 && (header.version != first.version ||
                            header.sampleRate != first.sampleRate || p[3] >> 6 != channels))
            break;
        size_t length = MpegFrameLength(header);
        if (!Within(w, at, length)) break;
        if (*frames == 0) {
            first = header;
            channels = p[3] >> 6;
        }
        ++*frames;
        at += (int64_t)length;
    }
    return at;
}

// An ID3v2 tag's length, its footer included, or -1.
int64_t Id3TagLength(const unsigned char* h) {
    if (memcmp(h, "ID3", 3) != 0 || h[3] < 2 || h[3] > 4 || h[4] == 0xFF) return -1;
    uint32_t size = 0;
    for (int i = 6; i < 10; i++) {
        if (h[i] >= 0x80) return -1;
        size = (size << 7) | h[i];
    }
    bool footer = h[3] == 4 && (h[5] & 0x10);
    return (int64_t)ID3_HEADER + size + (footer ? 10 : 0);
}

// A 128-byte "TAG" right after the last frame is the stream's too.
int64_t WithId3v1Tag(ByteWindow* w, int64_t end) {
    const unsigned char* tag = Within(w, end, ID3V1_TAG) ? PeekBytes(w, end, 3) : nullptr;
    return tag != nullptr && memcmp(tag, "TAG", 3) == 0 ? end + (int64_t)ID3V1_TAG : end;
}

int64_t Mp3TaggedEnd(ByteWindow* w, int64_t start) {
    const unsigned char* h = PeekBytes(w, start, ID3_HEADER);
    int64_t tag = h != nullptr ? Id3TagLength(h) : -1;
    if (tag < 0 || !Within(w, start, (uint64_t)tag)) return -1;
    unsigned frames = 0;
    int64_t end = MpegChainEnd(w, start + tag, &frames);
    return frames >= MP3_MIN_TAGGED_FRAMES ? WithId3v1Tag(w, end) : -1;
}

int64_t Mp3FramesEnd(ByteWindow* w, int64_t start) {
    unsigned frames = 0;
    int64_t end = MpegChainEnd(w, start, &frames);
    return frames >= MP3_MIN_UNTAGGED_FRAMES ? WithId3v1Tag(w, end) : -1;
}

// ---------------------------------------------------------------- WMF and EMF

const size_t PLACEABLE_HEADER = 22;
const size_t META_HEADER = 18;

// The placeable header with its checksum (the XOR of its first ten words), the
// standard header whose size in words gives the end, and records to META_EOF
// exactly there.
int64_t WmfEnd(ByteWindow* w, int64_t start) {
    const unsigned char* h = PeekBytes(w, start, PLACEABLE_HEADER + META_HEADER);
    if (h == nullptr || ReadLE32(h) != 0x9AC6CDD7u || ReadLE32(h + 16) != 0) return -1;
    uint16_t sum = 0;
    for (int i = 0; i < 10; i++) sum ^= ReadLE16(h + 2 * i);
    if (sum != ReadLE16(h + 20)) return -1;
    const unsigned char* m = h + PLACEABLE_HEADER;
    unsigned type = ReadLE16(m), version = ReadLE16(m + 4);
    if ((type != 1 && type != 2) || ReadLE16(m + 2) != 9 || (version != 0x100 && version != 0x300))
        return -1;
    uint64_t words = ReadLE32(m + 6);
    int64_t end = start + (int64_t)PLACEABLE_HEADER + 2 * (int64_t)words;
    if (words < 9 + 3 || !Within(w, start, PLACEABLE_HEADER + 2 * words)) return -1;
    for (int64_t at = start + (int64_t)(PLACEABLE_HEADER + META_HEADER); at < end;) {
        const unsigned char* record = PeekBytes(w, at, 6);
        if (record == nullptr) return -1;
        uint64_t size = ReadLE32(record);
        if (size < 3 || (uint64_t)(end - at) / 2 < size) return -1;
        at += 2 * (int64_t)size;
        if (ReadLE16(record + 4) == 0) return at == end ? end : -1;
    }
    return -1;
}

const uint32_t EMR_HEADER = 1;
const uint32_t EMR_EOF = 14;
const size_t EMF_HEADER_LEAST = 88;

// EMR_HEADER with " EMF" at 40, whose byte count gives the end, and records
// by their sizes to an EMR_EOF that ends exactly there.
int64_t EmfEnd(ByteWindow* w, int64_t start) {
    const unsigned char* h = PeekBytes(w, start, EMF_HEADER_LEAST);
    if (h == nullptr || ReadLE32(h) != EMR_HEADER || memcmp(h + 40, " EMF", 4) != 0) return -1;
    uint32_t headerSize = ReadLE32(h + 4), bytes = ReadLE32(h + 48);
    if (headerSize < EMF_HEADER_LEAST || headerSize % 4 != 0 || bytes % 4 != 0 ||
        bytes < headerSize + 20 || ReadLE16(h + 58) != 0 || !Within(w, start, bytes))
        return -1;
    int64_t end = start + bytes;
    for (int64_t at = start + headerSize; at < end;) {
        const unsigned char* record = PeekBytes(w, at, 8);
        if (record == nullptr) return -1;
        uint32_t type = ReadLE32(record), size = ReadLE32(record + 4);
        if (size < 8 || size % 4 != 0 || (uint64_t)(end - at) < size) return -1;
        at += size;
        if (type == EMR_EOF) return at == end ? end : -1;
    }
    return -1;
}

constexpr ByteClass Byte(unsigned char value) {
    return {0xFF, value, value};
}
constexpr ByteClass ANY_BYTE = {0, 0, 0};

}  // namespace

// Bucket 0 is the RIFF signature's (riffscan.cpp), which GIF shares.
constexpr StreamFormat STREAM_FORMATS[STREAM_FORMAT_COUNT] = {
    {OUTPUT_GIF, 0, 0, {Byte('G'), Byte('I'), Byte('F'), Byte('8')}, GifEnd},
    {OUTPUT_PNG, 1, 0, {Byte(0x89), Byte('P'), Byte('N'), Byte('G')}, PngEnd},
    // The marker after the start of image is a code, neither a stuffed zero
    // nor fill.
    {OUTPUT_JPEG, 2, 0, {Byte(0xFF), Byte(0xD8), Byte(0xFF), {0xFF, 0xC0, 0xFE}}, JpegEnd},
    // A frame sync with layer III, and a bitrate index that is neither free
    // nor forbidden.
    {OUTPUT_MP3,
     3,
     0,
     {Byte(0xFF), {0xE6, 0xE2, 0xE2}, {0xF0, 0x10, 0xE0}, ANY_BYTE},
     Mp3FramesEnd},
    {OUTPUT_BITMAP, 4, 0, {Byte('B'), Byte('M'), ANY_BYTE, ANY_BYTE}, BmpEnd},
    {OUTPUT_MIDI, 4, 0, {Byte('M'), Byte('T'), Byte('h'), Byte('d')}, MidiEnd},
    {OUTPUT_OGG, 5, 0, {Byte('O'), Byte('g'), Byte('g'), Byte('S')}, OggEnd},
    {OUTPUT_MP3, 5, 0, {Byte('I'), Byte('D'), Byte('3'), {0xFF, 2, 4}}, Mp3TaggedEnd},
    {OUTPUT_WMF, 6, 0, {Byte(0xD7), Byte(0xCD), Byte(0xC6), Byte(0x9A)}, WmfEnd},
    {OUTPUT_EMF, 6, 40, {Byte(' '), Byte('E'), Byte('M'), Byte('F')}, EmfEnd},
    // From the second byte on, so that the vector search's three positions
    // (0, 1 and 3) hold the type and a count, which runs of zeros never do.
    {OUTPUT_ICON, 7, 1, {Byte(0), Byte(1), Byte(0), {0xFF, 1, 0xFF}}, IcoEnd},
    {OUTPUT_CURSOR, 7, 1, {Byte(0), Byte(2), Byte(0), {0xFF, 1, 0xFF}}, CurEnd},
};

namespace {

// A row too few is left zero-filled, without a walk.
constexpr bool EveryStreamRowSound() {
    for (const StreamFormat& format : STREAM_FORMATS)
        if (format.findEnd == nullptr || format.bucket >= STREAM_BUCKET_COUNT) return false;
    return true;
}
constexpr AnchorFormatTable MakeAnchorFormats() {
    AnchorFormatTable table = {};
    for (int i = 0; i < STREAM_FORMAT_COUNT; i++)
        for (int position = 0; position < ANCHOR_LENGTH; position++)
            for (unsigned byte = 0; byte < 256; byte++)
                if (ByteClassAccepts(STREAM_FORMATS[i].anchor[position], (unsigned char)byte))
                    table.entries[position][byte] |= (uint16_t)(1u << i);
    return table;
}

static_assert(EveryStreamRowSound(), "a stream format without its walk or with no bucket");
static_assert(RowsMatchWay(STREAM_FORMATS, WAY_STREAM),
              "every kind found in the bytes has a format here, and every format a kind");

}  // namespace

constexpr AnchorFormatTable ANCHOR_FORMATS = MakeAnchorFormats();
