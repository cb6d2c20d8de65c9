// Reads the resource table of an NE module. The table follows the layout that
// Windows 3.x modules use: an alignment shift, then type blocks (type id,
// entry count, four reserved bytes) each followed by its 12-byte entries
// (offset, length, flags, id, handle, usage), ended by a zero type id, then the
// length-prefixed names that named types and entries point at. Every position
// is kept at or below the file's size, and each read checks what remains.
#include "neres.h"

#include <algorithm>

#include "../util/lebytes.h"

namespace {

const size_t MZ_HEADER_SIZE = 0x40;
const size_t MZ_NEW_HEADER_POINTER = 0x3C;
const size_t NE_HEADER_SIZE = 0x40;
const size_t NE_RESOURCE_TABLE = 0x24;
const size_t NE_RESIDENT_NAMES = 0x26;
const size_t NE_TARGET_OS = 0x36;
// OS/2 modules keep their resources in segments listed by a table of another
// layout; only the Windows layout is read.
const unsigned TARGET_OS2 = 1;

const size_t SHIFT_SIZE = 2;
const size_t TYPE_HEADER_SIZE = 8;
const size_t ENTRY_SIZE = 12;
const uint16_t INTEGER_ID = 0x8000;
// Offsets and lengths are 16-bit counts of units; above 15 a unit no longer
// fits a 32-bit file offset, and no real module uses more than a few.
const unsigned MAX_SHIFT = 15;

size_t Smaller(uint64_t a, size_t b) {
    return a < b ? (size_t)a : b;
}

bool HasSignature(const unsigned char* p, char first, char second) {
    return p[0] == (unsigned char)first && p[1] == (unsigned char)second;
}

// The file offset of the resource table's shift word, or 0 when the module has
// no table that can be read.
size_t LocateResourceTable(const unsigned char* file, size_t fileSize, size_t headerOffset,
                           unsigned* shift) {
    const unsigned char* header = file + headerOffset;
    if (header[NE_TARGET_OS] == TARGET_OS2) return 0;
    uint16_t tableOffset = ReadLE16(header + NE_RESOURCE_TABLE);
    // The resident-name table follows the resource table; when both start at
    // the same place, the module has no resources.
    if (tableOffset == 0 || tableOffset == ReadLE16(header + NE_RESIDENT_NAMES)) return 0;
    size_t table = headerOffset + tableOffset;
    if (table > fileSize || fileSize - table < SHIFT_SIZE) return 0;
    unsigned tableShift = ReadLE16(file + table);
    if (tableShift > MAX_SHIFT) return 0;
    *shift = tableShift;
    return table;
}

// A walk over the table, block by block. position never passes the file's
// size.
struct TableWalk {
    size_t position;      // next entry of the current block, or next type block
    size_t entriesLeft;   // entries of the current block not yet delivered
    bool stopAfterBlock;  // no block follows the current one (cut by the file's end, or asked for
                          // alone)
};

TableWalk StartWalk(const NeModule* module) {
    TableWalk walk = {module->fileSize, 0, true};
    if (module->table != 0) walk = {module->table + SHIFT_SIZE, 0, false};
    return walk;
}

// A type block's header as read: its type word and its entries.
struct TypeBlock {
    size_t at;
    uint16_t typeId;
    size_t first;  // file offset of its first entry
    size_t count;  // entries held, cut at the end of the file
};

// Reads the block at walk->position and moves the walk behind its entries;
// false at the end of the table.
bool NextBlock(const NeModule* module, TableWalk* walk, TypeBlock* block) {
    const size_t fileSize = module->fileSize;
    if (walk->stopAfterBlock) return false;
    if (fileSize - walk->position < SHIFT_SIZE) return false;
    uint16_t typeId = ReadLE16(module->file + walk->position);
    if (typeId == 0 || fileSize - walk->position < TYPE_HEADER_SIZE) return false;
    size_t count = ReadLE16(module->file + walk->position + 2);
    size_t first = walk->position + TYPE_HEADER_SIZE;
    size_t held = (fileSize - first) / ENTRY_SIZE;
    if (count > held) {
        // A block cut by the end of the file: keep the entries that are
        // there, and read nothing behind them as another block.
        walk->stopAfterBlock = true;
        count = held;
    }
    *block = {walk->position, typeId, first, count};
    walk->position = first + count * ENTRY_SIZE;
    return true;
}

// The next 12-byte entry of a block whose type word is typeId (0: of every
// block the walk reaches), or null at the end of the table.
const unsigned char* NextEntry(const NeModule* module, uint16_t typeId, TableWalk* walk) {
    for (;;) {
        if (walk->entriesLeft > 0) {
            walk->entriesLeft--;
            const unsigned char* entry = module->file + walk->position;
            walk->position += ENTRY_SIZE;
            return entry;
        }
        TypeBlock block;
        if (!NextBlock(module, walk, &block)) return nullptr;
        if (typeId != 0 && block.typeId != typeId) continue;
        walk->position = block.first;
        walk->entriesLeft = block.count;
    }
}

const unsigned char* NextEntryOfType(const NeModule* module, uint16_t type, TableWalk* walk) {
    if (type >= INTEGER_ID) return nullptr;
    return NextEntry(module, (uint16_t)(INTEGER_ID | type), walk);
}

// A name that the table points at: a length byte, then that many characters.
void ReadName(const NeModule* module, uint16_t offset, const unsigned char** name,
              size_t* nameLength) {
    size_t at = module->table + offset;
    if (at >= module->fileSize) return;
    *name = module->file + at + 1;
    *nameLength = Smaller(module->file[at], module->fileSize - at - 1);
}

NeResource ReadEntry(const NeModule* module, const unsigned char* entry) {
    NeResource resource = {};
    uint64_t offset = (uint64_t)ReadLE16(entry) << module->shift;
    uint64_t length = (uint64_t)ReadLE16(entry + 2) << module->shift;
    if (offset < module->fileSize) {
        resource.bytes = module->file + offset;
        resource.size = Smaller(length, module->fileSize - (size_t)offset);
    }
    uint16_t id = ReadLE16(entry + 6);
    if (id & INTEGER_ID) {
        resource.id = (uint16_t)(id & ~INTEGER_ID);
    } else {
        resource.named = true;
        ReadName(module, id, &resource.name, &resource.nameLength);
    }
    return resource;
}

}  // namespace

