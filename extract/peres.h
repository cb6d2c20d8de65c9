// The resource directory of a 32- or 64-bit Portable Executable (PE) module,
// read from the file's bytes: the system loader's own enumeration trusts the
// directory and faults on modules whose directory lies in memory that is not
// there (a truncated or damaged file), so pelnore walks it itself. The bytes
// are untrusted: every header, entry, string and data entry is checked against
// the file, and what can be read of a damaged directory is kept. No Windows
// header, so that it builds natively and can be fuzzed.
//
// The directory has three levels below its root: types, then the names of a
// type, then the languages of a name, whose entries lead to data entries. A
// subdirectory must lie after the directory that points at it, so no loop of
// directories can be followed; a language that is itself a directory, or a
// type or name that is not one, holds no bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A PE module's file bytes and where its resource directory lies. The file
// stays owned by the caller and must outlive every use of the record.
struct PeModule {
    const unsigned char* file;
    size_t fileSize;
    const unsigned char* sections;  // the section table, in the file
    size_t sectionCount;            // its entries that are read (see OpenPeModule)
    bool hasDirectory;              // the root directory's header lies in the file
    size_t root;                    // file offset of the root directory
};

// A type or a resource, named by an integer identifier or by a string.
struct PeName {
    uint16_t id;                // 0 when named
    bool named;                 // named by a string
    const unsigned char* name;  // a name's UTF-16LE units (not terminated, not aligned), else null
    size_t nameLength;          // in units, cut at the end of the file; 0 when it lies past it
};

// One type of the root directory. Pointers point into the file.
struct PeType {
    PeName name;
    size_t directory;  // file offset of its directory of names, for EnumPeResources
};

// One resource of a type, in one language. Pointers point into the file.
struct PeResource {
    PeName name;
    const unsigned char* bytes;  // null when no language gives a data entry whose bytes
                                 // start inside the file
    size_t size;                 // the declared size, cut at the end of the file
};

// The languages (LANGIDs) a resource is taken in, most wanted first; a name
// that has none of them gives its first language entry.
struct PeLanguages {
    const uint16_t* ids;
    size_t count;
};

// True when the bytes are a PE module: an MZ header whose pointer at 0x3C
// leads to "PE\0\0", a file header and an optional header of the 32-bit
// (0x10B) or 64-bit (0x20B) form. A PE module without a resource entry in its
// data directory, or whose resource directory lies in no section or past the
// file, is still a PE module; it just holds no resources.
//
// Addresses (RVAs) are turned into file offsets as the system loader does for
// a module loaded as a data file: the first section whose VirtualAddress <=
// rva < VirtualAddress + SizeOfRawData, at PointerToRawData; an address in no
// section is not in the file. The format's documentation says that the loader
// limits a module to 96 sections; no more than that many are read, which also
// bounds the search of each address.
bool OpenPeModule(const unsigned char* file, size_t fileSize, PeModule* module);

typedef bool (*PeTypeVisitor)(void* context, const PeType* type);
typedef bool (*PeResourceVisitor)(void* context, const PeResource* resource);

// Delivers the types of the root directory in the order they are stored
// (named ones first, then integer ones, as the loader's enumeration gives
// them); returning false ends the enumeration. A type whose entry leads to no
// readable directory of names is left out. The name entries of the delivered
// types together never exceed the 8-byte slots between the root and the end
// of the file: directories that do not overlap can never exceed it, and
// crafted ones that all share one large directory would otherwise cost its
// size times the count of types. The types are delivered until the next one
// would take the total past it. Returns how many were delivered.
size_t EnumPeTypes(const PeModule* module, PeTypeVisitor visit, void* context);

// The directory of names of the integer type, found as the loader finds it:
// by a binary search of the root's integer entries, which it assumes sorted.
bool FindPeType(const PeModule* module, uint16_t id, size_t* directory);

// Delivers every entry of the directory of names at directory (an offset that
// EnumPeTypes or FindPeType gave) in stored order, each once, with the bytes
// of the first of the languages that it holds, or else its first language
// entry; an entry that leads to no bytes is still delivered (bytes null, size
// 0), so that it keeps its place in the numbering. Any other offset after the
// root is read as a directory too, within the file; one at or before the root
// delivers nothing. Returns how many were delivered.
size_t EnumPeResources(const PeModule* module, size_t directory, const PeLanguages* languages,
                       PeResourceVisitor visit, void* context);

// Delivers, for every entry of the directory of names in stored order, each
// of its languages but the one EnumPeResources takes (and none that leads to
// no data), in stored order. Their total is capped as EnumPeTypes caps names.
// Returns how many were delivered.
size_t EnumPeOtherLanguages(const PeModule* module, size_t directory, const PeLanguages* languages,
                            PeResourceVisitor visit, void* context);

// The resource of the integer identifier in the directory of names, found by
// a binary search as above, in a language chosen as above; false when there is
// none or it leads to no bytes.
bool FindPeResource(const PeModule* module, size_t directory, uint16_t id,
                    const PeLanguages* languages, PeResource* resource);
