// Naming and writing of output files: the folder beside the source named after
// it, the "<source ext><index><kind ext>" file name, a write that either leaves
// the whole file behind or none of it, and the fall-back folder for sources
// whose own folder the user may not write in.
#include "output.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "../util/mbstring.h"
#include "../util/pathpart.h"

// "name (2)" up to "name (1000)": more folders of one name under the root
// are surely left over from earlier runs, and nothing is written then.
enum { FALLBACK_FOLDER_LIMIT = 1000 };

// A source without an extension would give its own path as its folder, where
// nothing can be created; its folder takes this after its name instead ("tool"
// gives "tool_pelnore"). Not "_files": Explorer moves and deletes a folder so
// named together with the web page of the same name.
static const char NO_EXTENSION_SUFFIX[] = "_pelnore";

// The name of a source's output folder (522 bytes): its file name without the
// extension, or with the suffix when it has none. The names inside do not
// change with it. False when the name and the suffix do not fit together.
static bool CopyOutputFolderName(char* name, const char* sourcePath) {
    if (*ExtensionPart(sourcePath) != '\0') {
        CopyBaseName(name, sourcePath);
        return true;
    }
    return FormatBounded(name, PATH_CAPACITY, "%s%s", FileNamePart(sourcePath),
                         NO_EXTENSION_SUFFIX) >= 0;
}

void OutputFolderFor(const char* sourcePath, char* folder) {
    char parent[PATH_CAPACITY];
    char base[PATH_CAPACITY];
    CopyFolderPart(parent, sourcePath);
    // A ".." step that runs out of text names no folder at all: leave the text
    // empty so that nothing is created or written under a half-joined path.
    if (!CopyOutputFolderName(base, sourcePath) || !JoinPath(folder, parent, base))
        folder[0] = '\0';
}

static FolderCreator FolderCreatorOf(const OutputPlace* place) {
    return place->createFolder != nullptr ? place->createFolder : CreateDirectoryA;
}

// NO_ERROR when something of that name exists after the call (a plain file
// included: the open in it then fails), else the error of the creation.
static DWORD CreateFolderIfMissing(FolderCreator create, const char* folder) {
    if (PathExists(folder)) return NO_ERROR;
    DWORD error = create(folder, nullptr) ? NO_ERROR : GetLastError();
    if (PathExists(folder)) return NO_ERROR;
    return error != NO_ERROR ? error : ERROR_PATH_NOT_FOUND;
}

// How a file system says that this user may not write there: no right to
// (Program Files or System32 without elevation, a share's permissions), or a
// medium that takes no writes at all (a CD-ROM, a write-protected disk).
static bool IsWriteRefusal(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
           error == ERROR_NETWORK_ACCESS_DENIED;
}

// Opens folder\name for writing, the folder created if need be. On failure,
// refused says whether the folder turned the write down, as opposed to
// something in the way (a plain file where the folder should be, or a
// read-only file or a folder of the output's own name).
static FILE* OpenInFolder(FolderCreator create, const char* folder, const char* name, char* path,
                          bool* refused) {
    *refused = false;
    path[0] = '\0';
    DWORD error = CreateFolderIfMissing(create, folder);
    if (error != NO_ERROR) {
        *refused = IsWriteRefusal(error);
        return nullptr;
    }
    if (!JoinPath(path, folder, name)) return nullptr;
    FILE* stream = fopen(path, "wb");
    // The runtime keeps the system's error code of a failed open in _doserrno;
    // a new file that may not be created means the folder refuses.
    if (stream == nullptr) *refused = IsWriteRefusal((DWORD)_doserrno) && !PathExists(path);
    return stream;
}

// The open in a folder that the source's first file has already proved: no
// check or creation per file, which costs a file-system query each time. Only
// when the open fails (the folder removed meanwhile, something in the way) does
// the checking way run, creating the folder again as the first file did.
static FILE* OpenInDecidedFolder(FolderCreator create, const char* folder, const char* name,
                                 char* path, bool* refused) {
    *refused = false;
    if (JoinPath(path, folder, name)) {
        FILE* stream = fopen(path, "wb");
        if (stream != nullptr) return stream;
    }
    return OpenInFolder(create, folder, name, path, refused);
}

