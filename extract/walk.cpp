// The folder walk: one folder listed at a time into a packed block of names,
// sorted, its module files visited, then the first subfolder entered; back up,
// the parent is listed again and the walk goes on with the subfolder that
// follows the one it came from. Only the current folder's path is kept between
// the steps.
#include "walk.h"

#include <stdlib.h>
#include <string.h>

#include "../util/ansipath.h"
#include "../util/bounded.h"
#include "../util/mbstring.h"
#include "../util/pathpart.h"

namespace {

// The module extensions a folder stands for; a file given by name is read
// whatever its extension.
const char* const MODULE_EXTENSIONS[] = {".exe", ".dll", ".ocx", ".cpl", ".scr", ".icl",
                                         ".mun", ".drv", ".fon", ".ax",  ".acm", ".sys"};

struct ListingEntry {
    size_t offset;     // of its terminated name in the listing's text
    const char* name;  // set once the text has stopped growing
    bool folder;
};

// One folder's listing: module files and enterable subfolders.
struct FolderListing {
    char* text;
    size_t textUsed, textCapacity;
    ListingEntry* entries;
    size_t count, capacity;
};

void FreeListing(FolderListing* listing) {
    free(listing->text);
    free(listing->entries);
    *listing = {};
}

// Grows a block to hold at least need units of size; false when memory runs out.
bool Reserve(void** block, size_t* capacity, size_t need, size_t size) {
    if (need <= *capacity) return true;
    size_t grown = *capacity < 64 ? 64 : *capacity * 2;
    while (grown < need) grown *= 2;
    if (grown > SIZE_MAX / size) return false;
    void* moved = realloc(*block, grown * size);
    if (moved == nullptr) return false;
    *block = moved;
    *capacity = grown;
    return true;
}

bool AddEntry(FolderListing* listing, const char* name, bool folder) {
    size_t length = strlen(name) + 1;
    if (!Reserve((void**)&listing->text, &listing->textCapacity, listing->textUsed + length, 1) ||
        !Reserve((void**)&listing->entries, &listing->capacity, listing->count + 1,
                 sizeof(ListingEntry)))
        return false;
    memcpy(listing->text + listing->textUsed, name, length);
    listing->entries[listing->count++] = {listing->textUsed, nullptr, folder};
    listing->textUsed += length;
    return true;
}

// ASCII letters folded, the bytes of double-byte characters compared as they
// are; names equal but for case (a case-sensitive volume) then by their bytes,
// so that the order is total.
int CompareNames(const char* a, const char* b) {
    const unsigned char *p = (const unsigned char*)a, *q = (const unsigned char*)b;
    bool lead = false;
    for (; *p != 0 || *q != 0; p++, q++) {
        unsigned char x = *p, y = *q;
        if (!lead && x >= 'A' && x <= 'Z') x = (unsigned char)(x - 'A' + 'a');
        if (!lead && y >= 'A' && y <= 'Z') y = (unsigned char)(y - 'A' + 'a');
        if (x != y) return x < y ? -1 : 1;
        lead = !lead && IsLeadByte(*p);
    }
    return strcmp(a, b);
}

int CompareEntries(const void* a, const void* b) {
    const ListingEntry* x = (const ListingEntry*)a;
    const ListingEntry* y = (const ListingEntry*)b;
    if (x->folder != y->folder) return x->folder ? 1 : -1;  // files first
    return CompareNames(x->name, y->name);
}

bool IsEarlier(const FILETIME& a, const FILETIME& b) {
    return CompareFileTime(&a, &b) < 0;
}

// The 8-bit name of an entry: exact, else its short name; false without one.
bool EntryName(const WIN32_FIND_DATAW& data, char* name) {
    if (WideToAnsiExact(data.cFileName, name, MAX_PATH)) return true;
    return data.cAlternateFileName[0] != L'\0' &&
           WideToAnsiExact(data.cAlternateFileName, name, MAX_PATH);
}

bool IsDotName(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// The listing of folder, sorted; files are taken only when wanted. Empty when
// the folder cannot be listed.
void ListFolder(const char* folder, bool wantFiles, const FolderWalk* walk,
                FolderListing* listing) {
    listing->textUsed = listing->count = 0;
    char pattern[PATH_CAPACITY];
    WCHAR widePattern[PATH_CAPACITY];
    if (FormatBounded(pattern, sizeof(pattern), "%s\\*", folder) < 0 ||
        MultiByteToWideChar(CP_ACP, 0, pattern, -1, widePattern, PATH_CAPACITY) == 0)
        return;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(widePattern, &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        // The attributes first: a listing taken again on the way back up
        // wants its subfolders only, and a name costs a conversion.
        bool folderEntry = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folderEntry) {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            if (!IsEarlier(data.ftCreationTime, walk->jobStart)) continue;
        } else if (!wantFiles) {
            continue;
        }
        char name[MAX_PATH];
        if (!EntryName(data, name) || IsDotName(name)) continue;
        if (!folderEntry && !IsModuleFileName(name)) continue;
        if (!AddEntry(listing, name, folderEntry)) break;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    for (size_t i = 0; i < listing->count; i++)
        listing->entries[i].name = listing->text + listing->entries[i].offset;
    if (listing->count > 1)
        qsort(listing->entries, listing->count, sizeof(ListingEntry), CompareEntries);
}

// folder\name in path, false when it would not fit the 8-bit file functions.
bool JoinEntry(const char* folder, const char* name, char* path) {
    bool rootWithSeparator = EndsWithSeparator(folder);
    int length =
        FormatBounded(path, PATH_CAPACITY, rootWithSeparator ? "%s%s" : "%s\\%s", folder, name);
    return length > 0 && length < MAX_PATH;
}

// Visits the module files of the listing; false when the walk is to end.
bool VisitFiles(const char* folder, const FolderListing* listing, const FolderWalk* walk) {
    unsigned files = 0;
    for (size_t i = 0; i < listing->count; i++) files += !listing->entries[i].folder;
    if (files > 0 && walk->onFound != nullptr) walk->onFound(walk->context, files);
    for (size_t i = 0; i < listing->count; i++) {
        if (listing->entries[i].folder) continue;
        char path[PATH_CAPACITY];
        if (!JoinEntry(folder, listing->entries[i].name, path)) continue;
        if (!walk->visit(walk->context, path)) return false;
    }
    return true;
}

// The first subfolder of the listing after after (null: the first of all)
// whose path fits; its path goes to next.
bool NextFolder(const char* folder, const FolderListing* listing, const char* after, char* next) {
    for (size_t i = 0; i < listing->count; i++) {
        const char* name = listing->entries[i].name;
        if (!listing->entries[i].folder) continue;
        if (after != nullptr && CompareNames(name, after) <= 0) continue;
        if (JoinEntry(folder, name, next)) return true;
    }
    return false;
}

}  // namespace

bool IsModuleFileName(const char* name) {
    const char* extension = ExtensionPart(name);
    for (const char* known : MODULE_EXTENSIONS)
        if (StringsEqualNoCase(extension, known)) return true;
    return false;
}

void WalkFolder(const char* root, const FolderWalk* walk) {
    char folder[PATH_CAPACITY];
    CopyBounded(folder, sizeof(folder), root);
    size_t rootLength = strlen(folder);
    FolderListing listing = {};
    bool entering = true;
    char cameFrom[PATH_CAPACITY] = "";
    for (;;) {
        ListFolder(folder, entering, walk, &listing);
        if (entering && !VisitFiles(folder, &listing, walk)) break;
        char next[PATH_CAPACITY];
        if (NextFolder(folder, &listing, entering ? nullptr : cameFrom, next)) {
            CopyBounded(folder, sizeof(folder), next);
            entering = true;
            continue;
        }
        // Back up one level; the root is where the walk ends.
        if (strlen(folder) <= rootLength) break;
        CopyBounded(cameFrom, sizeof(cameFrom), FileNamePart(folder));
        CutAtLastSeparator(folder);
        entering = false;
    }
    FreeListing(&listing);
}
