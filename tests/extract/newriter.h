// Test helper: 16-bit New Executable (NE) modules written from the published
// layout, holding real resources taken from a 32-bit module of the build, so
// that a module the loader refuses can be compared with its PE twin.
#pragma once

#include <string>
#include <vector>

#include "resbuilder.h"

namespace netest {

using restest::Bytes;

// One resource of an NE module: an integer type (RT_ICON and so on), and an
// integer identifier or, when name is not empty, a name.
struct NeResourceSpec {
    unsigned type;
    unsigned id;
    std::string name;
    Bytes bytes;
};

// A written module and where its parts lie, so that a test can damage them.
struct NeImage {
    Bytes bytes;
    size_t header;                   // the NE header
    size_t table;                    // the resource table's shift word
    std::vector<size_t> typeBlocks;  // each type block, in table order
    std::vector<size_t> entries;     // each 12-byte entry, in table order
};

// An NE module (MZ header, NE header, resource table, resident names, then
// the resources aligned to 1 << shift with their lengths rounded up to that
// unit, the rounding filled with 0xCC; no bytes at all when a resource's offset
// or length does not fit 16 bits of such units). Types get one block each, in the order
// of their first resource; entries keep the order given.
NeImage WriteNeModule(const std::vector<NeResourceSpec>& resources, unsigned shift);

// The icon groups, cursor groups and bitmaps of a PE module with every icon
// and cursor image they name, in the order EnumResourceNamesA delivers them,
// so that the NE module made of them numbers its items as the PE module does.
std::vector<NeResourceSpec> ResourcesOfPeModule(const std::string& path);

}  // namespace netest