// A folder under the fall-back root that this call creates itself: the
// source's base name, else "name (2)", "name (3)"... A folder that exists
// already, left by an earlier run or made for another source of this job with
// the same name, is never taken, so no two sources' files mix.
static bool ClaimFallbackFolder(OutputPlace* place, const char* base) {
    if (place->fallbackRoot == nullptr || place->fallbackRoot[0] == '\0') return false;
    // "", "." and ".." would name the root itself or its parent.
    if (base[0] == '\0' || strcmp(base, ".") == 0 || strcmp(base, "..") == 0) return false;
    FolderCreator create = FolderCreatorOf(place);
    for (int number = 1; number <= FALLBACK_FOLDER_LIMIT; number++) {
        char name[PATH_CAPACITY];
        int length = number == 1 ? FormatBounded(name, sizeof(name), "%s", base)
                                 : FormatBounded(name, sizeof(name), "%s (%d)", base, number);
        char folder[PATH_CAPACITY];
        if (length < 0 || !JoinPath(folder, place->fallbackRoot, name)) return false;
        if (create(folder, nullptr)) {
            CopyBounded(place->folder, PATH_CAPACITY, folder);
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

void InitOutputPlace(OutputPlace* place, const char* fallbackRoot) {
    place->fallbackRoot = fallbackRoot;
    place->createFolder = nullptr;
    place->state = OUTPUT_UNDECIDED;
    place->folder[0] = '\0';
    place->tree = nullptr;
    place->treeRoot = nullptr;
    place->nothingWritten = 0;
}

void InitTreeFilePlace(OutputPlace* place, OutputPlace* tree) {
    InitOutputPlace(place, tree->fallbackRoot);
    place->createFolder = tree->createFolder;
    place->tree = tree;
}

void FinishOutputPlace(OutputPlace* place) {
    // Only an empty folder can be removed: one that kept a file stays.
    if (place->state == OUTPUT_FALLBACK && RemoveDirectoryA(place->folder)) {
        place->state = OUTPUT_NOWHERE;
        place->folder[0] = '\0';
    }
    if (place->tree != nullptr && place->state == OUTPUT_NOWHERE) place->tree->nothingWritten++;
}

// The last step of a path: a folder given with a trailing separator (a drive's
// root) has none, and then no name to claim.
static void CopyLastStep(char* dest, const char* path) {
    CopyBounded(dest, PATH_CAPACITY, EndsWithSeparator(path) ? "" : FileNamePart(path));
}

// Creates every missing folder of path below the existing folder top.
static bool CreateFoldersBelow(FolderCreator create, const char* top, const char* path) {
    char prefix[PATH_CAPACITY];
    CopyBounded(prefix, sizeof(prefix), path);
    for (char* p = prefix + strlen(top); *p != '\0'; p = NextChar(p)) {
        if (*p != '\\' || p == prefix + strlen(top)) continue;
        *p = '\0';
        bool made = CreateFolderIfMissing(create, prefix) == NO_ERROR;
        *p = '\\';
        if (!made) return false;
    }
    return CreateFolderIfMissing(create, prefix) == NO_ERROR;
}

// A file of a folder source that falls back goes into the one folder under the
// root that mirrors its source's tree: claimed, under the given folder's name,
// at the first such file; the folders between it and the file's own are made
// as needed, and files of one base name share one, as they do beside.
static bool PlaceInTree(OutputPlace* place, const char* sourcePath) {
    OutputPlace* tree = place->tree;
    if (tree->state == OUTPUT_UNDECIDED) {
        char name[PATH_CAPACITY];
        CopyLastStep(name, tree->treeRoot);
        tree->state =
            name[0] != '\0' && ClaimFallbackFolder(tree, name) ? OUTPUT_FALLBACK : OUTPUT_NOWHERE;
    }
    if (tree->state != OUTPUT_FALLBACK) return false;
    char parent[PATH_CAPACITY], base[PATH_CAPACITY];
    CopyFolderPart(parent, sourcePath);
    if (!CopyOutputFolderName(base, sourcePath)) return false;
    size_t rootLength = strlen(tree->treeRoot);
    if (EndsWithSeparator(tree->treeRoot)) rootLength--;
    if (strlen(parent) < rootLength) return false;
    const char* below = parent + rootLength;  // "" or "\\sub\\deeper"
    if (FormatBounded(place->folder, PATH_CAPACITY, "%s%s\\%s", tree->folder, below, base) < 0)
        return false;
    return CreateFoldersBelow(FolderCreatorOf(place), tree->folder, place->folder);
}

// The first file of a source decides where all of them go: beside it when that
// folder takes the file, under the fall-back root when it refuses.
static FILE* OpenInPlace(OutputPlace* place, const char* sourcePath, const char* name, char* path) {
    FolderCreator create = FolderCreatorOf(place);
    bool refused = false;
    if (place->state == OUTPUT_BESIDE || place->state == OUTPUT_FALLBACK)
        return OpenInDecidedFolder(create, place->folder, name, path, &refused);
    if (place->state == OUTPUT_UNDECIDED) {
        char folder[PATH_CAPACITY];
        OutputFolderFor(sourcePath, folder);
        FILE* stream = OpenInFolder(create, folder, name, path, &refused);
        if (stream != nullptr) {
            place->state = OUTPUT_BESIDE;
            CopyBounded(place->folder, PATH_CAPACITY, folder);
        }
        if (stream != nullptr || !refused) return stream;
        char base[PATH_CAPACITY];
        bool placed = place->tree != nullptr ? PlaceInTree(place, sourcePath)
                                             : CopyOutputFolderName(base, sourcePath) &&
                                                   ClaimFallbackFolder(place, base);
        if (!placed) {
            place->state = OUTPUT_NOWHERE;
            return nullptr;
        }
        place->state = OUTPUT_FALLBACK;
        return OpenInFolder(create, place->folder, name, path, &refused);
    }
    return nullptr;
}

FILE* OpenOutputFile(const char* sourcePath, const char* kindExtension, unsigned int index,
                     char* outputPath, OutputPlace* place) {
    if (outputPath != nullptr) outputPath[0] = '\0';
    OutputPlace own;
    if (place == nullptr) {
        InitOutputPlace(&own, nullptr);
        place = &own;
    }
    const char* sourceExtension = ExtensionPart(sourcePath);
    if (*sourceExtension == '.') sourceExtension++;
    char name[PATH_CAPACITY];
    // A cut name would be some other file: refuse it rather than write there.
    if (FormatBounded(name, sizeof(name), "%s%04x%s", sourceExtension, index, kindExtension) < 0)
        return nullptr;

    char path[PATH_CAPACITY];
    FILE* stream = OpenInPlace(place, sourcePath, name, path);
    if (stream != nullptr && outputPath != nullptr) CopyBounded(outputPath, PATH_CAPACITY, path);
    return stream;
}

bool FinishOutputFile(FILE* stream, const char* outputPath, bool ok) {
    // fclose flushes the last buffered bytes, so a full disk may show only here.
    bool closed = fclose(stream) == 0;
    if (ok && closed) return true;
    if (outputPath != nullptr && outputPath[0] != '\0') DeleteFileA(outputPath);
    return false;
}

bool WriteOutputFile(const char* sourcePath, const void* buffer, size_t byteCount,
                     const char* kindExtension, unsigned int index, OutputPlace* place) {
    char path[PATH_CAPACITY];
    FILE* stream = OpenOutputFile(sourcePath, kindExtension, index, path, place);
    if (stream == nullptr) return false;
    bool written = fwrite(buffer, 1, byteCount, stream) == byteCount;
    return FinishOutputFile(stream, path, written);
}
