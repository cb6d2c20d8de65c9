// Splitting of the process's command line into one heap block that holds the
// pointer table and all argument texts.
#pragma once

#include <stddef.h>

// Returns the block (argc + 1 pointers, the last null, then the texts), or null
// when it cannot be allocated. *argc counts the program name, so it is >= 1.
// The caller frees the block with one free().
char** SplitCommandLine(const char* commandLine, int* argc);
// The counting pass alone: the exact size of the block that SplitCommandLine
// allocates for this line, with the argument count in *argc.
size_t CommandLineBlockSize(const char* commandLine, int* argc);
// The same rules over the wide command line, in a block of the same layout.
wchar_t** SplitCommandLineW(const wchar_t* commandLine, int* argc);

enum RunMode { RUN_EXTRACTION = 1, RUN_ASSOCIATION = 2 };
RunMode ChooseRunMode(int argc);
