// The kinds of output that the command line can switch off, one bit each: the
// three resource kinds and the RIFF forms. No Windows header, so that the
// byte-level core and its native fuzz targets share it.
#pragma once

typedef unsigned int KindMask;
enum {
    KIND_ICON = 0x01,
    KIND_CURSOR = 0x02,
    KIND_BITMAP = 0x04,
    KIND_AVI = 0x08,
    KIND_WAVE = 0x10,
    KIND_ANICURSOR = 0x20,
};
