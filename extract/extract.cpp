// The body of an extraction job: for every file, its icon groups, cursor groups
// and bitmaps through the assemblers, then the pictures and sounds that other
// resource types hold, written as they are, then the scan for embedded RIFF
// streams. One resource source serves 32-, 64- and 16-bit modules alike. It
// shows and reports nothing.
#include "extract.h"

#include <objbase.h>
#include <stdlib.h>

#include "../util/bounded.h"
#include "../util/mbstring.h"
#include "../util/pathpart.h"
#include "../util/worker.h"
#include "../util/wow64fs.h"
#include "assemble.h"
#include "content.h"
#include "output.h"
#include "riff.h"
#include "walk.h"

namespace {

// One kind of resource written through an assembler. The order of the rows is
// the order of extraction within a file.
struct ResourceKind {
    int kind;           // an OutputKindId
    LPCSTR type;        // integer resource type enumerated
    LPCSTR imagesType;  // the type of the images its groups name; null: none
    ResourceAssembler assemble;
};

const ResourceKind RESOURCE_KINDS[] = {
    {OUTPUT_ICON, RT_GROUP_ICON, RT_ICON, AssembleIconFile},
    {OUTPUT_CURSOR, RT_GROUP_CURSOR, RT_CURSOR, AssembleCursorFile},
    {OUTPUT_BITMAP, RT_BITMAP, nullptr, AssembleBitmapFile},
};
// The resource types are the system's pointers, which cannot be compared at
// compile time; a kind without a row, or one row too many, still fails here.
static_assert(sizeof(RESOURCE_KINDS) / sizeof(RESOURCE_KINDS[0]) ==
                  (size_t)CountKinds(KindBitsOfWay(WAY_ASSEMBLED)),
              "every assembled kind has a row here");

WORD TypeId(LPCSTR type) {
    return (WORD)(uintptr_t)type;
}

bool IsCancelled(const SourceExtraction* x) {
    return x->thread != nullptr && IsWorkerThreadCancelled(x->thread);
}

// The bytes of a resource in the mapped file, as the scan's range.
void NoteResourceRange(const SourceExtraction* x, const ResourceSource* source,
                       ResourceSpan resource) {
    if (x->ranges == nullptr || resource.bytes == nullptr) return;
    int64_t start = (int64_t)(resource.bytes - source->mapped.bytes);
    AddByteRange(x->ranges, start, start + (int64_t)resource.size);
}

bool WriteWithinBudget(const SourceExtraction* x, const void* bytes, size_t size,
                       const char* extension, unsigned index) {
    if (!TakeFromBudget(x->budget, size)) return false;
    return WriteOutputFile(x->namingPath, bytes, size, extension, index, x->place);
}

// Measure, then fill a block of exactly that size: one allocation per file.
bool WriteAssembled(const ResourceSource* source, const ResourceKind& kind, ResourceSpan resource,
                    const SourceExtraction* x, unsigned index) {
    size_t size = kind.assemble(nullptr, resource, source);
    if (size == 0 || !TakeFromBudget(x->budget, size)) return false;
    unsigned char* block = (unsigned char*)malloc(size);
    if (block == nullptr) return false;
    bool written = kind.assemble(block, resource, source) == size &&
                   WriteOutputFile(x->namingPath, block, size, OUTPUT_KINDS[kind.kind].extension,
                                   index, x->place);
    free(block);
    return written;
}

// ---------------------------------------------------------------- the resource kinds

struct KindPass {
    const ResourceSource* source;
    const ResourceKind* kind;
    const SourceExtraction* extraction;
    unsigned* index;  // the kind's next index, numbered as its row says
};

bool OnKindResource(void* context, LPCSTR name, ResourceSpan bytes) {
    PELNORE_UNUSED(name);
    KindPass* pass = (KindPass*)context;
    bool written = WriteAssembled(pass->source, *pass->kind, bytes, pass->extraction, *pass->index);
    if (written || OUTPUT_KINDS[pass->kind->kind].numbering == NUMBER_EACH_RESOURCE) ++*pass->index;
    // The scan leaves the bytes of what was written alone: a bitmap, a group.
    if (written) NoteResourceRange(pass->extraction, pass->source, bytes);
    return true;
}

bool OnImageResource(void* context, LPCSTR name, ResourceSpan bytes) {
    PELNORE_UNUSED(name);
    const KindPass* pass = (const KindPass*)context;
    NoteResourceRange(pass->extraction, pass->source, bytes);
    return true;
}

// The language that the loader would pick for each resource first, at the
// indexes it always had; then every other language, numbered on.
void ExtractKind(const ResourceSource* source, const ResourceKind& kind,
                 const SourceExtraction* x) {
    KindPass pass = {source, &kind, x, &x->indexes->next[kind.kind]};
    ResourceType type = IntegerResourceType(TypeId(kind.type));
    EnumSourceResources(source, &type, OnKindResource, &pass);
    if (!IsCancelled(x)) EnumSourceOtherLanguages(source, &type, OnKindResource, &pass);
}

// Every icon and cursor image stays inside its .ico or .cur, assembled or
// switched off: the PNG of a 256-pixel icon is no picture of its own.
void NoteImageRanges(const ResourceSource* source, const SourceExtraction* x) {
    if (x->ranges == nullptr) return;
    for (const ResourceKind& kind : RESOURCE_KINDS) {
        if (kind.imagesType == nullptr) continue;
        KindPass pass = {source, &kind, x, nullptr};
        ResourceType type = IntegerResourceType(TypeId(kind.imagesType));
        EnumSourceResources(source, &type, OnImageResource, &pass);
        EnumSourceOtherLanguages(source, &type, OnImageResource, &pass);
    }
}

// ---------------------------------------------------------------- resources by content

// The types that the resource kinds read, their groups' images included.
bool IsResourceKindType(const ResourceType* type) {
    if (!IS_INTRESOURCE(type->id)) return false;
    WORD id = TypeId(type->id);
    for (const ResourceKind& kind : RESOURCE_KINDS)
        if (id == TypeId(kind.type) ||
            (kind.imagesType != nullptr && id == TypeId(kind.imagesType)))
            return true;
    return false;
}

struct ContentPass {
    const ResourceSource* source;
    const SourceExtraction* extraction;
    bool otherLanguages;  // the second pass: every language but the loader's
};

// Each kind is numbered on from the ways before it, counting only the files
// written, so that its names run without gaps.
bool OnContentResource(void* context, LPCSTR name, ResourceSpan bytes) {
    PELNORE_UNUSED(name);
    ContentPass* pass = (ContentPass*)context;
    const SourceExtraction* x = pass->extraction;
    if (bytes.bytes == nullptr) return true;
    const ContentFormat* format = RecogniseContent(bytes.bytes, bytes.size);
    if (format == nullptr || (x->kindMask & KindBit(format->kind)) != 0) return true;
    unsigned* index = &x->indexes->next[format->kind];
    if (WriteWithinBudget(x, bytes.bytes, bytes.size, OUTPUT_KINDS[format->kind].extension,
                          *index)) {
        ++*index;
        NoteResourceRange(x, pass->source, bytes);
    }
    return true;
}

bool OnContentType(void* context, const ResourceType* type) {
    ContentPass* pass = (ContentPass*)context;
    if (IsCancelled(pass->extraction)) return false;
    if (IsResourceKindType(type)) return true;
    if (pass->otherLanguages)
        EnumSourceOtherLanguages(pass->source, type, OnContentResource, pass);
    else
        EnumSourceResources(pass->source, type, OnContentResource, pass);
    return true;
}

// Every type in the loader's language first, then every type in the others,
// so that each kind's files of other languages come after all of its own.
void ExtractByContent(const ResourceSource* source, const SourceExtraction* x) {
    for (int round = 0; round < 2; round++) {
        ContentPass pass = {source, x, round == 1};
        EnumSourceTypes(source, OnContentType, &pass);
    }
}

// ---------------------------------------------------------------- one file

// Since Windows 10 1903 the resources of many system files (shell32.dll,
// imageres.dll, notepad.exe...) are kept in <Windows>\SystemResources\<file
// name>.mun, while the file itself keeps next to none. For a file directly in
// the Windows folder or one of its system folders for which such a module
// exists, munPath (522 bytes) receives its path.
bool FindSystemResourcesModule(const char* path, char* munPath) {
    char windows[MAX_PATH] = "", system[MAX_PATH] = "", wow64[MAX_PATH] = "";
    UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    UINT systemLength = GetSystemDirectoryA(system, MAX_PATH);
    if (systemLength >= MAX_PATH) system[0] = '\0';
    // Fails, leaving the text empty, on 32-bit Windows, which has no such folder.
    UINT wow64Length = GetSystemWow64DirectoryA(wow64, MAX_PATH);
    if (wow64Length == 0 || wow64Length >= MAX_PATH) wow64[0] = '\0';
    char folder[PATH_CAPACITY];
    CopyFolderPart(folder, path);
    const char* systemFolders[] = {windows, system, wow64};
    bool inSystemFolder = false;
    for (const char* candidate : systemFolders)
        if (candidate[0] != '\0' && StringsEqualNoCase(folder, candidate)) inSystemFolder = true;
    if (!inSystemFolder) return false;
    if (FormatBounded(munPath, PATH_CAPACITY, "%s\\SystemResources\\%s.mun", windows,
                      FileNamePart(path)) < 0)
        return false;
    return IsExistingFile(munPath);
}

bool OpenOnce(const SourceExtraction* x, ResourceSource* source, bool* opened) {
    if (!*opened) *opened = OpenResourceSource(x->readPath, source);
    return *opened;
}

// Cancel tests come between units of work only: an enumeration or a scan that
// has begun runs to its end. All output of the source draws from one budget,
// in extraction order.
void ExtractFile(WorkerThread* thread, const char* path, KindMask kindMask, OutputPlace* place) {
    char munPath[PATH_CAPACITY];
    const char* readPath = FindSystemResourcesModule(path, munPath) ? munPath : path;
    OutputBudget budget = OutputBudgetFor(FileSize64ByName(readPath));
    KindIndexes indexes = {};
    ByteRanges ranges = {};
    KindMask streamBits = KindBitsOfWay(WAY_STREAM);
    SourceExtraction x = {
        readPath, path,   kindMask, &budget,
        place,    thread, &indexes, (kindMask & streamBits) != streamBits ? &ranges : nullptr};
    ExtractResourcesOfFile(&x);
    KindMask scanBits = KindBitsOfWay(WAY_RIFF | WAY_STREAM);
    if (!IsWorkerThreadCancelled(thread) && (kindMask & scanBits) != scanBits) {
        SortByteRanges(&ranges);
        RiffScanOptions options = {};
        options.budget = &budget;
        options.place = place;
        options.namingPath = path;
        options.indexes = &indexes;
        options.excluded = ranges.items;
        options.excludedCount = ranges.count;
        ScanRiffStreamsWith(readPath, kindMask, &options);
    }
    FreeByteRanges(&ranges);
}

bool IsSwitchOf(const char* argument, const char* extension) {
    char text[16];
    return FormatBounded(text, sizeof(text), "/%s:0", extension + 1) > 0 &&
           StringsEqualNoCase(argument, text);
}

}  // namespace

