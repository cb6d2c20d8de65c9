// The byte-level assemblers. A group resource is untrusted all through: its
// count is cut to the entries it holds, every image is cut to the bytes really
// there, images that are not there are left out, and the header is written as
// the kind of file it is, so that every file written opens in a reader.
#include "assemblebytes.h"

#include <string.h>

#include "../util/lebytes.h"

namespace {

const size_t GROUP_HEADER_SIZE = 6;
const size_t GROUP_ENTRY_SIZE = 14;
const size_t DIRECTORY_ENTRY_SIZE = 16;
const size_t HOTSPOT_SIZE = 4;
const size_t FILE_HEADER_SIZE = 14;
const size_t INFO_HEADER_SIZE = 40;
const uint16_t RESOURCE_CURSOR = 1;
const uint16_t RESOURCE_ICON = 3;
const size_t MASKS_SIZE = 12;
const uint32_t BI_RGB_COMPRESSION = 0;
const uint32_t BI_RLE8_COMPRESSION = 1;
const uint32_t BI_RLE4_COMPRESSION = 2;
const uint32_t BI_BITFIELDS_COMPRESSION = 3;

// The fields of the 40-byte info header (and of the first 40 bytes of the
// longer ones) that decide the layout of a packed bitmap.
struct InfoHeader {
    uint32_t headerSize;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t imageSize;
    uint32_t coloursUsed;
};

InfoHeader ReadInfoHeader(const unsigned char* p) {
    InfoHeader h;
    h.headerSize = ReadLE32(p);
    h.width = (int32_t)ReadLE32(p + 4);
    h.height = (int32_t)ReadLE32(p + 8);
    h.planes = ReadLE16(p + 12);
    h.bitCount = ReadLE16(p + 14);
    h.compression = ReadLE32(p + 16);
    h.imageSize = ReadLE32(p + 20);
    h.coloursUsed = ReadLE32(p + 32);
    return h;
}

// Entries that the group both claims and holds.
size_t HeldEntryCount(ResourceSpan group) {
    size_t held = (group.size - GROUP_HEADER_SIZE) / GROUP_ENTRY_SIZE;
    size_t claimed = ReadLE16(group.bytes + 4);
    return claimed < held ? claimed : held;
}

const unsigned char* GroupEntry(ResourceSpan group, size_t i) {
    return group.bytes + GROUP_HEADER_SIZE + GROUP_ENTRY_SIZE * i;
}

// One group entry's image as it goes into the file: the bytes to copy (for a
// cursor they start after the hotspot) and how many; size 0 when the entry
// is left out.
struct EntryImage {
    const unsigned char* resource;  // the image resource, hotspot included
    const unsigned char* bytes;
    size_t size;
};

// The declared byte count, cut to what the image resource really holds; a
// cursor's declared count includes its four hotspot bytes.
EntryImage FindEntryImage(const unsigned char* entry, GroupKind kind, const ImageSource* images) {
    EntryImage result = {nullptr, nullptr, 0};
    ResourceSpan image = {nullptr, 0};
    uint16_t type = kind == GROUP_ICON ? RESOURCE_ICON : RESOURCE_CURSOR;
    if (!images->find(images->context, type, ReadLE16(entry + 12), &image)) return result;
    if (image.bytes == nullptr) return result;
    size_t declared = ReadLE32(entry + 8);
    size_t skip = 0;
    if (kind == GROUP_CURSOR) {
        // A cursor image without its hotspot is no image.
        if (image.size < HOTSPOT_SIZE || declared < HOTSPOT_SIZE) return result;
        skip = HOTSPOT_SIZE;
        declared -= HOTSPOT_SIZE;
    }
    result.resource = image.bytes;
    result.bytes = image.bytes + skip;
    result.size = declared < image.size - skip ? declared : image.size - skip;
    return result;
}

// Monochrome cursors store twice their height in the group (colour mask and
// transparency mask); the file wants the real height for those.
unsigned char CursorHeightByte(uint16_t width, uint16_t height, size_t imageSize) {
    size_t rowBytes = ((width / 8u) + 3u) & ~(size_t)3;
    size_t monochrome = rowBytes * (height / 2u) * 2u + 48u;
    return (unsigned char)(monochrome == imageSize ? height / 2u : height);
}

// What an icon or cursor image's own header says of it, as a directory entry
// gives it: width and height 1 to 256 (the entry's byte writes 256 as 0), and
// the palette's entries for fewer than 8 bits, else 0. Planes are always 1.
struct ImageFacts {
    bool known;  // false: the header is neither form, or not one a directory can describe
    bool png;
    unsigned width;
    unsigned height;
    uint16_t bitCount;
    unsigned char colours;
};

const unsigned char PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const size_t PNG_HEADER_END = 8 + 8 + 13;  // signature, IHDR length and type, IHDR data
const int64_t MAX_ENTRY_SIDE = 256;
// Samples per pixel of each PNG colour type (0 for the types that do not exist):
// grey, -, RGB, palette index, grey and alpha, -, RGB and alpha.
const unsigned char PNG_CHANNELS[7] = {1, 0, 3, 1, 2, 0, 4};

uint32_t ReadBE32(const unsigned char* p) {
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

bool FitsEntry(int64_t width, int64_t height) {
    return width > 0 && width <= MAX_ENTRY_SIDE && height > 0 && height <= MAX_ENTRY_SIDE;
}

ImageFacts PngFacts(const unsigned char* bytes) {
    ImageFacts facts = {false, true, 0, 0, 0, 0};
    uint32_t width = ReadBE32(bytes + 16), height = ReadBE32(bytes + 20);
    unsigned depth = bytes[24], type = bytes[25];
    unsigned channels = type < sizeof PNG_CHANNELS ? PNG_CHANNELS[type] : 0;
    bool depthExists = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    if (!FitsEntry(width, height) || channels == 0 || !depthExists) return facts;
    facts = {true, true, width, height, (uint16_t)(depth * channels), 0};
    if (type == 3 && depth < 8) facts.colours = (unsigned char)(1u << depth);
    return facts;
}

// The bitmap holds the colour image and the transparency mask, one above the
// other: its height is twice the icon's.
ImageFacts BitmapFacts(const unsigned char* bytes) {
    ImageFacts facts = {false, false, 0, 0, 0, 0};
    InfoHeader h = ReadInfoHeader(bytes);
    int64_t height = h.height / 2;
    uint16_t bits = h.bitCount;
    bool bitsExist = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!FitsEntry(h.width, height) || h.planes != 1 || !bitsExist) return facts;
    facts = {true, false, (unsigned)h.width, (unsigned)height, bits, 0};
    if (bits >= 8) return facts;
    uint32_t palette = 1u << bits;
    facts.colours =
        (unsigned char)(h.coloursUsed != 0 && h.coloursUsed < palette ? h.coloursUsed : palette);
    return facts;
}

ImageFacts ReadImageFacts(const unsigned char* bytes, size_t size) {
    if (size >= PNG_HEADER_END && memcmp(bytes, PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0 &&
        memcmp(bytes + 12, "IHDR", 4) == 0)
        return PngFacts(bytes);
    if (size >= INFO_HEADER_SIZE && ReadLE32(bytes) >= INFO_HEADER_SIZE) return BitmapFacts(bytes);
    ImageFacts none = {false, false, 0, 0, 0, 0};
    return none;
}

// Whether an icon entry's width, height, colours, planes and bit count are
// the image's own. A colour count of 0 for a palette image is not: readers
// take it for 256 colours or more. Every PNG is drawn as 32-bit ARGB whatever
// depth it is stored at, and modules say so of their PNG images: 32 bits and
// no palette agree with any PNG too.
bool IconEntryAgrees(const unsigned char* entry, const ImageFacts& facts) {
    uint16_t bits = ReadLE16(entry + 6);
    bool depthAgrees = (entry[2] == facts.colours && bits == facts.bitCount) ||
                       (facts.png && entry[2] == 0 && bits == 32);
    return entry[0] == (unsigned char)facts.width && entry[1] == (unsigned char)facts.height &&
           ReadLE16(entry + 4) == 1 && depthAgrees;
}

// A group entry is copied as it stands where it agrees with its image, or
// where the image's header tells nothing; else the file's directory takes
// the image's own values, as the system does when it draws the image.
void WriteDirectoryEntry(unsigned char* dir, const unsigned char* entry, GroupKind kind,
                         const EntryImage& image, uint32_t offset) {
    ImageFacts facts = ReadImageFacts(image.bytes, image.size);
    if (kind == GROUP_ICON) {
        memcpy(dir, entry, 8);  // width, height, colours, reserved, planes, bits
        if (facts.known && !IconEntryAgrees(entry, facts)) {
            dir[0] = (unsigned char)facts.width;
            dir[1] = (unsigned char)facts.height;
            dir[2] = facts.colours;
            WriteLE16(dir + 4, 1);
            WriteLE16(dir + 6, facts.bitCount);
        }
    } else {
        uint16_t width = ReadLE16(entry), height = ReadLE16(entry + 2);
        dir[0] = (unsigned char)width;
        dir[1] = CursorHeightByte(width, height, image.size);
        dir[2] = 0;
        dir[3] = 0;
        // A cursor entry's height is the bitmap's (both masks) or the image's.
        bool agrees = width == facts.width &&
                      (height == 2 * facts.height || dir[1] == (unsigned char)facts.height);
        if (facts.known && !agrees) {
            dir[0] = (unsigned char)facts.width;
            dir[1] = (unsigned char)facts.height;
            dir[2] = facts.colours;
        }
        memcpy(dir + 4, image.resource, HOTSPOT_SIZE);  // hotspot x and y
    }
    WriteLE32(dir + 8, (uint32_t)image.size);
    WriteLE32(dir + 12, offset);
}

// Writes the images of the kept entries, and their directory, into out.
void FillGroupFile(unsigned char* out, ResourceSpan group, GroupKind kind,
                   const ImageSource* images, size_t count, size_t kept) {
    WriteLE16(out, 0);
    WriteLE16(out + 2, kind == GROUP_ICON ? 1 : 2);
    WriteLE16(out + 4, (uint16_t)kept);
    size_t offset = GROUP_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * kept;
    unsigned char* dir = out + GROUP_HEADER_SIZE;
    for (size_t i = 0; i < count; i++) {
        const unsigned char* entry = GroupEntry(group, i);
        EntryImage image = FindEntryImage(entry, kind, images);
        if (image.size == 0) continue;
        WriteDirectoryEntry(dir, entry, kind, image, (uint32_t)offset);
        memcpy(out + offset, image.bytes, image.size);
        dir += DIRECTORY_ENTRY_SIZE;
        offset += image.size;
    }
}

}  // namespace

size_t AssembleGroupBytes(unsigned char* out, ResourceSpan group, GroupKind kind,
                          const ImageSource* images) {
    if (group.bytes == nullptr || group.size < GROUP_HEADER_SIZE) return 0;
    size_t count = HeldEntryCount(group);
    // The measure: which entries keep an image, and how large the file is.
    size_t kept = 0;
    uint64_t total = GROUP_HEADER_SIZE;
    for (size_t i = 0; i < count; i++) {
        EntryImage image = FindEntryImage(GroupEntry(group, i), kind, images);
        if (image.size == 0) continue;
        kept++;
        total += DIRECTORY_ENTRY_SIZE + (uint64_t)image.size;
        if (total > MAX_ASSEMBLED_FILE) return 0;
    }
    if (kept == 0) return 0;
    if (out != nullptr) FillGroupFile(out, group, kind, images, count, kept);
    return (size_t)total;
}

int ColourTableEntries(uint16_t bitCount) {
    switch (bitCount) {
        case 1:
            return 2;
        case 2:
            return 4;
        case 4:
            return 16;
        case 8:
            return 256;
        case 16:
        case 24:
        case 32:
            return 0;
        default:
            return -1;
    }
}

namespace {

// The compressions a file can be written for, and the bit counts they allow
// (0: every bit count that has a colour table rule). Run-length pixels are as
// long as the header says; bit-field masks are three DWORDs. JPEG and PNG
// bitmaps (4 and 5) are left out: GDI takes those from printer drivers only,
// so that such a file would open nowhere.
struct CompressionRule {
    uint32_t compression;
    uint16_t bitCount;
    bool runLength;
    bool masks;
};
const CompressionRule COMPRESSION_RULES[] = {
    {BI_RGB_COMPRESSION, 0, false, false},       {BI_RLE8_COMPRESSION, 8, true, false},
    {BI_RLE4_COMPRESSION, 4, true, false},       {BI_BITFIELDS_COMPRESSION, 16, false, true},
    {BI_BITFIELDS_COMPRESSION, 32, false, true},
};

const CompressionRule* FindCompressionRule(const InfoHeader& h) {
    for (const CompressionRule& rule : COMPRESSION_RULES) {
        if (rule.compression == h.compression &&
            (rule.bitCount == 0 || rule.bitCount == h.bitCount))
            return &rule;
    }
    return nullptr;
}

// Bytes of bit-field masks between the header and the colour table: only
// after a 40-byte header; the longer headers hold the masks themselves, from
// the 52-byte one on. False for a header that has room for them neither way.
bool MaskBytes(const InfoHeader& h, const CompressionRule& rule, uint64_t* bytes) {
    *bytes = 0;
    if (!rule.masks) return true;
    if (h.headerSize == INFO_HEADER_SIZE) {
        *bytes = MASKS_SIZE;
        return true;
    }
    return h.headerSize >= INFO_HEADER_SIZE + MASKS_SIZE;
}

// Colour table entries, or -1 when the bit count has none or biClrUsed
// claims more than it can have.
int TableEntries(const InfoHeader& h) {
    int entries = ColourTableEntries(h.bitCount);
    if (entries < 0 || h.coloursUsed == 0) return entries;
    // A palette may be shorter than the bit count allows, never longer.
    if (entries > 0 && h.coloursUsed > (uint32_t)entries) return -1;
    if (h.coloursUsed > 256) return -1;
    return (int)h.coloursUsed;
}

// Bytes of pixels, checked only against what may be available: the sum of
// all parts is checked against the resource by the caller.
bool PixelBytes(const InfoHeader& h, const CompressionRule& rule, size_t available,
                uint64_t* bytes) {
    if (h.width <= 0 || h.height == 0) return false;
    if (rule.runLength) {
        // Runs decode from the bottom row up: no top-down form, and the
        // length of the runs is known only from biSizeImage.
        if (h.height < 0 || h.imageSize == 0) return false;
        *bytes = h.imageSize;
        return true;
    }
    // Negative heights are top-down bitmaps: as many rows, stored the other way.
    uint64_t rows = h.height < 0 ? 0ull - (uint64_t)(int64_t)h.height : (uint64_t)h.height;
    uint64_t rowSize = (((uint64_t)h.width * h.bitCount + 31) / 32) * 4;
    // Checked before multiplying: the product of two 32-bit counts may wrap.
    if (rows > available / rowSize) return false;
    *bytes = rowSize * rows;
    return true;
}

// What the info header says, checked: false when no correct file can be
// built from the resource's own bytes.
struct BitmapLayout {
    uint64_t beforePixels;  // info header, masks and colour table
    uint64_t total;         // whole file
};

bool MeasureBitmap(ResourceSpan dib, BitmapLayout* layout) {
    if (dib.bytes == nullptr || dib.size < INFO_HEADER_SIZE) return false;
    InfoHeader h = ReadInfoHeader(dib.bytes);
    // Longer headers (the V4 and V5 ones) keep the same first 40 bytes; shorter
    // ones lay their fields out differently.
    if (h.headerSize < INFO_HEADER_SIZE || h.headerSize > dib.size || h.planes != 1) return false;
    const CompressionRule* rule = FindCompressionRule(h);
    if (rule == nullptr) return false;
    uint64_t masks = 0, pixels = 0;
    int entries = TableEntries(h);
    if (entries < 0 || !MaskBytes(h, *rule, &masks)) return false;
    if (!PixelBytes(h, *rule, dib.size, &pixels)) return false;
    layout->beforePixels = h.headerSize + masks + 4ull * (unsigned)entries;
    uint64_t resourceBytes = layout->beforePixels + pixels;
    // Header, masks, table and pixels must all be in the resource: no file
    // rather than one padded or filled from beyond it.
    if (resourceBytes > dib.size) return false;
    layout->total = FILE_HEADER_SIZE + resourceBytes;
    return layout->total <= MAX_ASSEMBLED_FILE;
}

}  // namespace

size_t AssembleBitmapBytes(unsigned char* out, ResourceSpan dib) {
    BitmapLayout layout;
    if (!MeasureBitmap(dib, &layout)) return 0;
    if (out != nullptr) {
        WriteLE16(out, 0x4D42);  // "BM"
        WriteLE32(out + 2, (uint32_t)layout.total);
        WriteLE32(out + 6, 0);
        WriteLE32(out + 10, (uint32_t)(FILE_HEADER_SIZE + layout.beforePixels));
        memcpy(out + FILE_HEADER_SIZE, dib.bytes, (size_t)layout.total - FILE_HEADER_SIZE);
    }
    return (size_t)layout.total;
}
