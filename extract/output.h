// Naming and writing of output files: a folder beside the source named after
// it, and in it "<source ext><index as %04x><kind ext>". Where the folder beside
// the source is refused, a fresh folder of the same name under a fall-back root
// (the user's Desktop) takes that source's files.
#pragma once

#include <stdio.h>

#include "../util/bounded.h"
#include "../util/compat.h"

// Creates one folder; the same shape as CreateDirectoryA, so that a test can
// stand in for a file system that refuses.
typedef BOOL(WINAPI* FolderCreator)(LPCSTR folder, LPSECURITY_ATTRIBUTES security);

enum OutputPlaceState {
    OUTPUT_UNDECIDED,  // no file of the source has been opened yet
    OUTPUT_BESIDE,     // the files go into the folder beside the source
    OUTPUT_FALLBACK,   // refused there; the files go into folder, under the root
    OUTPUT_NOWHERE,    // refused there and under the root: nothing is written
};

// Where the files of one source go: decided at the first file that is opened
// and kept for all of the source's later files. The worker fills it; whoever
// started the job reads it after the worker has ended.
//
// A folder source has one place of its own, which stands for the one folder
// under the root that mirrors its tree (decided at the first of its files that
// falls back), and each of its files a place of its own whose tree points at it.
struct OutputPlace {
    const char* fallbackRoot;    // borrowed; null or "" when there is no fall-back
    FolderCreator createFolder;  // null: CreateDirectoryA
    OutputPlaceState state;
    char folder[PATH_CAPACITY];  // the folder in use once decided, else ""
    OutputPlace* tree;           // a folder source's file: that source's place; else null
    const char* treeRoot;        // a folder source's place: the folder as given (borrowed)
    unsigned nothingWritten;     // a folder source's place: its files refused under the root too
};

// An undecided place that falls back under fallbackRoot (may be null).
void InitOutputPlace(OutputPlace* place, const char* fallbackRoot);
// The place of one file of the folder source whose place is tree: it falls back,
// like the tree, into the tree's mirror folder.
void InitTreeFilePlace(OutputPlace* place, OutputPlace* tree);
// Called after the source's last file: a fall-back folder that received no file
// is removed again, and the place then says that nothing was written; a file
// of a folder source for which nothing could be written is counted in its tree.
void FinishOutputPlace(OutputPlace* place);

// Writes the whole buffer; false when the file could not be opened or not be
// written completely, in which case no file is left behind. A null place stands
// for a fresh one without fall-back for this file alone.
bool WriteOutputFile(const char* sourcePath, const void* buffer, size_t byteCount,
                     const char* kindExtension, unsigned int index, OutputPlace* place = nullptr);

// Opens the output file ("wb"), creating the folder on demand; the full path
// goes to outputPath (522 bytes) when it is given, so that a caller that writes
// in pieces can remove a partial file. Null when it cannot be opened.
FILE* OpenOutputFile(const char* sourcePath, const char* kindExtension, unsigned int index,
                     char* outputPath, OutputPlace* place = nullptr);
// Closes a stream from OpenOutputFile; when ok is false or the close fails the
// file is removed. Returns whether the file was kept.
bool FinishOutputFile(FILE* stream, const char* outputPath, bool ok);

// folder (522 bytes) = the source's folder joined with its base name.
void OutputFolderFor(const char* sourcePath, char* folder);
