// The box in which a start of the program leaves its paths for the job that
// already runs with the same switches. It lives in memory that every start of
// one user's session maps, so any of them may have written anything into it:
// every read is bounded by the box's area and checked, and what is taken is
// first copied out of the shared memory. No Windows header: the native fuzz
// target reads it too. The callers hold the box's lock around every call.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum {
    HAND_BOX_AREA = 65536 - 16,
    // A path of a job's list: at most 521 bytes and its terminator.
    HAND_PATH_CAPACITY = 522,
};

// Entries follow each other in the area in the order they were posted: a
// ticket (32 bits, little-endian), the size of the paths (32 bits), then the
// paths, each ended by a zero byte.
struct HandBox {
    uint32_t owner;       // process id of the job that takes from the box; 0: none
    uint32_t nextTicket;  // the ticket the next entry gets
    uint32_t used;        // bytes of the area that entries take
    uint32_t reserved;
    unsigned char area[HAND_BOX_AREA];
};
// The 32- and the 64-bit build map the same box: only fields of fixed width,
// at the same places in both.
static_assert(offsetof(HandBox, area) == 16 && sizeof(HandBox) == 16 + HAND_BOX_AREA,
              "one layout for every build");

// Posts as many of the leading paths as the box has room for, as one entry,
// and returns how many (0: not even the first fits, or it is no path of a
// job's list). The entry's ticket goes to ticket.
size_t PostHandedPaths(HandBox* box, const char* const* paths, size_t count, uint32_t* ticket);

// True when the entry of ticket still waits in the box.
bool HandBoxHolds(const HandBox* box, uint32_t ticket);
// Removes the entry of ticket; true when it was still there (so it was not taken).
bool WithdrawHandedPaths(HandBox* box, uint32_t ticket);

// Copies the used part of the area into copy (HAND_BOX_AREA bytes) and returns
// its size, the paths of its well-formed entries counted in pathCount. Entries
// after the first malformed one are not counted: they are garbage.
size_t CopyHandedPaths(const HandBox* box, unsigned char* copy, size_t* pathCount);
// The next path of such a copy from *offset on, or null after the last; every
// path returned is terminated inside the copy and at most 521 bytes long.
const char* NextHandedPath(const unsigned char* copy, size_t size, size_t* offset);
