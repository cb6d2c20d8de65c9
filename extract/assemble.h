// The three file assemblers: an icon group into an .ico file, a cursor group
// into a .cur file and a bitmap resource into a .bmp file. Each has the
// FileAssembler shape: with a null buffer it only measures; called again with
// a buffer of the measured size it fills it and returns the same count.
#pragma once

#include "extract.h"

// Every file image stays below this size, so that totals never wrap and always
// fit the 32-bit size fields of the formats.
enum { MAX_ASSEMBLED_FILE = 0x7FFFFFFF };

size_t AssembleIconFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                        LPCSTR type);
size_t AssembleCursorFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                          LPCSTR type);
size_t AssembleBitmapFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                          LPCSTR type);

// Colour-table entries that a bit count implies, or -1 for a bit count that no
// uncompressed bitmap has.
int ColourTableEntries(WORD bitCount);
