// Stand-in until the real splitter lands: the program name only.
#include "cmdline.h"

#include <stdlib.h>
#include <string.h>

char** SplitCommandLine(const char* commandLine, int* argc) {
    size_t n = strlen(commandLine) + 1;
    char** block = (char**)malloc(2 * sizeof(char*) + n);
    if (block == nullptr) return nullptr;
    char* text = (char*)(block + 2);
    memcpy(text, commandLine, n);
    block[0] = text;
    block[1] = nullptr;
    *argc = 1;
    return block;
}

RunMode ChooseRunMode(int argc) { return argc <= 1 ? RUN_ASSOCIATION : RUN_EXTRACTION; }
