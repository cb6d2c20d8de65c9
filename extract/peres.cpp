// Reads the resource directory of a PE module. Directories are a 16-byte
// header (characteristics, time stamp, version, then the counts of named and
// of integer entries) followed by 8-byte entries (a name or identifier, whose
// high bit marks the offset of a length-prefixed UTF-16 string, then an offset
// whose high bit marks a subdirectory); a data entry is 16 bytes (the RVA of
// the bytes, their size, a code page, a reserved word). Every offset inside
// the directory is relative to its root. Positions are computed in 64 bits and
// checked against the file's size before anything is read.
#include "peres.h"

#include "../util/lebytes.h"

namespace {

const size_t MZ_HEADER_SIZE = 0x40;
const size_t MZ_NEW_HEADER_POINTER = 0x3C;
const size_t PE_SIGNATURE_SIZE = 4;
const size_t FILE_HEADER_SIZE = 20;
const size_t FILE_SECTION_COUNT = 2;
const size_t FILE_OPTIONAL_HEADER_SIZE = 16;
const uint16_t MAGIC_PE32 = 0x10B;
const uint16_t MAGIC_PE32_PLUS = 0x20B;
// Where the two forms of the optional header keep NumberOfRvaAndSizes and
// their data directory, whose entries are an RVA and a size.
const size_t PE32_DIRECTORY_COUNT = 92;
const size_t PE32_DIRECTORIES = 96;
const size_t PE32_PLUS_DIRECTORY_COUNT = 108;
const size_t PE32_PLUS_DIRECTORIES = 112;
const size_t DATA_DIRECTORY_SIZE = 8;
const uint32_t RESOURCE_DIRECTORY = 2;

const size_t SECTION_SIZE = 40;
const size_t SECTION_VIRTUAL_ADDRESS = 12;
const size_t SECTION_RAW_SIZE = 16;
const size_t SECTION_RAW_POINTER = 20;
const size_t MAX_SECTIONS = 96;

const size_t DIRECTORY_SIZE = 16;
const size_t DIRECTORY_NAMED_COUNT = 12;
const size_t DIRECTORY_ID_COUNT = 14;
const size_t ENTRY_SIZE = 8;
const size_t DATA_ENTRY_SIZE = 16;
const uint32_t HIGH_BIT = 0x80000000u;

size_t Smaller(uint64_t a, size_t b) {
    return a < b ? (size_t)a : b;
}

// True when size bytes at offset lie inside the file.
bool Inside(size_t fileSize, uint64_t offset, uint64_t size) {
    return offset <= fileSize && size <= fileSize - offset;
}

bool RvaToOffset(const PeModule* module, uint32_t rva, size_t* offset) {
    for (size_t i = 0; i < module->sectionCount; i++) {
        const unsigned char* section = module->sections + i * SECTION_SIZE;
        uint32_t address = ReadLE32(section + SECTION_VIRTUAL_ADDRESS);
        uint64_t end = (uint64_t)address + ReadLE32(section + SECTION_RAW_SIZE);
        if (rva < address || rva >= end) continue;
        uint64_t at = (uint64_t)ReadLE32(section + SECTION_RAW_POINTER) + (rva - address);
        if (at >= module->fileSize) return false;
        *offset = (size_t)at;
        return true;
    }
    return false;
}

// A directory as read: where it lies (relative to the root, which is how its
// parent points at it) and its entries that lie in the file.
struct Directory {
    uint32_t relative;
    size_t first;  // file offset of its first entry
    size_t named;  // named entries, stored before the integer ones
    size_t count;  // all entries, cut at the end of the file
};

bool ReadDirectory(const PeModule* module, uint32_t relative, Directory* directory) {
    uint64_t at = (uint64_t)module->root + relative;
    if (!module->hasDirectory || !Inside(module->fileSize, at, DIRECTORY_SIZE)) return false;
    const unsigned char* header = module->file + (size_t)at;
    size_t named = ReadLE16(header + DIRECTORY_NAMED_COUNT);
    size_t count = named + ReadLE16(header + DIRECTORY_ID_COUNT);
    size_t first = (size_t)at + DIRECTORY_SIZE;
    count = Smaller(count, (module->fileSize - first) / ENTRY_SIZE);
    *directory = {relative, first, Smaller(named, count), count};
    return true;
}

// The subdirectory that an entry's offset field points at; it must lie after
// its parent.
bool ReadSubdirectory(const PeModule* module, const Directory* parent, uint32_t offsetField,
                      Directory* child) {
    if (!(offsetField & HIGH_BIT)) return false;
    uint32_t relative = offsetField & ~HIGH_BIT;
    return relative > parent->relative && ReadDirectory(module, relative, child);
}

uint32_t EntryKey(const PeModule* module, const Directory* directory, size_t index) {
    return ReadLE32(module->file + directory->first + index * ENTRY_SIZE);
}

uint32_t EntryOffset(const PeModule* module, const Directory* directory, size_t index) {
    return ReadLE32(module->file + directory->first + index * ENTRY_SIZE + 4);
}

// A binary search of the integer entries, probing them in the order the
// loader does: like it, it assumes them sorted, and an unsorted directory may
// hide an entry from both alike.
bool FindIdEntry(const PeModule* module, const Directory* directory, uint16_t id, size_t* index) {
    size_t low = directory->named, high = directory->count;  // candidates low .. high - 1
    while (low < high) {
        size_t probe = low + (high - 1 - low) / 2;
        uint32_t key = EntryKey(module, directory, probe);
        if (key == id) {
            *index = probe;
            return true;
        }
        if (key > id)
            high = probe;
        else
            low = probe + 1;
    }
    return false;
}

PeName ReadName(const PeModule* module, uint32_t key) {
    PeName name = {};
    if (!(key & HIGH_BIT)) {
        name.id = (uint16_t)key;
        return name;
    }
    name.named = true;
    uint64_t at = (uint64_t)module->root + (key & ~HIGH_BIT);
    if (!Inside(module->fileSize, at, 2)) return name;
    const unsigned char* length = module->file + (size_t)at;
    name.name = length + 2;
    name.nameLength = Smaller(ReadLE16(length), (module->fileSize - (size_t)at - 2) / 2);
    return name;
}

void ReadData(const PeModule* module, uint32_t relative, PeResource* resource) {
    uint64_t at = (uint64_t)module->root + relative;
    if (!Inside(module->fileSize, at, DATA_ENTRY_SIZE)) return;
    const unsigned char* entry = module->file + (size_t)at;
    size_t offset = 0;
    if (!RvaToOffset(module, ReadLE32(entry), &offset)) return;
    resource->bytes = module->file + offset;
    resource->size = Smaller(ReadLE32(entry + 4), module->fileSize - offset);
}

// The index of the language entry that a name is taken in: the first wanted
// language that leads to a data entry, else its first language, as the loader
// picks a language for a request of the neutral one. A language entry that is
// a directory leads nowhere. The loader would go on past a first entry that
// is a directory to the first one that is not; only the first is taken here,
// so that a name costs a few binary searches whatever its directory holds.
// False when none leads to data.
bool ChooseLanguage(const PeModule* module, const Directory* held, const PeLanguages* languages,
                    size_t* index) {
    for (size_t i = 0; i < languages->count; i++)
        if (FindIdEntry(module, held, languages->ids[i], index) &&
            !(EntryOffset(module, held, *index) & HIGH_BIT))
            return true;
    *index = 0;
    return held->count > 0 && !(EntryOffset(module, held, 0) & HIGH_BIT);
}

// The bytes of a name entry (its offset field) in the language chosen so.
void ReadLanguages(const PeModule* module, const Directory* names, uint32_t offsetField,
                   const PeLanguages* languages, PeResource* resource) {
    Directory held;
    size_t index = 0;
    if (ReadSubdirectory(module, names, offsetField, &held) &&
        ChooseLanguage(module, &held, languages, &index))
        ReadData(module, EntryOffset(module, &held, index), resource);
}

bool ReadNames(const PeModule* module, size_t directory, Directory* names) {
    if (directory <= module->root || (uint64_t)(directory - module->root) >= HIGH_BIT) return false;
    return ReadDirectory(module, (uint32_t)(directory - module->root), names);
}

}  // namespace

