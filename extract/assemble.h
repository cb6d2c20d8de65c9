// The three resource assemblers: an icon group into an .ico file, a cursor
// group into a .cur file and a bitmap resource into a .bmp file. Each has the
// ResourceAssembler shape: with a null out it only measures; called again with
// a block of the measured size it fills it and returns the same count. A group
// finds its images in the same resource source; the reading of the bytes is
// left to the byte-level assemblers of assemblebytes.h.
#pragma once

#include "assemblebytes.h"
#include "source.h"

// The byte count of the whole file image of the resource, 0 when it yields no
// file.
typedef size_t (*ResourceAssembler)(unsigned char* out, ResourceSpan resource,
                                    const ResourceSource* source);

size_t AssembleIconFile(unsigned char* out, ResourceSpan group, const ResourceSource* source);
size_t AssembleCursorFile(unsigned char* out, ResourceSpan group, const ResourceSource* source);
size_t AssembleBitmapFile(unsigned char* out, ResourceSpan bitmap, const ResourceSource* source);
