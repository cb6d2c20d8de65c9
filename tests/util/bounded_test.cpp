// Bounded copy, append and format: where they cut, what they return, and that
// the destination is always terminated and never written past its capacity.
#include "../../util/bounded.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

// Fills a buffer with a guard byte so that writes past the capacity show.
struct GuardedBuffer {
    char bytes[2048];
    GuardedBuffer() { memset(bytes, '#', sizeof(bytes)); }
    bool UntouchedFrom(size_t offset) const {
        for (size_t i = offset; i < sizeof(bytes); i++)
            if (bytes[i] != '#') return false;
        return true;
    }
};

TEST(CopyBounded, CutsAtCapacity) {
    GuardedBuffer b;
    CopyBounded(b.bytes, 5, "abcdefg");
    EXPECT_STREQ("abcd", b.bytes);
    EXPECT_TRUE(b.UntouchedFrom(5));

    CopyBounded(b.bytes, 5, "abcd");
    EXPECT_STREQ("abcd", b.bytes);
    CopyBounded(b.bytes, 5, "ab");
    EXPECT_STREQ("ab", b.bytes);
    CopyBounded(b.bytes, 1, "ab");
    EXPECT_STREQ("", b.bytes);

    GuardedBuffer none;
    CopyBounded(none.bytes, 0, "ab");
    EXPECT_TRUE(none.UntouchedFrom(0));
}

TEST(CopyBounded, NeverSplitsADoubleByteCharacter) {
    GuardedBuffer b;
    // Bytes 3 and 4 are ソ: capacity 5 keeps the first 3 bytes only.
    CopyBounded(b.bytes, 5,
                "abc\x83\x5C"
                "d");
    EXPECT_STREQ("abc", b.bytes);
    EXPECT_TRUE(b.UntouchedFrom(5));
    // Bytes 2 and 3 are ソ: it fits whole.
    CopyBounded(b.bytes, 5,
                "ab\x83\x5C"
                "de");
    EXPECT_STREQ("ab\x83\x5C", b.bytes);
    // Exactly capacity - 1 bytes ending in a double-byte character: kept whole.
    CopyBounded(b.bytes, 5, "ab\x83\x5C");
    EXPECT_STREQ("ab\x83\x5C", b.bytes);
    // A lead byte followed by a byte that is not a valid trail byte still goes
    // with it rather than being left alone at the end.
    CopyBounded(b.bytes, 5,
                "abc\x81\x20"
                "d");
    EXPECT_STREQ("abc", b.bytes);
    // A run of double-byte characters: the trail byte of a character is never
    // taken for the lead byte of the next.
    CopyBounded(b.bytes, 6, "\x81\x81\x81\x81\x81\x81");
    EXPECT_STREQ("\x81\x81\x81\x81", b.bytes);
}

TEST(CopyBounded, TrayTipCapacity) {
    char tip[64];
    std::string text;
    for (int i = 0; i < 40; i++) text += "\x82\xA0";  // あ x 40 = 80 bytes
    CopyBounded(tip, sizeof(tip), ("a" + text).c_str());
    EXPECT_EQ(63u, strlen(tip));  // "a" and 31 whole characters
    CopyBounded(tip, sizeof(tip), text.c_str());
    EXPECT_EQ(62u, strlen(tip));
}

TEST(AppendBounded, MeasuresAndCutsByBytes) {
    EXPECT_EQ(10u, AppendBounded(nullptr, 0, "0123456789"));
    EXPECT_EQ(10u, AppendBounded(nullptr, 1020, "0123456789"));

    GuardedBuffer b;
    memset(b.bytes, 'x', 1020);
    b.bytes[1020] = '\0';
    EXPECT_EQ(4u, AppendBounded(b.bytes, 1020, "0123456789"));
    EXPECT_EQ(1024u, strlen(b.bytes));
    EXPECT_EQ(std::string("0123"), std::string(b.bytes + 1020));
    EXPECT_TRUE(b.UntouchedFrom(APPEND_CAPACITY));

    EXPECT_EQ(0u, AppendBounded(b.bytes, 1024, "more"));
    EXPECT_EQ(1024u, strlen(b.bytes));
    EXPECT_EQ(0u, AppendBounded(b.bytes, 1025, "more"));
    EXPECT_EQ(0u, AppendBounded(b.bytes, 5000, "more"));
    EXPECT_TRUE(b.UntouchedFrom(APPEND_CAPACITY));

    char small[APPEND_CAPACITY] = "ab";
    size_t length = 2;
    length += AppendBounded(small, length, "cd");
    length += AppendBounded(small, length, "");
    length += AppendBounded(small, length, "\x83\x5C");
    EXPECT_EQ(6u, length);
    EXPECT_STREQ("abcd\x83\x5C", small);
}

TEST(FormatBounded, LengthOrMinusOne) {
    GuardedBuffer b;
    EXPECT_EQ(-1, FormatBounded(b.bytes, 5, "%s", "abcdefg"));
    EXPECT_STREQ("abcd", b.bytes);
    EXPECT_TRUE(b.UntouchedFrom(5));

    EXPECT_EQ(4, FormatBounded(b.bytes, 5, "%s", "abcd"));
    EXPECT_STREQ("abcd", b.bytes);
    EXPECT_EQ(3, FormatBounded(b.bytes, 5, "%d", 123));
    EXPECT_STREQ("123", b.bytes);
    EXPECT_EQ(0, FormatBounded(b.bytes, 5, "%s", ""));
    EXPECT_STREQ("", b.bytes);
    EXPECT_EQ(-1, FormatBounded(b.bytes, 1, "%s", "a"));
    EXPECT_STREQ("", b.bytes);
    EXPECT_TRUE(b.UntouchedFrom(5));

    GuardedBuffer none;
    EXPECT_EQ(-1, FormatBounded(none.bytes, 0, "%s", "a"));
    EXPECT_TRUE(none.UntouchedFrom(0));
}

TEST(FormatBounded, OutputFileNames) {
    char name[PATH_CAPACITY];
    EXPECT_EQ(11, FormatBounded(name, sizeof(name), "%s%04x%s", "dll", 0x1F, ".bmp"));
    EXPECT_STREQ("dll001f.bmp", name);
    EXPECT_EQ(12, FormatBounded(name, sizeof(name), "%s%04x%s", "exe", 0x10000, ".ico"));
    EXPECT_STREQ("exe10000.ico", name);
    // A 34-byte field cut mid-way keeps 33 bytes.
    char field[34];
    std::string longText(50, 'z');
    EXPECT_EQ(-1, FormatBounded(field, sizeof(field), "%s", longText.c_str()));
    EXPECT_EQ(33u, strlen(field));
}

}  // namespace
