// The job's argument block, built from the 8-bit and the wide split of the
// command line by one routine run twice: measuring, then filling a block of
// exactly the measured size. Every size is fixed by the texts alone (a short
// path gets a whole path buffer), so a file renamed between the passes cannot
// make the filling overrun what the measuring found.
#include "jobargs.h"

#include <stdlib.h>
#include <string.h>

#include "../util/ansipath.h"
#include "../util/bounded.h"
#include "../util/compat.h"
#include "cmdline.h"

// While measuring, table and text are null and only the byte count grows.
struct JobArgumentWriter {
    char** table;
    char* text;
    int count;
    size_t textBytes;
};

static char* NextSlot(JobArgumentWriter* writer, size_t bytes) {
    char* slot = writer->text != nullptr ? writer->text + writer->textBytes : nullptr;
    if (writer->table != nullptr) writer->table[writer->count] = slot;
    writer->count++;
    writer->textBytes += bytes;
    return slot;
}

static void PutText(JobArgumentWriter* writer, const char* text) {
    size_t bytes = strlen(text) + 1;
    char* slot = NextSlot(writer, bytes);
    if (slot != nullptr) memcpy(slot, text, bytes);
}

// A wide argument the ANSI code page holds, in exactly its converted size.
static void PutConverted(JobArgumentWriter* writer, const wchar_t* wide) {
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) bytes = 1;
    char* slot = NextSlot(writer, (size_t)bytes);
    if (slot != nullptr) WideToAnsiExact(wide, slot, (size_t)bytes);
}

// A wide argument it does not hold: its short path, or "" where there is none.
// The 8-bit argument is never used then: its look-alike characters could name
// another file that exists (a yen sign arrives as a backslash).
static void PutShortPath(JobArgumentWriter* writer, const wchar_t* wide) {
    char* slot = NextSlot(writer, PATH_CAPACITY);
    if (slot != nullptr) AnsiPathForWide(wide, slot);
}

static void PutArguments(JobArgumentWriter* writer, int argc, char** argv, int wideCount,
                         wchar_t** wide) {
    PutText(writer, argv[0]);
    for (int i = 1; i < argc; i++) {
        if (wideCount != argc)
            PutText(writer, argv[i]);
        else if (IsAnsiRepresentable(wide[i]))
            PutConverted(writer, wide[i]);
        else
            PutShortPath(writer, wide[i]);
    }
    if (writer->table != nullptr) writer->table[writer->count] = nullptr;
}

char** BuildJobArguments(int argc, char** argv, const wchar_t* wideLine) {
    int wideCount = 0;
    wchar_t** wide = SplitCommandLineW(wideLine, &wideCount);
    if (wide == nullptr) return nullptr;
    JobArgumentWriter counter = {nullptr, nullptr, 0, 0};
    PutArguments(&counter, argc, argv, wideCount, wide);
    char** block = (char**)malloc(sizeof(char*) * (size_t)(argc + 1) + counter.textBytes);
    if (block != nullptr) {
        JobArgumentWriter filler = {block, (char*)(block + argc + 1), 0, 0};
        PutArguments(&filler, argc, argv, wideCount, wide);
    }
    free(wide);
    return block;
}
