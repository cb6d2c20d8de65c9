// Builds standalone .ico, .cur and .bmp file images from the resources of a
// module loaded as a data file. Resource bytes are untrusted: every read is
// bounded by SizeofResource, and every byte of the image is written, so that
// the same resources always give the same file.
#include "assemble.h"

#include <string.h>

#include "../util/lebytes.h"

namespace {

const size_t GROUP_HEADER_SIZE = 6;
const size_t GROUP_ENTRY_SIZE = 14;
const size_t DIRECTORY_ENTRY_SIZE = 16;
const size_t HOTSPOT_SIZE = 4;
const size_t FILE_HEADER_SIZE = 14;
const size_t INFO_HEADER_SIZE = 40;

// A group resource with the count of entries it really holds: a count that
// claims more entries than the resource's bytes is cut to what is there.
struct GroupResource {
    const BYTE* bytes;
    unsigned count;
};

bool LockGroup(HMODULE module, LPCSTR name, LPCSTR type, GroupResource* group) {
    DWORD size = 0;
    group->bytes = (const BYTE*)LockResourceData(module, name, type, &size);
    if (group->bytes == nullptr || size < GROUP_HEADER_SIZE) return false;
    unsigned held = (unsigned)((size - GROUP_HEADER_SIZE) / GROUP_ENTRY_SIZE);
    group->count = ReadLE16(group->bytes + 4);
    if (group->count > held) group->count = held;
    return true;
}

// The group's first six bytes, with the count of entries actually written so
// that the directory and its count always agree.
void WriteFileHeader(BYTE* out, const GroupResource& group) {
    memcpy(out, group.bytes, 4);
    WriteLE16(out + 4, (WORD)group.count);
}

const BYTE* GroupEntry(const GroupResource& group, unsigned i) {
    return group.bytes + GROUP_HEADER_SIZE + GROUP_ENTRY_SIZE * i;
}

// An image resource named by its integer identifier, with its real size.
struct ImageResource {
    const BYTE* bytes;
    DWORD size;
};

ImageResource LockImage(HMODULE module, WORD id, LPCSTR type) {
    ImageResource image = {nullptr, 0};
    image.bytes = (const BYTE*)LockResourceData(module, MAKEINTRESOURCEA(id), type, &image.size);
    if (image.bytes == nullptr) image.size = 0;
    return image;
}

// Icon image: the declared byte count, cut to the image resource's real size
// when the resource is there; a missing image keeps its declared size (zeros).
DWORD IconImageSize(const BYTE* entry, const ImageResource& image) {
    DWORD declared = ReadLE32(entry + 8);
    if (image.bytes != nullptr && image.size < declared) return image.size;
    return declared;
}

void WriteIconEntry(BYTE* out, BYTE* dir, const BYTE* entry, const ImageResource& image,
                    DWORD imageSize, DWORD offset) {
    memcpy(dir, entry, 8);  // width, height, colours, reserved, planes, bits
    WriteLE32(dir + 8, imageSize);
    WriteLE32(dir + 12, offset);
    if (image.bytes != nullptr)
        memcpy(out + offset, image.bytes, imageSize);
    else
        memset(out + offset, 0, imageSize);
}

// Cursor image: the declared byte count less the hotspot, never below zero,
// and cut to what the image resource holds after its hotspot.
DWORD CursorImageSize(const BYTE* entry, const ImageResource& image) {
    DWORD declared = ReadLE32(entry + 8);
    DWORD size = declared >= HOTSPOT_SIZE ? declared - HOTSPOT_SIZE : 0;
    if (image.bytes != nullptr && image.size - HOTSPOT_SIZE < size) size = image.size - HOTSPOT_SIZE;
    return size;
}

// Monochrome cursors store twice their height in the group (colour mask and
// transparency mask); the file wants the real height for those.
BYTE CursorHeightByte(WORD width, WORD height, DWORD imageSize) {
    DWORD rowBytes = ((width / 8u) + 3u) & ~3u;
    DWORD monochrome = rowBytes * (height / 2u) * 2u + 48u;
    return (BYTE)(monochrome == imageSize ? height / 2u : height);
}

void WriteCursorEntry(BYTE* out, BYTE* dir, const BYTE* entry, const ImageResource& image,
                      DWORD imageSize, DWORD offset) {
    if (image.bytes == nullptr) {
        memset(dir, 0, DIRECTORY_ENTRY_SIZE);
        memset(out + offset, 0, imageSize);
        return;
    }
    WORD width = ReadLE16(entry);
    WORD height = ReadLE16(entry + 2);
    dir[0] = (BYTE)width;
    dir[1] = CursorHeightByte(width, height, imageSize);
    dir[2] = 0;
    dir[3] = 0;
    WriteLE16(dir + 4, ReadLE16(image.bytes));
    WriteLE16(dir + 6, ReadLE16(image.bytes + 2));
    WriteLE32(dir + 8, imageSize);
    WriteLE32(dir + 12, offset);
    memcpy(out + offset, image.bytes + HOTSPOT_SIZE, imageSize);
}

enum GroupKind { GROUP_ICON, GROUP_CURSOR };

// The frame shared by icons and cursors: header, directory, then the images
// back to back in directory order.
size_t AssembleGroupFile(BYTE* out, HMODULE module, LPCSTR name, LPCSTR type, GroupKind kind) {
    GroupResource group;
    if (!LockGroup(module, name, type, &group)) return 0;
    LPCSTR imageType = kind == GROUP_ICON ? RT_ICON : RT_CURSOR;
    unsigned long long total = GROUP_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * (size_t)group.count;
    if (out != nullptr) WriteFileHeader(out, group);
    for (unsigned i = 0; i < group.count; i++) {
        const BYTE* entry = GroupEntry(group, i);
        ImageResource image = LockImage(module, ReadLE16(entry + 12), imageType);
        // A cursor image without its hotspot is no image.
        if (kind == GROUP_CURSOR && image.size < HOTSPOT_SIZE) image.bytes = nullptr;
        DWORD size = kind == GROUP_ICON ? IconImageSize(entry, image) : CursorImageSize(entry, image);
        if (total + size > MAX_ASSEMBLED_FILE) return 0;
        if (out != nullptr) {
            BYTE* dir = out + GROUP_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * i;
            if (kind == GROUP_ICON)
                WriteIconEntry(out, dir, entry, image, size, (DWORD)total);
            else
                WriteCursorEntry(out, dir, entry, image, size, (DWORD)total);
        }
        total += size;
    }
    return (size_t)total;
}

}  // namespace

