// A module's resources, whatever its form: one small interface (its types, the
// resources of a type, one resource fetched by type and name) with two
// implementations over the file's bytes, mapped whole: pelnore's own reading
// of the resource directory of 32- and 64-bit (PE) modules and of the resource
// table of 16-bit (NE) modules. The system loader reads neither: its
// enumeration trusts a PE directory and faults on a damaged one, and it
// refuses NE modules. Every kind of output is extracted through it by one
// pipeline, so a kind cannot be forgotten by one form. Every resource comes
// with the count of its bytes that may really be read.
#pragma once

#include "../util/compat.h"
#include "assemblebytes.h"
#include "neres.h"
#include "peres.h"

// A resource type as a source delivers it and takes it back.
struct ResourceType {
    LPCSTR id;         // MAKEINTRESOURCEA(n), or a terminated name valid while the visit lasts
    size_t directory;  // file offset of what it came from: the PE form's directory of its
                       // names, the NE form's type block; 0: found by its integer id
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
    // The languages of each resource of the type that enumResources does not
    // deliver; null for a form with one language per resource.
    void (*enumOtherLanguages)(const ResourceSource* source, const ResourceType* type,
                               ResourceVisitor visit, void* context);
};

// The file bytes of a module, mapped whole for reading; nobody may write the
// file while it is mapped (a file cut under a mapping would fault on the next
// read).
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

// The languages in which the PE form takes a resource (see pesource.cpp).
enum { PE_LANGUAGE_CAPACITY = 8 };

// One opened module: the mapped file, and the record of the form it was read
// as.
struct ResourceSource {
    const ResourceSourceForm* form;
    MappedFile mapped;
    PeModule pe;
    uint16_t languageIds[PE_LANGUAGE_CAPACITY];
    size_t languageCount;
    NeModule ne;
    NeImageIndex icons;    // RT_ICON images of the NE form
    NeImageIndex cursors;  // RT_CURSOR images of the NE form
};

// Maps the file and reads it as a PE module, or else as a 16-bit NE module.
// False, with nothing left open, when it is neither or cannot be mapped (an
// empty file, one of 4 GiB or more, one that someone has open for writing).
bool OpenResourceSource(const char* path, ResourceSource* source);
void CloseResourceSource(ResourceSource* source);

// The two forms, which OpenResourceSource tries in turn over the mapped file:
// each fills in its part of the source and its form when the bytes are its
// own.
bool OpenPeSource(ResourceSource* source);
bool OpenNeSource(ResourceSource* source);

inline void EnumSourceTypes(const ResourceSource* source, ResourceTypeVisitor visit,
                            void* context) {
    source->form->enumTypes(source, visit, context);
}
inline void EnumSourceResources(const ResourceSource* source, const ResourceType* type,
                                ResourceVisitor visit, void* context) {
    source->form->enumResources(source, type, visit, context);
}
inline void EnumSourceOtherLanguages(const ResourceSource* source, const ResourceType* type,
                                     ResourceVisitor visit, void* context) {
    if (source->form->enumOtherLanguages != nullptr)
        source->form->enumOtherLanguages(source, type, visit, context);
}
// A resource by integer identifier or name; false when there is none or it
// names no readable bytes.
inline bool FindSourceResource(const ResourceSource* source, const ResourceType* type, LPCSTR name,
                               ResourceSpan* bytes) {
    return source->form->find(source, type, name, bytes);
}
