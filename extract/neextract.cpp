// The Win32 side of NE extraction: a read-only mapping of the whole file,
// which nobody may write while it is mapped (a file cut under a mapping would
// fault on the next read), and the walk of one kind's resources.
#include "neextract.h"

#include <stdint.h>
#include <stdlib.h>

#include "assemblebytes.h"
#include "neres.h"
#include "output.h"

namespace {

void UnmapFile(MappedFile* mapped) {
    if (mapped->bytes != nullptr) UnmapViewOfFile(mapped->bytes);
    if (mapped->mapping != nullptr) CloseHandle(mapped->mapping);
    if (mapped->file != INVALID_HANDLE_VALUE) CloseHandle(mapped->file);
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

// What each kind's resources are assembled from: a group with the images of
// imageType, or a bitmap (imageType 0) from its own bytes.
struct NeKind {
    WORD resourceType;
    uint16_t imageType;
    GroupKind groupKind;
};

const NeKind NE_KINDS[] = {
    {14, 3, GROUP_ICON},    // RT_GROUP_ICON of RT_ICON images
    {12, 1, GROUP_CURSOR},  // RT_GROUP_CURSOR of RT_CURSOR images
    {2, 0, GROUP_ICON},     // RT_BITMAP; the group kind is not used
};

// The sorted images of one type, so that each of a group's images is found
// without a walk of the table.
struct NeImages {
    uint16_t type;
    NeIndexedResource* index;
    size_t count;
};

bool FindNeImage(void* context, uint16_t type, uint16_t id, ResourceSpan* image) {
    const NeImages* images = (const NeImages*)context;
    NeResource found;
    if (type != images->type) return false;
    if (!FindIndexedNeResource(images->index, images->count, id, &found)) return false;
    *image = {found.bytes, found.size};
    return true;
}

// An empty index when there is no image type or no memory for it: the groups
// then find no image and give no file.
NeImages IndexImages(const NeModule* module, uint16_t type) {
    NeImages images = {type, nullptr, 0};
    if (type == 0) return images;
    size_t count = IndexNeResources(module, type, nullptr);
    if (count == 0 || count > SIZE_MAX / sizeof(NeIndexedResource)) return images;
    images.index = (NeIndexedResource*)malloc(count * sizeof(NeIndexedResource));
    if (images.index != nullptr) images.count = IndexNeResources(module, type, images.index);
    return images;
}

struct NeExtraction {
    const char* path;
    const char* extension;
    const NeKind* kind;
    ImageSource images;
    OutputBudget* budget;
    OutputPlace* place;
    unsigned index;  // running index, consumed by every resource delivered
};

size_t AssembleNeResource(unsigned char* out, const NeExtraction* x, const NeResource* r) {
    if (r->bytes == nullptr) return 0;
    ResourceSpan span = {r->bytes, r->size};
    if (x->kind->imageType == 0) return AssembleBitmapBytes(out, span);
    return AssembleGroupBytes(out, span, x->kind->groupKind, &x->images);
}

// Measure, then fill a block of exactly that size, as for PE modules.
bool OnNeResource(void* context, const NeResource* resource) {
    NeExtraction* x = (NeExtraction*)context;
    unsigned index = x->index++;
    size_t size = AssembleNeResource(nullptr, x, resource);
    if (size == 0 || !TakeFromBudget(x->budget, size)) return true;
    unsigned char* block = (unsigned char*)malloc(size);
    if (block == nullptr) return true;
    if (AssembleNeResource(block, x, resource) == size)
        WriteOutputFile(x->path, block, size, x->extension, index, x->place);
    free(block);
    return true;
}

const NeKind* NeKindOf(WORD resourceType) {
    for (const NeKind& kind : NE_KINDS)
        if (kind.resourceType == resourceType) return &kind;
    return nullptr;
}

}  // namespace

bool OpenNeFile(const char* path, NeFile* ne) {
    if (!MapWholeFile(path, &ne->mapped)) return false;
    if (OpenNeModule(ne->mapped.bytes, ne->mapped.size, &ne->module)) return true;
    UnmapFile(&ne->mapped);
    return false;
}

void CloseNeFile(NeFile* ne) {
    UnmapFile(&ne->mapped);
}

void ExtractNeResourcesOfKind(const NeFile* ne, const char* path, const char* extension,
                              WORD resourceType, OutputBudget* budget, OutputPlace* place) {
    const NeKind* kind = NeKindOf(resourceType);
    if (kind == nullptr) return;
    NeImages images = IndexImages(&ne->module, kind->imageType);
    NeExtraction x = {path, extension, kind, {FindNeImage, &images}, budget, place, 0};
    EnumNeResources(&ne->module, resourceType, OnNeResource, &x);
    free(images.index);
}