bool OpenNeModule(const unsigned char* file, size_t fileSize, NeModule* module) {
    *module = {file, fileSize, 0, 0};
    if (file == nullptr || fileSize < MZ_HEADER_SIZE || !HasSignature(file, 'M', 'Z')) return false;
    uint32_t headerOffset = ReadLE32(file + MZ_NEW_HEADER_POINTER);
    if (headerOffset > fileSize || fileSize - headerOffset < NE_HEADER_SIZE) return false;
    if (!HasSignature(file + headerOffset, 'N', 'E')) return false;
    module->table = LocateResourceTable(file, fileSize, headerOffset, &module->shift);
    return true;
}

size_t EnumNeResources(const NeModule* module, uint16_t type, NeResourceVisitor visit,
                       void* context) {
    size_t delivered = 0;
    TableWalk walk = StartWalk(module);
    while (const unsigned char* entry = NextEntryOfType(module, type, &walk)) {
        NeResource resource = ReadEntry(module, entry);
        delivered++;
        if (!visit(context, &resource)) break;
    }
    return delivered;
}

size_t EnumNeTypes(const NeModule* module, NeTypeVisitor visit, void* context) {
    size_t delivered = 0;
    TableWalk walk = StartWalk(module);
    TypeBlock block;
    while (NextBlock(module, &walk, &block)) {
        NeType type = {};
        type.block = block.at;
        if (block.typeId & INTEGER_ID) {
            type.id = (uint16_t)(block.typeId & ~INTEGER_ID);
        } else {
            type.named = true;
            ReadName(module, block.typeId, &type.name, &type.nameLength);
        }
        delivered++;
        if (!visit(context, &type)) break;
    }
    return delivered;
}

size_t EnumNeBlockResources(const NeModule* module, size_t block, NeResourceVisitor visit,
                            void* context) {
    if (module->table == 0 || block < module->table + SHIFT_SIZE || block > module->fileSize)
        return 0;
    TableWalk walk = {block, 0, false};
    TypeBlock read;
    if (!NextBlock(module, &walk, &read)) return 0;
    walk = {read.first, read.count, true};
    size_t delivered = 0;
    while (const unsigned char* entry = NextEntry(module, 0, &walk)) {
        NeResource resource = ReadEntry(module, entry);
        delivered++;
        if (!visit(context, &resource)) break;
    }
    return delivered;
}

bool FindNeResource(const NeModule* module, uint16_t type, uint16_t id, NeResource* resource) {
    if (id >= INTEGER_ID) return false;
    TableWalk walk = StartWalk(module);
    while (const unsigned char* entry = NextEntryOfType(module, type, &walk)) {
        if (ReadLE16(entry + 6) != (INTEGER_ID | id)) continue;
        *resource = ReadEntry(module, entry);
        return resource->bytes != nullptr;
    }
    return false;
}

size_t IndexNeResources(const NeModule* module, uint16_t type, NeIndexedResource* index) {
    size_t count = 0;
    size_t order = 0;
    TableWalk walk = StartWalk(module);
    while (const unsigned char* entry = NextEntryOfType(module, type, &walk)) {
        order++;
        if (!(ReadLE16(entry + 6) & INTEGER_ID)) continue;
        if (index != nullptr) index[count] = {ReadEntry(module, entry), order};
        count++;
    }
    if (index != nullptr)
        std::sort(index, index + count, [](const NeIndexedResource& a, const NeIndexedResource& b) {
            return a.resource.id != b.resource.id ? a.resource.id < b.resource.id
                                                  : a.order < b.order;
        });
    return count;
}

bool FindIndexedNeResource(const NeIndexedResource* index, size_t count, uint16_t id,
                           NeResource* resource) {
    const NeIndexedResource* end = index + count;
    const NeIndexedResource* found = std::lower_bound(
        index, end, id, [](const NeIndexedResource& a, uint16_t b) { return a.resource.id < b; });
    if (found == end || found->resource.id != id) return false;
    *resource = found->resource;
    return resource->bytes != nullptr;
}
