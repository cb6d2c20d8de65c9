// The recognisers of content formats: fixed first bytes where a format has
// them, and small checks of the fields after them where the first bytes alone
// would accept too much (a JPEG marker, an ID3 tag header, two MPEG audio
// frames in a row). Every check reads only the bytes it is given.
#include "content.h"

#include <string.h>

#include "streamformats.h"

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
    {CONTENT_SIGNATURE("\x89PNG\r\n\x1A\n"), nullptr, OUTPUT_PNG},
    {CONTENT_SIGNATURE("GIF87a"), nullptr, OUTPUT_GIF},
    {CONTENT_SIGNATURE("GIF89a"), nullptr, OUTPUT_GIF},
    {CONTENT_SIGNATURE("\xFF\xD8\xFF"), JpegMarkerFollows, OUTPUT_JPEG},
    {CONTENT_SIGNATURE("MThd\0\0\0\x06"), nullptr, OUTPUT_MIDI},
    {CONTENT_SIGNATURE("ID3"), Id3TagHeader, OUTPUT_MP3},
    {CONTENT_SIGNATURE(""), TwoMpegFrames, OUTPUT_MP3},
    {CONTENT_SIGNATURE("OggS\0"), nullptr, OUTPUT_OGG},
};

#undef CONTENT_SIGNATURE

namespace {

// A row too many does not compile; a row too few would be left zero-filled,
// without a signature.
constexpr bool EveryFormatRowFilled() {
    for (const ContentFormat& format : CONTENT_FORMATS) {
        if (format.signature == nullptr) return false;
    }
    return true;
}
static_assert(EveryFormatRowFilled(), "CONTENT_FORMATS has fewer rows than CONTENT_FORMAT_COUNT");
static_assert(RowsMatchWay(CONTENT_FORMATS, WAY_CONTENT),
              "every kind told by its content has a row here, and every row such a kind");

}  // namespace

const ContentFormat* RecogniseContent(const unsigned char* bytes, size_t size) {
    if (bytes == nullptr) return nullptr;
    for (const ContentFormat& format : CONTENT_FORMATS) {
        if (size < format.signatureLength) continue;
        if (memcmp(bytes, format.signature, format.signatureLength) != 0) continue;
        if (format.check == nullptr || format.check(bytes, size)) return &format;
    }
    return nullptr;
}
