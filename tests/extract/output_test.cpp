// Output naming and writing: the folder and file names for the awkward source
// names, replacement of existing files, and writes that fail (a read-only file
// or a folder in the way, a full disk) leaving no file behind.
#include <gtest/gtest.h>

#include "../../extract/output.h"
#include "../../util/bounded.h"
#include "../support/testsupport.h"

namespace {

std::string FolderFor(const std::string& source) {
    char folder[PATH_CAPACITY];
    OutputFolderFor(source.c_str(), folder);
    return folder;
}

// Opens the output like the writer does and reports the path, then closes
// and removes it again.
std::string OutputPathFor(const std::string& source, const char* kind, unsigned index) {
    char path[PATH_CAPACITY];
    FILE* stream = OpenOutputFile(source.c_str(), kind, index, path);
    if (stream == nullptr) return "(none)";
    FinishOutputFile(stream, path, false);
    return path;
}

const unsigned char PAYLOAD[] = {'B', 'M', 1, 2, 3, 0, 255};

TEST(OutputNaming, FolderAndNameFollowTheSource) {
    EXPECT_EQ("C:\\Tools\\viewer", FolderFor("C:\\Tools\\viewer.exe"));
    EXPECT_EQ("D:\\a\\b", FolderFor("D:\\a\\b.dll"));
    EXPECT_EQ("C:\\x\\my.tool", FolderFor("C:\\x\\my.tool.exe"));
    EXPECT_EQ("C:\\x\\tool_pelnore", FolderFor("C:\\x\\tool"));
    EXPECT_EQ("C:\\app", FolderFor("C:\\app.exe"));

    std::string dir = testsupport::ScratchDir("naming");
    EXPECT_EQ(dir + "\\b\\dll001f.bmp", OutputPathFor(dir + "\\b.dll", ".bmp", 0x1F));
    EXPECT_EQ(dir + "\\b\\dll10000.ico", OutputPathFor(dir + "\\b.dll", ".ico", 65536));
    EXPECT_EQ(dir + "\\b\\dll000a.wav", OutputPathFor(dir + "\\b.dll", ".wav", 10));
    EXPECT_EQ(dir + "\\APP\\EXE0000.ico", OutputPathFor(dir + "\\APP.EXE", ".ico", 0));
    EXPECT_EQ(dir + "\\my.tool\\exe0002.cur", OutputPathFor(dir + "\\my.tool.exe", ".cur", 2));
    // Names whose base is empty, "." or "..": no folder level, or one up.
    EXPECT_EQ(dir + "\\exe0000.ico", OutputPathFor(dir + "\\.exe", ".ico", 0));
    EXPECT_EQ(dir + "\\exe0000.ico", OutputPathFor(dir + "\\..exe", ".ico", 0));
    std::string parent = dir.substr(0, dir.find_last_of('\\'));
    EXPECT_EQ(parent + "\\exe0001.ani", OutputPathFor(dir + "\\...exe", ".ani", 1));
}

TEST(OutputNaming, SourceWithoutExtensionWritesBesideItUnderASuffix) {
    std::string dir = testsupport::ScratchDir("noext");
    std::string source = dir + "\\tool";
    ASSERT_TRUE(testsupport::WriteFileBytes(source, PAYLOAD, sizeof(PAYLOAD)));
    EXPECT_TRUE(WriteOutputFile(source.c_str(), PAYLOAD, sizeof(PAYLOAD), ".ico", 0));
    EXPECT_EQ((std::vector<std::string>{"tool", "tool_pelnore"}), testsupport::ListFolder(dir));
    EXPECT_EQ(std::vector<std::string>{"0000.ico"}, testsupport::ListFolder(source + "_pelnore"));
}

TEST(OutputNaming, DriveRoot) {
    ASSERT_FALSE(testsupport::FileExists("C:\\pelnoreroot"));
    EXPECT_TRUE(WriteOutputFile("C:\\pelnoreroot.dll", PAYLOAD, sizeof(PAYLOAD), ".bmp", 3));
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(testsupport::ReadFileBytes("C:\\pelnoreroot\\dll0003.bmp", &bytes));
    EXPECT_EQ(std::vector<unsigned char>(PAYLOAD, PAYLOAD + sizeof(PAYLOAD)), bytes);
    testsupport::RemoveTree("C:\\pelnoreroot");
}

TEST(OutputWriting, CreatesTheFolderOnceAndReplacesFiles) {
    std::string dir = testsupport::ScratchDir("replace");
    std::string source = dir + "\\viewer.exe";
    EXPECT_TRUE(testsupport::ListFolder(dir).empty());
    std::vector<unsigned char> big(100000, 0x5A);
    ASSERT_TRUE(WriteOutputFile(source.c_str(), big.data(), big.size(), ".ico", 0));
    ASSERT_TRUE(WriteOutputFile(source.c_str(), PAYLOAD, sizeof(PAYLOAD), ".ico", 0));
    ASSERT_TRUE(WriteOutputFile(source.c_str(), PAYLOAD, 0, ".ico", 1));
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(dir + "\\viewer\\exe0000.ico", &bytes));
    EXPECT_EQ(std::vector<unsigned char>(PAYLOAD, PAYLOAD + sizeof(PAYLOAD)), bytes);
    ASSERT_TRUE(testsupport::ReadFileBytes(dir + "\\viewer\\exe0001.ico", &bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ((std::vector<std::string>{"exe0000.ico", "exe0001.ico"}),
              testsupport::ListFolder(dir + "\\viewer"));

    // A place decided beside the source whose folder is removed between two
    // files: the later file makes it again.
    OutputPlace place;
    InitOutputPlace(&place, nullptr);
    ASSERT_TRUE(WriteOutputFile(source.c_str(), PAYLOAD, 2, ".bmp", 0, &place));
    ASSERT_EQ(OUTPUT_BESIDE, place.state);
    testsupport::RemoveTree(dir + "\\viewer");
    EXPECT_TRUE(WriteOutputFile(source.c_str(), PAYLOAD, 3, ".bmp", 1, &place));
    EXPECT_EQ(std::vector<std::string>{"exe0001.bmp"}, testsupport::ListFolder(dir + "\\viewer"));
}

TEST(OutputWriting, FailsWhenSomethingIsInTheWay) {
    std::string dir = testsupport::ScratchDir("inway");
    // A plain file where the folder should be: it exists, but nothing opens in it.
    ASSERT_TRUE(testsupport::WriteFileBytes(dir + "\\blocked", PAYLOAD, 1));
    EXPECT_FALSE(WriteOutputFile((dir + "\\blocked.dll").c_str(), PAYLOAD, 3, ".ico", 0));

    // A folder that has the output file's name. (A read-only file is no test
    // here: the tests may run as a user whom no file mode stops.)
    CreateDirectoryA((dir + "\\app").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryA((dir + "\\app\\dll0001.ico").c_str(), nullptr));
    EXPECT_FALSE(WriteOutputFile((dir + "\\app.dll").c_str(), PAYLOAD, 7, ".ico", 1));
    DWORD attributes = GetFileAttributesA((dir + "\\app\\dll0001.ico").c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

// scratch\full\dll0000.ico is a link to /dev/full, made by the test set-up:
// it opens for writing, and the bytes then find no space.
TEST(OutputWriting, WriteThatFindsNoSpaceFails) {
    std::string dir = testsupport::TestDir() + "\\scratch";
    std::vector<std::string> before = {"dll0000.ico"};
    ASSERT_EQ(before, testsupport::ListFolder(dir + "\\full")) << "the set-up test makes this link";
    std::vector<unsigned char> big(300000, 0x42);
    EXPECT_FALSE(WriteOutputFile((dir + "\\full.dll").c_str(), big.data(), big.size(), ".ico", 0));
    // The next file of the same folder is written as usual.
    EXPECT_TRUE(WriteOutputFile((dir + "\\full.dll").c_str(), PAYLOAD, sizeof(PAYLOAD), ".ico", 1));
    EXPECT_TRUE(testsupport::FileExists(dir + "\\full\\dll0001.ico"));
    DeleteFileA((dir + "\\full\\dll0001.ico").c_str());
}

// scratch\fulldisk is a 64 KiB file system when the set-up could mount one.
TEST(OutputWriting, FullDiskLeavesNoFileBehind) {
    std::string disk = testsupport::TestDir() + "\\scratch\\fulldisk";
    ULARGE_INTEGER available, total;
    if (!GetDiskFreeSpaceExA((disk + "\\").c_str(), &available, &total, nullptr) ||
        total.QuadPart > 1024 * 1024)
        GTEST_SKIP() << "no small file system mounted at " << disk;
    testsupport::RemoveTree(disk + "\\viewer");
    std::vector<unsigned char> big(300000, 0x42);
    EXPECT_FALSE(
        WriteOutputFile((disk + "\\viewer.exe").c_str(), big.data(), big.size(), ".bmp", 0));
    EXPECT_TRUE(testsupport::ListFolder(disk + "\\viewer").empty());
    std::vector<unsigned char> small(1000, 0x43);
    EXPECT_TRUE(
        WriteOutputFile((disk + "\\viewer.exe").c_str(), small.data(), small.size(), ".bmp", 1));
    EXPECT_EQ(std::vector<std::string>{"exe0001.bmp"}, testsupport::ListFolder(disk + "\\viewer"));
    testsupport::RemoveTree(disk + "\\viewer");
}

TEST(OutputWriting, FinishRemovesAFileThatFailed) {
    std::string dir = testsupport::ScratchDir("finish");
    char path[PATH_CAPACITY];
    FILE* stream = OpenOutputFile((dir + "\\x.dll").c_str(), ".wav", 4, path);
    ASSERT_NE(nullptr, stream);
    EXPECT_EQ(dir + "\\x\\dll0004.wav", std::string(path));
    fwrite(PAYLOAD, 1, sizeof(PAYLOAD), stream);
    EXPECT_FALSE(FinishOutputFile(stream, path, false));
    EXPECT_FALSE(testsupport::FileExists(path));

    stream = OpenOutputFile((dir + "\\x.dll").c_str(), ".wav", 5, path);
    ASSERT_NE(nullptr, stream);
    fwrite(PAYLOAD, 1, sizeof(PAYLOAD), stream);
    EXPECT_TRUE(FinishOutputFile(stream, path, true));
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, &bytes));
    EXPECT_EQ(sizeof(PAYLOAD), bytes.size());
}

}  // namespace
