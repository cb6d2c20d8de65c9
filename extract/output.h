// Naming and writing of output files: a folder beside the source named after
// it, and in it "<source ext><index as %04x><kind ext>".
#pragma once

#include <stdio.h>

#include "../util/compat.h"

// Writes the whole buffer; false when the file could not be opened or not be
// written completely, in which case no file is left behind.
bool WriteOutputFile(const char* sourcePath, const void* buffer, size_t byteCount,
                     const char* kindExtension, unsigned int index);

// Opens the output file ("wb"), creating the folder on demand; the full path
// goes to outputPath (522 bytes) when it is given, so that a caller that writes
// in pieces can remove a partial file. Null when it cannot be opened.
FILE* OpenOutputFile(const char* sourcePath, const char* kindExtension, unsigned int index,
                     char* outputPath);
// Closes a stream from OpenOutputFile; when ok is false or the close fails the
// file is removed. Returns whether the file was kept.
bool FinishOutputFile(FILE* stream, const char* outputPath, bool ok);

// folder (522 bytes) = the source's folder joined with its base name.
void OutputFolderFor(const char* sourcePath, char* folder);
bool EnsureFolder(const char* folder);
