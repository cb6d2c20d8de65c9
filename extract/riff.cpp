// The stream scan on files: the source read through the runtime's buffered
// stream, or in place through views of a file mapping, each accepted stream
// written through the output writer, around the byte-level scan of
// riffscan.cpp.
#include "riff.h"

#include <stdio.h>
#include <stdlib.h>

#include "../util/bounded.h"
#include "../util/compiler.h"
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

// The source as a file mapping, of which one view at a time is mapped: a
// 32-bit process has too little address space for a whole large file, and
// the pages of a view count in the working set until it is unmapped.
struct MappedSource {
    HANDLE file;
    HANDLE mapping;
    int64_t size;
    size_t viewSize;           // a multiple of the allocation granularity
    void* view;                // the view mapped now, or null
    unsigned char* readBlock;  // a span read instead when a view cannot be mapped
    size_t readBlockSize;
};

size_t ReadFileAt(HANDLE file, int64_t offset, void* dest, size_t count) {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return 0;
    size_t total = 0;
    while (total < count) {
        size_t rest = count - total;
        DWORD want = rest < (size_t)(1u << 30) ? (DWORD)rest : (DWORD)(1u << 30);
        DWORD got = 0;
        if (!ReadFile(file, (char*)dest + total, want, &got, nullptr) || got == 0) break;
        total += got;
    }
    return total;
}

// Headers across a view's end and the copies of streams are read from the
// file, so that the view being searched stays where it is.
size_t ReadMappedSourceAt(void* context, int64_t offset, void* dest, size_t count) {
    return ReadFileAt(((MappedSource*)context)->file, offset, dest, count);
}

void UnmapView(MappedSource* source) {
    if (source->view != nullptr) UnmapViewOfFile(source->view);
    source->view = nullptr;
}

const unsigned char* ReadSpanInstead(MappedSource* source, int64_t offset, size_t* count) {
    if (source->readBlock == nullptr)
        source->readBlock = (unsigned char*)malloc(source->readBlockSize);
    if (source->readBlock == nullptr) return nullptr;
    *count = ReadFileAt(source->file, offset, source->readBlock, source->readBlockSize);
    return source->readBlock;
}

// The bytes from offset to the end of its view, which begins at a multiple of
// the view size and so at a multiple of the allocation granularity, as
// MapViewOfFile demands. The previous view is unmapped first.
const unsigned char* MappedSpanAt(void* context, int64_t offset, size_t* count) {
    MappedSource* source = (MappedSource*)context;
    UnmapView(source);
    *count = 0;
    if (offset < 0 || offset >= source->size) return nullptr;
    int64_t base = offset - offset % (int64_t)source->viewSize;
    int64_t rest = source->size - base;
    size_t length = rest < (int64_t)source->viewSize ? (size_t)rest : source->viewSize;
    source->view = MapViewOfFile(source->mapping, FILE_MAP_READ, (DWORD)((uint64_t)base >> 32),
                                 (DWORD)base, length);
    // Address space fragmented by others may refuse a view: that part is read.
    if (source->view == nullptr) return ReadSpanInstead(source, offset, count);
    size_t skip = (size_t)(offset - base);
    *count = length - skip;
    return (const unsigned char*)source->view + skip;
}

size_t ViewSizeFor(size_t requested) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    size_t granularity = info.dwAllocationGranularity;
    size_t units = (requested + granularity - 1) / granularity;
    return (units == 0 ? 1 : units) * granularity;
}

