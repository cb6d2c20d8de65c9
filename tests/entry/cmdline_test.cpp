// The command-line splitter: quoting, backslash runs, double-byte characters
// whose second byte is 0x5C, the lone lead byte at the end, and the shape of
// the one block that holds the pointer table and the texts. Every line is also
// split in its wide form, which must give the same arguments; and the job's
// arguments taken from the wide line where the 8-bit one lost characters.
#include "../../app/cmdline.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "../../app/jobargs.h"
#include "../../util/compat.h"

namespace {

typedef std::vector<std::string> Args;

std::string Narrow(const char* text) {
    return text;
}

std::string Narrow(const wchar_t* text) {
    char out[4096] = "";
    WideCharToMultiByte(932, 0, text, -1, out, sizeof(out), nullptr, nullptr);
    return out;
}

size_t TextLength(const char* text) {
    return strlen(text);
}
size_t TextLength(const wchar_t* text) {
    return wcslen(text);
}

// Checks a split's block and frees it: argc + 1 pointers, the last null, then
// the texts packed in order right behind the table, ending exactly at the end
// of the block that malloc gave. The arguments come back in code page 932.
template <typename Char>
Args ReadBlock(Char** argv, int argc) {
    EXPECT_NE(nullptr, argv);
    if (argv == nullptr) return Args();
    EXPECT_GE(argc, 1);
    EXPECT_EQ(nullptr, argv[argc]);
    const Char* expected = (const Char*)(argv + argc + 1);
    Args args;
    for (int i = 0; i < argc; i++) {
        EXPECT_EQ(expected, argv[i]) << "argument " << i;
        if (argv[i] != expected) break;
        args.push_back(Narrow(argv[i]));
        expected += TextLength(argv[i]) + 1;
    }
    EXPECT_EQ((const char*)argv + _msize(argv), (const char*)expected);
    free(argv);
    return args;
}

// Splits line, whose block must have the size the counting pass found; and
// wherever the line is valid code page 932 (a lone lead byte is not), its wide
// form must split into the same arguments.
Args Split(const char* line) {
    int counted = -1;
    size_t size = CommandLineBlockSize(line, &counted);
    int argc = -1;
    char** argv = SplitCommandLine(line, &argc);
    EXPECT_EQ(counted, argc);
    if (argv != nullptr) {
        EXPECT_EQ(size, _msize(argv));
    }
    Args args = ReadBlock(argv, argc);

    wchar_t wide[4096];
    if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, line, -1, wide, 4096) != 0) {
        int wideCount = -1;
        wchar_t** wideArgv = SplitCommandLineW(wide, &wideCount);
        EXPECT_EQ(args, ReadBlock(wideArgv, wideCount)) << "wide split of: " << line;
    }
    return args;
}

const std::string kSo = "\x83\x5C";  // ソ, second byte 0x5C

TEST(SplitCommandLine, EmptyAndBlankLines) {
    EXPECT_EQ(Args({""}), Split(""));
    EXPECT_EQ(Args({"pelnore.exe"}), Split("pelnore.exe"));
    EXPECT_EQ(Args({"pelnore.exe"}), Split("pelnore.exe  \t  "));
    EXPECT_EQ(Args({"p", "/ico:0"}), Split("p /ico:0"));
    EXPECT_EQ(Args({"p", "a", "b"}), Split("p\ta \t b\t"));
    // Only space and tab separate: a line feed or a full-width space does not.
    EXPECT_EQ(Args({"p", "a\nb"}), Split("p a\nb"));
    EXPECT_EQ(Args({"p", "\x82\xA0\x81\x40\x82\xA2"}), Split("p \x82\xA0\x81\x40\x82\xA2"));
}

TEST(SplitCommandLine, BlockSizeIsTableAndTexts) {
    int argc = 0;
    // 3 pointers + "p\0" + "ab\0".
    EXPECT_EQ(3 * sizeof(char*) + 2 + 3, CommandLineBlockSize("p  ab", &argc));
    EXPECT_EQ(2, argc);
    // The texts hold what the arguments become, not the raw line.
    EXPECT_EQ(2 * sizeof(char*) + 1, CommandLineBlockSize("\"\"", &argc));
    EXPECT_EQ(1, argc);
    EXPECT_EQ(3 * sizeof(char*) + 2 + 3, CommandLineBlockSize("p \"a\"\"\"", &argc));
}

