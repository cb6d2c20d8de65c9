// pelnore.exe itself over files with RIFF streams at odd offsets: a data file
// that is no module, and a module with streams as resources and appended, with
// and without the "/wav:0" switch. The written files are compared byte for
// byte.
#include <gtest/gtest.h>

#include "../../extract/budget.h"
#include "../support/testsupport.h"
#include "riffbytes.h"

using namespace rifftest;

namespace {

const DWORD kRunTimeoutMs = 60000;

struct Planted {
    Bytes file;
    Bytes wave1, wave2, avi, cursor;
};

// Streams at odd offsets with false starts, a rejected RMID stream and a
// truncated signature at the very end.
Planted PlantStreams(Bytes prefix) {
    Planted p;
    p.wave1 = MakeRiff("WAVE", 3001, 1);
    p.avi = MakeRiff("AVI ", 70001, 2);
    p.cursor = MakeRiff("ACON", 95, 3);
    p.wave2 = MakeRiff("WAVE", 8, 4);
    p.file = prefix;
    Append(&p.file, Pattern(3, 5));
    Append(&p.file, Text("RIFRRIF"));
    Append(&p.file, p.wave1);
    Append(&p.file, Pattern(7, 6));
    Append(&p.file, MakeRiff("RMID", 50, 7));
    Append(&p.file, Text("R"));
    Append(&p.file, p.avi);
    Append(&p.file, Pattern(1, 8));
    Append(&p.file, p.cursor);
    Append(&p.file, Text("RRI"));
    Append(&p.file, p.wave2);
    Append(&p.file, Text("RIF"));
    return p;
}

}  // namespace

TEST(RiffRun, DataFileWithStreamsAtOddOffsets) {
    std::string dir = testsupport::ScratchDir("data");
    std::string source = dir + "\\media.dat";
    Planted p = PlantStreams(Text("not a module"));
    ASSERT_TRUE(testsupport::WriteFileBytes(source, p.file.data(), p.file.size()));

    testsupport::RunResult run = testsupport::RunPelnore(testsupport::Quote(source), kRunTimeoutMs);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    std::map<std::string, Bytes> files = ReadFolder(dir + "\\media");
    std::map<std::string, Bytes> expected = {{"dat0000.wav", p.wave1},
                                             {"dat0001.wav", p.wave2},
                                             {"dat0000.avi", p.avi},
                                             {"dat0000.ani", p.cursor}};
    EXPECT_EQ(expected, files);
}

// A real module: a copy of an empty DLL with a WAVE and an AVI stream as
// custom resources, then a cursor and another WAVE stream appended to it.
TEST(RiffRun, ModuleWithResourceAndAppendedStreamsAndTheWaveSwitch) {
    std::string dir = testsupport::ScratchDir("module");
    std::string source = dir + "\\host.dll";
    Bytes wave1 = MakeRiff("WAVE", 513, 11);
    Bytes avi = MakeRiff("AVI ", 20001, 12);
    Bytes cursor = MakeRiff("ACON", 77, 13);
    Bytes wave2 = MakeRiff("WAVE", 2, 14);
    ASSERT_TRUE(
        testsupport::BuildModule(source, {{"WAVE", "#1", wave1}, {RT_RCDATA, "CLIP", avi}}));
    Bytes file;
    ASSERT_TRUE(testsupport::ReadFileBytes(source, &file));
    Append(&file, Text("RIFR"));
    Append(&file, cursor);
    Append(&file, Pattern(5, 15));
    Append(&file, wave2);
    ASSERT_TRUE(testsupport::WriteFileBytes(source, file.data(), file.size()));
    // The update calls really produced a module.
    HMODULE module = LoadLibraryExA(source.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(1), "WAVE"));
    FreeLibrary(module);

    testsupport::RunResult run = testsupport::RunPelnore(testsupport::Quote(source), kRunTimeoutMs);
    ASSERT_TRUE(run.finished);
    std::map<std::string, Bytes> expected = {{"dll0000.wav", wave1},
                                             {"dll0001.wav", wave2},
                                             {"dll0000.avi", avi},
                                             {"dll0000.ani", cursor}};
    EXPECT_EQ(expected, ReadFolder(dir + "\\host"));

    testsupport::RemoveTree(dir + "\\host");
    run = testsupport::RunPelnore("/wav:0 " + testsupport::Quote(source), kRunTimeoutMs);
    ASSERT_TRUE(run.finished);
    expected = {{"dll0000.avi", avi}, {"dll0000.ani", cursor}};
    EXPECT_EQ(expected, ReadFolder(dir + "\\host"));
}

// 64 KiB of nothing but "RIFF", size, "WAVE" records, each declaring the rest
// of the file: every record starts a stream that holds all the later ones.
TEST(RiffRun, NestedStreamsStopAtTheOutputBudget) {
    std::string dir = testsupport::ScratchDir("nested");
    std::string source = dir + "\\chain.dat";
    const size_t fileSize = 65536 - 65536 % 12;
    Bytes file;
    while (file.size() < fileSize) {
        Bytes record = MakeRiffRaw("WAVE", (unsigned long)(fileSize - file.size() - 8), Bytes());
        Append(&file, record);
    }
    ASSERT_TRUE(testsupport::WriteFileBytes(source, file.data(), file.size()));

    testsupport::RunResult run = testsupport::RunPelnore(testsupport::Quote(source), kRunTimeoutMs);
    ASSERT_TRUE(run.finished);
    std::map<std::string, Bytes> files = ReadFolder(dir + "\\chain");
    unsigned long long total = 0;
    for (const auto& f : files) total += f.second.size();
    EXPECT_LE(total, OutputBudgetFor((long long)file.size()).remaining);
    // The streams come in file order, each whole, until the budget is spent.
    ASSERT_GT(files.size(), 2u);
    EXPECT_EQ(file, files["dat0000.wav"]);
    EXPECT_EQ(Bytes(file.begin() + 12, file.end()), files["dat0001.wav"]);
    printf("%u bytes gave %u files, %llu bytes\n", (unsigned)file.size(), (unsigned)files.size(),
           total);
}
