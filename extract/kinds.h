// The kinds of output that the command line can switch off, one bit each: the
// three resource kinds, the RIFF forms and the formats recognised by their
// content. No Windows header, so that the byte-level core and its native fuzz
// targets share it. Each kind's switch is "/" + its extension without the dot
// + ":0", taken from the row that names the kind.
#pragma once

typedef unsigned int KindMask;
enum {
    KIND_ICON = 0x01,
    KIND_CURSOR = 0x02,
    KIND_BITMAP = 0x04,
    KIND_AVI = 0x08,
    KIND_WAVE = 0x10,
    KIND_ANICURSOR = 0x20,
    KIND_PNG = 0x40,
    KIND_GIF = 0x80,
    KIND_JPEG = 0x100,
    KIND_MIDI = 0x200,
    KIND_MP3 = 0x400,
    KIND_OGG = 0x800,
};
