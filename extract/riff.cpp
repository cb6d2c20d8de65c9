// Finds every "RIFF" signature in a file's bytes and writes the AVI, WAVE and
// animated-cursor streams that follow them through the output writer. The file
// is searched in large blocks and a stream is copied in bounded pieces, so the
// scan runs at disk speed and its memory does not grow with the streams.
#include "riff.h"

#include <emmintrin.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../util/bounded.h"
#include "../util/lebytes.h"
#include "output.h"

namespace {

// The forms that are written, matched case-sensitively. A new form is one row
// here and its switch in the command line's table.
struct RiffForm {
    char formType[4];
    const char* extension;
    KindMask kindBit;
};

const RiffForm kRiffForms[] = {
    {{'A', 'V', 'I', ' '}, ".avi", KIND_AVI},
    {{'W', 'A', 'V', 'E'}, ".wav", KIND_WAVE},
    {{'A', 'C', 'O', 'N'}, ".ani", KIND_ANICURSOR},
};
const int kRiffFormCount = sizeof(kRiffForms) / sizeof(kRiffForms[0]);

// Bytes after the signature that the header check reads: size field and form.
const size_t kHeaderSize = 8;
// Bytes of a stream's tail that may lie beyond the end of the file; the output
// holds zeros in their place.
const LONGLONG kMissingTailAllowance = 4;

struct RiffScan {
    const char* sourcePath;
    KindMask kindMask;
    const RiffScanOptions* options;
    FILE* file;
    LONGLONG fileSize;  // -1 when unknown: then no candidate passes the size test
    unsigned char* chunk;
    bool vectorSearch;  // SSE2 is there and the caller did not ask for memchr
    // Streams written per form: the next output index of that form.
    int counters[kRiffFormCount];
};

int RowOfForm(const unsigned char* formType) {
    for (int row = 0; row < kRiffFormCount; row++) {
        if (memcmp(kRiffForms[row].formType, formType, 4) == 0) return row;
    }
    return -1;
}

size_t ReadAt(FILE* file, LONGLONG offset, void* dest, size_t count) {
    if (_fseeki64(file, offset, SEEK_SET) != 0) return 0;
    return fread(dest, 1, count, file);
}

bool WriteZeros(FILE* output, size_t count) {
    static const unsigned char zeros[kMissingTailAllowance] = {0};
    return fwrite(zeros, 1, count, output) == count;
}

// Copies count bytes from offset to the output in chunks. Up to four bytes that
// lie beyond the end of the file are written as zeros; a larger shortfall, a
// failed seek or a failed write gives false.
bool CopyStreamContent(RiffScan* scan, FILE* output, LONGLONG offset, LONGLONG count) {
    if (_fseeki64(scan->file, offset, SEEK_SET) != 0) return false;
    LONGLONG copied = 0;
    while (copied < count) {
        LONGLONG rest = count - copied;
        size_t want = rest < (LONGLONG)scan->options->copyChunkSize ? (size_t)rest
                                                                    : scan->options->copyChunkSize;
        size_t got = fread(scan->chunk, 1, want, scan->file);
        if (got > 0 && fwrite(scan->chunk, 1, got, output) != got) return false;
        copied += got;
        if (got < want) break;
    }
    LONGLONG missing = count - copied;
    if (missing > kMissingTailAllowance) return false;
    return WriteZeros(output, (size_t)missing);
}

// Writes "RIFF", the size field as read, the form type and the content that
// follows; rounded is the size field rounded up to a multiple of four. True
// only when the whole output file was written and kept.
bool WriteRiffStream(RiffScan* scan, int row, LONGLONG offsetAfterSignature,
                     const unsigned char* header, DWORD rounded) {
    char outputPath[PATH_CAPACITY];
    FILE* output = OpenOutputFile(scan->sourcePath, kRiffForms[row].extension,
                                  (unsigned int)scan->counters[row], outputPath);
    if (output == nullptr) return false;
    unsigned char head[4 + kHeaderSize] = {'R', 'I', 'F', 'F'};
    memcpy(head + 4, header, kHeaderSize);
    bool ok = fwrite(head, 1, sizeof(head), output) == sizeof(head);
    ok = ok &&
         CopyStreamContent(scan, output, offsetAfterSignature + kHeaderSize, (LONGLONG)rounded - 4);
    return FinishOutputFile(output, outputPath, ok);
}

// One candidate: header checks, then the write unless its form is switched
// off. available holds the bytes of the search block after the signature.
// Returns true when the file position was moved away from the search's.
bool HandleCandidate(RiffScan* scan, LONGLONG offsetAfterSignature, const unsigned char* available,
                     size_t availableCount) {
    if (scan->options->onCandidate != nullptr)
        scan->options->onCandidate(scan->options->context, offsetAfterSignature);
    bool moved = false;
    unsigned char header[kHeaderSize];
    if (availableCount >= kHeaderSize) {
        memcpy(header, available, kHeaderSize);
    } else {
        moved = true;
        if (ReadAt(scan->file, offsetAfterSignature, header, kHeaderSize) != kHeaderSize)
            return moved;
    }
    DWORD sizeField = ReadLE32(header);
    DWORD rounded = (sizeField + 3) & ~(DWORD)3;
    // Zero, or negative as a signed 32-bit count: size fields from 0x7FFFFFFD.
    if (rounded == 0 || rounded > 0x7FFFFFFF) return moved;
    // The bytes after the signature include the size field itself, so a stream
    // may end up to four bytes beyond the end of the file.
    LONGLONG bytesLeft = scan->fileSize - offsetAfterSignature;
    if (scan->fileSize < 0 || bytesLeft < (LONGLONG)rounded) return moved;
    int row = RowOfForm(header + 4);
    if (row < 0) return moved;
    if ((scan->kindMask & kRiffForms[row].kindBit) != 0) return moved;
    if (WriteRiffStream(scan, row, offsetAfterSignature, header, rounded)) scan->counters[row]++;
    return true;
}

const size_t kNotFound = (size_t)-1;

// First "RIFF" at or after from whose four bytes lie below valid, or kNotFound.
// memchr finds the candidate first bytes; false starts ("R", "RI", "RIF")
// cost a compare each.
size_t FindSignatureWithMemchr(const unsigned char* buffer, size_t from, size_t valid) {
    while (from + 4 <= valid) {
        const void* hit = memchr(buffer + from, 'R', valid - 3 - from);
        if (hit == nullptr) return kNotFound;
        size_t at = (size_t)((const unsigned char*)hit - buffer);
        if (memcmp(buffer + at + 1, "IFF", 3) == 0) return at;
        from = at + 1;
    }
    return kNotFound;
}

// The same, thirty-two positions at a time: a position is looked at more
// closely only when it holds 'R' and the byte three further on holds 'F', which
// false starts rarely do.
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

// Searches the file from its start for every occurrence of "RIFF", in order.
// A block keeps, at its front, the last three bytes of the block before it
// that could still begin a signature, so no boundary hides one. The search
// always resumes right after a signature, so signatures inside written or
// rejected streams are found too.
void SearchSignatures(RiffScan* scan, unsigned char* buffer, size_t blockSize) {
    LONGLONG bufferStart = 0;  // file offset of buffer[0]
    LONGLONG nextRead = 0;
    size_t valid = 0;
    bool moved = false;
    for (;;) {
        if (moved && _fseeki64(scan->file, nextRead, SEEK_SET) != 0) return;
        moved = false;
        size_t got = fread(buffer + valid, 1, blockSize, scan->file);
        if (got == 0) return;
        valid += got;
        nextRead += got;
        size_t pos = 0;
        while (pos + 4 <= valid) {
            size_t at = scan->vectorSearch ? FindSignatureWithSse2(buffer, pos, valid)
                                           : FindSignatureWithMemchr(buffer, pos, valid);
            if (at == kNotFound) {
                pos = valid - 3;
                break;
            }
            pos = at + 4;
            if (HandleCandidate(scan, bufferStart + (LONGLONG)pos, buffer + pos, valid - pos))
                moved = true;
        }
        size_t keep = valid - pos;  // at most three bytes
        memmove(buffer, buffer + pos, keep);
        bufferStart += (LONGLONG)pos;
        valid = keep;
    }
}

// The file's size with all 64 bits, or -1, so that files of 2 GiB and more are
// scanned to their end.
LONGLONG FileSize64ByName(const char* path) {
    // Share mode 0 fails while any other handle to the file is open (a running
    // program); the directory entry still knows the size then.
    HANDLE handle = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        DWORD high = 0;
        DWORD low = GetFileSize(handle, &high);
        bool failed = low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR;
        CloseHandle(handle);
        return failed ? -1 : (LONGLONG)(((ULONGLONG)high << 32) | low);
    }
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(path, &data);
    if (search == INVALID_HANDLE_VALUE) return -1;
    FindClose(search);
    return (LONGLONG)(((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow);
}

}  // namespace

KindMask RiffKindBits() {
    KindMask bits = 0;
    for (const RiffForm& form : kRiffForms) bits |= form.kindBit;
    return bits;
}

bool ScanRiffStreamsWith(const char* sourcePath, KindMask kindMask,
                         const RiffScanOptions* options) {
    RiffScanOptions sizes = *options;
    if (sizes.blockSize == 0) sizes.blockSize = RIFF_SCAN_BLOCK_SIZE;
    if (sizes.copyChunkSize == 0) sizes.copyChunkSize = RIFF_COPY_CHUNK_SIZE;

    RiffScan scan = {};
    scan.sourcePath = sourcePath;
    scan.kindMask = kindMask;
    scan.options = &sizes;
    scan.vectorSearch =
        !sizes.memchrSearch && IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
    scan.fileSize = FileSize64ByName(sourcePath);
    scan.file = fopen(sourcePath, "rb");
    if (scan.file == nullptr) return false;

    // Three extra bytes hold the tail of the previous block.
    unsigned char* buffer = (unsigned char*)malloc(sizes.blockSize + 3);
    scan.chunk = (unsigned char*)malloc(sizes.copyChunkSize);
    // Without its buffers the scan finds nothing, as a failed allocation for a
    // stream skips that stream.
    if (buffer != nullptr && scan.chunk != nullptr)
        SearchSignatures(&scan, buffer, sizes.blockSize);
    free(scan.chunk);
    free(buffer);
    fclose(scan.file);
    return true;
}

bool ScanRiffStreams(const char* sourcePath, KindMask kindMask) {
    RiffScanOptions options = {};
    return ScanRiffStreamsWith(sourcePath, kindMask, &options);
}
