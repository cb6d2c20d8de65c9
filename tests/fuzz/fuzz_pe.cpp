// The PE resource directory reader over a fuzzed file, as extraction uses it:
// every type with every resource, and the images that icon and cursor groups
// name looked up by identifier. The input lies in a heap block of exactly its
// size, so the address sanitizer sees any read past it; what the reader
// reports is also checked to lie inside the file and within its bounds.
#include <stddef.h>
#include <stdint.h>

#include "../../extract/peres.h"
#include "../../util/lebytes.h"

namespace {

// Lookups per input are capped as in fuzz_ne, to keep each input fast.
const size_t MAX_GROUPS_LOOKED_UP = 64;
const size_t MAX_ENTRIES_LOOKED_UP = 256;
const uint16_t LANGUAGE_IDS[] = {0, 0x0411, 0x0409};
const PeLanguages LANGUAGES = {LANGUAGE_IDS, 3};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

struct Walk {
    const PeModule* module;
    uint16_t imageType;  // of the type being enumerated: 3 or 1 for groups, else 0
    size_t groups;
    size_t resources;
    unsigned sum;  // keeps the reads of the bytes from being left out
};

void Touch(Walk* walk, const unsigned char* p, size_t size) {
    const unsigned char* end = walk->module->file + walk->module->fileSize;
    Check(p >= walk->module->file && p <= end && size <= (size_t)(end - p));
    if (size > 0) walk->sum += p[0] + p[size - 1];
}

void CheckName(Walk* walk, const PeName* name) {
    Check(name->named ? name->id == 0 : name->name == nullptr && name->nameLength == 0);
    if (name->name != nullptr) Touch(walk, name->name, name->nameLength * 2);
}

void LookUpImages(Walk* walk, const PeResource* group) {
    size_t images = 0;
    if (group->size < 6 || !FindPeType(walk->module, walk->imageType, &images)) return;
    size_t count = ReadLE16(group->bytes + 4), held = (group->size - 6) / 14;
    for (size_t i = 0; i < count && i < held && i < MAX_ENTRIES_LOOKED_UP; i++) {
        PeResource image;
        uint16_t id = ReadLE16(group->bytes + 6 + 14 * i + 12);
        if (!FindPeResource(walk->module, images, id, &LANGUAGES, &image)) continue;
        Check(image.bytes != nullptr && !image.name.named && image.name.id == id);
        Touch(walk, image.bytes, image.size);
    }
}

bool Visit(void* context, const PeResource* resource) {
    Walk* walk = (Walk*)context;
    walk->resources++;
    Check(resource->bytes != nullptr || resource->size == 0);
    if (resource->bytes != nullptr) Touch(walk, resource->bytes, resource->size);
    CheckName(walk, &resource->name);
    if (walk->imageType != 0 && resource->bytes != nullptr && walk->groups++ < MAX_GROUPS_LOOKED_UP)
        LookUpImages(walk, resource);
    return true;
}

bool VisitType(void* context, const PeType* type) {
    Walk* walk = (Walk*)context;
    CheckName(walk, &type->name);
    Check(type->directory > walk->module->root && type->directory < walk->module->fileSize);
    uint16_t id = type->name.named ? 0 : type->name.id;
    walk->imageType = id == 14 ? 3 : id == 12 ? 1 : 0;
    EnumPeResources(walk->module, type->directory, &LANGUAGES, Visit, walk);
    // The other languages of the same names, within the same bound.
    size_t before = walk->resources;
    size_t others = EnumPeOtherLanguages(walk->module, type->directory, &LANGUAGES, Visit, walk);
    Check(others == walk->resources - before &&
          others <= (walk->module->fileSize - walk->module->root) / 8);
    walk->resources = before;  // the bound below is on the names alone
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PeModule module;
    if (!OpenPeModule(data, size, &module)) return 0;
    Check(!module.hasDirectory || (module.root < size && size - module.root >= 16));
    Walk walk = {&module, 0, 0, 0, 0};
    EnumPeTypes(&module, VisitType, &walk);
    // The reader's bound on the names of all types together.
    Check(walk.resources == 0 || walk.resources <= (size - module.root) / 8);
    volatile unsigned keep = walk.sum;
    (void)keep;
    return 0;
}
