// Extraction from 16-bit New Executable (NE) modules, which the loader of a
// 32-bit process refuses: the file is mapped for reading, its resource table
// read by neres.h, and its resources go through the same byte-level
// assemblers, output budget and writer as those of PE modules.
#pragma once

#include "../util/compat.h"
#include "budget.h"
#include "neres.h"
#include "output.h"

// A NE module mapped whole for reading; nobody may write the file while it is
// mapped (a file cut under a mapping would fault on the next read).
struct MappedFile {
    HANDLE file;
    HANDLE mapping;
    const unsigned char* bytes;
    size_t size;
};
struct NeFile {
    MappedFile mapped;
    NeModule module;
};

// Maps the file once for all its kinds. False, with nothing left open, when it
// is no NE module or cannot be read.
bool OpenNeFile(const char* path, NeFile* ne);
void CloseNeFile(NeFile* ne);

// Writes every resource of the integer type (14 icon groups, 12 cursor groups
// or 2 bitmaps) of the opened module as a file of the extension beside path,
// each numbered by its place in the module's resource table, drawn from budget
// and written where place says.
void ExtractNeResourcesOfKind(const NeFile* ne, const char* path, const char* extension,
                              WORD resourceType, OutputBudget* budget, OutputPlace* place);
