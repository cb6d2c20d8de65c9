// The three file assemblers: an icon group into an .ico file, a cursor group
// into a .cur file and a bitmap resource into a .bmp file. Each has the
// FileAssembler shape: with a null buffer it only measures; called again with
// a buffer of the measured size it fills it and returns the same count. They
// fetch the resources of the module and leave the reading of their bytes to
// the byte-level assemblers of assemblebytes.h.
#pragma once

#include "assemblebytes.h"
#include "extract.h"

size_t AssembleIconFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name, LPCSTR type);
size_t AssembleCursorFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                          LPCSTR type);
size_t AssembleBitmapFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                          LPCSTR type);
