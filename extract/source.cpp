// The resource source's common part: the file mapped whole once, then read by
// the first form that knows its bytes.
#include <string.h>

#include "source.h"

namespace {

void UnmapFile(MappedFile* mapped) {
    if (mapped->bytes != nullptr) UnmapViewOfFile(mapped->bytes);
    if (mapped->mapping != nullptr) CloseHandle(mapped->mapping);
    if (mapped->file != INVALID_HANDLE_VALUE) CloseHandle(mapped->file);
    *mapped = {INVALID_HANDLE_VALUE, nullptr, nullptr, 0};
}

// False for an empty file, one of 4 GiB or more, or one that cannot be opened
// without letting others write it.
bool MapWholeFile(const char* path, MappedFile* mapped) {
    *mapped = {INVALID_HANDLE_VALUE, nullptr, nullptr, 0};
    mapped->file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (mapped->file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    DWORD low = GetFileSize(mapped->file, &high);
    if (high == 0 && low != 0 && low != INVALID_FILE_SIZE) {
        mapped->mapping = CreateFileMappingA(mapped->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (mapped->mapping != nullptr)
            mapped->bytes =
                (const unsigned char*)MapViewOfFile(mapped->mapping, FILE_MAP_READ, 0, 0, 0);
    }
    if (mapped->bytes == nullptr) {
        UnmapFile(mapped);
        return false;
    }
    mapped->size = low;
    return true;
}

}  // namespace

bool OpenResourceSource(const char* path, ResourceSource* source) {
    memset(source, 0, sizeof(*source));
    if (!MapWholeFile(path, &source->mapped)) return false;
    if (OpenPeSource(source) || OpenNeSource(source)) return true;
    UnmapFile(&source->mapped);
    return false;
}

void CloseResourceSource(ResourceSource* source) {
    if (source->form == nullptr) return;
    if (source->form->close != nullptr) source->form->close(source);
    UnmapFile(&source->mapped);
    source->form = nullptr;
}
