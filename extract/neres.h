// The resource table of a 16-bit New Executable (NE) module, read from the
// file's bytes: the loader of a 32-bit process refuses such modules, so their
// icons, cursors and bitmaps are reached through this table instead. The bytes
// are untrusted: every offset, count, shift and length is checked against the
// file, and what can be read of a damaged table is kept. No Windows header, so
// that it builds natively and can be fuzzed.
#pragma once

#include <stddef.h>
#include <stdint.h>

// An NE module's file bytes and where its resource table lies. The file stays
// owned by the caller and must outlive every use of the record.
struct NeModule {
    const unsigned char* file;
    size_t fileSize;
    size_t table;    // file offset of the table's shift word; 0 when there is no table
    unsigned shift;  // offsets and lengths are in units of 1 << shift
};

// One entry of the resource table. Pointers point into the file.
struct NeResource {
    uint16_t id;                 // integer identifier without its high bit; 0 when named
    bool named;                  // named by a string that follows the table
    const unsigned char* name;   // a named resource's characters (not terminated), else null
    size_t nameLength;           // 0 when the name lies past the file
    const unsigned char* bytes;  // null when the resource starts past the file
    size_t size;                 // its length in bytes, cut at the end of the file
};

// True when the bytes are an NE module (an MZ header whose pointer at 0x3C
// leads to an "NE" header). A module without a usable resource table, an
// OS/2 one or one whose alignment shift is above 15, is still an NE module;
// it just holds no resources.
bool OpenNeModule(const unsigned char* file, size_t fileSize, NeModule* module);

// Called for each resource of a type in table order; returning false ends the
// enumeration.
typedef bool (*NeResourceVisitor)(void* context, const NeResource* resource);

// Delivers every entry of the integer resource type, named and numbered ones
// alike, in the order of the table, and returns how many it delivered. An
// entry whose bytes lie past the file is still delivered (bytes null, size 0),
// so that it keeps its place in the numbering.
size_t EnumNeResources(const NeModule* module, uint16_t type, NeResourceVisitor visit,
                       void* context);

// One type block of the table, as EnumNeTypes delivers it. Pointers point into
// the file.
struct NeType {
    uint16_t id;                // integer type without its high bit; 0 when named
    bool named;                 // named by a string that follows the table
    const unsigned char* name;  // a named type's characters (not terminated), else null
    size_t nameLength;          // 0 when the name lies past the file
    size_t block;               // file offset of the block, for EnumNeBlockResources
};
typedef bool (*NeTypeVisitor)(void* context, const NeType* type);

// Delivers every type block in table order, a type that several blocks hold
// once per block, and returns how many it delivered.
size_t EnumNeTypes(const NeModule* module, NeTypeVisitor visit, void* context);

// Delivers the entries of the one type block at block (an offset that
// EnumNeTypes delivered), as EnumNeResources does, and returns their count.
// Any other offset is read as a block too, within the file; one before the
// table or too near the file's end delivers nothing.
size_t EnumNeBlockResources(const NeModule* module, size_t block, NeResourceVisitor visit,
                            void* context);

// The first resource of the integer type with the integer identifier, in table
// order; false when there is none, or when its bytes lie past the file.
bool FindNeResource(const NeModule* module, uint16_t type, uint16_t id, NeResource* resource);

// The resources of one integer type that have integer identifiers, sorted for
// lookups: a group may name many images, and a walk of the table for each of
// them would make a crafted table of thousands of entries cost their square.
struct NeIndexedResource {
    NeResource resource;
    size_t order;  // place in the table, so that the first of equal ids wins
};

// Fills index with those resources, sorted by identifier, and returns their
// count; with a null index only counts them. The filling call must get room
// for the measured count.
size_t IndexNeResources(const NeModule* module, uint16_t type, NeIndexedResource* index);

// The resource of the identifier in an index, as FindNeResource finds it in
// the table.
bool FindIndexedNeResource(const NeIndexedResource* index, size_t count, uint16_t id,
                           NeResource* resource);
