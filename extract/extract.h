// The worker's per-file loop and the resource enumeration it drives.
#pragma once

#include "../util/compat.h"

struct WorkerThread;

// Kinds that the command line switched off: one bit a resource kind and one a
// RIFF form.
typedef unsigned int KindMask;
enum {
    KIND_ICON = 0x01,
    KIND_CURSOR = 0x02,
    KIND_BITMAP = 0x04,
    KIND_AVI = 0x08,
    KIND_WAVE = 0x10,
    KIND_ANICURSOR = 0x20,
};

// What ExtractionWorker is handed; the caller owns it until the worker ends.
struct ExtractionJob {
    KindMask kindMask;
    int fileCount;
    char** paths;  // fileCount + 1 entries, the last null; each its own heap copy
};

// Shape of the three assemblers: with a null buffer only measures. Returns the
// byte count of the whole file image, 0 when the resource yields no file.
typedef size_t (*FileAssembler)(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                                LPCSTR type);

// One kind of resource that the worker extracts, in extraction order.
struct ResourceKind {
    KindMask kindBit;      // its bit in the KindMask
    WORD resourceType;     // integer resource type to enumerate
    const char* extension; // output extension with its dot
    FileAssembler assembler;
};

// State of one enumeration, handed to OnResourceName.
struct ResourceEnumContext {
    unsigned int index;  // running index, consumed by every name delivered
    WORD resourceType;
    const char* extension;
    const char* sourcePath;
    FileAssembler assembler;
};

// Thread routine; argument is the ExtractionJob. Always returns 0.
unsigned ExtractionWorker(WorkerThread* thread, void* argument);

bool ExtractResourcesOfType(const char* path, const char* extension, FileAssembler assembler,
                            WORD resourceType);
// The EnumResourceNamesA callback; context is a ResourceEnumContext. Always TRUE.
BOOL CALLBACK OnResourceName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context);
// Pointer to the resource's bytes and, when size is given, its real size
// (0 when the resource is not found).
const void* LockResourceData(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size);
