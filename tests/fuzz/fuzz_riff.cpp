// The stream scan of a fuzzed file held in memory, writing its streams into
// memory under the output budget. The read sizes, the search (vector or not),
// the way the search reads (copies into its buffer or spans in place) and the
// kind mask follow from the input's size, so that block and span boundaries
// fall everywhere. Each span is a heap copy of exactly its bytes, freed at the
// next span, so that a read past a span or of a stale one is caught. Checks: every RIFF signature
// is seen, in order; every stream written is the source's bytes (a RIFF stream may have zeros for
// a missing tail of at most four); no other stream begins inside one written before it; the
// output stays within the budget.
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
    unsigned char* span;  // the span handed out last
    size_t spanCalls;
};

struct Written {
    int64_t start, end;
};

struct Outputs {
    const Source* source;
    std::vector<int64_t> candidates;
    std::vector<unsigned char> current;
    bool open;
    uint64_t total;
    int kind;
    int64_t start;
    std::vector<Written> written;
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

// Spans of 1 to 61 bytes, of changing lengths.
const unsigned char* SpanAt(void* context, int64_t offset, size_t* count) {
    Source* source = (Source*)context;
    free(source->span);
    source->span = nullptr;
    *count = 0;
    if (offset < 0 || (uint64_t)offset >= source->size) return nullptr;
    size_t rest = source->size - (size_t)offset;
    size_t length = 1 + (source->size + 7 * source->spanCalls++) % 61;
    if (length > rest) length = rest;
    source->span = (unsigned char*)malloc(length);
    Check(source->span != nullptr);
    memcpy(source->span, source->data + offset, length);
    *count = length;
    return source->span;
}

void OnCandidate(void* context, int64_t offset) {
    ((Outputs*)context)->candidates.push_back(offset);
}

bool Open(void* context, int kind, unsigned index, int64_t start) {
    Outputs* outputs = (Outputs*)context;
    Check(!outputs->open && kind >= 0 && kind < OUTPUT_KIND_COUNT && index < 0x10000);
    Check(start >= 0 && (uint64_t)start < outputs->source->size);
    outputs->open = true;
    outputs->kind = kind;
    outputs->start = start;
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

// A RIFF stream begins at the last signature seen: its bytes are the
// source's, with at most four zeros past the end, and its length the rounded
// size + 8. Any other stream is the source's bytes exactly, and begins inside
// no stream written before it.
bool Finish(void* context, bool ok) {
    Outputs* outputs = (Outputs*)context;
    Check(outputs->open);
    outputs->open = false;
    if (!ok) return false;
    const std::vector<unsigned char>& stream = outputs->current;
    const Source* source = outputs->source;
    size_t start = (size_t)outputs->start;
    if (OUTPUT_KINDS[outputs->kind].ways & WAY_RIFF) {
        Check(!outputs->candidates.empty() && start == (size_t)outputs->candidates.back() - 4);
        Check(stream.size() >= 12 && memcmp(stream.data(), "RIFF", 4) == 0);
        Check(stream.size() == (size_t)((ReadLE32(stream.data() + 4) + 3) & ~3u) + 8);
        size_t there = source->size - start < stream.size() ? source->size - start : stream.size();
        Check(stream.size() - there <= 4);
        Check(memcmp(stream.data(), source->data + start, there) == 0);
        for (size_t i = there; i < stream.size(); i++) Check(stream[i] == 0);
    } else {
        Check(!stream.empty() && stream.size() <= source->size - start);
        Check(memcmp(stream.data(), source->data + start, stream.size()) == 0);
        for (const Written& w : outputs->written)
            Check((int64_t)start < w.start || (int64_t)start >= w.end);
    }
    outputs->written.push_back({(int64_t)start, (int64_t)(start + stream.size())});
    outputs->total += stream.size();
    return true;
}

// Left out of coverage (coverage_ignore.txt), whose tracing of every compare
// here cost more than the scan itself.
std::vector<int64_t> ExpectedCandidates(const uint8_t* data, size_t size) {
    std::vector<int64_t> expected;
    for (size_t i = 0; i + 4 <= size; i++)
        if (data[i] == 'R' && data[i + 1] == 'I' && data[i + 2] == 'F' && data[i + 3] == 'F')
            expected.push_back((int64_t)i + 4);
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Source source = {data, size, nullptr, 0};
    Outputs outputs = {&source, {}, {}, false, 0, 0, 0, {}};
    OutputBudget budget = OutputBudgetFor((int64_t)size);
    const uint64_t granted = budget.remaining;
    bool inPlace = (size & 2) != 0;
    RiffInput input = {(int64_t)size, ReadAt, inPlace ? SpanAt : nullptr, &source};
    RiffOutput output = {Open, Write, Finish, &outputs};
    RiffScanSettings settings = {};
    // RIFF alone now and then, so that both searches run.
    settings.kindMask = (unsigned)(size % 3 == 0 ? KIND_WAVE : 0);
    if (size % 5 == 1) settings.kindMask |= KindBitsOfWay(WAY_STREAM);
    settings.blockSize = 1 + (size * 7) % 200;
    settings.copyChunkSize = size % 7 == 0 ? 1 + size % 50 : 200 + size % 800;
    settings.windowSize = 200 + (size * 13) % 900;
    settings.vectorSearch = (size & 1) != 0;
    settings.onCandidate = OnCandidate;
    settings.candidateContext = &outputs;
    settings.budget = &budget;
    Check(ScanRiffBytes(&input, &output, &settings));
    free(source.span);
    Check(!outputs.open);
    Check(outputs.total + budget.remaining == granted && outputs.total <= granted);

    Check(ExpectedCandidates(data, size) == outputs.candidates);
    return 0;
}