TEST(SplitCommandLine, QuotedProgramName) {
    EXPECT_EQ(Args({"C:\\Program Files\\pelnore.exe", "C:\\Tools\\viewer.exe"}),
              Split("\"C:\\Program Files\\pelnore.exe\" C:\\Tools\\viewer.exe"));
    // Text right after the closing quote is argument 1.
    EXPECT_EQ(Args({"C:\\a b\\p.exe", "arg1", "arg2"}), Split("\"C:\\a b\\p.exe\"arg1 arg2"));
    // No backslash rules in the program name: a backslash before the quote
    // stays, and the quote still closes the name.
    EXPECT_EQ(Args({"C:\\dir\\", "x"}), Split("\"C:\\dir\\\"x"));
    // Unclosed: the name runs to the end of the line.
    EXPECT_EQ(Args({"C:\\a b"}), Split("\"C:\\a b"));
    EXPECT_EQ(Args({""}), Split("\""));
    EXPECT_EQ(Args({"", "x"}), Split("\"\" x"));
    // A quote inside an unquoted name is an ordinary byte.
    EXPECT_EQ(Args({"a\"b", "c"}), Split("a\"b c"));
    // A double-byte name whose second byte is 0x5C, quoted and unquoted.
    EXPECT_EQ(Args({"C:\\" + kSo, "x"}), Split(("\"C:\\" + kSo + "\" x").c_str()));
    EXPECT_EQ(Args({kSo + ".exe", "x"}), Split((kSo + ".exe x").c_str()));
}

TEST(SplitCommandLine, BackslashRuns) {
    // Not followed by a quote: copied as they are.
    EXPECT_EQ(Args({"p", "a\\\\\\b", "c\\\\", "\\"}), Split("p a\\\\\\b c\\\\ \\"));
    EXPECT_EQ(Args({"p", "C:\\Tools\\"}), Split("p C:\\Tools\\"));
    // Even runs: half of them, and the quote opens or closes a quoted stretch.
    EXPECT_EQ(Args({"p", "a\\b c"}), Split("p a\\\\\"b c\""));
    EXPECT_EQ(Args({"p", "\\\\a b"}), Split("p \\\\\\\\\"a b\""));
    EXPECT_EQ(Args({"p", "C:\\Tools\\"}), Split("p \"C:\\Tools\\\\\""));
    // Odd runs: half of them and a literal quote.
    EXPECT_EQ(Args({"p", "a\\\"b", "c"}), Split("p a\\\\\\\"b c"));
    EXPECT_EQ(Args({"p", "\"x"}), Split("p \\\"x"));
    EXPECT_EQ(Args({"p", "a \"b\" c"}), Split("p \"a \\\"b\\\" c\""));
}

TEST(SplitCommandLine, QuotedStretches) {
    EXPECT_EQ(Args({"p", "a b", "c"}), Split("p \"a b\" c"));
    EXPECT_EQ(Args({"p", "ab cd"}), Split("p a\"b c\"d"));
    EXPECT_EQ(Args({"p", "", "x"}), Split("p \"\" x"));
    EXPECT_EQ(Args({"p", "a\tb"}), Split("p \"a\tb\""));
    // Outside quotes two quotes open and close an empty stretch.
    EXPECT_EQ(Args({"p", "ab"}), Split("p a\"\"b"));
}

TEST(SplitCommandLine, DoubledQuotesInsideQuotes) {
    // One literal quote, and the stretch ends: the blank after it separates.
    EXPECT_EQ(Args({"p", "a\"", "b"}), Split("p \"a\"\" b\""));
    EXPECT_EQ(Args({"p", "a\"b", "c"}), Split("p \"a\"\"b c\""));
    EXPECT_EQ(Args({"p", "\""}), Split("p \"\"\"\""));
    EXPECT_EQ(Args({"p", "\"", "x"}), Split("p \"\"\" x"));
}

TEST(SplitCommandLine, UnclosedQuote) {
    EXPECT_EQ(Args({"p", "a b "}), Split("p \"a b "));
    EXPECT_EQ(Args({"p", ""}), Split("p \""));
    EXPECT_EQ(Args({"p", "x", "a\\"}), Split("p x \"a\\"));
}

