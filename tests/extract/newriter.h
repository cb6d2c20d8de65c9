// Test helper: 16-bit New Executable (NE) modules written from the published
// layout, holding real resources taken from a 32-bit module of the build, so
// that a module the loader refuses can be compared with its PE twin.
#pragma once

#include <string>
#include <vector>

#include "resbuilder.h"

namespace netest {

using restest::Bytes;

// One resource of an NE module: an integer type (RT_ICON and so on) or, when
// typeName is not empty, a named type; an integer identifier or, when name is
// not empty, a name. Names are written as given, at most 255 bytes of them
// (real modules' names are upper case, as the resource compiler leaves those
// of PE modules).
struct NeResourceSpec {
    unsigned type;  // unused when typeName is not empty
    unsigned id;
    std::string name;
    Bytes bytes;
    // Last, and with an initialiser, so that {type, id, name, bytes} is still
    // a whole resource of an integer type.
    std::string typeName = "";
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
// of their first resource; entries keep the order given. A named type's block
// and a named entry point at their names, which follow the table in table order.
NeImage WriteNeModule(const std::vector<NeResourceSpec>& resources, unsigned shift);

// Every resource of a PE module: its types in the order EnumResourceTypesA
// delivers them (named types first), each type's resources in the order of
// EnumResourceNamesA, so that the NE module made of them holds its types in
// the same order and numbers its items as the PE module does. Icon and cursor
// images come along as the module's own types 3 and 1.
std::vector<NeResourceSpec> ResourcesOfPeModule(const std::string& path);

}  // namespace netest
