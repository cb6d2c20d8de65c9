// The RIFF scanner over crafted files: signature search, header checks, the
// written bytes, the per-form numbering, the kind mask, files held open by
// another handle, and outputs that cannot be written.
#include <gtest/gtest.h>

#include "../../extract/riff.h"
#include "../support/testsupport.h"
#include "riffbytes.h"

using namespace rifftest;

namespace {

struct Scanned {
    std::string source;
    std::string folder;
    std::map<std::string, Bytes> files;
};

// Writes bytes to <scratch>\<name> and scans it.
Scanned ScanBytes(const std::string& scratch, const std::string& name, const Bytes& bytes,
                  KindMask mask = 0) {
    Scanned result;
    std::string dir = testsupport::ScratchDir(scratch);
    result.source = dir + "\\" + name;
    result.folder = dir + "\\" + name.substr(0, name.rfind('.'));
    EXPECT_TRUE(testsupport::WriteFileBytes(result.source, bytes.data(), bytes.size()));
    EXPECT_TRUE(ScanRiffStreams(result.source.c_str(), mask));
    result.files = ReadFolder(result.folder);
    return result;
}

std::vector<std::string> Names(const Scanned& scanned) {
    std::vector<std::string> names;
    for (const auto& file : scanned.files) names.push_back(file.first);
    return names;
}

}  // namespace

TEST(RiffForms, OnlyTheThreeFormsAreWrittenAndCaseCounts) {
    Bytes file = Text("MZ");
    for (const char* form : {"wave", "AVIX", "RMID", "acon", "AVI ", "WAVE", "ACON"})
        Append(&file, MakeRiff(form, 10, 3));
    Scanned s = ScanBytes("forms", "f.exe", file);
    EXPECT_EQ((std::vector<std::string>{"exe0000.ani", "exe0000.avi", "exe0000.wav"}), Names(s));
    EXPECT_EQ(MakeRiff("ACON", 10, 3), s.files["exe0000.ani"]);
}

TEST(RiffScan, StreamAfterRepeatedOrBrokenStartsIsFound) {
    Bytes wave = MakeRiff("WAVE", 21, 1);
    // "RRIFF": the second R restarts the match; "RIFRIFF": the signature
    // begins at the second R.
    for (const char* prefix : {"xR", "xRIFRI", "RIRIF", "RIFRIFRIF"}) {
        Bytes file = Text(prefix);
        Append(&file, wave);
        Scanned s = ScanBytes("prefix", "host.exe", file);
        ASSERT_EQ(std::vector<std::string>{"exe0000.wav"}, Names(s)) << prefix;
        EXPECT_EQ(wave, s.files["exe0000.wav"]) << prefix;
    }
}

TEST(RiffScan, WritesRoundedSizePlusEightWithTheOriginalSizeField) {
    // Size field 0x25: rounded 0x28, so 0x30 bytes, and the field still reads
    // 0x25.
    Bytes body = Pattern(0x28 - 4, 7);
    Bytes file = Text("MZ junk ");
    Bytes stream = MakeRiffRaw("AVI ", 0x25, body);
    Append(&file, stream);
    Append(&file, Text("trailing bytes that are not part of the stream"));
    Scanned s = ScanBytes("rounded", "a.exe", file);
    ASSERT_EQ(std::vector<std::string>{"exe0000.avi"}, Names(s));
    const Bytes& out = s.files["exe0000.avi"];
    ASSERT_EQ(0x30u, out.size());
    EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 0x30), out);
    EXPECT_EQ(0x25, out[4]);
    EXPECT_EQ(0, out[5] | out[6] | out[7]);
}

TEST(RiffScan, UnknownFormsAndBadSizesAreSkippedAndNumberNothing) {
    Bytes file;
    Append(&file, MakeRiff("RMID", 40, 2));
    Append(&file, MakeRiff("wave", 40, 3));
    Append(&file, MakeRiffRaw("WAVE", 0, Pattern(16, 4)));           // size field 0
    Append(&file, MakeRiffRaw("WAVE", 0x7FFFFFFD, Pattern(16, 5)));  // rounds negative
    Append(&file, MakeRiffRaw("WAVE", 0xFFFFFFFF, Pattern(16, 6)));  // rounds to 0
    Bytes good = MakeRiff("WAVE", 30, 8);
    Append(&file, good);
    Append(&file, MakeRiffRaw("WAVE", 0x7FFFFFFC, Pattern(16, 9)));  // past the end
    Scanned s = ScanBytes("skipped", "b.exe", file);
    ASSERT_EQ(std::vector<std::string>{"exe0000.wav"}, Names(s));
    EXPECT_EQ(good, s.files["exe0000.wav"]);
}

