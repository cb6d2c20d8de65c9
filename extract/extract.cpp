// The body of an extraction job: for every file, its icon groups, cursor groups
// and bitmaps through the assemblers and the output writer, then the scan for
// embedded RIFF streams. It shows and reports nothing.
#include "extract.h"

#include <objbase.h>
#include <stdlib.h>

#include "../util/pathpart.h"
#include "../util/worker.h"
#include "assemble.h"
#include "output.h"
#include "riff.h"

// The order of the rows is the order of extraction within a file.
static const ResourceKind RESOURCE_KINDS[] = {
    {KIND_ICON, 14, ".ico", AssembleIconFile},     // RT_GROUP_ICON
    {KIND_CURSOR, 12, ".cur", AssembleCursorFile}, // RT_GROUP_CURSOR
    {KIND_BITMAP, 2, ".bmp", AssembleBitmapFile},  // RT_BITMAP
};

const void* LockResourceData(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size) {
    if (size != nullptr) *size = 0;
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) return nullptr;
    const void* data = LockResource(loaded);
    if (data != nullptr && size != nullptr) *size = SizeofResource(module, found);
    return data;
}

BOOL CALLBACK OnResourceName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context) {
    PELNORE_UNUSED(type);
    ResourceEnumContext* enumeration = (ResourceEnumContext*)context;
    unsigned int index = enumeration->index++;
    LPCSTR resourceType = MAKEINTRESOURCEA(enumeration->resourceType);

    // Measure, then fill a block of exactly that size: one allocation per file.
    size_t size = enumeration->assembler(nullptr, 0, module, name, resourceType);
    if (size == 0) return TRUE;
    void* block = malloc(size);
    if (block == nullptr) return TRUE;
    if (enumeration->assembler(block, size, module, name, resourceType) == size)
        WriteOutputFile(enumeration->sourcePath, block, size, enumeration->extension, index);
    free(block);
    return TRUE;
}

bool ExtractResourcesOfType(const char* path, const char* extension, FileAssembler assembler,
                            WORD resourceType) {
    HMODULE module = LoadLibraryExA(path, nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) return false;
    ResourceEnumContext context = {0, resourceType, extension, path, assembler};
    EnumResourceNamesA(module, MAKEINTRESOURCEA(resourceType), OnResourceName, (LONG_PTR)&context);
    FreeLibrary(module);
    return true;
}

// Cancel tests come between units of work only: an enumeration or a scan that
// has begun runs to its end.
static void ExtractFile(WorkerThread* thread, const char* path, KindMask kindMask) {
    for (const ResourceKind& kind : RESOURCE_KINDS) {
        if (IsWorkerThreadCancelled(thread)) return;
        if (kindMask & kind.kindBit) continue;
        ExtractResourcesOfType(path, kind.extension, kind.assembler, kind.resourceType);
    }
    if (IsWorkerThreadCancelled(thread)) return;
    if ((kindMask & RiffKindBits()) != RiffKindBits()) ScanRiffStreams(path, kindMask);
}

unsigned ExtractionWorker(WorkerThread* thread, void* argument) {
    const ExtractionJob* job = (const ExtractionJob*)argument;
    CoInitialize(nullptr);
    for (int i = 0; i < job->fileCount; i++) {
        if (IsWorkerThreadCancelled(thread)) break;
        if (!IsExistingFile(job->paths[i])) continue;
        ExtractFile(thread, job->paths[i], job->kindMask);
    }
    CoUninitialize();
    return 0;
}
