// Path parsing and joining over code page 932 texts: the file name, folder and
// extension of a path, and joining a relative path onto a base with "." and
// ".." steps resolved. Destinations are path buffers of PATH_CAPACITY bytes.
#include "pathpart.h"

#include <string.h>

#include "bounded.h"
#include "compat.h"
#include "mbstring.h"

const char* FileNamePart(const char* path) {
    const char* separator = FindLastSeparator(path);
    return separator != nullptr ? separator + 1 : path;
}

char* CutAtLastSeparator(char* path) {
    char* separator = (char*)FindLastSeparator(path);
    if (separator == nullptr) return path;
    *separator = '\0';
    return separator + 1;
}

// A dot is a plain byte: 0x2E is never the second byte of a double-byte
// character, so the last one after the last separator is the extension's.
const char* ExtensionPart(const char* path) {
    const char* name = FileNamePart(path);
    const char* dot = strrchr(name, '.');
    return dot != nullptr ? dot : StringEnd(name);
}

char* StripExtension(char* text) {
    char* dot = (char*)ExtensionPart(text);
    if (*dot != '.') return dot;
    *dot = '\0';
    return dot + 1;
}

void CopyFolderPart(char* dest, const char* path) {
    CopyBounded(dest, PATH_CAPACITY, path);
    CutAtLastSeparator(dest);
}

char* CopyBaseName(char* dest, const char* path) {
    CopyBounded(dest, PATH_CAPACITY, FileNamePart(path));
    return StripExtension(dest);
}

// The text being built by JoinPath and its length in bytes.
struct JoinedPath {
    char* text;
    size_t length;
};

static bool StepIs(const char* step, size_t length, const char* name) {
    return length == strlen(name) && memcmp(step, name, length) == 0;
}

// Appends up to length bytes of piece, cut to the room left before the 521st
// byte at a character boundary, so the text never ends in half a character.
static void AppendStep(JoinedPath* path, const char* piece, size_t length) {
    size_t room = PATH_CAPACITY - 1 - path->length;
    size_t n = 0;
    while (n < length) {
        size_t size = (IsLeadByte((unsigned char)piece[n]) && n + 1 < length) ? 2 : 1;
        if (n + size > room) break;
        n += size;
    }
    memcpy(path->text + path->length, piece, n);
    path->length += n;
    path->text[path->length] = '\0';
}

// One ".." step; false when it runs out of text.
static bool StepUp(JoinedPath* path) {
    if (EndsWithSeparator(path->text)) path->text[--path->length] = '\0';
    if (path->length == 0) return false;
    char* separator = (char*)FindLastSeparator(path->text);
    char* cut = separator != nullptr ? separator : path->text;
    *cut = '\0';
    path->length = (size_t)(cut - path->text);
    return true;
}

static void StepDown(JoinedPath* path, const char* step, size_t length) {
    if (path->length > 0 && !EndsWithSeparator(path->text)) AppendStep(path, "\\", 1);
    AppendStep(path, step, length);
}

bool JoinPath(char* dest, const char* base, const char* relative) {
    CopyBounded(dest, PATH_CAPACITY, base);
    JoinedPath path = {dest, strlen(dest)};
    const char* step = relative;
    for (;;) {
        size_t length = SpanNotInSet(step, "/\\");
        if (StepIs(step, length, "..")) {
            if (!StepUp(&path)) return false;
        } else if (!StepIs(step, length, ".")) {
            StepDown(&path, step, length);
        }
        if (step[length] == '\0') break;
        step += length + 1;
    }
    return true;
}

bool PathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool IsExistingFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

size_t GetModulePath(HMODULE module, char* dest, size_t capacity) {
    if (capacity == 0) return 0;
    DWORD length = GetModuleFileNameA(module, dest, (DWORD)capacity);
    // A path that does not fit comes back cut and, on Windows XP, unterminated.
    if (length == 0 || length >= capacity) {
        dest[0] = '\0';
        return 0;
    }
    dest[length] = '\0';
    return length;
}
