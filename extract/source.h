// A module's resources, whatever its form: one small interface (its types, the
// resources of a type, one resource fetched by type and name) with two
// implementations, the system loader for 32- and 64-bit modules and pelnore's
// own reading of the resource table of 16-bit (NE) modules, which the loader
// refuses. Every kind of output is extracted through it by one pipeline, so a
// kind cannot be forgotten by one form. Every resource comes with the count of
// its bytes that may really be read.
#pragma once

#include "../util/compat.h"
#include "assemblebytes.h"
#include "neres.h"

// A resource type as a source delivers it and takes it back.
struct ResourceType {
    LPCSTR id;     // MAKEINTRESOURCEA(n), or a terminated name valid while the visit lasts
    size_t block;  // the NE form's type block it came from; 0: every block of that id
};

inline ResourceType IntegerResourceType(WORD id) {
    ResourceType type = {MAKEINTRESOURCEA(id), 0};
    return type;
}

// Visitors return false to end the enumeration. A name is MAKEINTRESOURCEA(n)
// or a terminated text valid while the visit lasts; bytes.bytes is null for a
// resource that names no readable bytes (it still takes its place).
typedef bool (*ResourceTypeVisitor)(void* context, const ResourceType* type);
typedef bool (*ResourceVisitor)(void* context, LPCSTR name, ResourceSpan bytes);

struct ResourceSource;

// What a form of module implements.
struct ResourceSourceForm {
    void (*enumTypes)(const ResourceSource* source, ResourceTypeVisitor visit, void* context);
    void (*enumResources)(const ResourceSource* source, const ResourceType* type,
                          ResourceVisitor visit, void* context);
    bool (*find)(const ResourceSource* source, const ResourceType* type, LPCSTR name,
                 ResourceSpan* bytes);
    void (*close)(ResourceSource* source);
};

// The file bytes of a 16-bit module, mapped whole for reading; nobody may write
// the file while it is mapped (a file cut under a mapping would fault on the
// next read).
struct MappedFile {
    HANDLE file;
    HANDLE mapping;
    const unsigned char* bytes;
    size_t size;
};

// The images of one type sorted by identifier, so that each image a group names
// is found without a walk of the table (a crafted table of thousands of entries
// would otherwise cost their square).
struct NeImageIndex {
    NeIndexedResource* entries;
    size_t count;
};

// One opened module. The loader's form uses module; the NE form the rest.
struct ResourceSource {
    const ResourceSourceForm* form;
    HMODULE module;
    MappedFile mapped;
    NeModule ne;
    NeImageIndex icons;    // RT_ICON images
    NeImageIndex cursors;  // RT_CURSOR images
};

// Opens the file through the loader as a data file (its code is neither run nor
// bound), or, where the loader refuses it, as a 16-bit NE module. False, with
// nothing left open, when it is neither.
bool OpenResourceSource(const char* path, ResourceSource* source);
// The loader's form over a module already loaded as a data file, which stays
// the caller's to free; nothing to close.
void UseLoadedModule(HMODULE module, ResourceSource* source);
void CloseResourceSource(ResourceSource* source);
// The NE form alone, which OpenResourceSource tries where the loader refuses.
bool OpenNeSource(const char* path, ResourceSource* source);

inline void EnumSourceTypes(const ResourceSource* source, ResourceTypeVisitor visit,
                            void* context) {
    source->form->enumTypes(source, visit, context);
}
inline void EnumSourceResources(const ResourceSource* source, const ResourceType* type,
                                ResourceVisitor visit, void* context) {
    source->form->enumResources(source, type, visit, context);
}
// A resource by integer identifier or name; false when there is none or it
// names no readable bytes.
inline bool FindSourceResource(const ResourceSource* source, const ResourceType* type, LPCSTR name,
                               ResourceSpan* bytes) {
    return source->form->find(source, type, name, bytes);
}
