// Path parsing and joining over code page 932 texts. Separators are backslashes
// that are one-byte characters; dots are plain bytes (0x2E is never a trail byte).
// Also the file-system questions about a path: whether it exists, and the path
// of a loaded module.
#pragma once

#include <stddef.h>

#include "compat.h"

// Just after the last separator; the start when there is none.
const char* FileNamePart(const char* path);
// Terminates at the last separator and returns what followed it; without a
// separator the text is unchanged and the result is its start.
char* CutAtLastSeparator(char* path);
// The last dot after the last separator, or the terminator.
const char* ExtensionPart(const char* path);
// Terminates at the dot ExtensionPart finds and returns the position after it;
// without a dot the text is unchanged and the result is its end.
char* StripExtension(char* text);
// Path copied into dest (522 bytes) and cut at its last separator.
void CopyFolderPart(char* dest, const char* path);
// File name of path copied into dest (522 bytes) without its extension.
char* CopyBaseName(char* dest, const char* path);
// base joined with relative into dest (522 bytes), resolving "." and ".."
// steps; false when a ".." step runs out of text.
bool JoinPath(char* dest, const char* base, const char* relative);

// A file or folder of that name exists.
bool PathExists(const char* path);
// A file (not a folder) of that name exists.
bool IsExistingFile(const char* path);
// The full path of module (null: the program's own file) in dest, which holds
// capacity bytes, always terminated when capacity is not 0. Returns the path's
// length, or 0 with dest empty when the system gives no path or the path does
// not fit: a cut path would name another file.
size_t GetModulePath(HMODULE module, char* dest, size_t capacity);
