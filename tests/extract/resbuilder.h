// Test helpers: modules with exact resource bytes (BuildModule of the test
// support, then loaded as a data file), the
// byte images of icon, cursor and bitmap resources, and checks that a file
// opens with LoadImageA.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "../../util/compat.h"
#include "../support/testsupport.h"

namespace restest {

using testsupport::BuildModule;
using testsupport::Bytes;
using testsupport::ResourceSpec;

// Rewrites, in the built module's resource directory, the size of every data
// entry of the integer type typeId to size, as a crafted file would declare
// it; false when the file holds no such entry.
bool SetResourceDataSizes(const std::string& path, WORD typeId, DWORD size);
// File offsets in a built module: its resource root; the 8-byte entry of an
// integer type, or with nameId of that name in the type's directory; 0: none.
size_t ResourceRoot(const Bytes& file);
size_t ResourceEntry(const Bytes& file, WORD typeId, WORD nameId = 0);
// LoadLibraryExA as a data file.
HMODULE LoadDataModule(const std::string& path);

void PutWord(Bytes* b, unsigned value);
void PutDword(Bytes* b, unsigned long value);
unsigned GetWord(const Bytes& b, size_t at);
unsigned long GetDword(const Bytes& b, size_t at);

// A packed DIB: 40-byte header (height as given), a palette of paletteEntries
// entries and height rows of pixels in a fixed pattern.
Bytes MakeDib(long width, long height, unsigned bits, unsigned paletteEntries,
              unsigned compression = 0, unsigned long coloursUsed = 0, unsigned planes = 1);
// An icon or cursor image: header with the doubled height, the full palette
// of its bit count, XOR bits and AND mask.
Bytes MakeIconImage(unsigned width, unsigned height, unsigned bits, unsigned seed);
// The 14-byte group entry of an icon.
Bytes IconGroupEntry(unsigned width, unsigned height, unsigned colours, unsigned bits,
                     unsigned long bytes, unsigned id);
Bytes CursorGroupEntry(unsigned width, unsigned height, unsigned planes, unsigned bits,
                       unsigned long bytes, unsigned id);
Bytes GroupHeader(unsigned type, unsigned count);
// A cursor image resource: the hotspot's two words, then the image.
Bytes Hotspot(unsigned x, unsigned y, const Bytes& image);
Bytes Join(std::initializer_list<Bytes> parts);

// LoadImageA(LR_LOADFROMFILE) of type IMAGE_ICON, IMAGE_CURSOR or IMAGE_BITMAP;
// true and the size of the loaded image (for icons and cursors the colour
// bitmap's, or the mask's with half its height when there is none).
bool LoadImageSize(const std::string& path, UINT type, int wantWidth, int wantHeight, int* width,
                   int* height);

}  // namespace restest
