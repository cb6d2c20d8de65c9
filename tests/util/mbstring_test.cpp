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
    EXPECT_TRUE(IsTrailByte(0x40));
    EXPECT_TRUE(IsTrailByte(0x5C));
    EXPECT_TRUE(IsTrailByte(0xFC));
    EXPECT_FALSE(IsTrailByte(0x3F));
    EXPECT_FALSE(IsTrailByte(0x7F));
    EXPECT_FALSE(IsTrailByte(0xFD));
}

TEST(CharCodeAt, CodesAndNextChar) {
    EXPECT_EQ(0x835Cu, CharCodeAt(kSo));
    EXPECT_EQ((unsigned)'a', CharCodeAt("a"));
    EXPECT_EQ(0u, CharCodeAt(""));
    // A lone lead byte before the terminator is a one-byte character.
    EXPECT_EQ(0x81u, CharCodeAt("\x81"));
    // Half-width katakana are single bytes.
    EXPECT_EQ(0xB1u, CharCodeAt("\xB1\x5C"));

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
    EXPECT_TRUE(IsSeparatorAt(leadAfterInvalid, 2));
}

TEST(IsSeparatorAt, OnlyOneByteBackslashes) {
    std::string text = std::string("C:\\") + kHyo + "\\x";
    EXPECT_TRUE(IsSeparatorAt(text.c_str(), 2));
    EXPECT_FALSE(IsSeparatorAt(text.c_str(), 4));  // trail byte of 表
    EXPECT_TRUE(IsSeparatorAt(text.c_str(), 5));
    EXPECT_FALSE(IsSeparatorAt(text.c_str(), 6));
    EXPECT_FALSE(IsSeparatorAt(text.c_str(), 7));    // terminator
    EXPECT_FALSE(IsSeparatorAt(text.c_str(), 100));  // past the end: never read
}

TEST(Searches, SeparatorsSkipTrailBytes) {
    std::string onlyTrail = std::string("a") + kSo + kHyo;
    EXPECT_EQ(nullptr, FindSeparator(onlyTrail.c_str()));
    EXPECT_EQ(nullptr, FindLastSeparator(onlyTrail.c_str()));
    EXPECT_EQ(nullptr, TrailingSeparator(onlyTrail.c_str()));
    EXPECT_FALSE(EndsWithSeparator(onlyTrail.c_str()));

    std::string path = std::string(kSo) + "\\d\\" + kHyo;
    const char* p = path.c_str();
    EXPECT_EQ(p + 2, FindSeparator(p));
    EXPECT_EQ(p + 4, FindLastSeparator(p));
    EXPECT_EQ(nullptr, TrailingSeparator(p));

    std::string trailing = path + "\\";
    EXPECT_EQ(trailing.c_str() + 7, TrailingSeparator(trailing.c_str()));
    EXPECT_TRUE(EndsWithSeparator(trailing.c_str()));
    EXPECT_EQ(nullptr, FindSeparator(""));
    EXPECT_FALSE(EndsWithSeparator(""));
}

TEST(Searches, FindCharCode) {
    std::string text = std::string("x") + kSo + "\\y";
    const char* t = text.c_str();
    EXPECT_EQ(t + 3, FindCharCode(t, '\\'));
    EXPECT_EQ(t + 1, FindCharCode(t, 0x835C));
    EXPECT_EQ(t + 5, FindCharCode(t, 0));
    EXPECT_EQ(nullptr, FindCharCode(t, 'z'));
    // 0x5C is found only as a character of its own, never inside ソ.
    EXPECT_EQ(nullptr, FindCharCode(kSo, '\\'));
    EXPECT_EQ(t + 5, StringEnd(t));
}

TEST(ByteSets, MembersAndSpans) {
    ByteSet set;
    BuildByteSet(&set, " \t\xFF");
    EXPECT_TRUE(ByteSetHas(&set, ' '));
    EXPECT_TRUE(ByteSetHas(&set, '\t'));
    EXPECT_TRUE(ByteSetHas(&set, 0xFF));
    EXPECT_FALSE(ByteSetHas(&set, 'a'));
    EXPECT_FALSE(ByteSetHas(&set, 0));
    EXPECT_EQ(1, (set.bits[0x20 / 8] >> (0x20 & 7)) & 1);

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

TEST(Comparisons, EqualPrefixAndStrings) {
    EXPECT_TRUE(EqualPrefix("abc", "abd", 2));
    EXPECT_FALSE(EqualPrefix("abc", "abd", 3));
    EXPECT_TRUE(EqualPrefix("ab", "ab", 10));  // both end together
    EXPECT_FALSE(EqualPrefix("ab", "abc", 10));
    EXPECT_TRUE(EqualPrefix("x", "y", 0));
    // A double-byte character that starts inside the limit is compared whole.
    EXPECT_FALSE(EqualPrefix("a\x83\x5C", "a\x83\x40", 2));
    EXPECT_TRUE(
        EqualPrefix("a\x83\x5C"
                    "b",
                    "a\x83\x5C"
                    "c",
                    3));

    EXPECT_TRUE(StringsEqual("Menu", "Menu"));
    EXPECT_FALSE(StringsEqual("Menu", "menu"));
    EXPECT_TRUE(StringsEqualNoCase("Menu", "mENU"));
    EXPECT_FALSE(StringsEqualNoCase("Menu", "Menus"));
}

TEST(ZeroFill, ClearsExactlyN) {
    char block[8];
    for (char& c : block) c = 'x';
    char* end = (char*)ZeroFill(block + 1, 5);
    EXPECT_EQ(block + 6, end);
    EXPECT_EQ('x', block[0]);
    for (int i = 1; i < 6; i++) EXPECT_EQ(0, block[i]);
    EXPECT_EQ('x', block[6]);
}

}  // namespace