KindMask KindOfSwitch(const char* argument) {
    for (int kind = 0; kind < OUTPUT_KIND_COUNT; kind++)
        if (IsSwitchOf(argument, OUTPUT_KINDS[kind].extension)) return KindBit(kind);
    return 0;
}

// The module is opened when the first kind that is on comes up, so that a
// cancel before it, or a mask with every kind off, opens nothing; one opening
// then serves every kind and the ranges.
bool ExtractResourcesOfFile(const SourceExtraction* given) {
    SourceExtraction x = *given;
    KindIndexes own = {};
    if (x.indexes == nullptr) x.indexes = &own;
    ResourceSource source;
    bool opened = false;
    for (const ResourceKind& kind : RESOURCE_KINDS) {
        if (IsCancelled(&x)) break;
        if (x.kindMask & KindBit(kind.kind)) continue;
        if (!OpenOnce(&x, &source, &opened)) return false;
        ExtractKind(&source, kind, &x);
    }
    KindMask contentBits = KindBitsOfWay(WAY_CONTENT);
    if (!IsCancelled(&x) && (x.kindMask & contentBits) != contentBits) {
        if (!OpenOnce(&x, &source, &opened)) return false;
        ExtractByContent(&source, &x);
    }
    if (!IsCancelled(&x) && x.ranges != nullptr && OpenOnce(&x, &source, &opened))
        NoteImageRanges(&source, &x);
    if (opened) CloseResourceSource(&source);
    return true;
}

