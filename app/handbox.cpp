// Entries of the hand-over box: posted at the end of the used part, taken all
// at once, withdrawn one by one. The used size and each entry's size are read
// once into locals and checked before any byte they cover is touched, so that
// bytes changed under the reader still keep every read inside the area.
#include "handbox.h"

#include <string.h>

#include "../util/lebytes.h"

namespace {

const size_t ENTRY_HEADER = 8;

// The size of the well-formed entry at offset (its header, then paths that
// each end inside it, none empty or longer than a list's path), else 0.
size_t EntrySizeAt(const unsigned char* area, size_t used, size_t offset, size_t* paths) {
    if (used - offset < ENTRY_HEADER) return 0;
    size_t size = ReadLE32(area + offset + 4);
    if (size == 0 || size > used - offset - ENTRY_HEADER) return 0;
    const unsigned char* bytes = area + offset + ENTRY_HEADER;
    size_t count = 0, length = 0;
    for (size_t i = 0; i < size; i++) {
        if (bytes[i] != 0) {
            if (++length >= HAND_PATH_CAPACITY) return 0;
            continue;
        }
        if (length == 0) return 0;
        count++;
        length = 0;
    }
    if (length != 0) return 0;
    *paths = count;
    return ENTRY_HEADER + size;
}

// The part of the area that well-formed entries take from its start; what
// follows the first malformed entry (or a used size beyond the area) is not
// any start's paths.
size_t ValidBytes(const HandBox* box) {
    size_t used = box->used;
    if (used > HAND_BOX_AREA) return 0;
    size_t offset = 0, paths = 0;
    for (;;) {
        size_t size = EntrySizeAt(box->area, used, offset, &paths);
        if (size == 0) return offset;
        offset += size;
    }
}

// The offset of the entry of ticket, or valid when it is not there.
size_t FindEntry(const HandBox* box, size_t valid, uint32_t ticket, size_t* size) {
    size_t offset = 0, paths = 0;
    while (offset < valid) {
        *size = EntrySizeAt(box->area, valid, offset, &paths);
        if (*size == 0) break;
        if (ReadLE32(box->area + offset) == ticket) return offset;
        offset += *size;
    }
    return valid;
}

bool IsListPath(const char* path, size_t* length) {
    *length = strlen(path);
    return *length > 0 && *length < HAND_PATH_CAPACITY;
}

}  // namespace

size_t PostHandedPaths(HandBox* box, const char* const* paths, size_t count, uint32_t* ticket) {
    size_t used = ValidBytes(box);
    size_t room = HAND_BOX_AREA - used;
    if (room <= ENTRY_HEADER) return 0;
    room -= ENTRY_HEADER;
    unsigned char* entry = box->area + used;
    size_t posted = 0, size = 0, length = 0;
    while (posted < count && IsListPath(paths[posted], &length) && length + 1 <= room - size) {
        memcpy(entry + ENTRY_HEADER + size, paths[posted], length + 1);
        size += length + 1;
        posted++;
    }
    if (posted == 0) return 0;
    // A ticket that an entry already holds (left by a writer gone astray) is
    // passed over, so that withdrawing never takes another start's entry.
    size_t held = 0;
    while (FindEntry(box, used, box->nextTicket, &held) < used) box->nextTicket++;
    *ticket = box->nextTicket++;
    WriteLE32(entry, *ticket);
    WriteLE32(entry + 4, (uint32_t)size);
    box->used = (uint32_t)(used + ENTRY_HEADER + size);
    return posted;
}

bool HandBoxHolds(const HandBox* box, uint32_t ticket) {
    size_t valid = ValidBytes(box), size = 0;
    return FindEntry(box, valid, ticket, &size) < valid;
}

bool WithdrawHandedPaths(HandBox* box, uint32_t ticket) {
    size_t valid = ValidBytes(box), size = 0;
    size_t offset = FindEntry(box, valid, ticket, &size);
    if (offset >= valid) return false;
    memmove(box->area + offset, box->area + offset + size, valid - offset - size);
    box->used = (uint32_t)(valid - size);
    return true;
}

size_t CopyHandedPaths(const HandBox* box, unsigned char* copy, size_t* pathCount) {
    size_t valid = ValidBytes(box), offset = 0, copied = 0;
    *pathCount = 0;
    while (offset < valid) {
        size_t paths = 0;
        size_t size = EntrySizeAt(box->area, valid, offset, &paths);
        if (size == 0) break;
        memcpy(copy + copied, box->area + offset + ENTRY_HEADER, size - ENTRY_HEADER);
        copied += size - ENTRY_HEADER;
        *pathCount += paths;
        offset += size;
    }
    return copied;
}

const char* NextHandedPath(const unsigned char* copy, size_t size, size_t* offset) {
    if (*offset >= size) return nullptr;
    const char* path = (const char*)copy + *offset;
    const void* end = memchr(path, 0, size - *offset);
    if (end == nullptr) return nullptr;
    size_t length = (size_t)((const char*)end - path);
    if (length == 0 || length >= HAND_PATH_CAPACITY) return nullptr;
    *offset += length + 1;
    return path;
}