TEST(RiffScan, UpToFourMissingTailBytesBecomeZerosAndFiveAreRejected) {
    // Size field 4 + 28: the stream is 40 bytes long.
    Bytes full = MakeRiff("ACON", 28, 11);
    ASSERT_EQ(40u, full.size());
    for (size_t missing = 0; missing <= 5; missing++) {
        Bytes file = Text("ab");
        Append(&file, Bytes(full.begin(), full.end() - missing));
        Scanned s = ScanBytes("tail", "c.exe", file);
        if (missing == 5) {
            EXPECT_TRUE(s.files.empty());
            // Rejected before anything is written: not even the folder appears.
            EXPECT_FALSE(testsupport::FileExists(s.folder));
            continue;
        }
        ASSERT_EQ(std::vector<std::string>{"exe0000.ani"}, Names(s)) << missing;
        Bytes expected(full.begin(), full.end() - missing);
        expected.resize(full.size(), 0);
        EXPECT_EQ(expected, s.files["exe0000.ani"]) << missing;
    }
}

TEST(RiffScan, CountsEachFormSeparatelyInFileOrder) {
    Bytes wave1 = MakeRiff("WAVE", 100, 21);
    Bytes avi = MakeRiff("AVI ", 57, 22);
    Bytes wave2 = MakeRiff("WAVE", 3, 23);
    Bytes file = Text("MZ");
    Append(&file, wave1);
    Append(&file, Text("R"));
    Append(&file, avi);
    Append(&file, Pattern(33, 24));
    Append(&file, wave2);
    Scanned s = ScanBytes("order", "viewer.exe", file);
    std::vector<std::string> expected = {"exe0000.avi", "exe0000.wav", "exe0001.wav"};
    ASSERT_EQ(expected, Names(s));
    EXPECT_EQ(wave1, s.files["exe0000.wav"]);
    EXPECT_EQ(wave2, s.files["exe0001.wav"]);
    EXPECT_EQ(avi, s.files["exe0000.avi"]);
}

TEST(RiffScan, StreamsInsideWrittenAndRejectedStreamsAreFoundToo) {
    Bytes inner = MakeRiff("WAVE", 20, 31);
    Bytes outerBody = Pattern(9, 32);
    Append(&outerBody, inner);
    Append(&outerBody, Pattern(3, 33));
    Bytes outer = MakeRiffRaw("AVI ", (unsigned long)(outerBody.size() + 4), outerBody);
    Bytes innerCursor = MakeRiff("ACON", 12, 34);
    Bytes rejectedBody = Pattern(5, 35);
    Append(&rejectedBody, innerCursor);
    Bytes rejected = MakeRiffRaw("RMID", (unsigned long)(rejectedBody.size() + 4), rejectedBody);
    Bytes file;
    Append(&file, outer);
    Append(&file, rejected);
    Scanned s = ScanBytes("nested", "n.dll", file);
    std::vector<std::string> expected = {"dll0000.ani", "dll0000.avi", "dll0000.wav"};
    ASSERT_EQ(expected, Names(s));
    EXPECT_EQ(outer, s.files["dll0000.avi"]);
    EXPECT_EQ(inner, s.files["dll0000.wav"]);
    EXPECT_EQ(innerCursor, s.files["dll0000.ani"]);
}

TEST(RiffScan, MaskedFormIsNotWrittenAndKeepsItsCounterAtZero) {
    Bytes file;
    Bytes wave = MakeRiff("WAVE", 10, 41);
    Bytes avi = MakeRiff("AVI ", 10, 42);
    Bytes ani = MakeRiff("ACON", 10, 43);
    Append(&file, wave);
    Append(&file, avi);
    Append(&file, MakeRiff("WAVE", 11, 44));
    Append(&file, ani);
    Scanned s = ScanBytes("mask", "m.exe", file, KIND_WAVE);
    std::vector<std::string> expected = {"exe0000.ani", "exe0000.avi"};
    ASSERT_EQ(expected, Names(s));
    EXPECT_EQ(avi, s.files["exe0000.avi"]);
    EXPECT_EQ(ani, s.files["exe0000.ani"]);

    s = ScanBytes("mask", "m.exe", file, KIND_AVI | KIND_ANICURSOR);
    expected = {"exe0000.wav", "exe0001.wav"};
    ASSERT_EQ(expected, Names(s));
    EXPECT_EQ(wave, s.files["exe0000.wav"]);
}

TEST(RiffScan, WaveFileAsItsOwnSource) {
    Bytes wave = MakeRiff("WAVE", 1001, 51);
    Scanned s = ScanBytes("self", "beep.wav", wave);
    ASSERT_EQ(std::vector<std::string>{"wav0000.wav"}, Names(s));
    EXPECT_EQ(wave, s.files["wav0000.wav"]);
    EXPECT_TRUE(s.folder.size() > 5 && s.folder.substr(s.folder.size() - 5) == "\\beep");
}

