// The command-line splitter: quoting, backslash runs, double-byte characters
// whose second byte is 0x5C, the lone lead byte at the end, and the shape of
// the one block that holds the pointer table and the texts.
#include "../../app/cmdline.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Args;

// Splits line and checks the block: argc + 1 pointers, the last null, then the
// texts packed in order right behind the table, ending exactly at the block's
// end, which is the size the counting pass found and the size malloc gave.
Args Split(const char* line) {
    int counted = -1;
    size_t size = CommandLineBlockSize(line, &counted);
    int argc = -1;
    char** argv = SplitCommandLine(line, &argc);
    EXPECT_NE(nullptr, argv);
    if (argv == nullptr) return Args();
    EXPECT_EQ(counted, argc);
    EXPECT_GE(argc, 1);
    EXPECT_EQ(size, _msize(argv));
    EXPECT_EQ(nullptr, argv[argc]);
    const char* expected = (const char*)(argv + argc + 1);
    Args args;
    for (int i = 0; i < argc; i++) {
        EXPECT_EQ(expected, argv[i]) << "argument " << i;
        if (argv[i] != expected) break;
        args.push_back(argv[i]);
        expected += strlen(argv[i]) + 1;
    }
    EXPECT_EQ((const char*)argv + size, expected);
    free(argv);
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

TEST(ChooseRunMode, ByArgumentCount) {
    EXPECT_EQ(RUN_ASSOCIATION, ChooseRunMode(0));
    EXPECT_EQ(RUN_ASSOCIATION, ChooseRunMode(1));
    EXPECT_EQ(RUN_EXTRACTION, ChooseRunMode(2));
    EXPECT_EQ(RUN_EXTRACTION, ChooseRunMode(7));
    EXPECT_EQ(1, (int)RUN_EXTRACTION);
    EXPECT_EQ(2, (int)RUN_ASSOCIATION);
}

}  // namespace
