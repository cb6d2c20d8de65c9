// The PE resource directory reader over a fuzzed file. Input: the file itself.
// Every type is enumerated with every resource of it, as the pass over
// resources by their content does; then the groups of icons and cursors, found
// by type identifier as extraction finds them, have the images they name
// looked up by identifier. libFuzzer hands the input over in a heap block of
// exactly its size, so the address sanitizer sees any read past the file; what
// the reader reports is also checked to lie inside the file, and the names
// delivered across all types to stay within the reader's bound.
#include <stddef.h>
#include <stdint.h>

#include "../../extract/peres.h"
#include "../../util/lebytes.h"

namespace {

// Lookups per input are capped as in fuzz_ne, so that an input of thousands
// of groups naming thousands of images still runs in milliseconds.
const size_t MAX_GROUPS_LOOKED_UP = 64;
const size_t MAX_ENTRIES_LOOKED_UP = 256;
const uint16_t LANGUAGE_IDS[] = {0, 0x0411, 0x0409};
const PeLanguages LANGUAGES = {LANGUAGE_IDS, 3};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

struct Walk {
    const PeModule* module;
    uint16_t imageType;  // 3 or 1 for groups, 0 for anything else
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
    if (!name->named) return Check(name->name == nullptr && name->nameLength == 0);
    Check(name->id == 0);
    if (name->name != nullptr) Touch(walk, name->name, name->nameLength * 2);
}

void LookUpImages(Walk* walk, const PeResource* group) {
    size_t images = 0;
    if (group->size < 6 || !FindPeType(walk->module, walk->imageType, &images)) return;
    size_t count = ReadLE16(group->bytes + 4);
    size_t held = (group->size - 6) / 14;
    if (count > held) count = held;
    if (count > MAX_ENTRIES_LOOKED_UP) count = MAX_ENTRIES_LOOKED_UP;
    for (size_t i = 0; i < count; i++) {
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
    if (resource->bytes != nullptr)
        Touch(walk, resource->bytes, resource->size);
    else
        Check(resource->size == 0);
    CheckName(walk, &resource->name);
    if (walk->imageType != 0 && resource->bytes != nullptr && walk->groups++ < MAX_GROUPS_LOOKED_UP)
        LookUpImages(walk, resource);
    return true;
}

bool VisitType(void* context, const PeType* type) {
    Walk* walk = (Walk*)context;
    CheckName(walk, &type->name);
    Check(type->directory > walk->module->root && type->directory < walk->module->fileSize);
    EnumPeResources(walk->module, type->directory, &LANGUAGES, Visit, walk);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PeModule module;
    if (!OpenPeModule(data, size, &module)) return 0;
    Check(module.sections != nullptr || module.sectionCount == 0);
    if (module.sectionCount > 0)
        Check(module.sections >= data && module.sectionCount <= 96 &&
              module.sectionCount * 40 <= (size_t)(data + size - module.sections));
    Check(!module.hasDirectory || (module.root < size && size - module.root >= 16));
    Walk all = {&module, 0, 0, 0, 0};
    EnumPeTypes(&module, VisitType, &all);
    // Disjoint directories of names can hold no more entries than the slots
    // behind the root, and the reader cuts overlapping ones to that.
    Check(all.resources == 0 || all.resources <= (size - module.root) / 8);
    unsigned sum = all.sum;
    const uint16_t groupTypes[][2] = {{14, 3}, {12, 1}};
    for (const auto& type : groupTypes) {
        size_t directory = 0;
        if (!FindPeType(&module, type[0], &directory)) continue;
        Walk groups = {&module, type[1], 0, 0, 0};
        EnumPeResources(&module, directory, &LANGUAGES, Visit, &groups);
        sum += groups.sum;
    }
    volatile unsigned keep = sum;
    (void)keep;
    return 0;
}