bool OpenPeModule(const unsigned char* file, size_t fileSize, PeModule* module) {
    *module = {file, fileSize, nullptr, 0, false, 0};
    if (file == nullptr || fileSize < MZ_HEADER_SIZE || file[0] != 'M' || file[1] != 'Z')
        return false;
    uint64_t header = ReadLE32(file + MZ_NEW_HEADER_POINTER);
    if (!Inside(fileSize, header, PE_SIGNATURE_SIZE + FILE_HEADER_SIZE + 2)) return false;
    const unsigned char* signature = file + (size_t)header;
    if (signature[0] != 'P' || signature[1] != 'E' || signature[2] != 0 || signature[3] != 0)
        return false;
    const unsigned char* fileHeader = signature + PE_SIGNATURE_SIZE;
    uint64_t optional = header + PE_SIGNATURE_SIZE + FILE_HEADER_SIZE;
    uint16_t magic = ReadLE16(file + (size_t)optional);
    if (magic != MAGIC_PE32 && magic != MAGIC_PE32_PLUS) return false;

    size_t optionalSize = ReadLE16(fileHeader + FILE_OPTIONAL_HEADER_SIZE);
    uint64_t sections = optional + optionalSize;
    if (sections <= fileSize) {
        module->sections = file + (size_t)sections;
        module->sectionCount = Smaller(ReadLE16(fileHeader + FILE_SECTION_COUNT),
                                       Smaller((fileSize - sections) / SECTION_SIZE, MAX_SECTIONS));
    }

    size_t countAt = magic == MAGIC_PE32 ? PE32_DIRECTORY_COUNT : PE32_PLUS_DIRECTORY_COUNT;
    size_t entryAt = (magic == MAGIC_PE32 ? PE32_DIRECTORIES : PE32_PLUS_DIRECTORIES) +
                     RESOURCE_DIRECTORY * DATA_DIRECTORY_SIZE;
    if (optionalSize < entryAt + DATA_DIRECTORY_SIZE ||
        !Inside(fileSize, optional, entryAt + DATA_DIRECTORY_SIZE) ||
        ReadLE32(file + (size_t)optional + countAt) <= RESOURCE_DIRECTORY)
        return true;
    uint32_t rva = ReadLE32(file + (size_t)optional + entryAt);
    size_t root = 0;
    // The loader takes an address of 0 for no directory at all.
    if (rva == 0 || !RvaToOffset(module, rva, &root)) return true;
    module->root = root;
    module->hasDirectory = Inside(fileSize, root, DIRECTORY_SIZE);
    return true;
}

