// Writes NE modules from the published layout of the format: an MZ header
// whose pointer at 0x3C leads to the NE header, the resource table that the
// NE header points at (offset 0x24), the resident-name table after it, and the
// resources, each at a multiple of the alignment unit.
#include "newriter.h"

#include <algorithm>
#include <map>

namespace netest {

namespace {

using restest::PutDword;
using restest::PutWord;

const size_t MZ_HEADER_SIZE = 0x40;
const size_t NE_HEADER_SIZE = 0x40;
const unsigned TARGET_WINDOWS = 2;
const unsigned RESOURCE_FLAGS = 0x1030;  // moveable, pure, discardable

void SetWord(Bytes* b, size_t at, size_t value) {
    (*b)[at] = (unsigned char)value;
    (*b)[at + 1] = (unsigned char)(value >> 8);
}

void SetDword(Bytes* b, size_t at, size_t value) {
    SetWord(b, at, value & 0xFFFF);
    SetWord(b, at + 2, value >> 16);
}

void PutName(Bytes* b, const std::string& name) {
    size_t length = std::min<size_t>(name.size(), 255);  // what a length byte can say
    b->push_back((unsigned char)length);
    b->insert(b->end(), name.begin(), name.begin() + length);
}

// The types in the order of their first resource, each with its resources.
std::vector<std::vector<const NeResourceSpec*>> GroupByType(
    const std::vector<NeResourceSpec>& resources) {
    std::vector<std::vector<const NeResourceSpec*>> blocks;
    std::map<std::pair<std::string, unsigned>, size_t> blockOfType;
    for (const NeResourceSpec& r : resources) {
        std::pair<std::string, unsigned> type(r.typeName, r.typeName.empty() ? r.type : 0);
        auto found = blockOfType.find(type);
        if (found == blockOfType.end()) {
            found = blockOfType.emplace(type, blocks.size()).first;
            blocks.emplace_back();
        }
        blocks[found->second].push_back(&r);
    }
    return blocks;
}

void WriteHeaders(NeImage* image) {
    image->bytes.assign(MZ_HEADER_SIZE + NE_HEADER_SIZE, 0);
    image->bytes[0] = 'M';
    image->bytes[1] = 'Z';
    SetDword(&image->bytes, 0x3C, MZ_HEADER_SIZE);
    image->header = MZ_HEADER_SIZE;
    image->bytes[image->header] = 'N';
    image->bytes[image->header + 1] = 'E';
    image->bytes[image->header + 2] = 5;                           // linker version
    SetWord(&image->bytes, image->header + 0x0C, 0x8000);          // a library module
    SetWord(&image->bytes, image->header + 0x22, NE_HEADER_SIZE);  // no segments
    image->bytes[image->header + 0x36] = TARGET_WINDOWS;
    SetWord(&image->bytes, image->header + 0x3E, 0x030A);  // Windows 3.10
}

// The resource table with its entries' offsets left at zero; returns where
// each resource's entry lies, in the order of resources.
std::map<const NeResourceSpec*, size_t> WriteResourceTable(
    NeImage* image, const std::vector<NeResourceSpec>& resources, unsigned shift) {
    Bytes& b = image->bytes;
    image->table = b.size();
    PutWord(&b, shift);
    std::map<const NeResourceSpec*, size_t> entryOf;
    // Where a name's offset goes (a type id or an entry's id word), and the name.
    std::vector<std::pair<size_t, const std::string*>> names;
    for (const auto& block : GroupByType(resources)) {
        image->typeBlocks.push_back(b.size());
        const NeResourceSpec* first = block[0];
        if (!first->typeName.empty()) names.push_back({b.size(), &first->typeName});
        PutWord(&b, first->typeName.empty() ? 0x8000 | first->type : 0);
        PutWord(&b, (unsigned)block.size());
        PutDword(&b, 0);
        for (const NeResourceSpec* r : block) {
            entryOf[r] = b.size();
            image->entries.push_back(b.size());
            PutWord(&b, 0);
            PutWord(&b, 0);
            PutWord(&b, RESOURCE_FLAGS);
            if (!r->name.empty()) names.push_back({b.size(), &r->name});
            PutWord(&b, r->name.empty() ? 0x8000 | r->id : 0);
            PutWord(&b, 0);
            PutWord(&b, 0);
        }
    }
    PutWord(&b, 0);
    // Offsets from the table's start, as the NE loader reads them.
    for (const auto& named : names) {
        SetWord(&b, named.first, b.size() - image->table);
        PutName(&b, *named.second);
    }
    b.push_back(0);
    return entryOf;
}

// Resident and non-resident names and empty module, import and entry tables,
// so that the module reads as a whole one.
void WriteNameTables(NeImage* image) {
    Bytes& b = image->bytes;
    size_t header = image->header;
    SetWord(&b, header + 0x24, image->table - header);
    SetWord(&b, header + 0x26, b.size() - header);
    PutName(&b, "NETWIN");
    PutWord(&b, 0);
    b.push_back(0);
    SetWord(&b, header + 0x28, b.size() - header);  // module references: none
    SetWord(&b, header + 0x2A, b.size() - header);  // imported names
    b.push_back(0);
    SetWord(&b, header + 0x04, b.size() - header);  // entry table: empty
    SetWord(&b, header + 0x06, 2);
    PutWord(&b, 0);
    SetDword(&b, header + 0x2C, b.size());
    size_t nonResident = b.size();
    PutName(&b, "pelnore test module");
    PutWord(&b, 0);
    b.push_back(0);
    SetWord(&b, header + 0x20, b.size() - nonResident);
}

void PadTo(Bytes* b, size_t unit) {
    while (b->size() % unit != 0) b->push_back(0xCC);
}

}  // namespace

NeImage WriteNeModule(const std::vector<NeResourceSpec>& resources, unsigned shift) {
    NeImage image;
    WriteHeaders(&image);
    std::map<const NeResourceSpec*, size_t> entryOf = WriteResourceTable(&image, resources, shift);
    WriteNameTables(&image);
    SetWord(&image.bytes, image.header + 0x32, shift);
    SetWord(&image.bytes, image.header + 0x34, resources.size());
    const size_t unit = (size_t)1 << shift;
    for (const NeResourceSpec& r : resources) {
        PadTo(&image.bytes, unit);
        size_t entry = entryOf[&r];
        size_t offset = image.bytes.size() >> shift;
        size_t length = (r.bytes.size() + unit - 1) >> shift;
        if (offset > 0xFFFF || length > 0xFFFF) {
            image.bytes.clear();  // the resources do not fit units of this size
            return image;
        }
        SetWord(&image.bytes, entry, offset);
        SetWord(&image.bytes, entry + 2, length);
        image.bytes.insert(image.bytes.end(), r.bytes.begin(), r.bytes.end());
    }
    PadTo(&image.bytes, unit);
    return image;
}

namespace {

struct PeType {
    unsigned id;
    std::string name;  // empty for an integer type
};

Bytes ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return Bytes();
    const unsigned char* data = (const unsigned char*)LockResource(LoadResource(module, found));
    if (data == nullptr) return Bytes();
    return Bytes(data, data + SizeofResource(module, found));
}

BOOL CALLBACK AddType(HMODULE, LPSTR type, LONG_PTR context) {
    std::vector<PeType>* types = (std::vector<PeType>*)context;
    if (IS_INTRESOURCE(type))
        types->push_back({(unsigned)(ULONG_PTR)type, ""});
    else
        types->push_back({0, type});
    return TRUE;
}

struct PeNames {
    const PeType* type;
    std::vector<NeResourceSpec>* resources;
};

BOOL CALLBACK AddResource(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context) {
    PeNames* pe = (PeNames*)context;
    NeResourceSpec planted = {pe->type->id, 0, "", ResourceBytes(module, name, type),
                              pe->type->name};
    if (IS_INTRESOURCE(name))
        planted.id = (unsigned)(ULONG_PTR)name;
    else
        planted.name = name;
    pe->resources->push_back(planted);
    return TRUE;
}

// The languages of a name that FindResourceA does not take go after all of the
// type's names, as pelnore numbers them, each an entry of the same name.
struct OtherLanguages {
    NeResourceSpec planted;
    std::vector<NeResourceSpec>* resources;
};

BOOL CALLBACK AddOtherLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                               LONG_PTR context) {
    HRSRC found = FindResourceExA(module, type, name, language);
    if (found == FindResourceA(module, name, type)) return TRUE;
    const unsigned char* data = (const unsigned char*)LockResource(LoadResource(module, found));
    OtherLanguages* other = (OtherLanguages*)context;
    other->planted.bytes.assign(data, data + SizeofResource(module, found));
    other->resources->push_back(other->planted);
    return TRUE;
}

}  // namespace

std::vector<NeResourceSpec> ResourcesOfPeModule(const std::string& path) {
    std::vector<NeResourceSpec> resources;
    HMODULE module = restest::LoadDataModule(path);
    if (module == nullptr) return resources;
    std::vector<PeType> types;
    EnumResourceTypesA(module, AddType, (LONG_PTR)&types);
    for (const PeType& type : types) {
        PeNames pe = {&type, &resources};
        LPCSTR typeId = type.name.empty() ? MAKEINTRESOURCEA(type.id) : type.name.c_str();
        size_t first = resources.size();
        EnumResourceNamesA(module, typeId, AddResource, (LONG_PTR)&pe);
        for (size_t i = first, end = resources.size(); i < end; i++) {
            OtherLanguages other = {resources[i], &resources};
            const std::string& named = other.planted.name;
            LPCSTR name = named.empty() ? MAKEINTRESOURCEA(other.planted.id) : named.c_str();
            EnumResourceLanguagesA(module, typeId, name, AddOtherLanguage, (LONG_PTR)&other);
        }
    }
    FreeLibrary(module);
    return resources;
}

}  // namespace netest