void InitJobProgress(JobProgress* progress) {
    InitializeCriticalSection(&progress->lock);
    progress->done = progress->found = 0;
    progress->current[0] = '\0';
}

void DeleteJobProgress(JobProgress* progress) {
    DeleteCriticalSection(&progress->lock);
}

void ReadJobProgress(JobProgress* progress, unsigned* done, unsigned* found, char* current,
                     size_t capacity) {
    EnterCriticalSection(&progress->lock);
    *done = progress->done;
    *found = progress->found;
    CopyBounded(current, capacity, progress->current);
    LeaveCriticalSection(&progress->lock);
}

namespace {

void NoteFound(JobProgress* progress, unsigned count) {
    if (progress == nullptr) return;
    EnterCriticalSection(&progress->lock);
    progress->found += count;
    LeaveCriticalSection(&progress->lock);
}

void NoteFileStarted(JobProgress* progress, const char* path) {
    if (progress == nullptr) return;
    EnterCriticalSection(&progress->lock);
    CopyBounded(progress->current, PATH_CAPACITY, FileNamePart(path));
    LeaveCriticalSection(&progress->lock);
}

// The count and the name change in one step, so that a reader never sees a
// file counted as done while it is still named as the one being read.
void NoteFileDone(JobProgress* progress) {
    if (progress == nullptr) return;
    EnterCriticalSection(&progress->lock);
    progress->done++;
    progress->current[0] = '\0';
    LeaveCriticalSection(&progress->lock);
}

// One source file, given by name or found in a folder.
void ExtractCountedFile(WorkerThread* thread, const ExtractionJob* job, const char* path,
                        OutputPlace* place) {
    NoteFileStarted(job->progress, path);
    ExtractFile(thread, path, job->kindMask, place);
    FinishOutputPlace(place);
    NoteFileDone(job->progress);
}

struct FolderSource {
    WorkerThread* thread;
    const ExtractionJob* job;
    OutputPlace* tree;
};

void OnFolderFilesFound(void* context, unsigned count) {
    NoteFound(((FolderSource*)context)->job->progress, count);
}

// A cancel stops the walk within one file.
bool OnFolderFile(void* context, const char* path) {
    FolderSource* source = (FolderSource*)context;
    if (IsWorkerThreadCancelled(source->thread)) return false;
    OutputPlace place;
    InitTreeFilePlace(&place, source->tree);
    ExtractCountedFile(source->thread, source->job, path, &place);
    return !IsWorkerThreadCancelled(source->thread);
}

unsigned CountFilesByName(const ExtractionJob* job) {
    unsigned files = 0;
    for (int i = 0; i < job->fileCount; i++) files += IsExistingFile(job->paths[i]);
    return files;
}

// The sources of one job or batch, in their order.
void ExtractJobSources(WorkerThread* thread, const ExtractionJob* job, FolderWalk* walk) {
    for (int i = 0; i < job->fileCount; i++) {
        if (IsWorkerThreadCancelled(thread)) break;
        const char* path = job->paths[i];
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        OutputPlace own;
        InitOutputPlace(&own, nullptr);
        OutputPlace* place = job->places != nullptr ? &job->places[i] : &own;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            place->treeRoot = path;
            FolderSource source = {thread, job, place};
            walk->context = &source;
            WalkFolder(path, walk);
            FinishOutputPlace(place);
        } else {
            ExtractCountedFile(thread, job, path, place);
        }
    }
}