size_t EnumPeTypes(const PeModule* module, PeTypeVisitor visit, void* context) {
    Directory root;
    if (!ReadDirectory(module, 0, &root)) return 0;
    size_t slots = (module->fileSize - module->root) / ENTRY_SIZE;
    size_t delivered = 0;
    for (size_t i = 0; i < root.count; i++) {
        Directory names;
        if (!ReadSubdirectory(module, &root, EntryOffset(module, &root, i), &names)) continue;
        if (names.count > slots) break;
        slots -= names.count;
        PeType type = {ReadName(module, EntryKey(module, &root, i)), module->root + names.relative};
        delivered++;
        if (!visit(context, &type)) break;
    }
    return delivered;
}

bool FindPeType(const PeModule* module, uint16_t id, size_t* directory) {
    Directory root, names;
    size_t index = 0;
    if (!ReadDirectory(module, 0, &root) || !FindIdEntry(module, &root, id, &index) ||
        !ReadSubdirectory(module, &root, EntryOffset(module, &root, index), &names))
        return false;
    *directory = module->root + names.relative;
    return true;
}

size_t EnumPeResources(const PeModule* module, size_t directory, const PeLanguages* languages,
                       PeResourceVisitor visit, void* context) {
    Directory names;
    if (!ReadNames(module, directory, &names)) return 0;
    size_t delivered = 0;
    for (size_t i = 0; i < names.count; i++) {
        PeResource resource = {ReadName(module, EntryKey(module, &names, i)), nullptr, 0};
        ReadLanguages(module, &names, EntryOffset(module, &names, i), languages, &resource);
        delivered++;
        if (!visit(context, &resource)) break;
    }
    return delivered;
}

bool FindPeResource(const PeModule* module, size_t directory, uint16_t id,
                    const PeLanguages* languages, PeResource* resource) {
    *resource = {};
    Directory names;
    size_t index = 0;
    if (!ReadNames(module, directory, &names) || !FindIdEntry(module, &names, id, &index))
        return false;
    resource->name = ReadName(module, EntryKey(module, &names, index));
    ReadLanguages(module, &names, EntryOffset(module, &names, index), languages, resource);
    return resource->bytes != nullptr;
}

size_t EnumPeOtherLanguages(const PeModule* module, size_t directory, const PeLanguages* languages,
                            PeResourceVisitor visit, void* context) {
    Directory names;
    if (!ReadNames(module, directory, &names)) return 0;
    // As for the types' names: crafted names that share one large directory
    // of languages would otherwise cost its size times their count.
    size_t slots = (module->fileSize - module->root) / 8, delivered = 0;
    for (size_t i = 0; i < names.count; i++) {
        Directory held;
        size_t chosen = 0;
        if (!ReadSubdirectory(module, &names, EntryOffset(module, &names, i), &held)) continue;
        bool any = ChooseLanguage(module, &held, languages, &chosen);
        for (size_t j = 0; j < held.count; j++) {
            if (delivered >= slots) return delivered;
            if ((any && j == chosen) || (EntryOffset(module, &held, j) & HIGH_BIT)) continue;
            PeResource resource = {ReadName(module, EntryKey(module, &names, i)), nullptr, 0};
            ReadData(module, EntryOffset(module, &held, j), &resource);
            delivered++;
            if (!visit(context, &resource)) return delivered;
        }
    }
    return delivered;
}
