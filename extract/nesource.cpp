// The NE form of the resource source: the resource table of a 16-bit module
// read by neres.h from the mapped file. Names and named types are copied out
// of the table into terminated texts for the visit; the images that groups name
// are found through sorted indexes built when the module is opened.
#include <stdlib.h>
#include <string.h>

#include "source.h"

namespace {

const WORD RESOURCE_CURSOR = 1;
const WORD RESOURCE_ICON = 3;

// An empty index when there is no memory for it: the groups then find no image
// and give no file.
NeImageIndex IndexImages(const NeModule* module, uint16_t type) {
    NeImageIndex images = {nullptr, 0};
    size_t count = IndexNeResources(module, type, nullptr);
    if (count == 0 || count > SIZE_MAX / sizeof(NeIndexedResource)) return images;
    images.entries = (NeIndexedResource*)malloc(count * sizeof(NeIndexedResource));
    if (images.entries != nullptr) images.count = IndexNeResources(module, type, images.entries);
    return images;
}

// A table name (at most 255 characters) as a terminated text.
struct NameText {
    char text[256];
};

// A type or resource of the table as the source delivers it: its integer
// identifier, or its name copied into out.
LPCSTR IdOrName(bool named, uint16_t id, const unsigned char* name, size_t length, NameText* out) {
    if (!named) return MAKEINTRESOURCEA(id);
    if (name == nullptr) length = 0;
    if (length > sizeof(out->text) - 1) length = sizeof(out->text) - 1;
    if (length > 0) memcpy(out->text, name, length);
    out->text[length] = '\0';
    return out->text;
}

// Resource names are compared as the system compares them: ASCII letters
// without regard to case (16-bit modules keep their names in upper case).
bool NameMatches(const NeResource* resource, LPCSTR name) {
    if (IS_INTRESOURCE(name)) return !resource->named && resource->id == (uintptr_t)name;
    if (!resource->named || resource->name == nullptr) return false;
    size_t length = strlen(name);
    if (length != resource->nameLength) return false;
    for (size_t i = 0; i < length; i++) {
        unsigned char a = resource->name[i], b = (unsigned char)name[i];
        if (a >= 'a' && a <= 'z') a = (unsigned char)(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = (unsigned char)(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

struct TypeVisit {
    ResourceTypeVisitor visit;
    void* context;
};

bool OnNeType(void* context, const NeType* type) {
    const TypeVisit* visit = (const TypeVisit*)context;
    NameText name;
    ResourceType delivered = {IdOrName(type->named, type->id, type->name, type->nameLength, &name),
                              type->block};
    return visit->visit(visit->context, &delivered);
}

struct NameVisit {
    ResourceVisitor visit;
    void* context;
};

bool OnNeResource(void* context, const NeResource* resource) {
    const NameVisit* visit = (const NameVisit*)context;
    NameText name;
    LPCSTR delivered =
        IdOrName(resource->named, resource->id, resource->name, resource->nameLength, &name);
    ResourceSpan bytes = {resource->bytes, resource->bytes != nullptr ? resource->size : 0};
    return visit->visit(visit->context, delivered, bytes);
}

void EnumNeSourceTypes(const ResourceSource* source, ResourceTypeVisitor visit, void* context) {
    TypeVisit state = {visit, context};
    EnumNeTypes(&source->ne, OnNeType, &state);
}

// A named type is reached through the block it was delivered with; an integer
// type without one through every block of its identifier.
void EnumNeSourceResources(const ResourceSource* source, const ResourceType* type,
                           ResourceVisitor visit, void* context) {
    NameVisit state = {visit, context};
    if (type->directory != 0)
        EnumNeBlockResources(&source->ne, type->directory, OnNeResource, &state);
    else if (IS_INTRESOURCE(type->id))
        EnumNeResources(&source->ne, (uint16_t)(uintptr_t)type->id, OnNeResource, &state);
}

struct NameSearch {
    LPCSTR name;
    NeResource found;
    bool matched;
};

bool OnSearchedResource(void* context, const NeResource* resource) {
    NameSearch* search = (NameSearch*)context;
    if (!NameMatches(resource, search->name)) return true;
    search->found = *resource;
    search->matched = true;
    return false;
}

const NeImageIndex* ImageIndexOf(const ResourceSource* source, const ResourceType* type) {
    if (type->directory != 0 || !IS_INTRESOURCE(type->id)) return nullptr;
    WORD id = (WORD)(uintptr_t)type->id;
    return id == RESOURCE_ICON     ? &source->icons
           : id == RESOURCE_CURSOR ? &source->cursors
                                   : nullptr;
}

bool FindNeSourceResource(const ResourceSource* source, const ResourceType* type, LPCSTR name,
                          ResourceSpan* bytes) {
    *bytes = {nullptr, 0};
    NeResource found;
    const NeImageIndex* images = ImageIndexOf(source, type);
    bool matched = false;
    if (images != nullptr && IS_INTRESOURCE(name)) {
        matched = FindIndexedNeResource(images->entries, images->count, (uint16_t)(uintptr_t)name,
                                        &found);
    } else {
        NameSearch search = {name, {}, false};
        if (type->directory != 0)
            EnumNeBlockResources(&source->ne, type->directory, OnSearchedResource, &search);
        else if (IS_INTRESOURCE(type->id))
            EnumNeResources(&source->ne, (uint16_t)(uintptr_t)type->id, OnSearchedResource,
                            &search);
        matched = search.matched;
        found = search.found;
    }
    if (!matched || found.bytes == nullptr) return false;
    *bytes = {found.bytes, found.size};
    return true;
}

void CloseNeSource(ResourceSource* source) {
    free(source->icons.entries);
    free(source->cursors.entries);
}

const ResourceSourceForm NE_FORM = {EnumNeSourceTypes, EnumNeSourceResources, FindNeSourceResource,
                                    CloseNeSource, nullptr};

}  // namespace

bool OpenNeSource(ResourceSource* source) {
    if (!OpenNeModule(source->mapped.bytes, source->mapped.size, &source->ne)) return false;
    source->icons = IndexImages(&source->ne, RESOURCE_ICON);
    source->cursors = IndexImages(&source->ne, RESOURCE_CURSOR);
    source->form = &NE_FORM;
    return true;
}