TEST(SplitCommandLine, TrailByte5CBeforeAQuote) {
    // ソ right before the closing quote: its 0x5C is no backslash.
    EXPECT_EQ(Args({"p", kSo, "x"}), Split(("p \"" + kSo + "\" x").c_str()));
    EXPECT_EQ(Args({"p", "C:\\" + kSo + " folder", "y"}),
              Split(("p \"C:\\" + kSo + " folder\" y").c_str()));
    // Unquoted ソ then a quote: the quote opens a stretch.
    EXPECT_EQ(Args({"p", kSo + "a b"}), Split(("p " + kSo + "\"a b\"").c_str()));
    // ソ then one real backslash and a quote: an odd run, a literal quote.
    EXPECT_EQ(Args({"p", kSo + "\"x"}), Split(("p " + kSo + "\\\"x").c_str()));
    // ソ then two real backslashes and a quote: one backslash, quote closes.
    EXPECT_EQ(Args({"p", kSo + "\\", "z"}), Split(("p \"" + kSo + "\\\\\" z").c_str()));
    // Several such characters in a row.
    EXPECT_EQ(Args({"p", kSo + kSo + "\x95\x5C", "q"}),
              Split(("p \"" + kSo + kSo + "\x95\x5C\" q").c_str()));
}

TEST(SplitCommandLine, LoneLeadByteAtTheEnd) {
    // The lone lead byte is kept as the argument's last byte; nothing after the
    // terminator is read.
    const char line[] = "p \x81\0\"q r";
    EXPECT_EQ(Args({"p", "\x81"}), Split(line));
    const char quoted[] = "p \"a\x81\0b c";
    EXPECT_EQ(Args({"p", "a\x81"}), Split(quoted));
    const char afterBackslash[] = "p a\\\x81\0z";
    EXPECT_EQ(Args({"p", "a\\\x81"}), Split(afterBackslash));
    const char name[] = "\x81\0x y";
    EXPECT_EQ(Args({"\x81"}), Split(name));
    const char quotedName[] = "\"\x81\0x y";
    EXPECT_EQ(Args({"\x81"}), Split(quotedName));
    const char afterName[] = "p.exe \x9F\0x";
    EXPECT_EQ(Args({"p.exe", "\x9F"}), Split(afterName));
}

// The 8-bit table as SplitCommandLine gives it, for BuildJobArguments.
struct EightBitArgs {
    std::vector<std::string> texts;
    std::vector<char*> table;
    explicit EightBitArgs(Args args) : texts(args) {
        for (std::string& t : texts) table.push_back(&t[0]);
        table.push_back(nullptr);
    }
};

Args JobArguments(const Args& eightBit, const wchar_t* wideLine) {
    EightBitArgs in(eightBit);
    char** block = BuildJobArguments((int)eightBit.size(), in.table.data(), wideLine);
    EXPECT_NE(nullptr, block);
    if (block == nullptr) return Args();
    Args args;
    for (size_t i = 0; i < eightBit.size(); i++) args.push_back(block[i]);
    EXPECT_EQ(nullptr, block[eightBit.size()]);
    free(block);
    return args;
}

TEST(JobArguments, TakenFromTheWideLineWhenBothSplitsAgree) {
    // What the ANSI line held is replaced by the wide argument's own text.
    EXPECT_EQ(Args({"p", "/ico:0", "表示.dll"}),
              JobArguments({"p", "/ico:0", "??.dll"}, L"p /ico:0 \"\u8868\u793A.dll\""));
    // A name outside the code page with no such file (so no short name) is
    // dropped, never its look-alike: the yen sign arrives as a backslash.
    EXPECT_EQ(Args({"p", "", ""}), JobArguments({"p", "C:\\x\\y.dll", "C:\\???.dll"},
                                                L"p C:\\x\u00A5y.dll C:\\\uC544\uC774\uCF58.dll"));
    // The splits disagree (the yen sign before a quote became a backslash that
    // escapes it): the 8-bit arguments stay as they are.
    EXPECT_EQ(Args({"p", "a\" b"}), JobArguments({"p", "a\" b"}, L"p \"a\u00A5\" b"));
    EXPECT_EQ(Args({"p"}), JobArguments({"p"}, L"p"));
}

TEST(ChooseRunMode, ByArgumentCount) {
    EXPECT_EQ(RUN_ASSOCIATION, ChooseRunMode(0));
    EXPECT_EQ(RUN_ASSOCIATION, ChooseRunMode(1));
    EXPECT_EQ(RUN_EXTRACTION, ChooseRunMode(2));
    EXPECT_EQ(RUN_EXTRACTION, ChooseRunMode(7));
    EXPECT_EQ(1, (int)RUN_EXTRACTION);
    EXPECT_EQ(2, (int)RUN_ASSOCIATION);
}

}  // namespace
