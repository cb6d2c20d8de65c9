// The byte-level stream scan: block-wise search for the RIFF signature alone
// (SSE2 or memchr) or for it and every other format's anchor (SSSE3 or a
// table per byte), RIFF header checks and the other formats' walks, and the
// copy of each accepted stream in bounded pieces, so that memory does not grow
// with a stream and the output with the budget.
#include "riffscan.h"

#include <emmintrin.h>
#include <immintrin.h>
#include <tmmintrin.h>
#include <stdlib.h>
#include <string.h>

#include "../util/compiler.h"
#include "../util/lebytes.h"
#include "streamformats.h"

constexpr RiffForm RIFF_FORMS[RIFF_FORM_COUNT] = {
    {{'A', 'V', 'I', ' '}, OUTPUT_AVI},
    {{'W', 'A', 'V', 'E'}, OUTPUT_WAVE},
    {{'A', 'C', 'O', 'N'}, OUTPUT_ANICURSOR},
};
static_assert(RowsMatchWay(RIFF_FORMS, WAY_RIFF),
              "every RIFF kind has a form here, and every form a RIFF kind");

int RiffFormRow(const unsigned char* formType) {
    for (int row = 0; row < RIFF_FORM_COUNT; row++) {
        if (memcmp(RIFF_FORMS[row].formType, formType, 4) == 0) return row;
    }
    return -1;
}

namespace {

// Bytes after the signature that the header check reads: size field and form.
const size_t HEADER_SIZE = 8;
// Bytes of a stream's tail that may lie beyond the end of the file; the output
// holds zeros in their place.
const int64_t MISSING_TAIL_ALLOWANCE = 4;

}  // namespace

bool AcceptRiffHeader(const unsigned char* header, int64_t bytesLeft, RiffStreamHeader* stream) {
    uint32_t sizeField = ReadLE32(header);
    uint32_t rounded = (sizeField + 3) & ~(uint32_t)3;
    // Zero, or negative as a signed 32-bit count: size fields from 0x7FFFFFFD.
    if (rounded == 0 || rounded > 0x7FFFFFFF) return false;
    // The bytes after the signature include the size field itself, so a stream
    // may end up to four bytes beyond the end of the file.
    if (bytesLeft < 0 || bytesLeft < (int64_t)rounded) return false;
    int row = RiffFormRow(header + 4);
    if (row < 0) return false;
    stream->row = row;
    stream->sizeField = sizeField;
    stream->rounded = rounded;
    return true;
}

namespace {

// memchr finds the candidate first bytes; false starts ("R", "RI", "RIF")
// cost a compare each.
size_t FindSignatureWithMemchr(const unsigned char* buffer, size_t from, size_t valid) {
    while (from + 4 <= valid) {
        const void* hit = memchr(buffer + from, 'R', valid - 3 - from);
        if (hit == nullptr) return RIFF_NOT_FOUND;
        size_t at = (size_t)((const unsigned char*)hit - buffer);
        if (memcmp(buffer + at + 1, "IFF", 3) == 0) return at;
        from = at + 1;
    }
    return RIFF_NOT_FOUND;
}

// Thirty-two positions at a time: a position is looked at more closely only
// when it holds 'R' and the byte three further on holds 'F', which false starts
// rarely do.
PELNORE_TARGET_SSE2 unsigned SignatureMaskSse2(const unsigned char* at) {
    __m128i head = _mm_loadu_si128((const __m128i*)at);
    __m128i tail = _mm_loadu_si128((const __m128i*)(at + 3));
    return (unsigned)_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(head, _mm_set1_epi8('R')),
                                                     _mm_cmpeq_epi8(tail, _mm_set1_epi8('F'))));
}

