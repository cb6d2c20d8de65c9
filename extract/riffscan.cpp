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
// available holds the bytes of the search block after the signature.
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

// Searches the source from its start for every occurrence of "RIFF", in order.
// A block keeps, at its front, the last three bytes of the block before it
// that could still begin a signature, so no boundary hides one.
void SearchSignatures(RiffScan* scan, unsigned char* buffer) {
    size_t blockSize = scan->settings->blockSize;
    int64_t bufferStart = 0;  // source offset of buffer[0]
    int64_t nextRead = 0;
    size_t valid = 0;
    for (;;) {
        size_t got = scan->input->read(scan->input->context, nextRead, buffer + valid, blockSize);
        if (got == 0 || got > blockSize) return;
        valid += got;
        nextRead += (int64_t)got;
        size_t pos = 0;
        while (pos + 4 <= valid) {
            size_t at = FindRiffSignature(buffer, pos, valid, scan->settings->vectorSearch);
            if (at == RIFF_NOT_FOUND) {
                pos = valid - 3;
                break;
            }
            pos = at + 4;
            HandleCandidate(scan, bufferStart + (int64_t)pos, buffer + pos, valid - pos);
        }
        size_t keep = valid - pos;  // at most three bytes
        memmove(buffer, buffer + pos, keep);
        bufferStart += (int64_t)pos;
        valid = keep;
    }
}

}  // namespace

bool ScanRiffBytes(const RiffInput* input, const RiffOutput* output,
                   const RiffScanSettings* settings) {
    RiffScan scan = {};
    scan.input = input;
    scan.output = output;
    scan.settings = settings;
    // Three extra bytes hold the tail of the previous block.
    unsigned char* buffer = (unsigned char*)malloc(settings->blockSize + 3);
    scan.chunk = (unsigned char*)malloc(settings->copyChunkSize);
    bool ok = buffer != nullptr && scan.chunk != nullptr;
    if (ok) SearchSignatures(&scan, buffer);
    free(scan.chunk);
    free(buffer);
    return ok;
}
