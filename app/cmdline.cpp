// Splitting of the process's command line into one heap block: the pointer
// table first, then every argument text. The same scan runs twice, first only
// counting, then filling a block of exactly the counted size.
#include "cmdline.h"

#include <stdlib.h>

#include "../util/mbstring.h"

// Where the scan writes. While counting, table and text are null and only the
// counts grow; while filling, they point into the block.
struct ArgumentWriter {
    char** table;
    char* text;
    int count;
    size_t textBytes;
};

static void AppendByte(ArgumentWriter* writer, char b) {
    if (writer->text != nullptr) writer->text[writer->textBytes] = b;
    writer->textBytes++;
}

static void BeginArgument(ArgumentWriter* writer) {
    if (writer->table != nullptr) writer->table[writer->count] = writer->text + writer->textBytes;
}

static void EndArgument(ArgumentWriter* writer) {
    AppendByte(writer, '\0');
    writer->count++;
}

static void AppendBytes(ArgumentWriter* writer, const char* p, size_t n) {
    for (size_t i = 0; i < n; i++) AppendByte(writer, p[i]);
}

static void AppendBackslashes(ArgumentWriter* writer, size_t n) {
    for (size_t i = 0; i < n; i++) AppendByte(writer, '\\');
}

// Appends one character and returns the position after it. A double-byte
// character goes whole; a lead byte right before the terminator is kept as a
// byte of its own, so the scan never steps over the end of the line.
static const char* AppendChar(ArgumentWriter* writer, const char* p) {
    const char* next = NextChar(p);
    AppendBytes(writer, p, (size_t)(next - p));
    return next;
}

static bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program name: quoted up to the next quote (no backslash rules), or up to
// the first blank. Returns the position after it.
static const char* ScanProgramName(ArgumentWriter* writer, const char* p) {
    BeginArgument(writer);
    if (*p == '"') {
        p++;
        size_t n = SpanNotInSet(p, "\"");
        AppendBytes(writer, p, n);
        p += n;
        if (*p == '"') p++;
    } else {
        size_t n = SpanNotInSet(p, " \t");
        AppendBytes(writer, p, n);
        p += n;
    }
    EndArgument(writer);
    return p;
}

// One argument with the quoting and backslash rules; stops on the terminator or
// before a blank outside quotes, leaving the blank for the caller.
static const char* ScanArgument(ArgumentWriter* writer, const char* p) {
    BeginArgument(writer);
    bool inQuotes = false;
    for (;;) {
        size_t backslashes = SpanInSet(p, "\\");
        p += backslashes;
        if (*p == '"') {
            AppendBackslashes(writer, backslashes / 2);
            if (backslashes % 2 == 1) {
                p = AppendChar(writer, p);
                continue;
            }
            p++;
            // Inside quotes a doubled quote is one literal quote, and it also
            // ends the quoted stretch.
            if (inQuotes && *p == '"') p = AppendChar(writer, p);
            inQuotes = !inQuotes;
            continue;
        }
        AppendBackslashes(writer, backslashes);
        if (*p == '\0' || (!inQuotes && IsBlank(*p))) break;
        p = AppendChar(writer, p);
    }
    EndArgument(writer);
    return p;
}

// The whole scan; both passes run exactly this code.
static void ScanCommandLine(ArgumentWriter* writer, const char* line) {
    const char* p = ScanProgramName(writer, line);
    for (;;) {
        p += SpanInSet(p, " \t");
        if (*p == '\0') break;
        p = ScanArgument(writer, p);
    }
    if (writer->table != nullptr) writer->table[writer->count] = nullptr;
}

size_t CommandLineBlockSize(const char* commandLine, int* argc) {
    ArgumentWriter counter = {nullptr, nullptr, 0, 0};
    ScanCommandLine(&counter, commandLine);
    *argc = counter.count;
    return sizeof(char*) * (size_t)(counter.count + 1) + counter.textBytes;
}

char** SplitCommandLine(const char* commandLine, int* argc) {
    if (commandLine == nullptr) commandLine = "";
    int count = 0;
    size_t size = CommandLineBlockSize(commandLine, &count);
    char** block = (char**)malloc(size);
    if (block == nullptr) return nullptr;
    ArgumentWriter filler = {block, (char*)(block + count + 1), 0, 0};
    ScanCommandLine(&filler, commandLine);
    *argc = filler.count;
    return block;
}

RunMode ChooseRunMode(int argc) { return argc <= 1 ? RUN_ASSOCIATION : RUN_EXTRACTION; }
