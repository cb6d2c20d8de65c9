// The RIFF scan of a fuzzed file held in memory, writing its streams into
// memory under the output budget. The read sizes, the search (SSE2 or memchr)
// and the kind mask follow from the input's size, so that block boundaries
// fall everywhere. Checks: every signature is seen, in order; every stream
// written is the source's bytes (zeros for a missing tail of at most four);
// the output stays within the budget.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "../../extract/riffscan.h"
#include "../../util/lebytes.h"

namespace {

struct Source {
    const uint8_t* data;
    size_t size;
};

struct Outputs {
    const Source* source;
    std::vector<int64_t> candidates;
    std::vector<unsigned char> current;
    bool open;
    uint64_t total;
};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

size_t ReadAt(void* context, int64_t offset, void* dest, size_t count) {
    const Source* source = (const Source*)context;
    if (offset < 0 || (uint64_t)offset >= source->size) return 0;
    size_t rest = source->size - (size_t)offset;
    size_t got = count < rest ? count : rest;
    memcpy(dest, source->data + offset, got);
    return got;
}

void OnCandidate(void* context, int64_t offset) {
    ((Outputs*)context)->candidates.push_back(offset);
}

bool Open(void* context, int row, int index) {
    Outputs* outputs = (Outputs*)context;
    Check(!outputs->open && row >= 0 && row < RIFF_FORM_COUNT && index >= 0);
    outputs->open = true;
    outputs->current.clear();
    return true;
}

bool Write(void* context, const void* bytes, size_t count) {
    Outputs* outputs = (Outputs*)context;
    Check(outputs->open);
    const unsigned char* b = (const unsigned char*)bytes;
    outputs->current.insert(outputs->current.end(), b, b + count);
    return true;
}

// The stream begins at the last signature seen: its bytes are the source's,
// with at most four zeros past the end, and its length the rounded size + 8.
bool Finish(void* context, bool ok) {
    Outputs* outputs = (Outputs*)context;
    Check(outputs->open && !outputs->candidates.empty());
    outputs->open = false;
    if (!ok) return false;
    const std::vector<unsigned char>& stream = outputs->current;
    size_t start = (size_t)outputs->candidates.back() - 4;
    Check(stream.size() >= 12 && memcmp(stream.data(), "RIFF", 4) == 0);
    Check(stream.size() == (size_t)((ReadLE32(stream.data() + 4) + 3) & ~3u) + 8);
    const Source* source = outputs->source;
    size_t there = source->size - start < stream.size() ? source->size - start : stream.size();
    Check(stream.size() - there <= 4);
    Check(memcmp(stream.data(), source->data + start, there) == 0);
    for (size_t i = there; i < stream.size(); i++) Check(stream[i] == 0);
    outputs->total += stream.size();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Source source = {data, size};
    Outputs outputs = {&source, {}, {}, false, 0};
    OutputBudget budget = OutputBudgetFor((int64_t)size);
    const uint64_t granted = budget.remaining;
    RiffInput input = {(int64_t)size, ReadAt, &source};
    RiffOutput output = {Open, Write, Finish, &outputs};
    RiffScanSettings settings = {};
    settings.kindMask = (unsigned)(size % 3 == 0 ? 0x10 : 0);
    settings.blockSize = 1 + (size * 7) % 200;
    settings.copyChunkSize = 1 + size % 50;
    settings.vectorSearch = (size & 1) != 0;
    settings.onCandidate = OnCandidate;
    settings.candidateContext = &outputs;
    settings.budget = &budget;
    Check(ScanRiffBytes(&input, &output, &settings));
    Check(!outputs.open);
    Check(outputs.total + budget.remaining == granted && outputs.total <= granted);

    std::vector<int64_t> expected;
    for (size_t i = 0; i + 4 <= size; i++)
        if (memcmp(data + i, "RIFF", 4) == 0) expected.push_back((int64_t)i + 4);
    Check(expected == outputs.candidates);
    return 0;
}