TEST(RiffScan, MissingFileIsReportedAndWritesNothing) {
    std::string dir = testsupport::ScratchDir("missing");
    EXPECT_FALSE(ScanRiffStreams((dir + "\\none.exe").c_str(), 0));
    EXPECT_TRUE(testsupport::ListFolder(dir).empty());
}

TEST(RiffScan, FileHeldOpenByARunningProgramOrAWriterIsScanned) {
    std::string dir = testsupport::ScratchDir("held");
    std::string path = dir + "\\held.exe";
    Bytes wave = MakeRiff("WAVE", 777, 61);
    Bytes file = Text("MZ?");
    Append(&file, wave);
    ASSERT_TRUE(testsupport::WriteFileBytes(path, file.data(), file.size()));

    // Read sharing only, as a running program holds its own file: the size
    // comes from the directory entry and the file is still read. A holder with
    // delete access shuts the stream out, and a mapping reads the file
    // instead; a writer shuts a mapping out, and the stream reads it.
    struct Holder {
        DWORD access, share;
        RiffSourceAccess asked, expected;
    };
    const Holder holders[] = {
        {GENERIC_READ, FILE_SHARE_READ, RIFF_ACCESS_DEFAULT, RIFF_ACCESS_STREAM},
        {GENERIC_READ, FILE_SHARE_READ, RIFF_ACCESS_MAPPED, RIFF_ACCESS_MAPPED},
        {GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, RIFF_ACCESS_DEFAULT,
         RIFF_ACCESS_MAPPED},
        {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, RIFF_ACCESS_MAPPED,
         RIFF_ACCESS_STREAM},
    };
    for (const Holder& holder : holders) {
        testsupport::RemoveTree(dir + "\\held");
        HANDLE running = CreateFileA(path.c_str(), holder.access, holder.share, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, running);
        HANDLE probe =
            CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, probe);  // the exclusive open really fails here
        if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
        RiffSourceAccess used = RIFF_ACCESS_DEFAULT;
        RiffScanOptions options = {};
        options.access = holder.asked;
        options.accessUsed = &used;
        EXPECT_TRUE(ScanRiffStreamsWith(path.c_str(), 0, &options));
        CloseHandle(running);
        EXPECT_EQ(holder.expected, used) << holder.asked;
        std::map<std::string, Bytes> files = ReadFolder(dir + "\\held");
        ASSERT_EQ(1u, files.size());
        EXPECT_EQ(wave, files["exe0000.wav"]);
    }
}

namespace {

struct Truncation {
    std::string path;
    LONGLONG newSize;
    int calls;
};

// Cuts the source short at the first candidate, after its header was checked
// against the old size: the stream's copy then comes up short. Only the stream
// way lets a writer in while it scans.
void TruncateAtFirstCandidate(void* context, LONGLONG offset) {
    Truncation* t = static_cast<Truncation*>(context);
    PELNORE_UNUSED(offset);
    if (t->calls++ != 0) return;
    HANDLE h = CreateFileA(t->path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = t->newSize;
    if (h != INVALID_HANDLE_VALUE) {
        SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
        CloseHandle(h);
    }
}

}  // namespace

TEST(RiffScan, StreamThatCannotBeCopiedWholeLeavesNoFileAndTakesNoNumber) {
    std::string dir = testsupport::ScratchDir("short");
    Truncation t = {dir + "\\w.exe", 0, 0};
    Bytes inner = MakeRiff("WAVE", 40, 71);
    Bytes outerBody = inner;
    Append(&outerBody, Pattern(300000, 72));  // longer than one copy chunk
    Bytes outer = MakeRiffRaw("WAVE", (unsigned long)outerBody.size() + 4, outerBody);
    Bytes file = Text("xx");
    Append(&file, outer);
    // The cut keeps the inner stream and a little more, far less than the outer
    // one.
    t.newSize = 2 + 12 + (LONGLONG)inner.size() + 100;
    ASSERT_TRUE(testsupport::WriteFileBytes(t.path, file.data(), file.size()));
    RiffScanOptions options = {
        0,       4096,    false,  TruncateAtFirstCandidate, &t, nullptr, RIFF_ACCESS_STREAM, 0,
        nullptr, nullptr, nullptr};
    EXPECT_TRUE(ScanRiffStreamsWith(t.path.c_str(), 0, &options));
    EXPECT_EQ(2, t.calls);
    ASSERT_EQ(t.newSize, testsupport::FileSize(t.path));
    // The outer stream's partial file is gone, and the inner one, found next,
    // takes the index that the outer one did not use.
    std::map<std::string, Bytes> files = ReadFolder(dir + "\\w");
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(inner, files["exe0000.wav"]);
}
