// The worker's per-file loop and the resource enumeration it drives.
#pragma once

#include "../util/compat.h"
#include "budget.h"
#include "kinds.h"
#include "output.h"

struct WorkerThread;

// What ExtractionWorker is handed; the caller owns it until the worker ends.
struct ExtractionJob {
    KindMask kindMask;
    int fileCount;
    char** paths;  // fileCount + 1 entries, the last null; each its own heap copy
    // fileCount places set up by the caller, one per path, where the worker
    // notes where that source's files went; null: beside the sources only.
    OutputPlace* places;
};

// Shape of the three assemblers: with a null buffer only measures. Returns the
// byte count of the whole file image, 0 when the resource yields no file.
typedef size_t (*FileAssembler)(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                                LPCSTR type);

// One kind of resource that the worker extracts, in extraction order.
struct ResourceKind {
    KindMask kindBit;       // its bit in the KindMask
    WORD resourceType;      // integer resource type to enumerate
    const char* extension;  // output extension with its dot
    FileAssembler assembler;
};

// State of one enumeration, handed to OnResourceName.
struct ResourceEnumContext {
    unsigned int index;  // running index, consumed by every name delivered
    WORD resourceType;
    const char* extension;
    const char* sourcePath;
    FileAssembler assembler;
    OutputBudget* budget;  // the source's, shared with its other kinds and its RIFF scan
    OutputPlace* place;    // the source's; null: beside it, without fall-back
};

// Thread routine; argument is the ExtractionJob. Always returns 0.
unsigned ExtractionWorker(WorkerThread* thread, void* argument);

// The file loaded as a data file (its code is neither run nor bound), or null
// when the loader refuses it.
HMODULE LoadModuleAsDataFile(const char* path);
// Enumerates the resources of one kind of a loaded module and writes their
// files. A resource whose file would overdraw the budget is not written; its
// index stays consumed. The index starts at 0 for every kind.
void ExtractResourcesOfKind(HMODULE module, const char* path, const ResourceKind& kind,
                            OutputBudget* budget, OutputPlace* place);
// Every resource kind that kindMask leaves on, in extraction order, from one
// opening of the file (loaded as a module, or read as a 16-bit NE module where
// the loader refuses it), testing for cancel before each kind (thread may be
// null: no cancel); the files go where place says (null: beside the source).
// False when the file is neither.
bool ExtractResourcesOfFile(const char* path, KindMask kindMask, OutputBudget* budget,
                            OutputPlace* place, WorkerThread* thread);
// One kind from a load of its own. A null budget stands for a fresh one for
// this source alone.
bool ExtractResourcesOfType(const char* path, const char* extension, FileAssembler assembler,
                            WORD resourceType, OutputBudget* budget = nullptr,
                            OutputPlace* place = nullptr);
// The EnumResourceNamesA callback; context is a ResourceEnumContext. Always TRUE.
BOOL CALLBACK OnResourceName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context);
// Pointer to the resource's bytes and, when size is given, the count of them
// that may be read: SizeofResource, cut to the readable pages of the module's
// mapping that follow the data (0 when the resource is not found).
const void* LockResourceData(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size);
