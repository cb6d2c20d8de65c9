// The output budget of one source file: every file written from it, resource
// files and RIFF streams alike, draws from one budget that grows with the
// source's size, so that no source can make pelnore write more than a fixed
// multiple of its own size plus a small constant, whatever its bytes declare.
// No Windows header: the byte-level core and its fuzz targets use it too.
#pragma once

#include <stdint.h>

// Real modules give at most about their own size (docs/formats.md has the
// figures), so four times the source plus 1 MiB loses nothing real, while a
// crafted 64 KiB file can no longer turn into hundreds of megabytes.
const uint64_t OUTPUT_BUDGET_MULTIPLE = 4;
const uint64_t OUTPUT_BUDGET_CONSTANT = 1 << 20;

struct OutputBudget {
    uint64_t remaining;  // bytes that may still be written
};

// The budget of a source of sourceSize bytes; a size that cannot be found out
// (-1) leaves only the constant.
inline OutputBudget OutputBudgetFor(int64_t sourceSize) {
    OutputBudget budget;
    uint64_t size = sourceSize > 0 ? (uint64_t)sourceSize : 0;
    budget.remaining = OUTPUT_BUDGET_MULTIPLE * size + OUTPUT_BUDGET_CONSTANT;
    return budget;
}

// Takes byteCount from the budget; false, taking nothing, when it does not hold
// that much: the caller then writes nothing for that item.
inline bool TakeFromBudget(OutputBudget* budget, uint64_t byteCount) {
    if (byteCount > budget->remaining) return false;
    budget->remaining -= byteCount;
    return true;
}