const ExtractionJob* TakeNextBatch(const ExtractionJob* job, WorkerThread* thread) {
    if (job->intake == nullptr) return nullptr;
    return job->intake->takeNext(job->intake->context, IsWorkerThreadCancelled(thread));
}

}  // namespace

void NoteJobSourcesFound(const ExtractionJob* job) {
    // Counted as the worker will find them, also on the main thread.
    FileRedirection redirection;
    PauseFileRedirection(&redirection);
    unsigned files = CountFilesByName(job);
    ResumeFileRedirection(&redirection);
    NoteFound(job->progress, files);
}

unsigned ExtractionWorker(WorkerThread* thread, void* argument) {
    const ExtractionJob* job = (const ExtractionJob*)argument;
    CoInitialize(nullptr);
    // The files the user named, not their 32-bit twins: this thread works on
    // files only, with kernel32 and the C runtime, and loads no DLL while the
    // redirection is off.
    FileRedirection redirection;
    PauseFileRedirection(&redirection);
    FolderWalk walk = {};
    // Every folder that this job creates is created after this moment.
    FILETIME workerStart;
    GetSystemTimeAsFileTime(&workerStart);
    walk.onFound = OnFolderFilesFound;
    walk.visit = OnFolderFile;
    NoteJobSourcesFound(job);
    for (const ExtractionJob* batch = job; batch != nullptr; batch = TakeNextBatch(job, thread)) {
        // A folder copied or unpacked after the job began, and handed over
        // later, is a source like any other: each batch is walked from its own
        // start, as the start that handed it over would have walked it.
        bool ownStart = batch->started.dwLowDateTime != 0 || batch->started.dwHighDateTime != 0;
        walk.jobStart = ownStart ? batch->started : workerStart;
        ExtractJobSources(thread, batch, &walk);
    }
    ResumeFileRedirection(&redirection);
    CoUninitialize();
    return 0;
}