// False when the mapped way cannot be used. Writers are shut out for the
// scan's length: a view of a file cut short under us would fault where a read
// comes up short, so a file that someone has open for writing, or whose size
// is not the one found before, is left to the stream way. An empty file cannot
// be mapped at all.
bool OpenMappedSource(const char* path, int64_t expectedSize, MappedSource* source) {
    source->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (source->file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    if (GetFileSizeEx(source->file, &size) && size.QuadPart == expectedSize && size.QuadPart > 0)
        source->mapping = CreateFileMappingA(source->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (source->mapping == nullptr) {
        CloseHandle(source->file);
        return false;
    }
    source->size = size.QuadPart;
    return true;
}

void CloseMappedSource(MappedSource* source) {
    UnmapView(source);
    free(source->readBlock);
    CloseHandle(source->mapping);
    CloseHandle(source->file);
}

// The output file of the stream being written.
struct OutputStream {
    const char* sourcePath;
    OutputPlace* place;
    FILE* file;
    char path[PATH_CAPACITY];
};

bool OpenStreamOutput(void* context, int kind, unsigned index, int64_t start) {
    PELNORE_UNUSED(start);
    OutputStream* output = (OutputStream*)context;
    output->file = OpenOutputFile(output->sourcePath, OUTPUT_KINDS[kind].extension, index,
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
    // One query of the file's attributes, without opening a handle: an open
    // and a close cost far more, and this is asked once per source.
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &attributes))
        return (LONGLONG)(((ULONGLONG)attributes.nFileSizeHigh << 32) | attributes.nFileSizeLow);
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

namespace {

bool ScanMappedSource(const char* sourcePath, RiffInput* input, const RiffOutput* output,
                      const RiffScanSettings* settings, size_t viewSize) {
    MappedSource source = {};
    if (!OpenMappedSource(sourcePath, input->size, &source)) return false;
    source.viewSize = ViewSizeFor(viewSize);
    source.readBlockSize = settings->blockSize;
    input->read = ReadMappedSourceAt;
    input->span = MappedSpanAt;
    input->context = &source;
    ScanRiffBytes(input, output, settings);
    CloseMappedSource(&source);
    return true;
}

bool ScanStreamSource(const char* sourcePath, RiffInput* input, const RiffOutput* output,
                      const RiffScanSettings* settings) {
    SourceFile source = {fopen(sourcePath, "rb"), 0};
    if (source.file == nullptr) return false;
    input->read = ReadSourceAt;
    input->span = nullptr;
    input->context = &source;
    ScanRiffBytes(input, output, settings);
    fclose(source.file);
    return true;
}

}  // namespace

bool ScanRiffStreamsWith(const char* sourcePath, KindMask kindMask,
                         const RiffScanOptions* options) {
    RiffInput input = {FileSize64ByName(sourcePath), nullptr, nullptr, nullptr};
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
    settings.indexes = options->indexes;
    settings.excluded = options->excluded;
    settings.excludedCount = options->excludedCount;
    const char* namingPath = options->namingPath != nullptr ? options->namingPath : sourcePath;
    OutputStream stream = {namingPath, options->place, nullptr, ""};
    RiffOutput output = {OpenStreamOutput, WriteStreamOutput, FinishStreamOutput, &stream};

    // Without its buffers the scan finds nothing, as a failed allocation for a
    // stream skips that stream.
    size_t viewSize = options->viewSize != 0 ? options->viewSize : (size_t)RIFF_VIEW_SIZE;
    bool mappedFirst = options->access == RIFF_ACCESS_MAPPED;
    RiffSourceAccess used = RIFF_ACCESS_MAPPED;
    bool scanned =
        mappedFirst && ScanMappedSource(sourcePath, &input, &output, &settings, viewSize);
    if (!scanned) {
        used = RIFF_ACCESS_STREAM;
        scanned = ScanStreamSource(sourcePath, &input, &output, &settings);
    }
    if (!scanned && !mappedFirst) {
        used = RIFF_ACCESS_MAPPED;
        scanned = ScanMappedSource(sourcePath, &input, &output, &settings, viewSize);
    }
    if (options->accessUsed != nullptr) *options->accessUsed = used;
    return scanned;
}

bool ScanRiffStreams(const char* sourcePath, KindMask kindMask) {
    RiffScanOptions options = {};
    return ScanRiffStreamsWith(sourcePath, kindMask, &options);
}
