// Character primitives, searches and spans over code page 932 texts, with the
// double-byte characters whose second byte is a backslash (0x5C) that break
// naive code.
#include "../../util/mbstring.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "ソ" and "表" end in 0x5C, the backslash.
const char kSo[] = "\x83\x5C";
const char kHyo[] = "\x95\x5C";

TEST(LeadBytes, FixedCodePage932Ranges) {
    int leads = 0;
    for (int b = 0; b < 256; b++) {
        bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(expected, IsLeadByte((unsigned char)b)) << b;
        leads += IsLeadByte((unsigned char)b);
    }
    EXPECT_EQ(31 + 29, leads);
    // Trail bytes after a lead byte: 0x40 to 0xFC without 0x7F.
    for (unsigned char trail : {0x40, 0x5C, 0xFC})
        EXPECT_EQ(BYTE_TRAIL, ByteTypeAt(std::string{'\x81', (char)trail}.c_str(), 1)) << trail;
    for (unsigned char other : {0x3F, 0x7F, 0xFD})
        EXPECT_EQ(BYTE_SINGLE, ByteTypeAt(std::string{'\x81', (char)other}.c_str(), 1)) << other;
}

TEST(NextChar, StepsOverWholeCharacters) {
    EXPECT_EQ(kSo + 2, NextChar(kSo));
    // Half-width katakana are single bytes.
    const char kana[] = "\xB1\x5C";
    EXPECT_EQ(kana + 1, NextChar(kana));
    EXPECT_EQ(kana + 2, StringEnd(kana));

    const char text[] =
        "a\x83\x5C"
        "b\x81";
    const char* p = text;
    p = NextChar(p);
    EXPECT_EQ(text + 1, p);
    p = NextChar(p);
    EXPECT_EQ(text + 3, p);
    p = NextChar(p);
    EXPECT_EQ(text + 4, p);
    p = NextChar(p);  // lone lead byte: one step, onto the terminator
    EXPECT_EQ(text + 5, p);
    EXPECT_EQ(text + 5, NextChar(p));  // stays at the terminator
}

TEST(ByteTypeAt, WalksFromTheStart) {
    // 0x81 0x81 0x81 0x5C: lead trail lead trail.
    const char text[] =
        "\x81\x81\x81\x5C"
        "a";
    EXPECT_EQ(BYTE_LEAD, ByteTypeAt(text, 0));
    EXPECT_EQ(BYTE_TRAIL, ByteTypeAt(text, 1));
    EXPECT_EQ(BYTE_LEAD, ByteTypeAt(text, 2));
    EXPECT_EQ(BYTE_TRAIL, ByteTypeAt(text, 3));
    EXPECT_EQ(BYTE_SINGLE, ByteTypeAt(text, 4));
    EXPECT_EQ(BYTE_SINGLE, ByteTypeAt(text, 5));   // the terminator
    EXPECT_EQ(BYTE_SINGLE, ByteTypeAt(text, 50));  // past the end
    // A lead byte followed by an invalid trail: that byte is single and is not
    // tested as a lead byte itself.
    const char odd[] = "\x81\x20\x81\x5C";
    EXPECT_EQ(BYTE_SINGLE, ByteTypeAt(odd, 1));
    EXPECT_EQ(BYTE_LEAD, ByteTypeAt(odd, 2));
    EXPECT_EQ(BYTE_TRAIL, ByteTypeAt(odd, 3));
    const char leadAfterInvalid[] = "\x81\x7F\x5C";
    EXPECT_EQ(BYTE_SINGLE, ByteTypeAt(leadAfterInvalid, 2));
    EXPECT_TRUE(EndsWithSeparator(leadAfterInvalid));
}

TEST(Searches, OnlyOneByteBackslashesAreSeparators) {
    std::string text = std::string("C:\\") + kHyo;
    EXPECT_EQ(text.c_str() + 2, FindLastSeparator(text.c_str()));  // not the trail of 表
    text += "\\x";
    EXPECT_EQ(text.c_str() + 5, FindLastSeparator(text.c_str()));
}

TEST(Searches, SeparatorsSkipTrailBytes) {
    std::string onlyTrail = std::string("a") + kSo + kHyo;
    EXPECT_EQ(nullptr, FindLastSeparator(onlyTrail.c_str()));
    EXPECT_FALSE(EndsWithSeparator(onlyTrail.c_str()));

    std::string path = std::string(kSo) + "\\d\\" + kHyo;
    const char* p = path.c_str();
    EXPECT_EQ(p + 4, FindLastSeparator(p));
    EXPECT_FALSE(EndsWithSeparator(p));

    std::string trailing = path + "\\";
    EXPECT_EQ(trailing.c_str() + 7, FindLastSeparator(trailing.c_str()));
    EXPECT_TRUE(EndsWithSeparator(trailing.c_str()));
    EXPECT_EQ(nullptr, FindLastSeparator(""));
    EXPECT_FALSE(EndsWithSeparator(""));
}

TEST(ByteSets, MembersAndSpans) {
    // Set members anywhere in the 256 byte values, 0xFF (no lead byte) included.
    EXPECT_EQ(3u, SpanInSet("\t \xFF"
                            "a",
                            " \t\xFF"));
    EXPECT_EQ(2u, SpanNotInSet("ab\xFF", " \t\xFF"));

    EXPECT_EQ(3u, SpanNotInSet("abc def", " \t"));
    EXPECT_EQ(7u, SpanNotInSet("abcdefg", " \t"));
    EXPECT_EQ(0u, SpanNotInSet("", " \t"));
    EXPECT_EQ(2u, SpanInSet("\\\\x", "\\"));
    EXPECT_EQ(0u, SpanInSet("", "\\"));
    // A double-byte character never ends SpanNotInSet and always ends SpanInSet.
    std::string so = std::string(kSo) + "\\z";
    EXPECT_EQ(2u, SpanNotInSet(so.c_str(), "\\"));
    EXPECT_EQ(0u, SpanInSet(so.c_str(), "\\"));
    EXPECT_EQ(0u, SpanInSet("\x81\x40", "\x81\x40"));
    std::string blanks = std::string("  ") + kSo;
    EXPECT_EQ(2u, SpanInSet(blanks.c_str(), " "));
    // A lone lead byte at the end is stepped over by one byte only.
    EXPECT_EQ(2u, SpanNotInSet("a\x81", "\\"));
}

TEST(Comparisons, Strings) {
    EXPECT_TRUE(StringsEqual("Menu", "Menu"));
    EXPECT_FALSE(StringsEqual("Menu", "menu"));
    EXPECT_TRUE(StringsEqualNoCase("Menu", "mENU"));
    EXPECT_FALSE(StringsEqualNoCase("Menu", "Menus"));
}

}  // namespace
