// The loader's form of the resource source: a module loaded as a data file,
// its resources enumerated by the system, each cut to the bytes really mapped.
#include <string.h>

#include "source.h"

namespace {

bool IsReadableRegion(const MEMORY_BASIC_INFORMATION& region) {
    return region.State == MEM_COMMIT && region.Protect != 0 &&
           (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) == 0;
}

// The readable pages of the module's mapping found so far: one query of them
// serves every later resource whose bytes start inside them, which in a data
// file's mapping (a single region) is every resource of the module.
struct ReadableRun {
    const char* start;
    const char* end;
};

// Bytes from data to the end of the readable pages of the same allocation
// (the module's mapping), 0 when data itself cannot be read.
SIZE_T MappedBytesFrom(const void* data, ReadableRun* run) {
    const char* at = (const char*)data;
    if (run->start <= at && at < run->end) return (SIZE_T)(run->end - at);
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(data, &region, sizeof(region)) != sizeof(region)) return 0;
    if (!IsReadableRegion(region)) return 0;
    void* allocation = region.AllocationBase;
    const char* start = (const char*)region.BaseAddress;
    const char* end = start + region.RegionSize;
    // An image mapping is made of one region per section, each with its own
    // protection; a data file mapping is a single region.
    while (VirtualQuery(end, &region, sizeof(region)) == sizeof(region) &&
           region.AllocationBase == allocation && IsReadableRegion(region))
        end = (const char*)region.BaseAddress + region.RegionSize;
    *run = {start, end};
    return (SIZE_T)(end - at);
}

// The resource's bytes, cut to what may be read: the loader takes the size
// from the resource directory without checking it against the file, and a
// crafted entry may declare far more than was mapped.
ResourceSpan LockSpan(HMODULE module, LPCSTR name, LPCSTR type, ReadableRun* run) {
    ResourceSpan span = {nullptr, 0};
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return span;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) return span;
    span.bytes = (const unsigned char*)LockResource(loaded);
    if (span.bytes == nullptr) return span;
    DWORD declared = SizeofResource(module, found);
    SIZE_T mapped = MappedBytesFrom(span.bytes, run);
    span.size = declared < mapped ? declared : (size_t)mapped;
    return span;
}

// The system's enumerations call back with their own shapes; these records
// carry the source's visitor through them.
struct TypeVisit {
    ResourceTypeVisitor visit;
    void* context;
};
struct NameVisit {
    LPCSTR type;
    ResourceVisitor visit;
    void* context;
    ReadableRun run;
};

BOOL CALLBACK OnLoaderType(HMODULE module, LPSTR type, LONG_PTR context) {
    PELNORE_UNUSED(module);
    const TypeVisit* visit = (const TypeVisit*)context;
    ResourceType delivered = {type, 0};
    return visit->visit(visit->context, &delivered);
}

BOOL CALLBACK OnLoaderName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context) {
    PELNORE_UNUSED(type);
    NameVisit* visit = (NameVisit*)context;
    return visit->visit(visit->context, name, LockSpan(module, name, visit->type, &visit->run));
}

void EnumLoaderTypes(const ResourceSource* source, ResourceTypeVisitor visit, void* context) {
    TypeVisit state = {visit, context};
    EnumResourceTypesA(source->module, OnLoaderType, (LONG_PTR)&state);
}

void EnumLoaderResources(const ResourceSource* source, const ResourceType* type,
                         ResourceVisitor visit, void* context) {
    NameVisit state = {type->id, visit, context, {nullptr, nullptr}};
    EnumResourceNamesA(source->module, type->id, OnLoaderName, (LONG_PTR)&state);
}

bool FindLoaderResource(const ResourceSource* source, const ResourceType* type, LPCSTR name,
                        ResourceSpan* bytes) {
    ReadableRun run = {nullptr, nullptr};
    *bytes = LockSpan(source->module, name, type->id, &run);
    return bytes->bytes != nullptr;
}

void CloseLoaderModule(ResourceSource* source) {
    FreeLibrary(source->module);
}

const ResourceSourceForm LOADER_FORM = {EnumLoaderTypes, EnumLoaderResources, FindLoaderResource,
                                        CloseLoaderModule};
const ResourceSourceForm BORROWED_LOADER_FORM = {EnumLoaderTypes, EnumLoaderResources,
                                                 FindLoaderResource, nullptr};

}  // namespace

bool OpenResourceSource(const char* path, ResourceSource* source) {
    memset(source, 0, sizeof(*source));
    source->module =
        LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_WITH_ALTERED_SEARCH_PATH);
    if (source->module == nullptr) return OpenNeSource(path, source);
    source->form = &LOADER_FORM;
    return true;
}

void UseLoadedModule(HMODULE module, ResourceSource* source) {
    memset(source, 0, sizeof(*source));
    source->module = module;
    source->form = &BORROWED_LOADER_FORM;
}

void CloseResourceSource(ResourceSource* source) {
    if (source->form != nullptr && source->form->close != nullptr) source->form->close(source);
    source->form = nullptr;
}
