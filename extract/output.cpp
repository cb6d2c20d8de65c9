// Naming and writing of output files: the folder beside the source named after
// it, the "<source ext><index><kind ext>" file name, and a write that either
// leaves the whole file behind or none of it.
#include "output.h"

#include "../util/bounded.h"
#include "../util/pathpart.h"

void OutputFolderFor(const char* sourcePath, char* folder) {
    char parent[PATH_CAPACITY];
    char base[PATH_CAPACITY];
    CopyFolderPart(parent, sourcePath);
    CopyBaseName(base, sourcePath);
    // A ".." step that runs out of text names no folder at all: leave the text
    // empty so that nothing is created or written under a half-joined path.
    if (!JoinPath(folder, parent, base)) folder[0] = '\0';
}

bool EnsureFolder(const char* folder) {
    if (!PathExists(folder)) CreateDirectoryA(folder, nullptr);
    return PathExists(folder);
}

FILE* OpenOutputFile(const char* sourcePath, const char* kindExtension, unsigned int index,
                     char* outputPath) {
    if (outputPath != nullptr) outputPath[0] = '\0';
    char folder[PATH_CAPACITY];
    OutputFolderFor(sourcePath, folder);
    if (!EnsureFolder(folder)) return nullptr;

    const char* sourceExtension = ExtensionPart(sourcePath);
    if (*sourceExtension == '.') sourceExtension++;
    char name[PATH_CAPACITY];
    // A cut name would be some other file: refuse it rather than write there.
    if (FormatBounded(name, sizeof(name), "%s%04x%s", sourceExtension, index, kindExtension) < 0)
        return nullptr;
    char path[PATH_CAPACITY];
    if (!JoinPath(path, folder, name)) return nullptr;

    FILE* stream = fopen(path, "wb");
    if (stream != nullptr && outputPath != nullptr) CopyBounded(outputPath, PATH_CAPACITY, path);
    return stream;
}

bool FinishOutputFile(FILE* stream, const char* outputPath, bool ok) {
    // fclose flushes the last buffered bytes, so a full disk may show only here.
    bool closed = fclose(stream) == 0;
    if (ok && closed) return true;
    if (outputPath != nullptr && outputPath[0] != '\0') DeleteFileA(outputPath);
    return false;
}

bool WriteOutputFile(const char* sourcePath, const void* buffer, size_t byteCount,
                     const char* kindExtension, unsigned int index) {
    char path[PATH_CAPACITY];
    FILE* stream = OpenOutputFile(sourcePath, kindExtension, index, path);
    if (stream == nullptr) return false;
    bool written = fwrite(buffer, 1, byteCount, stream) == byteCount;
    return FinishOutputFile(stream, path, written);
}
