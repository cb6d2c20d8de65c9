// Extraction from 16-bit New Executable (NE) modules, which the loader of a
// 32-bit process refuses: the file is mapped for reading, its resource table
// read by neres.h, and its resources go through the same byte-level
// assemblers, output budget and writer as those of PE modules.
#pragma once

#include "../util/compat.h"
#include "budget.h"
#include "output.h"

// Writes every resource of the integer type (14 icon groups, 12 cursor groups
// or 2 bitmaps) of the NE module at path as a file of the extension, each
// numbered by its place in the module's resource table, drawn from budget and
// written where place says.
// False, writing nothing, when the file is no NE module or cannot be read.
bool ExtractNeResourcesOfType(const char* path, const char* extension, WORD resourceType,
                              OutputBudget* budget, OutputPlace* place);
