// The body of an extraction job: for every file, its icon groups, cursor groups
// and bitmaps from one load of the file, through the assemblers and the output
// writer, then the scan for embedded RIFF streams. It shows and reports
// nothing.
#include "extract.h"

#include <objbase.h>
#include <stdlib.h>

#include "../util/pathpart.h"
#include "../util/worker.h"
#include "assemble.h"
#include "neextract.h"
#include "output.h"
#include "riff.h"

// The order of the rows is the order of extraction within a file.
static const ResourceKind RESOURCE_KINDS[] = {
    {KIND_ICON, 14, ".ico", AssembleIconFile},      // RT_GROUP_ICON
    {KIND_CURSOR, 12, ".cur", AssembleCursorFile},  // RT_GROUP_CURSOR
    {KIND_BITMAP, 2, ".bmp", AssembleBitmapFile},   // RT_BITMAP
};

static bool IsReadableRegion(const MEMORY_BASIC_INFORMATION& region) {
    return region.State == MEM_COMMIT && region.Protect != 0 &&
           (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) == 0;
}

// Bytes from data to the end of the readable pages of the same allocation
// (the module's mapping), 0 when data itself cannot be read.
static SIZE_T MappedBytesFrom(const void* data) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(data, &region, sizeof(region)) != sizeof(region)) return 0;
    if (!IsReadableRegion(region)) return 0;
    void* allocation = region.AllocationBase;
    const char* end = (const char*)region.BaseAddress + region.RegionSize;
    // An image mapping is made of one region per section, each with its own
    // protection; a data file mapping is a single region.
    while (VirtualQuery(end, &region, sizeof(region)) == sizeof(region) &&
           region.AllocationBase == allocation && IsReadableRegion(region))
        end = (const char*)region.BaseAddress + region.RegionSize;
    return (SIZE_T)(end - (const char*)data);
}

const void* LockResourceData(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size) {
    if (size != nullptr) *size = 0;
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) return nullptr;
    const void* data = LockResource(loaded);
    if (data == nullptr || size == nullptr) return data;
    // The loader takes the size from the resource directory without checking it
    // against the file: a crafted entry may declare far more than was mapped.
    DWORD declared = SizeofResource(module, found);
    SIZE_T mapped = MappedBytesFrom(data);
    *size = declared < mapped ? declared : (DWORD)mapped;
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
    if (!TakeFromBudget(enumeration->budget, size)) return TRUE;
    void* block = malloc(size);
    if (block == nullptr) return TRUE;
    if (enumeration->assembler(block, size, module, name, resourceType) == size)
        WriteOutputFile(enumeration->sourcePath, block, size, enumeration->extension, index,
                        enumeration->place);
    free(block);
    return TRUE;
}

HMODULE LoadModuleAsDataFile(const char* path) {
    return LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_WITH_ALTERED_SEARCH_PATH);
}

void ExtractResourcesOfKind(HMODULE module, const char* path, const ResourceKind& kind,
                            OutputBudget* budget, OutputPlace* place) {
    ResourceEnumContext context = {
        0, kind.resourceType, kind.extension, path, kind.assembler, budget, place};
    EnumResourceNamesA(module, MAKEINTRESOURCEA(kind.resourceType), OnResourceName,
                       (LONG_PTR)&context);
}

bool ExtractResourcesOfType(const char* path, const char* extension, FileAssembler assembler,
                            WORD resourceType, OutputBudget* budget, OutputPlace* place) {
    HMODULE module = LoadModuleAsDataFile(path);
    if (module == nullptr) return false;
    OutputBudget own;
    if (budget == nullptr) {
        own = OutputBudgetFor(FileSize64ByName(path));
        budget = &own;
    }
    ResourceKind kind = {0, resourceType, extension, assembler};
    ExtractResourcesOfKind(module, path, kind, budget, place);
    FreeLibrary(module);
    return true;
}

// A module opened once for all its kinds: through the loader, or, where the
// loader refuses it, as a 16-bit module whose resource table is read here.
struct OpenedModule {
    HMODULE pe;
    bool isNe;
    NeFile ne;
};

static bool OpenModuleFile(const char* path, OpenedModule* module) {
    module->pe = LoadModuleAsDataFile(path);
    module->isNe = module->pe == nullptr && OpenNeFile(path, &module->ne);
    return module->pe != nullptr || module->isNe;
}

static void CloseModuleFile(OpenedModule* module) {
    if (module->pe != nullptr) FreeLibrary(module->pe);
    if (module->isNe) CloseNeFile(&module->ne);
}

// The module is opened when the first kind that is on comes up, so that a
// cancel before it, or a mask with every kind off, opens nothing; one opening
// then serves all three kinds.
bool ExtractResourcesOfFile(const char* path, KindMask kindMask, OutputBudget* budget,
                            OutputPlace* place, WorkerThread* thread) {
    OpenedModule module;
    bool opened = false;
    for (const ResourceKind& kind : RESOURCE_KINDS) {
        if (thread != nullptr && IsWorkerThreadCancelled(thread)) break;
        if (kindMask & kind.kindBit) continue;
        if (!opened && !OpenModuleFile(path, &module)) return false;
        opened = true;
        if (module.isNe)
            ExtractNeResourcesOfKind(&module.ne, path, kind.extension, kind.resourceType, budget,
                                     place);
        else
            ExtractResourcesOfKind(module.pe, path, kind, budget, place);
    }
    if (opened) CloseModuleFile(&module);
    return true;
}

// Cancel tests come between units of work only: an enumeration or a scan that
// has begun runs to its end. All output of the source draws from one budget,
// in extraction order.
static void ExtractFile(WorkerThread* thread, const char* path, KindMask kindMask,
                        OutputPlace* place) {
    OutputBudget budget = OutputBudgetFor(FileSize64ByName(path));
    ExtractResourcesOfFile(path, kindMask, &budget, place, thread);
    if (IsWorkerThreadCancelled(thread)) return;
    if ((kindMask & RiffKindBits()) != RiffKindBits()) {
        RiffScanOptions options = {};
        options.budget = &budget;
        options.place = place;
        ScanRiffStreamsWith(path, kindMask, &options);
    }
}

unsigned ExtractionWorker(WorkerThread* thread, void* argument) {
    const ExtractionJob* job = (const ExtractionJob*)argument;
    CoInitialize(nullptr);
    for (int i = 0; i < job->fileCount; i++) {
        if (IsWorkerThreadCancelled(thread)) break;
        if (!IsExistingFile(job->paths[i])) continue;
        OutputPlace own;
        InitOutputPlace(&own, nullptr);
        OutputPlace* place = job->places != nullptr ? &job->places[i] : &own;
        ExtractFile(thread, job->paths[i], job->kindMask, place);
        FinishOutputPlace(place);
    }
    CoUninitialize();
    return 0;
}