size_t AssembleIconFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                        LPCSTR type) {
    PELNORE_UNUSED(bufferSize);
    return AssembleGroupFile((BYTE*)buffer, module, name, type, GROUP_ICON);
}

size_t AssembleCursorFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                          LPCSTR type) {
    PELNORE_UNUSED(bufferSize);
    return AssembleGroupFile((BYTE*)buffer, module, name, type, GROUP_CURSOR);
}

int ColourTableEntries(WORD bitCount) {
    switch (bitCount) {
    case 1: return 2;
    case 2: return 4;
    case 4: return 16;
    case 8: return 256;
    case 16:
    case 24:
    case 32: return 0;
    default: return -1;
    }
}

namespace {

// What the info header says, checked: false when no correct file can be
// built from the resource's own bytes.
struct BitmapLayout {
    unsigned long long headerAndTable;  // info header plus colour table
    unsigned long long total;           // whole file
};

bool MeasureBitmap(const BYTE* dib, DWORD size, BitmapLayout* layout) {
    if (size < INFO_HEADER_SIZE) return false;
    DWORD headerSize = ReadLE32(dib);
    LONG width = (LONG)ReadLE32(dib + 4);
    LONG height = (LONG)ReadLE32(dib + 8);
    WORD planes = ReadLE16(dib + 12);
    WORD bitCount = ReadLE16(dib + 14);
    DWORD compression = ReadLE32(dib + 16);
    DWORD coloursUsed = ReadLE32(dib + 32);
    // Longer headers (the V4 and V5 ones) keep the same first 40 bytes; shorter
    // ones lay their fields out differently.
    if (headerSize < INFO_HEADER_SIZE || headerSize > size) return false;
    if (compression != BI_RGB || planes != 1) return false;
    int entries = ColourTableEntries(bitCount);
    if (entries < 0) return false;
    if (coloursUsed != 0) {
        // A palette may be shorter than the bit count allows, never longer.
        if (entries > 0 && coloursUsed > (DWORD)entries) return false;
        if (coloursUsed > 256) return false;
        entries = (int)coloursUsed;
    }
    if (width <= 0 || height == 0) return false;
    // Negative heights are top-down bitmaps: as many rows, stored the other way.
    unsigned long long rows = height < 0 ? 0ull - (unsigned long long)(long long)height
                                         : (unsigned long long)height;
    unsigned long long rowSize = (((unsigned long long)width * bitCount + 31) / 32) * 4;
    layout->headerAndTable = headerSize + 4ull * (unsigned)entries;
    unsigned long long resourceBytes = layout->headerAndTable + rowSize * rows;
    // The pixels must all be in the resource: no file rather than one padded
    // or filled from beyond it.
    if (resourceBytes > size) return false;
    layout->total = FILE_HEADER_SIZE + resourceBytes;
    return layout->total <= MAX_ASSEMBLED_FILE;
}

}  // namespace

size_t AssembleBitmapFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                          LPCSTR type) {
    PELNORE_UNUSED(bufferSize);
    DWORD size = 0;
    const BYTE* dib = (const BYTE*)LockResourceData(module, name, type, &size);
    if (dib == nullptr) return 0;
    BitmapLayout layout;
    if (!MeasureBitmap(dib, size, &layout)) return 0;
    if (buffer != nullptr) {
        BYTE* out = (BYTE*)buffer;
        WriteLE16(out, 0x4D42);  // "BM"
        WriteLE32(out + 2, (DWORD)layout.total);
        WriteLE32(out + 6, 0);
        WriteLE32(out + 10, (DWORD)(FILE_HEADER_SIZE + layout.headerAndTable));
        memcpy(out + FILE_HEADER_SIZE, dib, (size_t)layout.total - FILE_HEADER_SIZE);
    }
    return (size_t)layout.total;
}
