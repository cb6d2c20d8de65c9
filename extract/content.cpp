// The recognisers of content formats: fixed first bytes where a format has
// them, and small checks of the fields after them where the first bytes alone
// would accept too much (a JPEG marker, an ID3 tag header, two MPEG audio
// frames in a row). Every check reads only the bytes it is given.
#include "content.h"

#include <string.h>

namespace {

// FF D8 (start of image) and the FF of the first marker are three bytes that
// other data holds by chance often enough; the marker's code must follow, and
// no code is 00 (a stuffed zero) or FF (fill).
bool JpegMarkerFollows(const unsigned char* bytes, size_t size) {
    return size >= 4 && bytes[3] >= 0xC0 && bytes[3] <= 0xFE;
}

// "ID3", major version, revision, flags, and a size of four 7-bit bytes (the
// top bit of each is always clear, so that the tag never holds a false frame
// sync). Versions 2.2 to 2.4 exist; a revision of FF is never written.
bool Id3TagHeader(const unsigned char* bytes, size_t size) {
    const size_t TAG_HEADER_SIZE = 10;
    if (size < TAG_HEADER_SIZE) return false;
    if (bytes[3] < 2 || bytes[3] > 4 || bytes[4] == 0xFF) return false;
    for (size_t i = 6; i < TAG_HEADER_SIZE; i++) {
        if (bytes[i] >= 0x80) return false;
    }
    return true;
}

// The fields of a 4-byte MPEG audio frame header that decide its length.
struct MpegFrameHeader {
    unsigned version;     // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1 (1 is reserved)
    unsigned layer;       // 1 layer III, 2 layer II, 3 layer I (0 is reserved)
    unsigned bitrate;     // index 1..14
    unsigned sampleRate;  // index 0..2
    unsigned padding;
};

const unsigned MPEG_VERSION_1 = 3;
const unsigned MPEG_LAYER_I = 3;
const unsigned MPEG_LAYER_III = 1;

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

unsigned MpegBitrate(const MpegFrameHeader& h) {
    if (h.version == MPEG_VERSION_1) return MPEG1_BITRATES[MPEG_LAYER_I - h.layer][h.bitrate];
    return MPEG2_BITRATES[h.layer == MPEG_LAYER_I ? 0 : 1][h.bitrate];
}

// Bytes of a frame, header included. Layer I counts in 4-byte slots of 384
// samples a frame; layers II and III in bytes of 1152 samples, except layer
// III of MPEG-2 and 2.5 with 576.
size_t MpegFrameLength(const MpegFrameHeader& h) {
    unsigned long bitsPerSecond = MpegBitrate(h) * 1000ul;
    unsigned long rate = MPEG_SAMPLE_RATES[h.version][h.sampleRate];
    if (h.layer == MPEG_LAYER_I) return (12 * bitsPerSecond / rate + h.padding) * 4;
    unsigned long factor = h.layer == MPEG_LAYER_III && h.version != MPEG_VERSION_1 ? 72 : 144;
    return factor * bitsPerSecond / rate + h.padding;
}

// MPEG audio without a tag starts with a frame at once. Sync bits alone are
// common in other bytes, so the frame's length must lead to a second header
// of the same stream: same version, layer and sample rate.
bool TwoMpegFrames(const unsigned char* bytes, size_t size) {
    const size_t FRAME_HEADER_SIZE = 4;
    MpegFrameHeader first, second;
    if (size < FRAME_HEADER_SIZE || !ReadMpegFrameHeader(bytes, &first)) return false;
    size_t length = MpegFrameLength(first);
    if (length > size - FRAME_HEADER_SIZE) return false;
    if (!ReadMpegFrameHeader(bytes + length, &second)) return false;
    return second.version == first.version && second.layer == first.layer &&
           second.sampleRate == first.sampleRate;
}

}  // namespace

// A signature literal and its length without the terminator; the literals
// may hold zero bytes, so strlen would not do.
#define CONTENT_SIGNATURE(literal) literal, sizeof(literal) - 1

// In order of checking. The fixed bytes after a format's magic (MIDI's header
// length of 6, Ogg's structure version 0) are part of its signature. No row
// starts with "RIFF": WAVE, AVI and animated cursors are the RIFF scan's, which
// finds them in the whole file, resources included, and would write them twice.
constexpr ContentFormat CONTENT_FORMATS[CONTENT_FORMAT_COUNT] = {
    {CONTENT_SIGNATURE("\x89PNG\r\n\x1A\n"), nullptr, ".png", KIND_PNG},
    {CONTENT_SIGNATURE("GIF87a"), nullptr, ".gif", KIND_GIF},
    {CONTENT_SIGNATURE("GIF89a"), nullptr, ".gif", KIND_GIF},
    {CONTENT_SIGNATURE("\xFF\xD8\xFF"), JpegMarkerFollows, ".jpg", KIND_JPEG},
    {CONTENT_SIGNATURE("MThd\0\0\0\x06"), nullptr, ".mid", KIND_MIDI},
    {CONTENT_SIGNATURE("ID3"), Id3TagHeader, ".mp3", KIND_MP3},
    {CONTENT_SIGNATURE(""), TwoMpegFrames, ".mp3", KIND_MP3},
    {CONTENT_SIGNATURE("OggS\0"), nullptr, ".ogg", KIND_OGG},
};

#undef CONTENT_SIGNATURE

namespace {

// A row too many does not compile; a row too few would be left all zeros, so
// that every row must name its extension.
constexpr bool EveryFormatRowFilled() {
    for (const ContentFormat& format : CONTENT_FORMATS) {
        if (format.extension == nullptr) return false;
    }
    return true;
}
static_assert(EveryFormatRowFilled(), "CONTENT_FORMATS has fewer rows than CONTENT_FORMAT_COUNT");

}  // namespace

KindMask ContentKindBits() {
    KindMask bits = 0;
    for (const ContentFormat& format : CONTENT_FORMATS) bits |= format.kindBit;
    return bits;
}

const ContentFormat* RecogniseContent(const unsigned char* bytes, size_t size) {
    if (bytes == nullptr) return nullptr;
    for (const ContentFormat& format : CONTENT_FORMATS) {
        if (size < format.signatureLength) continue;
        if (memcmp(bytes, format.signature, format.signatureLength) != 0) continue;
        if (format.check == nullptr || format.check(bytes, size)) return &format;
    }
    return nullptr;
}
