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
// says how many remain; 0 when none remains or the group is no group. Each
// directory entry is the group's, but where it disagrees with the image's own
// header (bitmap or PNG), its size, colours, planes and bit count are the
// image's; the images are copied as they are.
size_t AssembleGroupBytes(unsigned char* out, ResourceSpan group, GroupKind kind,
                          const ImageSource* images);

// The .bmp file image of a packed device-independent bitmap, measured or
// filled as above: the 14-byte file header, then the resource's first bytes up
// to the end of its pixels. Accepted: an info header of 40 bytes or more with
// one plane and
// - BI_RGB at 1, 2, 4, 8, 16, 24 or 32 bits, bottom-up or top-down;
// - BI_BITFIELDS at 16 or 32 bits, the three masks after a 40-byte header or
//   inside one of 52 bytes or more, bottom-up or top-down;
// - BI_RLE8 at 8 bits and BI_RLE4 at 4 bits, bottom-up only, with pixel bytes
//   biSizeImage (not 0).
// The colour table has the entries the bit count implies, or biClrUsed ones
// where that is not more. 0 for every other bitmap (other headers and
// compressions, JPEG and PNG ones among them) and for one whose header, masks,
// table or pixels are not all in the resource.
size_t AssembleBitmapBytes(unsigned char* out, ResourceSpan dib);

// Colour-table entries that a bit count implies, or -1 for a bit count that no
// uncompressed bitmap has.
int ColourTableEntries(uint16_t bitCount);