PELNORE_TARGET_SSE2 size_t FindSignatureWithSse2(const unsigned char* buffer, size_t from,
                                                 size_t valid) {
    size_t at = from;
    // Each step looks at 32 positions and reads the bytes at .. at + 34.
    for (; at + 35 <= valid; at += 32) {
        unsigned mask =
            SignatureMaskSse2(buffer + at) | (SignatureMaskSse2(buffer + at + 16) << 16);
        for (size_t bit = 0; mask != 0; bit++, mask >>= 1) {
            if ((mask & 1) != 0 && buffer[at + bit + 1] == 'I' && buffer[at + bit + 2] == 'F')
                return at + bit;
        }
    }
    return FindSignatureWithMemchr(buffer, at, valid);
}

// Sixty-four positions a step, their masks joined before one test: most
// steps hold no position at all.
PELNORE_TARGET_AVX2 unsigned SignatureMaskAvx2(const unsigned char* at) {
    __m256i head = _mm256_loadu_si256((const __m256i*)at);
    __m256i tail = _mm256_loadu_si256((const __m256i*)(at + 3));
    return (unsigned)_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(head, _mm256_set1_epi8('R')),
                         _mm256_cmpeq_epi8(tail, _mm256_set1_epi8('F'))));
}

PELNORE_TARGET_AVX2 size_t FindSignatureWithAvx2(const unsigned char* buffer, size_t from,
                                                 size_t valid) {
    size_t at = from;
    for (; at + 67 <= valid; at += 64) {
        const unsigned char* p = buffer + at;
        __m256i r = _mm256_set1_epi8('R'), f = _mm256_set1_epi8('F');
        __m256i any = _mm256_or_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i*)p), r),
                             _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i*)(p + 3)), f)),
            _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i*)(p + 32)), r),
                             _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i*)(p + 35)), f)));
        if (_mm256_testz_si256(any, any)) continue;
        uint64_t mask = SignatureMaskAvx2(p) | ((uint64_t)SignatureMaskAvx2(p + 32) << 32);
        for (size_t bit = 0; mask != 0; bit++, mask >>= 1) {
            if ((mask & 1) != 0 && p[bit + 1] == 'I' && p[bit + 2] == 'F') return at + bit;
        }
    }
    return FindSignatureWithSse2(buffer, at, valid);
}

}  // namespace

size_t FindRiffSignature(const unsigned char* buffer, size_t from, size_t valid,
                         bool vectorSearch) {
    // Asked once per process: the answer does not change.
    static const bool avx2 = ProcessorHasAvx2();
    if (vectorSearch && avx2) return FindSignatureWithAvx2(buffer, from, valid);
    return vectorSearch ? FindSignatureWithSse2(buffer, from, valid)
                        : FindSignatureWithMemchr(buffer, from, valid);
}

bool AddByteRange(ByteRanges* ranges, int64_t start, int64_t end) {
    if (ranges->count == ranges->capacity) {
        size_t capacity = ranges->capacity == 0 ? 64 : ranges->capacity * 2;
        if (capacity > SIZE_MAX / sizeof(ByteRange)) return false;
        ByteRange* items = (ByteRange*)realloc(ranges->items, capacity * sizeof(ByteRange));
        if (items == nullptr) return false;
        ranges->items = items;
        ranges->capacity = capacity;
    }
    ranges->items[ranges->count++] = {start, end};
    return true;
}

