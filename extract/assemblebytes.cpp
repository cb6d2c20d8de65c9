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
const uint32_t BI_RGB_COMPRESSION = 0;

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

void WriteDirectoryEntry(unsigned char* dir, const unsigned char* entry, GroupKind kind,
                         const EntryImage& image, uint32_t offset) {
    if (kind == GROUP_ICON) {
        memcpy(dir, entry, 8);  // width, height, colours, reserved, planes, bits
    } else {
        uint16_t width = ReadLE16(entry);
        dir[0] = (unsigned char)width;
        dir[1] = CursorHeightByte(width, ReadLE16(entry + 2), image.size);
        dir[2] = 0;
        dir[3] = 0;
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

// What the info header says, checked: false when no correct file can be
// built from the resource's own bytes.
struct BitmapLayout {
    uint64_t headerAndTable;  // info header plus colour table
    uint64_t total;           // whole file
};

bool MeasureBitmap(ResourceSpan dib, BitmapLayout* layout) {
    if (dib.bytes == nullptr || dib.size < INFO_HEADER_SIZE) return false;
    const unsigned char* p = dib.bytes;
    uint32_t headerSize = ReadLE32(p);
    int32_t width = (int32_t)ReadLE32(p + 4);
    int32_t height = (int32_t)ReadLE32(p + 8);
    uint16_t planes = ReadLE16(p + 12);
    uint16_t bitCount = ReadLE16(p + 14);
    uint32_t compression = ReadLE32(p + 16);
    uint32_t coloursUsed = ReadLE32(p + 32);
    // Longer headers (the V4 and V5 ones) keep the same first 40 bytes; shorter
    // ones lay their fields out differently.
    if (headerSize < INFO_HEADER_SIZE || headerSize > dib.size) return false;
    if (compression != BI_RGB_COMPRESSION || planes != 1) return false;
    int entries = ColourTableEntries(bitCount);
    if (entries < 0) return false;
    if (coloursUsed != 0) {
        // A palette may be shorter than the bit count allows, never longer.
        if (entries > 0 && coloursUsed > (uint32_t)entries) return false;
        if (coloursUsed > 256) return false;
        entries = (int)coloursUsed;
    }
    if (width <= 0 || height == 0) return false;
    // Negative heights are top-down bitmaps: as many rows, stored the other way.
    uint64_t rows = height < 0 ? 0ull - (uint64_t)(int64_t)height : (uint64_t)height;
    uint64_t rowSize = (((uint64_t)width * bitCount + 31) / 32) * 4;
    // Checked before multiplying: the product of two 32-bit counts may wrap.
    if (rows > dib.size / rowSize) return false;
    layout->headerAndTable = headerSize + 4ull * (unsigned)entries;
    uint64_t resourceBytes = layout->headerAndTable + rowSize * rows;
    // The pixels must all be in the resource: no file rather than one padded
    // or filled from beyond it.
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
        WriteLE32(out + 10, (uint32_t)(FILE_HEADER_SIZE + layout.headerAndTable));
        memcpy(out + FILE_HEADER_SIZE, dib.bytes, (size_t)layout.total - FILE_HEADER_SIZE);
    }
    return (size_t)layout.total;
}
