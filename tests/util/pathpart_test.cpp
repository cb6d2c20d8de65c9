// File name, folder and extension parts, JoinPath and safe relative paths, with
// double-byte names whose second byte is a backslash, and "." and ".." steps.
#include "../../util/pathpart.h"

#include <gtest/gtest.h>

#include <string>

#include "../../util/bounded.h"
#include "../../util/safepath.h"

namespace {

// 表 is 0x95 0x5C, ソ is 0x83 0x5C.
const std::string kHyo = "\x95\x5C";
const std::string kSo = "\x83\x5C";

std::string Join(const std::string& base, const std::string& relative, bool* ok = nullptr) {
    char dest[PATH_CAPACITY];
    bool result = JoinPath(dest, base.c_str(), relative.c_str());
    if (ok != nullptr) *ok = result;
    return dest;
}

TEST(PathParts, FileNamePart) {
    const char path[] = "C:\\dir\\name.ext";
    EXPECT_STREQ("name.ext", FileNamePart(path));
    const char bare[] = "name.ext";
    EXPECT_EQ(bare, FileNamePart(bare));
    const char empty[] = "";
    EXPECT_EQ(empty, FileNamePart(empty));
    EXPECT_STREQ("", FileNamePart("C:\\dir\\"));
}

TEST(PathParts, CutAtLastSeparator) {
    char path[] = "C:\\dir\\name.ext";
    EXPECT_STREQ("name.ext", CutAtLastSeparator(path));
    EXPECT_STREQ("C:\\dir", path);
    char root[] = "C:\\name";
    EXPECT_STREQ("name", CutAtLastSeparator(root));
    EXPECT_STREQ("C:", root);
    char bare[] = "name";
    EXPECT_EQ(bare, CutAtLastSeparator(bare));
    EXPECT_STREQ("name", bare);
}

TEST(PathParts, ExtensionPartAndStripExtension) {
    const char dotInFolder[] = "C:\\my.dir\\file";
    EXPECT_EQ(dotInFolder + sizeof(dotInFolder) - 1, ExtensionPart(dotInFolder));
    EXPECT_STREQ(".gz", ExtensionPart("archive.tar.gz"));
    const char empty[] = "";
    EXPECT_EQ(empty, ExtensionPart(empty));

    char name[] = "archive.tar.gz";
    EXPECT_STREQ("gz", StripExtension(name));
    EXPECT_STREQ("archive.tar", name);
    char none[] = "C:\\my.dir\\file";
    char* end = StripExtension(none);
    EXPECT_EQ(none + sizeof(none) - 1, end);
    EXPECT_STREQ("C:\\my.dir\\file", none);
    char dotOnly[] = ".exe";
    EXPECT_STREQ("exe", StripExtension(dotOnly));
    EXPECT_STREQ("", dotOnly);
}

TEST(PathParts, TrailByteBackslashIsNotASeparator) {
    // C:\表\表示.exe and a file name that ends in 表.
    std::string path = "C:\\" + kHyo + "\\" + kHyo + "\x8E\xA6.exe";
    EXPECT_EQ(kHyo + "\x8E\xA6.exe", FileNamePart(path.c_str()));
    EXPECT_STREQ(".exe", ExtensionPart(path.c_str()));

    std::string noSeparator = kSo + kHyo + ".dll";
    EXPECT_EQ(noSeparator.c_str(), FileNamePart(noSeparator.c_str()));

    char folder[PATH_CAPACITY];
    CopyFolderPart(folder, path.c_str());
    EXPECT_EQ("C:\\" + kHyo, folder);

    char base[PATH_CAPACITY];
    std::string name = "C:\\x\\" + kSo;
    EXPECT_STREQ("", CopyBaseName(base, name.c_str()));  // no dot: the end
    EXPECT_EQ(kSo, base);

    std::string cut = "D:\\" + kSo;
    std::vector<char> buffer(cut.begin(), cut.end());
    buffer.push_back('\0');
    EXPECT_EQ(kSo, CutAtLastSeparator(buffer.data()));
    EXPECT_STREQ("D:", buffer.data());
}

TEST(PathParts, CopyFolderPartAndBaseName) {
    char dest[PATH_CAPACITY];
    CopyFolderPart(dest, "C:\\Tools\\viewer.exe");
    EXPECT_STREQ("C:\\Tools", dest);
    CopyFolderPart(dest, "viewer.exe");
    EXPECT_STREQ("viewer.exe", dest);
    EXPECT_STREQ("exe", CopyBaseName(dest, "C:\\Tools\\viewer.exe"));
    EXPECT_STREQ("viewer", dest);
    CopyBaseName(dest, "C:\\x\\my.tool.exe");
    EXPECT_STREQ("my.tool", dest);

    // An over-long path is cut to 521 bytes before the cut at the separator.
    std::string longPath = "C:\\" + std::string(600, 'a') + "\\b.exe";
    CopyFolderPart(dest, longPath.c_str());
    EXPECT_STREQ("C:", dest);
}

TEST(JoinPath, PlainJoins) {
    EXPECT_EQ("C:\\Tools\\viewer", Join("C:\\Tools", "viewer"));
    EXPECT_EQ("C:\\app", Join("C:", "app"));
    EXPECT_EQ("C:\\x", Join("C:\\", "x"));
    EXPECT_EQ("x", Join("", "x"));
    EXPECT_EQ("C:\\a\\b", Join("C:\\a", "\\b"));
    EXPECT_EQ("C:\\a\\b\\", Join("C:\\a", "b\\"));
    EXPECT_EQ("C:\\a\\b\\c", Join("C:\\a", "b//c"));
    // An empty relative part is one empty step.
    EXPECT_EQ("C:\\Tools\\", Join("C:\\Tools", ""));
    EXPECT_EQ("C:\\Tools\\exe0000.ico", Join(Join("C:\\Tools", ""), "exe0000.ico"));
    // Slashes in the base stay as they are.
    EXPECT_EQ("C:/a/b\\c", Join("C:/a/b", "c"));
}

TEST(JoinPath, DotSteps) {
    EXPECT_EQ("C:\\a\\c\\d", Join("C:\\a\\b", "..\\c/d"));
    EXPECT_EQ("C:\\a", Join("C:\\a", "."));
    EXPECT_EQ("C:\\a\\b", Join("C:\\a", ".\\b\\."));
    EXPECT_EQ("C:\\a\\...", Join("C:\\a", "..."));
    EXPECT_EQ("C:\\a\\.x", Join("C:\\a", ".x"));
    EXPECT_EQ("C:", Join("C:\\a\\", ".."));
    // A slash in the base is no separator for "..".
    EXPECT_EQ("", Join("C:/a", ".."));

    bool ok = false;
    EXPECT_EQ("x", Join("C:\\a", "..\\..\\x", &ok));
    EXPECT_TRUE(ok);
    Join("C:\\a", "..\\..\\..\\x", &ok);
    EXPECT_FALSE(ok);
    // The steps after the failing ".." are not applied.
    EXPECT_EQ("", Join("C:\\a", "..\\..\\..\\x"));
    Join("", "..", &ok);
    EXPECT_FALSE(ok);
}

TEST(JoinPath, DoubleByteSteps) {
    // The trail byte of ソ in the relative part does not split it into steps.
    EXPECT_EQ("C:\\" + kSo + "\\" + kHyo, Join("C:\\" + kSo, kHyo));
    EXPECT_EQ("C:\\x\\" + kSo + "\\y", Join("C:\\x", kSo + "/y"));
    // ".." after a name ending in 0x5C removes the whole name.
    EXPECT_EQ("C:\\x", Join("C:\\x\\" + kSo, ".."));
    // A base ending in ソ gets a backslash: its 0x5C is no separator.
    EXPECT_EQ("C:\\" + kSo + "\\f", Join("C:\\" + kSo, "f"));
}

TEST(JoinPath, NeverExceeds521Bytes) {
    std::string base(515, 'b');
    std::string joined = Join(base, "abcdefghij");
    EXPECT_EQ(521u, joined.size());
    EXPECT_EQ(base + "\\abcde", joined);
    // The cut keeps double-byte characters whole.
    std::string japanese;
    for (int i = 0; i < 5; i++) japanese += kSo;
    joined = Join(base, japanese);
    EXPECT_EQ(base + "\\" + kSo + kSo, joined);
    EXPECT_EQ(520u, joined.size());
    // A full text takes no backslash and nothing more.
    EXPECT_EQ(std::string(521, 'c'), Join(std::string(600, 'c'), "x"));
}

TEST(SafeRelativePath, Cases) {
    const std::string a300(300, 'a'), b254(254, 'b');
    struct Case {
        std::string path, safe;
        size_t capacity = PATH_CAPACITY;
    } cases[] = {
        {"..\\..\\Windows\\evil.dll", "Windows\\evil.dll"},
        {"a\\..\\b/./c//d.png", "a\\b\\c\\d.png"},  // ".." takes nothing away
        {"C:\\x\\y.exe", "x\\y.exe"},
        {"\\\\server\\share\\a.exe", "a.exe"},
        {"\\\\?\\C:\\x\\a.exe", "x\\a.exe"},
        {"CON\\nul.txt\\Com1 .dll\\COM10\\conin$", "_CON\\_nul.txt\\_Com1 .dll\\COM10\\_conin$"},
        {"name. . \\....\\/C:\\a<b>c|d?.ico", "name\\_\\C_\\a_b_c_d_.ico"},
        {std::string("\x01\t\"*:\0x", 7), "______x"},
        {kHyo + "\x8E\xA6.exe\\" + kSo + "|\x83|", kHyo + "\x8E\xA6.exe\\" + kSo + "_\x83|"},
        {"\x95/a\x81", "_\\a_"},  // lead bytes without a trail byte
        {a300 + "\\" + b254 + kHyo, a300.substr(0, 255) + "\\" + b254},
        {"..\\.\\..\\", ""},
        {"abcdef\\ghij\\k", "abcdef\\gh", 10},
        {"x\\a. b\\c", "x\\a", 6},  // cut to a trailing space, and no further
    };
    for (const Case& c : cases) {
        char safe[PATH_CAPACITY];
        size_t length = MakeSafeRelativePath(c.path.data(), c.path.size(), safe, c.capacity);
        EXPECT_EQ(std::make_pair(c.safe, c.safe.size()), std::make_pair(std::string(safe), length));
    }
}

TEST(PathExists, FilesAndFolders) {
    char windows[PATH_CAPACITY];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof(windows)), 0u);
    EXPECT_TRUE(PathExists(windows));
    std::string notepad = std::string(windows) + "\\notepad.exe";
    EXPECT_TRUE(PathExists(notepad.c_str()));
    std::string missing = std::string(windows) + "\\no-such-file-pelnore.xyz";
    EXPECT_FALSE(PathExists(missing.c_str()));
}

}  // namespace
