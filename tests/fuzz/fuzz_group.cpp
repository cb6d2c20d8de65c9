// Icon and cursor group assembly over a fuzzed set of resources. Input: one
// byte whose low bit picks cursor over icon, the group's length (16 bits) and
// bytes, then image resources as (identifier, length, bytes) records. Every
// resource lives in a heap block of exactly its size, so that the address
// sanitizer sees any read past one.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "../../extract/assemblebytes.h"
#include "../../util/lebytes.h"

namespace {

struct Image {
    uint16_t id;
    unsigned char* bytes;
    size_t size;
};

struct ResourceSet {
    unsigned char* group;
    size_t groupSize;
    std::vector<Image> images;
};

unsigned char* CopyExact(const uint8_t* data, size_t size) {
    unsigned char* copy = (unsigned char*)malloc(size ? size : 1);
    if (size) memcpy(copy, data, size);
    return copy;
}

bool FindImage(void* context, uint16_t type, uint16_t id, ResourceSpan* image) {
    (void)type;
    for (const Image& i : ((ResourceSet*)context)->images) {
        if (i.id != id) continue;
        image->bytes = i.bytes;
        image->size = i.size;
        return true;
    }
    return false;
}

ResourceSet Split(const uint8_t* data, size_t size) {
    ResourceSet set = {nullptr, 0, {}};
    size_t at = 3;
    size_t groupSize = ReadLE16(data + 1);
    if (groupSize > size - at) groupSize = size - at;
    set.group = CopyExact(data + at, groupSize);
    set.groupSize = groupSize;
    at += groupSize;
    while (at + 4 <= size) {
        uint16_t id = ReadLE16(data + at);
        size_t length = ReadLE16(data + at + 2);
        at += 4;
        if (length > size - at) length = size - at;
        set.images.push_back({id, CopyExact(data + at, length), length});
        at += length;
    }
    return set;
}

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// The file describes itself: header of its kind, a directory whose entries
// place the images back to back within the file.
void CheckFile(const unsigned char* file, size_t size, GroupKind kind) {
    Check(size >= 6 + 16);
    Check(ReadLE16(file) == 0 && ReadLE16(file + 2) == (kind == GROUP_ICON ? 1 : 2));
    size_t count = ReadLE16(file + 4);
    Check(count >= 1 && size >= 6 + 16 * count);
    size_t offset = 6 + 16 * count;
    for (size_t i = 0; i < count; i++) {
        const unsigned char* entry = file + 6 + 16 * i;
        Check(ReadLE32(entry + 12) == offset);
        Check(ReadLE32(entry + 8) > 0);
        offset += ReadLE32(entry + 8);
    }
    Check(offset == size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    GroupKind kind = (data[0] & 1) ? GROUP_CURSOR : GROUP_ICON;
    ResourceSet set = Split(data, size);
    ImageSource images = {FindImage, &set};
    ResourceSpan group = {set.group, set.groupSize};
    size_t measured = AssembleGroupBytes(nullptr, group, kind, &images);
    if (measured > 0) {
        unsigned char* file = (unsigned char*)malloc(measured);
        Check(AssembleGroupBytes(file, group, kind, &images) == measured);
        CheckFile(file, measured, kind);
        free(file);
    }
    free(set.group);
    for (Image& i : set.images) free(i.bytes);
    return 0;
}
