// The byte-level RIFF scan: block-wise signature search (SSE2 or memchr),
// header checks, and the copy of each accepted stream in bounded pieces, so
// that memory does not grow with a stream and the output with the budget.
#include "riffscan.h"

#include <emmintrin.h>
#include <stdlib.h>
#include <string.h>

#include "../util/compiler.h"
#include "../util/lebytes.h"

const RiffForm RIFF_FORMS[RIFF_FORM_COUNT] = {
    {{'A', 'V', 'I', ' '}, ".avi", KIND_AVI},
    {{'W', 'A', 'V', 'E'}, ".wav", KIND_WAVE},
    {{'A', 'C', 'O', 'N'}, ".ani", KIND_ANICURSOR},
};

KindMask RiffKindBits() {
    KindMask bits = 0;
    for (const RiffForm& form : RIFF_FORMS) bits |= form.kindBit;
    return bits;
}

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

}  // namespace

size_t FindRiffSignature(const unsigned char* buffer, size_t from, size_t valid,
                         bool vectorSearch) {
    return vectorSearch ? FindSignatureWithSse2(buffer, from, valid)
                        : FindSignatureWithMemchr(buffer, from, valid);
}

namespace {

struct RiffScan {
    const RiffInput* input;
    const RiffOutput* output;
    const RiffScanSettings* settings;
    unsigned char* chunk;  // copyChunkSize bytes
    // Streams written per form: the next output index of that form.
    int counters[RIFF_FORM_COUNT];
};

bool WriteZeros(const RiffOutput* output, size_t count) {
    static const unsigned char zeros[MISSING_TAIL_ALLOWANCE] = {0};
    return output->write(output->context, zeros, count);
}

// Copies count bytes from offset to the output in pieces. Up to four bytes that
// lie beyond the end of the source are written as zeros; a larger shortfall or
// a failed write gives false.
bool CopyStreamContent(RiffScan* scan, int64_t offset, int64_t count) {
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
    if (missing > MISSING_TAIL_ALLOWANCE) return false;
    return WriteZeros(scan->output, (size_t)missing);
}

// "RIFF", the size field as read, the form type and the content that follows.
// True only when the whole output was written and kept.
bool WriteStream(RiffScan* scan, int64_t offsetAfterSignature, const unsigned char* header,
                 const RiffStreamHeader& stream) {
    const RiffOutput* output = scan->output;
    if (!output->open(output->context, stream.row, scan->counters[stream.row])) return false;
    unsigned char head[4 + HEADER_SIZE] = {'R', 'I', 'F', 'F'};
    memcpy(head + 4, header, HEADER_SIZE);
    bool ok = output->write(output->context, head, sizeof(head));
    ok = ok && CopyStreamContent(scan, offsetAfterSignature + (int64_t)HEADER_SIZE,
                                 (int64_t)stream.rounded - 4);
    return output->finish(output->context, ok);
}

// One candidate: header checks, the kind mask and the budget, then the write.
// available holds the bytes of the span being searched after the signature.
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
    if ((settings->kindMask & RIFF_FORMS[stream.row].kindBit) != 0) return;
    // A stream beyond the budget gives no file and takes no index.
    if (!TakeFromBudget(settings->budget, (uint64_t)stream.rounded + 8)) return;
    if (WriteStream(scan, offsetAfterSignature, header, stream)) scan->counters[stream.row]++;
}

// Up to three bytes at the end of what was searched that may still begin a
// signature whose rest lies in the next span.
struct SignatureCarry {
    unsigned char bytes[3];
    size_t count;
};

// Byte i of the carry followed directly by the span.
unsigned char JointByte(const SignatureCarry& carry, const unsigned char* span, size_t i) {
    return i < carry.count ? carry.bytes[i] : span[i - carry.count];
}

bool IsJointSignature(const SignatureCarry& carry, const unsigned char* span, size_t at) {
    for (size_t i = 0; i < 4; i++) {
        if (JointByte(carry, span, at + i) != "RIFF"[i]) return false;
    }
    return true;
}

// Searches one span that directly follows the carry in the source (spanOffset
// is the offset of span[0]): first for a signature that begins in the carry,
// then in the span itself. Positions are decided in order; the carry keeps
// the undecided ones at the end, which are fewer than four.
void SearchSpan(RiffScan* scan, const unsigned char* span, size_t count, int64_t spanOffset,
                SignatureCarry* carry) {
    const size_t carried = carry->count;
    const size_t total = carried + count;
    size_t next = 0;  // first position of carry + span not yet decided
    for (; next < carried && next + 4 <= total; next++) {
        if (IsJointSignature(*carry, span, next)) {
            size_t after = next + 4 - carried;  // in the span, as the signature ends there
            HandleCandidate(scan, spanOffset + (int64_t)after, span + after, count - after);
            next += 4;
            break;
        }
    }
    if (next >= carried) {
        size_t pos = next - carried;
        while (pos + 4 <= count) {
            size_t at = FindRiffSignature(span, pos, count, scan->settings->vectorSearch);
            if (at == RIFF_NOT_FOUND) {
                pos = count - 3;
                break;
            }
            pos = at + 4;
            HandleCandidate(scan, spanOffset + (int64_t)pos, span + pos, count - pos);
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
    RiffScan scan = {};
    scan.input = input;
    scan.output = output;
    scan.settings = settings;
    // The search needs a buffer of its own only when it reads a copy.
    unsigned char* buffer =
        input->span == nullptr ? (unsigned char*)malloc(settings->blockSize) : nullptr;
    scan.chunk = (unsigned char*)malloc(settings->copyChunkSize);
    bool ok = (input->span != nullptr || buffer != nullptr) && scan.chunk != nullptr;
    if (ok && input->span != nullptr) SearchSpans(&scan);
    if (ok && input->span == nullptr) SearchBlocks(&scan, buffer);
    free(scan.chunk);
    free(buffer);
    return ok;
}
