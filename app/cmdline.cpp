// Splitting of the process's command line into one heap block: the pointer
// table first, then every argument text. The same scan runs twice, first only
// counting, then filling a block of exactly the counted size. One scan serves
// the 8-bit line and the wide one; only the 8-bit form has double-byte
// characters, whose trail byte must never be taken for a quote or backslash.
#include "cmdline.h"

#include <stdlib.h>

#include "../util/mbstring.h"

// The wide counterparts of the multibyte spans and steps: every UTF-16 unit is
// a character of its own here, since neither half of a surrogate pair can be a
// blank, a quote or a backslash. The sets are ASCII.
static bool InAsciiSet(wchar_t c, const char* setText) {
    for (const char* s = setText; *s != '\0'; s++)
        if (c == (wchar_t)(unsigned char)*s) return true;
    return false;
}

static size_t SpanNotInSet(const wchar_t* text, const char* setText) {
    size_t n = 0;
    while (text[n] != L'\0' && !InAsciiSet(text[n], setText)) n++;
    return n;
}

static size_t SpanInSet(const wchar_t* text, const char* setText) {
    size_t n = 0;
    while (text[n] != L'\0' && InAsciiSet(text[n], setText)) n++;
    return n;
}

static const wchar_t* NextChar(const wchar_t* p) {
    return *p != L'\0' ? p + 1 : p;
}

// Where the scan writes. While counting, table and text are null and only the
// counts grow; while filling, they point into the block.
template <typename Char>
struct ArgumentWriter {
    Char** table;
    Char* text;
    int count;
    size_t textUnits;
};

template <typename Char>
static void AppendUnit(ArgumentWriter<Char>* writer, Char c) {
    if (writer->text != nullptr) writer->text[writer->textUnits] = c;
    writer->textUnits++;
}

template <typename Char>
static void BeginArgument(ArgumentWriter<Char>* writer) {
    if (writer->table != nullptr) writer->table[writer->count] = writer->text + writer->textUnits;
}

template <typename Char>
static void EndArgument(ArgumentWriter<Char>* writer) {
    AppendUnit(writer, (Char)0);
    writer->count++;
}

template <typename Char>
static void AppendUnits(ArgumentWriter<Char>* writer, const Char* p, size_t n) {
    for (size_t i = 0; i < n; i++) AppendUnit(writer, p[i]);
}

template <typename Char>
static void AppendBackslashes(ArgumentWriter<Char>* writer, size_t n) {
    for (size_t i = 0; i < n; i++) AppendUnit(writer, (Char)'\\');
}

// Appends one character and returns the position after it. A double-byte
// character goes whole; a lead byte right before the terminator is kept as a
// byte of its own, so the scan never steps over the end of the line.
template <typename Char>
static const Char* AppendChar(ArgumentWriter<Char>* writer, const Char* p) {
    const Char* next = NextChar(p);
    AppendUnits(writer, p, (size_t)(next - p));
    return next;
}

template <typename Char>
static bool IsBlank(Char c) {
    return c == ' ' || c == '\t';
}

// The program name: quoted up to the next quote (no backslash rules), or up to
// the first blank. Returns the position after it.
template <typename Char>
static const Char* ScanProgramName(ArgumentWriter<Char>* writer, const Char* p) {
    BeginArgument(writer);
    if (*p == '"') {
        p++;
        size_t n = SpanNotInSet(p, "\"");
        AppendUnits(writer, p, n);
        p += n;
        if (*p == '"') p++;
    } else {
        size_t n = SpanNotInSet(p, " \t");
        AppendUnits(writer, p, n);
        p += n;
    }
    EndArgument(writer);
    return p;
}

// One argument with the quoting and backslash rules; stops on the terminator or
// before a blank outside quotes, leaving the blank for the caller.
template <typename Char>
static const Char* ScanArgument(ArgumentWriter<Char>* writer, const Char* p) {
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
template <typename Char>
static void ScanCommandLine(ArgumentWriter<Char>* writer, const Char* line) {
    const Char* p = ScanProgramName(writer, line);
    for (;;) {
        p += SpanInSet(p, " \t");
        if (*p == '\0') break;
        p = ScanArgument(writer, p);
    }
    if (writer->table != nullptr) writer->table[writer->count] = nullptr;
}

// The counting pass: the block's size in bytes and the argument count.
template <typename Char>
static size_t BlockSize(const Char* commandLine, int* argc) {
    ArgumentWriter<Char> counter = {nullptr, nullptr, 0, 0};
    ScanCommandLine(&counter, commandLine);
    *argc = counter.count;
    return sizeof(Char*) * (size_t)(counter.count + 1) + sizeof(Char) * counter.textUnits;
}

template <typename Char>
static Char** Split(const Char* commandLine, int* argc) {
    static const Char empty[1] = {0};
    if (commandLine == nullptr) commandLine = empty;
    int count = 0;
    size_t size = BlockSize(commandLine, &count);
    Char** block = (Char**)malloc(size);
    if (block == nullptr) return nullptr;
    ArgumentWriter<Char> filler = {block, (Char*)(block + count + 1), 0, 0};
    ScanCommandLine(&filler, commandLine);
    *argc = filler.count;
    return block;
}

size_t CommandLineBlockSize(const char* commandLine, int* argc) {
    return BlockSize(commandLine, argc);
}

char** SplitCommandLine(const char* commandLine, int* argc) {
    return Split(commandLine, argc);
}

wchar_t** SplitCommandLineW(const wchar_t* commandLine, int* argc) {
    return Split(commandLine, argc);
}

RunMode ChooseRunMode(int argc) { return argc <= 1 ? RUN_ASSOCIATION : RUN_EXTRACTION; }