namespace {

int CompareRangeStarts(const void* a, const void* b) {
    int64_t x = ((const ByteRange*)a)->start, y = ((const ByteRange*)b)->start;
    return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace

void SortByteRanges(ByteRanges* ranges) {
    if (ranges->count > 1)
        qsort(ranges->items, ranges->count, sizeof(ByteRange), CompareRangeStarts);
}

void FreeByteRanges(ByteRanges* ranges) {
    free(ranges->items);
    *ranges = {};
}

namespace {

// The search for every anchor: per position of an anchor's three bytes, the
// buckets whose anchors accept each byte, and the same split by the byte's low
// and high four bits for the SSSE3 search, which looks the halves up sixteen
// bytes at a time and so may accept a little more than the exact tables.
struct AnchorTables {
    unsigned char exact[ANCHOR_LENGTH][256];
    unsigned char low[3][16];  // by VECTOR_POSITIONS
    unsigned char high[3][16];
    const StreamFormat* formats[STREAM_FORMAT_COUNT];  // the formats switched on
    size_t formatCount;
};

// The positions of an anchor that the vector search looks at: the fourth
// rather than the third, as "RIF" followed by another byte is common (the
// benchmark plants it by the million) and "RIFF" is not.
const int VECTOR_POSITIONS[3] = {0, 1, 3};

void AddToBuckets(AnchorTables* t, int position, unsigned byte, unsigned bucket) {
    t->exact[position][byte] |= (unsigned char)(1u << bucket);
    for (int slot = 0; slot < 3; slot++) {
        if (VECTOR_POSITIONS[slot] != position) continue;
        t->low[slot][byte & 15] |= (unsigned char)(1u << bucket);
        t->high[slot][byte >> 4] |= (unsigned char)(1u << bucket);
    }
}

// False when no stream format is switched on: the search then looks for
// "RIFF" alone, which is bucket 0's too.
bool BuildAnchorTables(AnchorTables* t, unsigned kindMask) {
    *t = {};
    unsigned on = 0;
    for (int i = 0; i < STREAM_FORMAT_COUNT; i++) {
        if (kindMask & KindBit(STREAM_FORMATS[i].kind)) continue;
        on |= 1u << i;
        t->formats[t->formatCount++] = &STREAM_FORMATS[i];
    }
    for (int position = 0; position < ANCHOR_LENGTH; position++) {
        AddToBuckets(t, position, (unsigned char)"RIFF"[position], 0);
        for (unsigned byte = 0; byte < 256; byte++) {
            unsigned formats = ANCHOR_FORMATS.entries[position][byte] & on;
            for (int i = 0; formats != 0; i++, formats >>= 1)
                if (formats & 1) AddToBuckets(t, position, byte, STREAM_FORMATS[i].bucket);
        }
    }
    return t->formatCount > 0;
}

unsigned ExactBuckets(const AnchorTables* t, const unsigned char* at) {
    return t->exact[0][at[0]] & t->exact[1][at[1]] & t->exact[2][at[2]] & t->exact[3][at[3]];
}

// Offset of the first position at or after from with four bytes below valid
// whose three first bytes some anchor accepts, or RIFF_NOT_FOUND.
size_t FindAnchorScalar(const AnchorTables* t, const unsigned char* buffer, size_t from,
                        size_t valid) {
    for (size_t at = from; at + 4 <= valid; at++)
        if (ExactBuckets(t, buffer + at) != 0) return at;
    return RIFF_NOT_FOUND;
}

// The first of the positions that a vector step's mask marks (bit i for
// block + i) whose four bytes the exact tables accept, or RIFF_NOT_FOUND.
size_t FirstExactAnchor(const AnchorTables* t, const unsigned char* block, unsigned mask) {
    for (size_t bit = 0; mask != 0; bit++, mask >>= 1)
        if ((mask & 1) != 0 && ExactBuckets(t, block + bit) != 0) return bit;
    return RIFF_NOT_FOUND;
}

PELNORE_TARGET_SSSE3 __m128i BucketsAt(const __m128i* low, const __m128i* high,
                                       const unsigned char* at, int slot) {
    __m128i bytes = _mm_loadu_si128((const __m128i*)(at + VECTOR_POSITIONS[slot]));
    __m128i nibble = _mm_set1_epi8(0x0F);
    __m128i lo = _mm_shuffle_epi8(low[slot], _mm_and_si128(bytes, nibble));
    __m128i hi = _mm_shuffle_epi8(high[slot], _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
    return _mm_and_si128(lo, hi);
}

// Sixteen positions at a time: a position is looked at more closely only when
// the nibble tables let three of its bytes into one bucket.
PELNORE_TARGET_SSSE3 size_t FindAnchorSsse3(const AnchorTables* t, const unsigned char* buffer,
                                            size_t from, size_t valid) {
    __m128i low[3], high[3];
    for (int i = 0; i < 3; i++) {
        low[i] = _mm_loadu_si128((const __m128i*)t->low[i]);
        high[i] = _mm_loadu_si128((const __m128i*)t->high[i]);
    }
    size_t at = from;
    // Each step looks at 16 positions and reads the bytes at .. at + 18.
    for (; at + 19 <= valid; at += 16) {
        __m128i buckets = _mm_and_si128(_mm_and_si128(BucketsAt(low, high, buffer + at, 0),
                                                      BucketsAt(low, high, buffer + at, 1)),
                                        BucketsAt(low, high, buffer + at, 2));
        unsigned mask =
            ~(unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(buckets, _mm_setzero_si128())) & 0xFFFF;
        size_t found = FirstExactAnchor(t, buffer + at, mask);
        if (found != RIFF_NOT_FOUND) return at + found;
    }
    return FindAnchorScalar(t, buffer, at, valid);
}

PELNORE_TARGET_AVX2 __m256i BucketsAt32(const __m256i* low, const __m256i* high,
                                        const unsigned char* at, int slot) {
    __m256i bytes = _mm256_loadu_si256((const __m256i*)(at + VECTOR_POSITIONS[slot]));
    __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i lo = _mm256_shuffle_epi8(low[slot], _mm256_and_si256(bytes, nibble));
    __m256i hi =
        _mm256_shuffle_epi8(high[slot], _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble));
    return _mm256_and_si256(lo, hi);
}

// The same, thirty-two positions at a time (the shuffle looks up each
// 128-bit half in its own copy of the tables).
PELNORE_TARGET_AVX2 size_t FindAnchorAvx2(const AnchorTables* t, const unsigned char* buffer,
                                          size_t from, size_t valid) {
    __m256i low[3], high[3];
    for (int i = 0; i < 3; i++) {
        low[i] = _mm256_broadcastsi128_si256(_mm_loadu_si128((const __m128i*)t->low[i]));
        high[i] = _mm256_broadcastsi128_si256(_mm_loadu_si128((const __m128i*)t->high[i]));
    }
    size_t at = from;
    // Each step looks at 32 positions and reads the bytes at .. at + 34.
    for (; at + 35 <= valid; at += 32) {
        __m256i buckets = _mm256_and_si256(_mm256_and_si256(BucketsAt32(low, high, buffer + at, 0),
                                                            BucketsAt32(low, high, buffer + at, 1)),
                                           BucketsAt32(low, high, buffer + at, 2));
        unsigned mask =
            ~(unsigned)_mm256_movemask_epi8(_mm256_cmpeq_epi8(buckets, _mm256_setzero_si256()));
        size_t found = FirstExactAnchor(t, buffer + at, mask);
        if (found != RIFF_NOT_FOUND) return at + found;
    }
    return FindAnchorSsse3(t, buffer, at, valid);
}

struct RiffScan {
    const RiffInput* input;
    const RiffOutput* output;
    const RiffScanSettings* settings;
    unsigned char* chunk;  // copyChunkSize bytes
    KindIndexes* indexes;
    AnchorTables anchors;
    bool streamsOn;  // some stream format is switched on
    bool ssse3;
    bool avx2;
    ByteWindow window;    // where the walks read
    int64_t coveredEnd;   // the end of the furthest stream written
    size_t nextExcluded;  // the first excluded range not yet begun
    int64_t excludedEnd;  // the furthest end of the ranges begun
};

// Bytes that the walks of all candidates together may look at: eight times
// the source, and 64 MiB, far more than real files need (a walk that holds
// looks at its stream once; most false starts stop within a few bytes).
const uint64_t WALK_BUDGET_MULTIPLE = 8;
const uint64_t WALK_BUDGET_CONSTANT = 64u << 20;

size_t FindAnchor(const RiffScan* scan, const unsigned char* buffer, size_t from, size_t valid) {
    if (!scan->streamsOn)
        return FindRiffSignature(buffer, from, valid, scan->settings->vectorSearch);
    if (scan->avx2) return FindAnchorAvx2(&scan->anchors, buffer, from, valid);
    return scan->ssse3 ? FindAnchorSsse3(&scan->anchors, buffer, from, valid)
                       : FindAnchorScalar(&scan->anchors, buffer, from, valid);
}

bool WriteZeros(const RiffOutput* output, size_t count) {
    static const unsigned char zeros[MISSING_TAIL_ALLOWANCE] = {0};
    return output->write(output->context, zeros, count);
}

// Copies count bytes from offset to the output in pieces. Up to tailAllowance
// bytes that lie beyond the end of the source are written as zeros; a larger
// shortfall or a failed write gives false.
bool CopyStreamContent(RiffScan* scan, int64_t offset, int64_t count, int64_t tailAllowance) {
    int64_t copied = 0;
    size_t piece = scan->settings->copyChunkSize;
    while (copied < count) {
        int64_t rest = count - copied;
        size_t want = rest < (int64_t)piece ? (size_t)rest : piece;
        size_t got = scan->input->read(scan->input->context, offset + copied, scan->chunk, want);
        if (got > want) got = want;
        if (got > 0 && !scan->output->write(scan->output->context, scan->chunk, got)) return false;
        copied += (int64_t)got;
        if (got < want) break;
    }
    int64_t missing = count - copied;
    if (missing > tailAllowance) return false;
    return WriteZeros(scan->output, (size_t)missing);
}

void NoteWritten(RiffScan* scan, int kind, int64_t end) {
    scan->indexes->next[kind]++;
    if (end > scan->coveredEnd) scan->coveredEnd = end;
}

// "RIFF", the size field as read, the form type and the content that follows.
// True only when the whole output was written and kept.
bool WriteStream(RiffScan* scan, int64_t offsetAfterSignature, const unsigned char* header,
                 const RiffStreamHeader& stream) {
    const RiffOutput* output = scan->output;
    int kind = RIFF_FORMS[stream.row].kind;
    if (!output->open(output->context, kind, scan->indexes->next[kind], offsetAfterSignature - 4))
        return false;
    unsigned char head[4 + HEADER_SIZE] = {'R', 'I', 'F', 'F'};
    memcpy(head + 4, header, HEADER_SIZE);
    bool ok = output->write(output->context, head, sizeof(head));
    ok = ok && CopyStreamContent(scan, offsetAfterSignature + (int64_t)HEADER_SIZE,
                                 (int64_t)stream.rounded - 4, MISSING_TAIL_ALLOWANCE);
    return output->finish(output->context, ok);
}

// One RIFF candidate: header checks, the kind mask and the budget, then the
// write. available holds the bytes of the span being searched after the
// signature.
void HandleCandidate(RiffScan* scan, int64_t offsetAfterSignature, const unsigned char* available,
                     size_t availableCount) {
    const RiffScanSettings* settings = scan->settings;
    if (settings->onCandidate != nullptr)
        settings->onCandidate(settings->candidateContext, offsetAfterSignature);
    unsigned char header[HEADER_SIZE];
    if (availableCount >= HEADER_SIZE) {
        memcpy(header, available, HEADER_SIZE);
    } else if (scan->input->read(scan->input->context, offsetAfterSignature, header, HEADER_SIZE) !=
               HEADER_SIZE) {
        return;
    }
    int64_t bytesLeft = scan->input->size < 0 ? -1 : scan->input->size - offsetAfterSignature;
    RiffStreamHeader stream;
    if (!AcceptRiffHeader(header, bytesLeft, &stream)) return;
    if ((settings->kindMask & KindBit(RIFF_FORMS[stream.row].kind)) != 0) return;
    // A stream beyond the budget gives no file and takes no index.
    if (!TakeFromBudget(settings->budget, (uint64_t)stream.rounded + 8)) return;
    if (WriteStream(scan, offsetAfterSignature, header, stream))
        NoteWritten(scan, RIFF_FORMS[stream.row].kind,
                    offsetAfterSignature + 4 + (int64_t)stream.rounded);
}

// Whether a stream that begins at start lies in an excluded range or in a
// stream written before; starts come in rising order, save EMF's, whose
// anchor lies 40 bytes in.
bool IsLeftAlone(RiffScan* scan, int64_t start) {
    if (start < scan->coveredEnd) return true;
    const RiffScanSettings* s = scan->settings;
    while (scan->nextExcluded < s->excludedCount &&
           s->excluded[scan->nextExcluded].start <= start) {
        if (s->excluded[scan->nextExcluded].end > scan->excludedEnd)
            scan->excludedEnd = s->excluded[scan->nextExcluded].end;
        scan->nextExcluded++;
    }
    return start < scan->excludedEnd;
}

// One candidate of a stream format: its walk, the budget, then the write.
void TryStream(RiffScan* scan, const StreamFormat& format, int64_t start) {
    if (start < 0 || IsLeftAlone(scan, start)) return;
    int64_t end = format.findEnd(&scan->window, start);
    if (end <= start) return;
    if (!TakeFromBudget(scan->settings->budget, (uint64_t)(end - start))) return;
    const RiffOutput* output = scan->output;
    if (!output->open(output->context, format.kind, scan->indexes->next[format.kind], start))
        return;
    bool ok = CopyStreamContent(scan, start, end - start, 0);
    if (output->finish(output->context, ok)) NoteWritten(scan, format.kind, end);
}

// One position whose first bytes some anchor accepts; bytes holds its four
// bytes, and the span being searched is given for the reads that follow.
void HandleAnchor(RiffScan* scan, int64_t offset, const unsigned char* bytes,
                  const unsigned char* span, int64_t spanOffset, size_t count) {
    if (memcmp(bytes, "RIFF", 4) == 0) {
        int64_t after = offset + 4;
        size_t skip = after >= spanOffset ? (size_t)(after - spanOffset) : count;
        HandleCandidate(scan, after, skip < count ? span + skip : nullptr,
                        skip < count ? count - skip : 0);
    }
    if (!scan->streamsOn) return;
    unsigned buckets = ExactBuckets(&scan->anchors, bytes);
    if (buckets == 0 || scan->input->size < 0) return;
    scan->window.span = span;
    scan->window.spanOffset = spanOffset;
    scan->window.spanCount = count;
    for (size_t i = 0; i < scan->anchors.formatCount; i++) {
        const StreamFormat& format = *scan->anchors.formats[i];
        if (!(buckets & (1u << format.bucket))) continue;
        bool accepted = true;
        for (int i = 0; i < ANCHOR_LENGTH; i++)
            accepted = accepted && ByteClassAccepts(format.anchor[i], bytes[i]);
        if (!accepted) continue;
        TryStream(scan, format, offset - (int64_t)format.anchorShift);
    }
    scan->window.span = nullptr;
}

// Up to three bytes at the end of what was searched that may still begin a
// signature or an anchor whose rest lies in the next span.
struct SignatureCarry {
    unsigned char bytes[3];
    size_t count;
};

// Byte i of the carry followed directly by the span.
unsigned char JointByte(const SignatureCarry& carry, const unsigned char* span, size_t i) {
    return i < carry.count ? carry.bytes[i] : span[i - carry.count];
}

bool IsAnchor(const RiffScan* scan, const unsigned char* bytes) {
    return scan->streamsOn ? ExactBuckets(&scan->anchors, bytes) != 0
                           : memcmp(bytes, "RIFF", 4) == 0;
}

// Searches one span that directly follows the carry in the source (spanOffset
// is the offset of span[0]): first the positions that begin in the carry,
// then those in the span itself. Positions are decided in order; the carry
// keeps the undecided ones at the end, which are fewer than four.
void SearchSpan(RiffScan* scan, const unsigned char* span, size_t count, int64_t spanOffset,
                SignatureCarry* carry) {
    const size_t carried = carry->count;
    const size_t total = carried + count;
    size_t next = 0;  // first position of carry + span not yet decided
    for (; next < carried && next + 4 <= total; next++) {
        unsigned char bytes[4];
        for (size_t i = 0; i < 4; i++) bytes[i] = JointByte(*carry, span, next + i);
        if (IsAnchor(scan, bytes))
            HandleAnchor(scan, spanOffset - (int64_t)(carried - next), bytes, span, spanOffset,
                         count);
    }
    if (next >= carried) {
        size_t pos = next - carried;
        while (pos + 4 <= count) {
            size_t at = FindAnchor(scan, span, pos, count);
            if (at == RIFF_NOT_FOUND) {
                pos = count - 3;
                break;
            }
            HandleAnchor(scan, spanOffset + (int64_t)at, span + at, span, spanOffset, count);
            pos = at + 1;
        }
        next = carried + pos;
    }
    SignatureCarry kept = {};
    for (size_t i = next; i < total; i++) kept.bytes[kept.count++] = JointByte(*carry, span, i);
    *carry = kept;
}

// The search through the input's spans: the source's bytes in place.
void SearchSpans(RiffScan* scan) {
    const RiffInput* input = scan->input;
    SignatureCarry carry = {};
    int64_t offset = 0;
    for (;;) {
        size_t count = 0;
        const unsigned char* span = input->span(input->context, offset, &count);
        if (span == nullptr || count == 0) return;
        SearchSpan(scan, span, count, offset, &carry);
        offset += (int64_t)count;
    }
}

// The search through reads of blockSize bytes into buffer.
void SearchBlocks(RiffScan* scan, unsigned char* buffer) {
    const RiffInput* input = scan->input;
    size_t blockSize = scan->settings->blockSize;
    SignatureCarry carry = {};
    int64_t offset = 0;
    for (;;) {
        size_t got = input->read(input->context, offset, buffer, blockSize);
        if (got == 0 || got > blockSize) return;
        SearchSpan(scan, buffer, got, offset, &carry);
        offset += (int64_t)got;
    }
}

}  // namespace

bool ScanRiffBytes(const RiffInput* input, const RiffOutput* output,
                   const RiffScanSettings* settings) {
    RiffScan* scan = (RiffScan*)calloc(1, sizeof(RiffScan));
    if (scan == nullptr) return false;
    KindIndexes own = {};
    scan->input = input;
    scan->output = output;
    scan->settings = settings;
    scan->indexes = settings->indexes != nullptr ? settings->indexes : &own;
    scan->streamsOn = BuildAnchorTables(&scan->anchors, settings->kindMask);
    scan->ssse3 = settings->vectorSearch && ProcessorHasSsse3();
    scan->avx2 = scan->ssse3 && ProcessorHasAvx2();
    uint64_t size = input->size > 0 ? (uint64_t)input->size : 0;
    size_t windowSize = settings->windowSize == 0    ? (size_t)BYTE_WINDOW_CAPACITY
                        : settings->windowSize < 256 ? 256
                                                     : settings->windowSize;
    scan->window = {input->size,
                    input->read,
                    input->context,
                    nullptr,
                    0,
                    0,
                    nullptr,
                    windowSize,
                    0,
                    0,
                    WALK_BUDGET_MULTIPLE * size + WALK_BUDGET_CONSTANT};
    // The search needs a buffer of its own only when it reads a copy.
    unsigned char* buffer =
        input->span == nullptr ? (unsigned char*)malloc(settings->blockSize) : nullptr;
    scan->chunk = (unsigned char*)malloc(settings->copyChunkSize);
    if (scan->streamsOn) scan->window.buffer = (unsigned char*)malloc(windowSize);
    bool ok = (input->span != nullptr || buffer != nullptr) && scan->chunk != nullptr &&
              (!scan->streamsOn || scan->window.buffer != nullptr);
    if (ok && input->span != nullptr) SearchSpans(scan);
    if (ok && input->span == nullptr) SearchBlocks(scan, buffer);
    free(scan->window.buffer);
    free(scan->chunk);
    free(buffer);
    free(scan);
    return ok;
}
