// Little-endian reads and writes of the fixed-width fields of the file formats
// (resource groups, bitmap headers, RIFF chunks, ZIP records). The caller has
// checked that the bytes are there; nothing here knows a buffer's size.
#pragma once

#include <stdint.h>

inline uint16_t ReadLE16(const unsigned char* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}

inline uint32_t ReadLE32(const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline void WriteLE16(unsigned char* p, uint16_t value) {
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
}

inline void WriteLE32(unsigned char* p, uint32_t value) {
    WriteLE16(p, (uint16_t)value);
    WriteLE16(p + 2, (uint16_t)(value >> 16));
}

inline uint64_t ReadLE64(const unsigned char* p) {
    return (uint64_t)ReadLE32(p) | ((uint64_t)ReadLE32(p + 4) << 32);
}
