// The hand-over box over fuzzed bytes: the input is a box as another process
// may have left it (header, then area; the rest of the area zero). Every entry
// is taken, one ticket withdrawn, a path posted and withdrawn, posted again and
// the box taken again: every path taken ends inside its copy and is a list's
// path, a withdrawn entry is held no longer, the one posted comes back whole.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "../../app/handbox.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

size_t TakeAll(const HandBox* box, const char** last) {
    unsigned char* copy = (unsigned char*)malloc(HAND_BOX_AREA);
    Check(copy != nullptr);
    size_t counted = 0, offset = 0, taken = 0;
    size_t size = CopyHandedPaths(box, copy, &counted);
    Check(size <= HAND_BOX_AREA);
    static char lastPath[HAND_PATH_CAPACITY];
    for (const char* path; (path = NextHandedPath(copy, size, &offset)) != nullptr; taken++) {
        size_t length = strlen(path);
        Check(length > 0 && length < HAND_PATH_CAPACITY && path + length < (char*)copy + size);
        memcpy(lastPath, path, length + 1);
    }
    Check(taken == counted && offset == size);
    free(copy);
    *last = lastPath;
    return taken;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HandBox* box = (HandBox*)calloc(1, sizeof(HandBox));
    Check(box != nullptr);
    memcpy(box, data, size < sizeof(HandBox) ? size : sizeof(HandBox));
    const char* last = nullptr;
    TakeAll(box, &last);
    uint32_t ticket = size >= 20 ? (uint32_t)data[16] | (uint32_t)data[17] << 8 : 0;
    WithdrawHandedPaths(box, ticket);
    const char* paths[] = {"C:\\Tools\\viewer.exe"};
    uint32_t posted = 0;
    if (PostHandedPaths(box, paths, 1, &posted) == 1) {
        Check(HandBoxHolds(box, posted) && WithdrawHandedPaths(box, posted));
        Check(!HandBoxHolds(box, posted));
    }
    if (PostHandedPaths(box, paths, 1, &posted) == 1)
        Check(TakeAll(box, &last) >= 1 && strcmp(last, paths[0]) == 0);
    free(box);
    return 0;
}
