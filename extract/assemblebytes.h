// Icon, cursor and bitmap file assembly over bytes: the reading of untrusted
// resource data, apart from the Win32 calls that fetch it (assemble.cpp), so
// that it builds natively with clang and can be fuzzed. No Windows header.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Every file image stays below this size, so that totals never wrap and always
// fit the 32-bit size fields of the formats.
enum { MAX_ASSEMBLED_FILE = 0x7FFFFFFF };

// A resource's bytes and the count of them that may really be read.
struct ResourceSpan {
    const unsigned char* bytes;
    size_t size;
};

// The image resources of the module that a group names: type 3 (RT_ICON) or
// 1 (RT_CURSOR) and an integer identifier; false when there is no such image.
struct ImageSource {
    bool (*find)(void* context, uint16_t type, uint16_t id, ResourceSpan* image);
    void* context;
};

enum GroupKind { GROUP_ICON, GROUP_CURSOR };

// The .ico or .cur file image of a group resource. With a null out only
// measures; a second call with a block of the measured size fills all of it.
// Entries whose image is missing or empty are left out and the file's count
// says how many remain; 0 when none remains or the group is no group.
size_t AssembleGroupBytes(unsigned char* out, ResourceSpan group, GroupKind kind,
                          const ImageSource* images);

// The .bmp file image of a packed device-independent bitmap, measured or
// filled as above; 0 for a bitmap that gives no correct file from its own
// bytes (compressed, unknown depth, pixels missing).
size_t AssembleBitmapBytes(unsigned char* out, ResourceSpan dib);

// Colour-table entries that a bit count implies, or -1 for a bit count that no
// uncompressed bitmap has.
int ColourTableEntries(uint16_t bitCount);
