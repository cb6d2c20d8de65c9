// The NE resource reader over a fuzzed file. Input: the file itself. Every
// resource of the kinds that extraction reads is enumerated, and the images
// that each group names are looked up by identifier, as extraction does, both
// by walking the table and through the sorted index, which must agree. Then
// every type block is enumerated on its own, as the pass over resources by
// their content does; together the blocks hold every entry of the table.
// libFuzzer hands the input over in a heap block of exactly its size, so the
// address sanitizer sees any read past the file; what the reader reports is
// also checked to lie inside the file.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "../../extract/neres.h"
#include "../../util/lebytes.h"

namespace {

// Lookups per input are capped so that an input with tens of thousands of
// groups, each naming thousands of images, still runs in milliseconds; every
// lookup walks the same bounded code.
const size_t MAX_GROUPS_LOOKED_UP = 8;
const size_t MAX_ENTRIES_LOOKED_UP = 8;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

struct Walk {
    const NeModule* module;
    uint16_t imageType;  // 3 or 1 for groups, 0 for bitmaps
    const NeIndexedResource* index;
    size_t indexed;
    size_t groups;
    unsigned sum;  // keeps the reads of the bytes from being left out
};

bool Inside(const NeModule* module, const unsigned char* p, size_t size) {
    const unsigned char* end = module->file + module->fileSize;
    return p >= module->file && p <= end && size <= (size_t)(end - p);
}

void Touch(Walk* walk, const unsigned char* p, size_t size) {
    Check(Inside(walk->module, p, size));
    if (size > 0) walk->sum += p[0] + p[size - 1];
}

void LookUpImages(Walk* walk, const NeResource* group) {
    if (group->size < 6) return;
    size_t count = ReadLE16(group->bytes + 4);
    size_t held = (group->size - 6) / 14;
    if (count > held) count = held;
    if (count > MAX_ENTRIES_LOOKED_UP) count = MAX_ENTRIES_LOOKED_UP;
    for (size_t i = 0; i < count; i++) {
        NeResource image, indexed;
        uint16_t id = ReadLE16(group->bytes + 6 + 14 * i + 12);
        bool found = FindNeResource(walk->module, walk->imageType, id, &image);
        Check(found == FindIndexedNeResource(walk->index, walk->indexed, id, &indexed));
        if (!found) continue;
        Check(image.bytes == indexed.bytes && image.size == indexed.size);
        Check(image.bytes != nullptr && !image.named && image.id == id);
        Touch(walk, image.bytes, image.size);
    }
}

bool Visit(void* context, const NeResource* resource) {
    Walk* walk = (Walk*)context;
    if (resource->bytes != nullptr)
        Touch(walk, resource->bytes, resource->size);
    else
        Check(resource->size == 0);
    if (resource->named) {
        Check(resource->id == 0);
        if (resource->name != nullptr) Touch(walk, resource->name, resource->nameLength);
    } else {
        Check(resource->name == nullptr && resource->id < 0x8000);
    }
    if (walk->imageType != 0 && resource->bytes != nullptr && walk->groups++ < MAX_GROUPS_LOOKED_UP)
        LookUpImages(walk, resource);
    return true;
}

struct Blocks {
    Walk* walk;
    size_t entries;
};

bool VisitBlock(void* context, const NeType* type) {
    Blocks* blocks = (Blocks*)context;
    if (type->named) {
        Check(type->id == 0);
        if (type->name != nullptr) Touch(blocks->walk, type->name, type->nameLength);
    }
    Check(type->block > blocks->walk->module->table &&
          type->block < blocks->walk->module->fileSize);
    blocks->entries += EnumNeBlockResources(blocks->walk->module, type->block, Visit, blocks->walk);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NeModule module;
    if (!OpenNeModule(data, size, &module)) return 0;
    Check(module.shift <= 15 && module.table < size);
    const uint16_t types[][2] = {{14, 3}, {12, 1}, {2, 0}};
    unsigned sum = 0;
    for (const auto& type : types) {
        size_t indexed = 0;
        NeIndexedResource* index = nullptr;
        if (type[1] != 0) {
            indexed = IndexNeResources(&module, type[1], nullptr);
            index = (NeIndexedResource*)malloc(indexed ? indexed * sizeof(NeIndexedResource) : 1);
            Check(IndexNeResources(&module, type[1], index) == indexed);
            for (size_t i = 1; i < indexed; i++)
                Check(index[i - 1].resource.id <= index[i].resource.id);
        }
        Walk walk = {&module, type[1], index, indexed, 0, 0};
        EnumNeResources(&module, type[0], Visit, &walk);
        sum += walk.sum;
        free(index);
    }
    Walk anyType = {&module, 0, nullptr, 0, 0, 0};
    Blocks blocks = {&anyType, 0};
    EnumNeTypes(&module, VisitBlock, &blocks);
    size_t integerEntries = 0;
    for (const auto& type : types)
        integerEntries += EnumNeResources(&module, type[0], Visit, &anyType);
    Check(integerEntries <= blocks.entries);
    sum += anyType.sum;
    volatile unsigned keep = sum;
    (void)keep;
    return 0;
}
