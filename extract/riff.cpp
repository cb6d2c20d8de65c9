// The RIFF scan on files: the source read through the runtime's buffered
// stream, each accepted stream written through the output writer, around the
// byte-level scan of riffscan.cpp.
#include "riff.h"

#include <stdio.h>

#include "../util/bounded.h"
#include "output.h"
#include "riffscan.h"

namespace {

// The source stream and where it stands, so that the sequential reads of the
// search need no seek.
struct SourceFile {
    FILE* file;
    int64_t position;  // -1 after a failed seek
};

size_t ReadSourceAt(void* context, int64_t offset, void* dest, size_t count) {
    SourceFile* source = (SourceFile*)context;
    if (offset != source->position) {
        if (_fseeki64(source->file, offset, SEEK_SET) != 0) {
            source->position = -1;
            return 0;
        }
        source->position = offset;
    }
    size_t got = fread(dest, 1, count, source->file);
    source->position += (int64_t)got;
    return got;
}

// The output file of the stream being written.
struct OutputStream {
    const char* sourcePath;
    OutputPlace* place;
    FILE* file;
    char path[PATH_CAPACITY];
};

bool OpenStreamOutput(void* context, int row, int index) {
    OutputStream* output = (OutputStream*)context;
    output->file = OpenOutputFile(output->sourcePath, RIFF_FORMS[row].extension, (unsigned)index,
                                  output->path, output->place);
    return output->file != nullptr;
}

bool WriteStreamOutput(void* context, const void* bytes, size_t count) {
    OutputStream* output = (OutputStream*)context;
    return fwrite(bytes, 1, count, output->file) == count;
}

bool FinishStreamOutput(void* context, bool ok) {
    OutputStream* output = (OutputStream*)context;
    bool kept = FinishOutputFile(output->file, output->path, ok);
    output->file = nullptr;
    return kept;
}

}  // namespace

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

bool ScanRiffStreamsWith(const char* sourcePath, KindMask kindMask,
                         const RiffScanOptions* options) {
    RiffInput input = {FileSize64ByName(sourcePath), ReadSourceAt, nullptr};
    OutputBudget own = OutputBudgetFor(input.size);
    RiffScanSettings settings = {};
    settings.kindMask = kindMask;
    settings.blockSize =
        options->blockSize != 0 ? options->blockSize : (size_t)RIFF_SCAN_BLOCK_SIZE;
    settings.copyChunkSize =
        options->copyChunkSize != 0 ? options->copyChunkSize : (size_t)RIFF_COPY_CHUNK_SIZE;
    settings.vectorSearch =
        !options->memchrSearch && IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
    settings.onCandidate = options->onCandidate;
    settings.candidateContext = options->context;
    settings.budget = options->budget != nullptr ? options->budget : &own;

    SourceFile source = {fopen(sourcePath, "rb"), 0};
    if (source.file == nullptr) return false;
    input.context = &source;
    OutputStream stream = {sourcePath, options->place, nullptr, ""};
    RiffOutput output = {OpenStreamOutput, WriteStreamOutput, FinishStreamOutput, &stream};
    // Without its buffers the scan finds nothing, as a failed allocation for a
    // stream skips that stream.
    ScanRiffBytes(&input, &output, &settings);
    fclose(source.file);
    return true;
}

bool ScanRiffStreams(const char* sourcePath, KindMask kindMask) {
    RiffScanOptions options = {};
    return ScanRiffStreamsWith(sourcePath, kindMask, &options);
}
