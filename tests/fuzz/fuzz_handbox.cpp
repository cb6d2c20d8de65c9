// The hand-over box over fuzzed bytes: the input is a box as another process
// may have left it. What is taken ends inside its copy and is a list's path; a
// ticket is withdrawn; a path posted and withdrawn is held no longer; one
// posted again comes back whole as the last path taken.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "../../app/handbox.h"

static void Check(bool condition) {
    if (!condition) __builtin_trap();
}

static void TakeAll(const HandBox* box, char* last) {
    static unsigned char copy[HAND_BOX_AREA];
    size_t counted = 0, offset = 0, taken = 0;
    size_t size = CopyHandedPaths(box, copy, &counted);
    for (const char* path; (path = NextHandedPath(copy, size, &offset)) != nullptr; taken++) {
        size_t length = strlen(path);
        Check(length > 0 && length < HAND_PATH_CAPACITY && offset <= size);
        memcpy(last, path, length + 1);
    }
    Check(taken == counted && offset == size && size <= HAND_BOX_AREA);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HandBox box;
    memset(&box, 0, sizeof(box));
    memcpy(&box, data, size < sizeof(box) ? size : sizeof(box));
    char last[HAND_PATH_CAPACITY] = "";
    TakeAll(&box, last);
    WithdrawHandedPaths(&box, size > 16 ? data[16] : 0);
    const char* paths[] = {"C:\\Tools\\viewer.exe"};
    uint32_t ticket = 0;
    if (PostHandedPaths(&box, paths, 1, &ticket) == 1)
        Check(WithdrawHandedPaths(&box, ticket) && !HandBoxHolds(&box, ticket));
    if (PostHandedPaths(&box, paths, 1, &ticket) == 1) {
        TakeAll(&box, last);
        Check(strcmp(last, paths[0]) == 0);
    }
    return 0;
}
