// The extraction mode as a whole: switches and path resolution, the worker's
// start, and the real pelnore.exe run on the fixture module, on modules with
// exact resources, on the Wine prefix's own system DLLs and on 16-bit (NE)
// twins of such modules, with the files it writes checked by name and byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string.h>

#include "../../app/job.h"
#include "../../app/handbox.h"
#include "../../app/handover.h"
#include "../../app/report.h"
#include "../../extract/assemble.h"
#include "../../util/worker.h"
#include "../../util/wow64fs.h"
#include "../../extract/extract.h"
#include "../../extract/streamformats.h"
#include "../support/testsupport.h"
#include "newriter.h"
#include "resbuilder.h"

using namespace restest;
using testsupport::Quote;

namespace {

const DWORD RUN_TIMEOUT = 120000;

std::string FixtureDir() {
    return testsupport::TestDir() + "\\fixtures";
}

Bytes ReadAll(const std::string& path) {
    Bytes bytes;
    EXPECT_TRUE(testsupport::ReadFileBytes(path, &bytes)) << path;
    return bytes;
}

std::string CopyFixture(const std::string& dir, const std::string& name) {
    std::string path = dir + "\\" + name;
    EXPECT_TRUE(CopyFileA((FixtureDir() + "\\fixture.dll").c_str(), path.c_str(), FALSE));
    return path;
}

void RunPelnore(const std::string& arguments) {
    testsupport::RunResult run = testsupport::RunPelnore(arguments, RUN_TIMEOUT);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
}

// ---------------------------------------------------------------- switches and paths

char** Args(std::vector<std::string>& texts, std::vector<char*>* table) {
    table->clear();
    for (std::string& t : texts) table->push_back(&t[0]);
    table->push_back(nullptr);
    return table->data();
}

TEST(KindSwitches, WholeArgumentsIgnoringCase) {
    std::vector<std::string> texts = {"pelnore", "/ico:0", "/CUR:0", "/Bmp:0", "x.dll", "/AVI:0"};
    std::vector<char*> table;
    EXPECT_EQ(0x0Fu, ParseKindSwitches((int)texts.size(), Args(texts, &table)));
    texts = {"pelnore", "/wav:0", "/ani:0", "/wav:0"};
    EXPECT_EQ(0x30u, ParseKindSwitches((int)texts.size(), Args(texts, &table)));
    texts = {"pelnore", "/png:0", "/GIF:0",  "/Jpg:0", "/mid:0",
             "/MP3:0",  "/ogg:0", "/jpeg:0", "/WMF:0", "/emf:0"};
    EXPECT_EQ(0x3FC0u, ParseKindSwitches((int)texts.size(), Args(texts, &table)));
    // The program name is not read; near misses are no switches.
    texts = {"/ico:0", "/ico:00", "/ico:", "/ico:1", "ico:0", "/ico:0 ", "x/cur:0", "/bmp"};
    EXPECT_EQ(0u, ParseKindSwitches((int)texts.size(), Args(texts, &table)));
}

TEST(FileArguments, ExistingFilesAndFoldersInArgumentOrder) {
    std::string dir = testsupport::ScratchDir("args");
    std::string file = dir + "\\a.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "x", 1));
    std::vector<std::string> texts = {file, "/ico:0", dir + "\\missing.dll", dir, file};
    std::vector<char*> table;
    int count = -1;
    char** list = ResolveFileArguments((int)texts.size(), Args(texts, &table), &count);
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(3, count);
    EXPECT_STREQ(file.c_str(), list[0]);
    EXPECT_STREQ(dir.c_str(), list[1]);
    EXPECT_STREQ(file.c_str(), list[2]);
    EXPECT_EQ(nullptr, list[3]);
    FreePathList(list, count);

    char path[522];
    EXPECT_FALSE(ResolveFullPath((dir + "\\missing.dll").c_str(), path));
    EXPECT_STREQ("", path);
    ASSERT_TRUE(ResolveFullPath(file.c_str(), path));
    EXPECT_STREQ(file.c_str(), path);
}

// ---------------------------------------------------------------- the worker

unsigned CountCalls(WorkerThread* thread, void* argument) {
    PELNORE_UNUSED(thread);
    ++*(int*)argument;
    return 7;
}

TEST(Worker, AResumeThatFailsEndsTheThreadInsteadOfWaiting) {
    int calls = 0;
    WorkerThread* worker = CreateWorkerThread(CountCalls, &calls);
    ASSERT_NE(nullptr, worker);
    // Wine sets a new thread up on its own side even while it is suspended, and
    // ending it in the middle of that set-up can bring the whole process down
    // (seen about once in 40 runs); Windows has no such window. The pause lets
    // the set-up finish, so the test sees only our own code.
    Sleep(100);
    // A handle without the right to resume: ResumeThread really fails with it.
    HANDLE full = worker->thread;
    HANDLE limited = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), full, GetCurrentProcess(), &limited,
                                SYNCHRONIZE | THREAD_TERMINATE | THREAD_QUERY_INFORMATION, FALSE,
                                0));
    worker->thread = limited;
    EXPECT_FALSE(StartWorkerThread(worker));
    EXPECT_TRUE(IsWorkerThreadCancelled(worker));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(full, 10000));
    ReleaseWorkerThread(worker);  // must not wait for ever
    EXPECT_EQ(0, calls);
    CloseHandle(full);

    worker = CreateWorkerThread(CountCalls, &calls);
    ASSERT_NE(nullptr, worker);
    EXPECT_TRUE(StartWorkerThread(worker));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker->thread, 10000));
    DWORD code = 0;
    GetExitCodeThread(worker->thread, &code);
    EXPECT_EQ(7u, code);
    ReleaseWorkerThread(worker);
    EXPECT_EQ(1, calls);
}

TEST(Worker, CancelledJobWritesNothingAndEmptyJobEndsAtOnce) {
    std::string dir = testsupport::ScratchDir("cancel");
    std::string source = CopyFixture(dir, "fixture.dll");
    char* paths[] = {&source[0], nullptr};
    ExtractionJob job = {0, 1, paths, nullptr, nullptr, nullptr, nullptr};
    WorkerThread* worker = CreateWorkerThread(ExtractionWorker, &job);
    ASSERT_NE(nullptr, worker);
    ASSERT_TRUE(CancelWorkerThread(worker));
    ASSERT_TRUE(StartWorkerThread(worker));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker->thread, 10000));
    ReleaseWorkerThread(worker);
    EXPECT_EQ(std::vector<std::string>{"fixture.dll"}, testsupport::ListFolder(dir));

    ExtractionJob empty = {0, 0, paths + 1, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(0u, ExtractionWorker(nullptr, &empty));
}

// ---------------------------------------------------------------- pelnore.exe on the fixture

// What the fixture module's resources were built from, by output name, under
// build\tests\fixtures: the string-named groups come first in the enumeration;
// the resources recognised by their content follow their types' order (named
// types sorted, then RT_RCDATA), each extension numbered on its own; the WAVE
// resource comes from the RIFF scan, once, as do the pictures inside the forms;
// the icons' images, a PNG among them, give nothing of their own. Bitmap
// 3's second language follows all bitmaps (000a); the pictures inside the two
// forms come after it (000b.bmp, 0004.ico, 0002.png, 0002.jpg, 0002.gif).
std::map<std::string, std::string> ExpectedFixtureFiles(const std::string& ext) {
    const char* files[][2] = {
        {"0000.ico", "images\\mono.ico"},    {"0001.ico", "media\\pngicon.ico"},
        {"0002.ico", "images\\three.ico"},   {"0003.ico", "images\\large.ico"},
        {"0000.cur", "images\\arrow.cur"},   {"0001.cur", "images\\paint.cur"},
        {"0000.bmp", "images\\rgb3x2.bmp"},  {"0001.bmp", "images\\nine4.bmp"},
        {"0002.bmp", "images\\grey8.bmp"},   {"0003.bmp", "images\\rle8.bmp"},
        {"0004.bmp", "images\\mono1.bmp"},   {"0005.bmp", "images\\high16.bmp"},
        {"0006.bmp", "images\\alpha32.bmp"}, {"0007.bmp", "images\\bf16.bmp"},
        {"0008.bmp", "images\\bf32.bmp"},    {"0009.bmp", "images\\rle4.bmp"},
        {"0000.gif", "images\\dots.gif"},    {"0000.jpg", "images\\photo.jpg"},
        {"0000.mid", "media\\tune.mid"},     {"0000.mp3", "media\\beep.mp3"},
        {"0001.mp3", "media\\click.mp3"},    {"0000.ogg", "media\\drip.ogg"},
        {"0000.png", "images\\logo.png"},    {"0001.png", "images\\badge.png"},
        {"0001.gif", "images\\stamp.gif"},   {"0001.jpg", "images\\card.jpg"},
        {"0000.wav", "media\\chime.wav"},    {"000a.bmp", "images\\mono1.bmp"},
        {"000b.bmp", "images\\grey8.bmp"},   {"0004.ico", "images\\mono.ico"},
        {"0002.png", "images\\badge.png"},   {"0002.jpg", "images\\card.jpg"},
        {"0002.gif", "images\\stamp.gif"},
    };
    std::map<std::string, std::string> expected;
    for (const auto& file : files) expected[ext + file[0]] = file[1];
    return expected;
}

size_t ReadBytesAt(void* context, int64_t offset, void* dest, size_t count) {
    const Bytes* bytes = (const Bytes*)context;
    size_t rest = (size_t)offset < bytes->size() ? bytes->size() - (size_t)offset : 0;
    memcpy(dest, bytes->data() + offset, std::min(count, rest));
    return std::min(count, rest);
}

// Whether a walk of the kind holds over all of the bytes, and ends there.
bool WalkHoldsToTheEnd(int kind, const Bytes& bytes) {
    unsigned char buffer[512];
    for (const StreamFormat& format : STREAM_FORMATS) {
        ByteWindow window = {(int64_t)bytes.size(),
                             ReadBytesAt,
                             (void*)&bytes,
                             nullptr,
                             0,
                             0,
                             buffer,
                             sizeof(buffer),
                             0,
                             0,
                             1u << 24};
        if (format.kind == kind && format.findEnd(&window, 0) == (int64_t)bytes.size()) return true;
    }
    return false;
}

// Each sample holds to its end; one byte changed (at, from the end when
// negative) or a cut tail breaks it.
TEST(StreamWalks, SamplesHoldAndBrokenOnesDoNot) {
    const struct {
        int kind;
        const char* file;
        int at;
        size_t cut;
    } cases[] = {
        {OUTPUT_PNG, "images\\logo.png", -1, 0},    {OUTPUT_PNG, "images\\logo.png", 0, 1},
        {OUTPUT_GIF, "images\\dots.gif", -1, 0},    {OUTPUT_JPEG, "media\\exif.jpg", -1, 0},
        {OUTPUT_JPEG, "media\\exif.jpg", 0, 3},     {OUTPUT_BITMAP, "images\\rle8.bmp", 6, 0},
        {OUTPUT_BITMAP, "images\\bf16.bmp", 0, 1},  {OUTPUT_ICON, "media\\pngicon.ico", 19, 0},
        {OUTPUT_CURSOR, "images\\arrow.cur", 0, 1}, {OUTPUT_MIDI, "media\\tune.mid", 11, 0},
        {OUTPUT_OGG, "media\\drip.ogg", 22, 0},     {OUTPUT_OGG, "media\\drip.ogg", 0, 1},
        {OUTPUT_MP3, "media\\tone.mp3", 0, 1300},   {OUTPUT_MP3, "media\\click.mp3", 7, 0},
        {OUTPUT_WMF, "media\\shapes.wmf", 20, 0},   {OUTPUT_EMF, "media\\shapes.emf", -20, 0}};
    for (const auto& c : cases) {
        Bytes bytes = ReadAll(FixtureDir() + "\\" + c.file);
        ASSERT_GT(bytes.size(), c.cut + 30);
        EXPECT_TRUE(WalkHoldsToTheEnd(c.kind, bytes)) << c.file;
        if (c.cut == 0) bytes[c.at < 0 ? bytes.size() + c.at : (size_t)c.at] ^= 0x21;
        bytes.resize(bytes.size() - c.cut);
        EXPECT_FALSE(WalkHoldsToTheEnd(c.kind, bytes))
            << c.file << " at " << c.at << " cut " << c.cut;
    }
}

// Every kind but cursors switched off.
const char* const ONLY_CURSORS =
    "/ico:0 /bmp:0 /png:0 /gif:0 /jpg:0 /mid:0 /mp3:0 /ogg:0 /wav:0 /wmf:0 /emf:0";

Bytes ExpectedBytes(const std::string& file) {
    Bytes bytes = ReadAll(FixtureDir() + "\\" + file);
    // A colour cursor keeps the doubled height that the group stores.
    if (file == "images\\paint.cur") bytes[7] = 64;
    return bytes;
}

UINT ImageTypeOf(const std::string& name) {
    std::string ext = name.substr(name.size() - 4);
    return ext == ".ico" ? IMAGE_ICON : ext == ".cur" ? IMAGE_CURSOR : IMAGE_BITMAP;
}

bool IsImageFile(const std::string& name) {
    std::string ext = name.substr(name.size() - 4);
    return ext == ".ico" || ext == ".cur" || ext == ".bmp";
}

void ExpectFixtureOutput(const std::string& folder, const std::string& ext,
                         const char* skipKinds = "",
                         const std::map<std::string, std::string>& more = {}) {
    std::vector<std::string> expectedNames;
    std::map<std::string, std::string> files = ExpectedFixtureFiles(ext);
    files.insert(more.begin(), more.end());
    for (const auto& entry : files) {
        if (strstr(skipKinds, entry.first.substr(entry.first.size() - 4).c_str())) continue;
        expectedNames.push_back(entry.first);
        EXPECT_EQ(ExpectedBytes(entry.second), ReadAll(folder + "\\" + entry.first)) << entry.first;
        int w = 0, h = 0;
        if (!IsImageFile(entry.first)) continue;
        EXPECT_TRUE(
            LoadImageSize(folder + "\\" + entry.first, ImageTypeOf(entry.first), 0, 0, &w, &h))
            << entry.first;
    }
    EXPECT_EQ(expectedNames, testsupport::ListFolder(folder));
}

TEST(PelnoreRun, FixtureModuleGivesExactlyTheExpectedFiles) {
    std::string dir = testsupport::ScratchDir("fixture");
    std::string source = CopyFixture(dir, "fixture.dll");
    RunPelnore(Quote(source));
    ExpectFixtureOutput(dir + "\\fixture", "dll");
    // A second run over the same source writes the same bytes again.
    RunPelnore(Quote(source) + " " + Quote(source));
    ExpectFixtureOutput(dir + "\\fixture", "dll");

    // Streams appended to the module, each after a few bytes of junk: numbered
    // on in the order of their offsets. The PNG inside the icon, the JPEG
    // thumbnail inside the Exif block and a PNG with one wrong CRC give nothing.
    const char* appended[][2] = {
        {"0003.png", "images\\logo.png"},   {"000c.bmp", "images\\rgb3x2.bmp"},
        {"0005.ico", "media\\pngicon.ico"}, {"0002.cur", "images\\arrow.cur"},
        {"0001.mid", "media\\tune.mid"},    {"0001.ogg", "media\\drip.ogg"},
        {"0002.mp3", "media\\tone.mp3"},    {"0000.wmf", "media\\shapes.wmf"},
        {"0000.emf", "media\\shapes.emf"},  {"0003.jpg", "media\\exif.jpg"}};
    Bytes tail;
    std::map<std::string, std::string> more;
    for (const auto& row : appended) {
        tail.insert(tail.end(), {'j', 'u', 'n', 'k', 0xFF, 0xD8, 'B', 'M'});
        Bytes bytes = ReadAll(FixtureDir() + "\\" + row[1]);
        tail.insert(tail.end(), bytes.begin(), bytes.end());
        more["dll" + std::string(row[0])] = row[1];
    }
    Bytes damaged = ReadAll(FixtureDir() + "\\images\\logo.png");
    damaged[damaged.size() - 13] ^= 1;  // the last chunk's CRC before IEND
    tail.insert(tail.end(), damaged.begin(), damaged.end());
    Bytes module = ReadAll(source);
    module.insert(module.end(), tail.begin(), tail.end());
    ASSERT_TRUE(testsupport::WriteFileBytes(source, module.data(), module.size()));
    RunPelnore(Quote(source));
    ExpectFixtureOutput(dir + "\\fixture", "dll", "", more);
}

TEST(PelnoreRun, SwitchesInAnyCaseTurnKindsOff) {
    std::string dir = testsupport::ScratchDir("switches");
    std::string a = CopyFixture(dir, "a.dll"), b = CopyFixture(dir, "b.dll"),
                c = CopyFixture(dir, "c.dll");
    RunPelnore("/ICO:0 " + Quote(a) + " /Cur:0 /PNG:0 /Mid:0");
    ExpectFixtureOutput(dir + "\\a", "dll", ".ico.cur.png.mid");
    RunPelnore(Quote(b) + " /BMP:0 /avi:0 /WAV:0 /aNi:0 /gif:0 /jpg:0 /mp3:0 /ogg:0 /Wmf:0");
    ExpectFixtureOutput(dir + "\\b", "dll", ".bmp.wav.gif.jpg.mp3.ogg");
    RunPelnore(
        "/ico:0 /cur:0 /bmp:0 /avi:0 /wav:0 /ani:0 /png:0 /gif:0 /jpg:0 /mid:0 /mp3:0 "
        "/ogg:0 /wmf:0 /emf:0 " +
        Quote(c));
    EXPECT_FALSE(testsupport::FileExists(dir + "\\c"));
    // Not a switch, and no such file: ignored.
    RunPelnore("/ico:00 " + Quote(c) + " /cur:");
    ExpectFixtureOutput(dir + "\\c", "dll");
}

TEST(PelnoreRun, FoldersAndMissingFilesAreSkipped) {
    std::string dir = testsupport::ScratchDir("skipped");
    std::string folder = dir + "\\sub.dll";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string source = CopyFixture(dir, "real.dll");
    RunPelnore(Quote(folder) + " " + Quote(dir + "\\missing.dll") + " " + Quote(source));
    EXPECT_EQ((std::vector<std::string>{"real", "real.dll", "sub.dll"}),
              testsupport::ListFolder(dir));
    ExpectFixtureOutput(dir + "\\real", "dll");
    EXPECT_TRUE(testsupport::ListFolder(folder).empty());
    RunPelnore("/ico:0");  // switches only: nothing to do, exit code 0
}

TEST(PelnoreRun, OutputNamesFollowTheSourceName) {
    std::string dir = testsupport::ScratchDir("names");
    std::string sub = dir + "\\sub";
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    std::string upper = CopyFixture(dir, "APP.DLL"), dots = CopyFixture(dir, "my.tool.exe"),
                none = CopyFixture(dir, "tool"), dotOnly = CopyFixture(sub, ".dll");
    RunPelnore(Quote(upper) + " " + Quote(dots) + " " + Quote(none) + " " + Quote(dotOnly));
    ExpectFixtureOutput(dir + "\\APP", "DLL");
    ExpectFixtureOutput(dir + "\\my.tool", "exe");
    std::vector<std::string> subNames = {".dll"};
    for (const auto& entry : ExpectedFixtureFiles("dll")) subNames.push_back(entry.first);
    std::sort(subNames.begin(), subNames.end());
    EXPECT_EQ(subNames, testsupport::ListFolder(sub));
    ExpectFixtureOutput(dir + "\\tool_pelnore", "");
    EXPECT_EQ((std::vector<std::string>{"APP", "APP.DLL", "my.tool", "my.tool.exe", "sub", "tool",
                                        "tool_pelnore"}),
              testsupport::ListFolder(dir));

    // A base name of one dot adds no level; two dots go one level up.
    std::string two = dir + "\\two", three = dir + "\\three", deeper = three + "\\deeper";
    ASSERT_TRUE(CreateDirectoryA(two.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(three.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(deeper.c_str(), nullptr));
    std::string twoDots = CopyFixture(two, "..dll"), threeDots = CopyFixture(deeper, "...dll");
    RunPelnore(std::string(ONLY_CURSORS) + " " + Quote(twoDots) + " " + Quote(threeDots));
    EXPECT_EQ((std::vector<std::string>{"..dll", "dll0000.cur", "dll0001.cur"}),
              testsupport::ListFolder(two));
    EXPECT_EQ((std::vector<std::string>{"deeper", "dll0000.cur", "dll0001.cur"}),
              testsupport::ListFolder(three));
    EXPECT_EQ((std::vector<std::string>{"...dll"}), testsupport::ListFolder(deeper));
    EXPECT_EQ(ExpectedBytes("images\\paint.cur"), ReadAll(three + "\\dll0001.cur"));
}

TEST(PelnoreRun, DriveRootSource) {
    std::string source = "C:\\pelnorefixture.dll";
    ASSERT_TRUE(CopyFileA((FixtureDir() + "\\fixture.dll").c_str(), source.c_str(), FALSE));
    RunPelnore(Quote(source));
    ExpectFixtureOutput("C:\\pelnorefixture", "dll");
    testsupport::RemoveTree("C:\\pelnorefixture");
    DeleteFileA(source.c_str());
}

TEST(PelnoreRun, ACorruptGroupStillGivesAFileAndLaterIndexesStay) {
    std::string dir = testsupport::ScratchDir("corrupt");
    std::string source = dir + "\\crafted.dll";
    Bytes image = MakeIconImage(16, 16, 4, 9);
    Bytes bad = GroupHeader(1, 40);  // claims 40 entries, holds one
    Bytes entry = IconGroupEntry(16, 16, 16, 4, 60000, 5);
    bad.insert(bad.end(), entry.begin(), entry.end());
    Bytes compressed = MakeDib(4, 4, 8, 256, 1);
    Bytes plain = MakeDib(3, 2, 24, 0);
    ASSERT_TRUE(BuildModule(source, {{RT_ICON, "#5", image},
                                     {RT_GROUP_ICON, "#1", bad},
                                     {RT_BITMAP, "#1", compressed},
                                     {RT_BITMAP, "#2", plain}}));
    RunPelnore(Quote(source));
    EXPECT_EQ((std::vector<std::string>{"dll0000.ico", "dll0001.bmp"}),
              testsupport::ListFolder(dir + "\\crafted"));
    Bytes ico = ReadAll(dir + "\\crafted\\dll0000.ico");
    EXPECT_EQ(22u + image.size(), ico.size());
    int w = 0, h = 0;
    EXPECT_TRUE(LoadImageSize(dir + "\\crafted\\dll0000.ico", IMAGE_ICON, 16, 16, &w, &h));
    EXPECT_EQ(16, w);
}

// ---------------------------------------------------------------- hostile modules

Bytes Repeat(const Bytes& part, size_t times) {
    Bytes all;
    for (size_t i = 0; i < times; i++) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Every .ico, .cur and .bmp written opens with LoadImageA, and all files of the
// source together stay within its output budget.
void ExpectLoadableWithinBudget(const std::string& source, const std::string& folder) {
    Bytes input = ReadAll(source);
    unsigned long long total = 0;
    for (const std::string& name : testsupport::ListFolder(folder)) {
        total += ReadAll(folder + "\\" + name).size();
        int w = 0, h = 0;
        EXPECT_TRUE(LoadImageSize(folder + "\\" + name, ImageTypeOf(name), 0, 0, &w, &h)) << name;
    }
    EXPECT_LE(total, OutputBudgetFor((long long)input.size()).remaining) << source;
}

TEST(PelnoreRun, HostileGroupsGiveOnlyRealImagesWithinTheBudget) {
    std::string dir = testsupport::ScratchDir("hostile");
    std::string source = dir + "\\groups.dll";
    Bytes small = MakeIconImage(32, 32, 4, 1), large = MakeIconImage(128, 128, 32, 2);
    Bytes mono = MakeIconImage(32, 32, 1, 3);
    Bytes smallEntry = IconGroupEntry(32, 32, 16, 4, (unsigned long)small.size(), 5);
    Bytes missingEntry = IconGroupEntry(64, 64, 0, 32, 0x20000000, 99);
    // Each entry names the same large image: 4000 copies of 67 KB declared.
    Bytes copies = Repeat(IconGroupEntry(128, 128, 0, 32, (unsigned long)large.size(), 6), 4000);
    Bytes flippedIcon = {0x12, 0x34, 0x02, 0x1B, 1, 0};  // type 6914
    Bytes flippedCursor = {169, 0, 0x01, 0x55, 1, 0};    // reserved 169, type 21761
    ASSERT_TRUE(BuildModule(
        source,
        {{RT_ICON, "#5", small},
         {RT_ICON, "#6", large},
         {RT_CURSOR, "#7", Hotspot(4, 9, mono)},
         {RT_GROUP_ICON, "#1", Join({GroupHeader(1, 2), missingEntry, smallEntry})},
         {RT_GROUP_ICON, "#2", Join({GroupHeader(1, 2), missingEntry, missingEntry})},
         {RT_GROUP_ICON, "#3", Join({GroupHeader(1, 4000), copies})},
         {RT_GROUP_ICON, "#4", Join({flippedIcon, smallEntry})},
         {RT_GROUP_ICON, "#5", Join({GroupHeader(1, 1), smallEntry})},
         {RT_GROUP_CURSOR, "#1", Join({flippedCursor, CursorGroupEntry(32, 64, 1, 1, 308, 7)})}}));
    RunPelnore(Quote(source));
    std::string out = dir + "\\groups";
    // The missing images are left out, the group of copies is beyond the budget
    // and gives no file, and the later groups keep their indexes.
    EXPECT_EQ(
        (std::vector<std::string>{"dll0000.cur", "dll0000.ico", "dll0003.ico", "dll0004.ico"}),
        testsupport::ListFolder(out));
    Bytes expected = GroupHeader(1, 1);
    expected.insert(expected.end(), smallEntry.begin(), smallEntry.begin() + 12);
    PutDword(&expected, 22);
    expected = Join({expected, small});
    EXPECT_EQ(expected, ReadAll(out + "\\dll0000.ico"));
    EXPECT_EQ(expected, ReadAll(out + "\\dll0003.ico"));
    Bytes cursor = ReadAll(out + "\\dll0000.cur");
    EXPECT_EQ(GroupHeader(2, 1), Bytes(cursor.begin(), cursor.begin() + 6));
    ExpectLoadableWithinBudget(source, out);
}

// A hostile NE module: a group of 4000 copies of a large image, a group whose
// data starts past the file, one whose length runs past it, and a bitmap type
// block that claims 0xFFFF entries. What can be read still comes out.
TEST(PelnoreRun, HostileNeModuleGivesWhatItCanWithinTheBudget) {
    std::string dir = testsupport::ScratchDir("hostilene");
    std::string source = dir + "\\old.exe";
    Bytes small = MakeIconImage(32, 32, 4, 1), large = MakeIconImage(128, 128, 32, 2);
    Bytes smallGroup =
        Join({GroupHeader(1, 1), IconGroupEntry(32, 32, 16, 4, (unsigned long)small.size(), 5)});
    Bytes copies = Repeat(IconGroupEntry(128, 128, 0, 32, (unsigned long)large.size(), 6), 4000);
    Bytes plain = MakeDib(3, 2, 24, 0);
    netest::NeImage ne = netest::WriteNeModule({{3, 5, "", small},
                                                {3, 6, "", large},
                                                {14, 1, "", Join({GroupHeader(1, 4000), copies})},
                                                {14, 2, "", smallGroup},
                                                {14, 3, "", smallGroup},
                                                {14, 4, "", smallGroup},
                                                {2, 1, "", plain}},
                                               4);
    ASSERT_EQ(7u, ne.entries.size());
    ASSERT_EQ(3u, ne.typeBlocks.size());
    ne.bytes[ne.entries[4]] = ne.bytes[ne.entries[4] + 1] = 0xFF;            // rnOffset
    ne.bytes[ne.entries[5] + 2] = ne.bytes[ne.entries[5] + 3] = 0xFF;        // rnLength
    ne.bytes[ne.typeBlocks[2] + 2] = ne.bytes[ne.typeBlocks[2] + 3] = 0xFF;  // rtResourceCount
    ASSERT_TRUE(testsupport::WriteFileBytes(source, ne.bytes.data(), ne.bytes.size()));
    RunPelnore(Quote(source));
    std::string out = dir + "\\old";
    Bytes expected = GroupHeader(1, 1);
    expected.insert(expected.end(), smallGroup.begin() + 6, smallGroup.begin() + 18);
    PutDword(&expected, 22);
    expected = Join({expected, small});
    EXPECT_EQ(expected, ReadAll(out + "\\exe0001.ico"));
    EXPECT_EQ(expected, ReadAll(out + "\\exe0003.ico"));
    Bytes bmp = {'B', 'M'};
    PutDword(&bmp, 14 + (unsigned long)plain.size());
    PutDword(&bmp, 0);
    PutDword(&bmp, 14 + 40);
    EXPECT_EQ(Join({bmp, plain}), ReadAll(out + "\\exe0000.bmp"));
    // The entries that the wild count makes of the bytes behind the table lead
    // to no bitmap.
    EXPECT_EQ((std::vector<std::string>{"exe0000.bmp", "exe0001.ico", "exe0003.ico"}),
              testsupport::ListFolder(out));
    ExpectLoadableWithinBudget(source, out);
}

// An icon whose image data entry declares 256 MiB and whose group declares
// 512 KiB: the loader passes both on unchecked, and the module is far smaller.
std::string BuildReadPastModule(const std::string& dir, Bytes* image) {
    std::string source = dir + "\\pastend.dll";
    *image = MakeIconImage(32, 32, 4, 4);
    Bytes group = Join({GroupHeader(1, 1), IconGroupEntry(32, 32, 16, 4, 0x80000, 5)});
    EXPECT_TRUE(BuildModule(source, {{RT_ICON, "#5", *image}, {RT_GROUP_ICON, "#1", group}}));
    EXPECT_TRUE(SetResourceDataSizes(source, 3, 0x10000000));
    return source;
}

// The icon holds the image and at most the module's bytes after it: never
// more than the file, whatever the sizes declare.
void ExpectImageOfTheBytesThere(const std::string& ico, const Bytes& image, size_t moduleSize) {
    Bytes file = ReadAll(ico);
    ASSERT_GE(file.size(), 22u + image.size());
    EXPECT_LE(file.size(), 22u + moduleSize);
    EXPECT_EQ(GroupHeader(1, 1), Bytes(file.begin(), file.begin() + 6));
    EXPECT_EQ(file.size() - 22, GetDword(file, 6 + 8));
    EXPECT_EQ(image, Bytes(file.begin() + 22, file.begin() + 22 + image.size()));
    int w = 0, h = 0;
    EXPECT_TRUE(LoadImageSize(ico, IMAGE_ICON, 32, 32, &w, &h));
}

TEST(PelnoreRun, ResourceSizesBeyondTheMappedFileAreNotRead) {
    std::string dir = testsupport::ScratchDir("pastend");
    Bytes image;
    std::string source = BuildReadPastModule(dir, &image);
    size_t moduleSize = ReadAll(source).size();
    HMODULE module = LoadDataModule(source);
    ASSERT_NE(nullptr, module);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(5), RT_ICON);
    ASSERT_NE(nullptr, found);
    ASSERT_EQ(0x10000000u, SizeofResource(module, found));  // the crafted size got through
    FreeLibrary(module);
    // The source gives the image and the file's bytes after it, up to its end.
    ResourceSource loaded;
    ASSERT_TRUE(OpenResourceSource(source.c_str(), &loaded));
    ResourceType images = IntegerResourceType(3);
    ResourceSpan span;
    ASSERT_TRUE(FindSourceResource(&loaded, &images, MAKEINTRESOURCEA(5), &span));
    EXPECT_EQ(loaded.mapped.bytes + moduleSize, span.bytes + span.size);
    EXPECT_EQ(image, Bytes(span.bytes, span.bytes + std::min(image.size(), span.size)));
    CloseResourceSource(&loaded);

    RunPelnore(Quote(source));
    EXPECT_EQ(std::vector<std::string>{"dll0000.ico"}, testsupport::ListFolder(dir + "\\pastend"));
    ExpectImageOfTheBytesThere(dir + "\\pastend\\dll0000.ico", image, moduleSize);
    ExpectLoadableWithinBudget(source, dir + "\\pastend");
}

// Modules of the same resources damaged: (a) cut inside the root directory,
// (b) the icon images' type entry and the first bitmap's name entry pointing
// past the end, (c) the first icon group's name entry pointing back at the
// root. In one run, before a good module: (a) gives nothing, (b) its second
// bitmap (the first keeps its number), (c) all but that group's icon.
TEST(PelnoreRun, DamagedResourceDirectoriesGiveWhatCanBeRead) {
    std::string dir = testsupport::ScratchDir("damaged");
    Bytes icon = MakeIconImage(16, 16, 4, 3), dib = MakeDib(3, 2, 24, 0);
    Bytes group = Join({GroupHeader(1, 1), IconGroupEntry(16, 16, 16, 4, 296, 5)});
    std::string arguments;
    for (std::string damage : {"cut", "outside", "loop", "far"}) {
        std::string path = dir + "\\" + damage + ".dll";
        ASSERT_TRUE(BuildModule(path, {{RT_ICON, "#5", icon},
                                       {RT_GROUP_ICON, "#1", group},
                                       {RT_GROUP_ICON, "#2", group},
                                       {RT_BITMAP, "#1", dib},
                                       {RT_BITMAP, "#2", dib}}));
        Bytes file = ReadAll(path);
        ASSERT_NE(0u, ResourceRoot(file));
        auto point = [&file](size_t entry, unsigned long offset) {
            ASSERT_NE(0u, entry);
            for (int i = 0; i < 4; i++) file[entry + 4 + i] = (unsigned char)(offset >> (8 * i));
        };
        if (damage == "cut") file.resize(ResourceRoot(file) + 8);
        if (damage == "outside") point(ResourceEntry(file, 3), 0xFFFFFFF0);
        if (damage == "outside") point(ResourceEntry(file, 2, 1), 0xFFFFFFF0);
        if (damage == "loop") point(ResourceEntry(file, 14, 1), 0x80000000);
        if (damage == "far") file.resize(0x400);  // its headers: the loader faulted on the root
        ASSERT_TRUE(testsupport::WriteFileBytes(path, file.data(), file.size()));
        arguments += Quote(path) + " ";
    }
    RunPelnore(arguments + Quote(CopyFixture(dir, "fixture.dll")));
    EXPECT_FALSE(testsupport::FileExists(dir + "\\cut"));
    EXPECT_FALSE(testsupport::FileExists(dir + "\\far"));
    EXPECT_EQ(std::vector<std::string>{"dll0001.bmp"}, testsupport::ListFolder(dir + "\\outside"));
    EXPECT_EQ((std::vector<std::string>{"dll0000.bmp", "dll0001.bmp", "dll0001.ico"}),
              testsupport::ListFolder(dir + "\\loop"));
    Bytes ico = Join({GroupHeader(1, 1), Bytes(group.begin() + 6, group.begin() + 18)});
    PutDword(&ico, 22);
    Bytes bmp = {'B', 'M'};
    PutDword(&bmp, 14 + (unsigned long)dib.size());
    PutDword(&bmp, 0);
    PutDword(&bmp, 54);
    EXPECT_EQ(Join({bmp, dib}), ReadAll(dir + "\\outside\\dll0001.bmp"));
    EXPECT_EQ(Join({ico, icon}), ReadAll(dir + "\\loop\\dll0001.ico"));
    ExpectFixtureOutput(dir + "\\fixture", "dll");
}

// ---------------------------------------------------------------- names outside the code page

// The 8-bit form of a path by its short name, as the job should resolve it.
std::string ShortAnsiPath(const std::wstring& path) {
    wchar_t shortPath[MAX_PATH] = L"";
    EXPECT_NE(0u, GetShortPathNameW(path.c_str(), shortPath, MAX_PATH));
    char ansi[MAX_PATH * 2] = "";
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortPath, -1, ansi, sizeof(ansi), nullptr,
                        &lossy);
    EXPECT_FALSE(lossy);
    return ansi;
}

// What GetCommandLineA shows of a wide argument: '?' or a best-fit look-alike
// for every character the code page lacks.
std::string AnsiAsShown(const std::wstring& text) {
    char ansi[MAX_PATH * 2] = "";
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof(ansi), nullptr, nullptr);
    return ansi;
}

std::string Printable(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        char unit[12];
        snprintf(unit, sizeof(unit), c < 0x80 ? "%c" : "<U+%04X>", (unsigned)c);
        out += unit;
    }
    return out;
}

std::string ListText(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += " " + name;
    return text;
}

TEST(PelnoreRun, NamesOutsideTheCodePageGoThroughTheirShortNames) {
    std::string dir = testsupport::ScratchDir("wide");
    std::wstring wideDir = testsupport::Widen(dir);
    std::wstring fixture = testsupport::Widen(FixtureDir() + "\\fixture.dll");
    // Hangul, and a yen sign that the 8-bit line shows as a backslash: the
    // look-alike x\y.dll exists and must stay untouched.
    std::wstring korean = wideDir + L"\\\uC544\uC774\uCF58.dll";
    std::wstring yen = wideDir + L"\\x\u00A5y.dll";
    std::wstring missing = wideDir + L"\\\uC5C6\uC74C.dll";
    ASSERT_TRUE(CopyFileW(fixture.c_str(), korean.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(fixture.c_str(), yen.c_str(), FALSE));
    ASSERT_TRUE(CreateDirectoryA((dir + "\\x").c_str(), nullptr));
    CopyFixture(dir + "\\x", "y.dll");
    std::string japanese = CopyFixture(dir, "表示.dll");

    std::wstring line = L"\"" + testsupport::Widen(testsupport::PelnoreExe()) + L"\" \"" + korean +
                        L"\" \"" + yen + L"\" \"" + missing + L"\" \"" +
                        testsupport::Widen(japanese) + L"\"";
    testsupport::RunResult run = testsupport::RunCapturingDebugOutput(line, RUN_TIMEOUT);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);

    // The dump shows the 8-bit arguments as they came, not what the job used.
    std::vector<std::string> dump;
    for (const std::string& l : run.debugLines)
        if (l.compare(0, 5, "argv[") == 0) dump.push_back(l);
    ASSERT_EQ(5u, dump.size());
    EXPECT_EQ("argv[ 1]=" + AnsiAsShown(korean) + "\r\n", dump[1]);
    EXPECT_EQ("argv[ 2]=" + AnsiAsShown(yen) + "\r\n", dump[2]);
    EXPECT_EQ("argv[ 4]=" + japanese + "\r\n", dump[4]);

    // Output beside each source, in a folder named after its short name.
    const std::wstring* sources[] = {&korean, &yen};
    for (int i = 0; i < 2; i++) {
        std::string used = ShortAnsiPath(*sources[i]);
        std::string folder = used.substr(0, used.find_last_of('.'));
        std::string ext = used.substr(used.find_last_of('.') + 1);
        ExpectFixtureOutput(folder, ext);
        printf("file %s\n  %s  path used %s\n  written in %s:%s\n", Printable(*sources[i]).c_str(),
               dump[1 + i].c_str(), used.c_str(), folder.c_str(),
               ListText(testsupport::ListFolder(folder)).c_str());
    }
    ExpectFixtureOutput(dir + "\\表示", "dll");
    EXPECT_EQ(std::vector<std::string>{"y.dll"}, testsupport::ListFolder(dir + "\\x"));
    // Two sources with their folders, x, and 表示.dll with its folder: the
    // missing name left nothing.
    EXPECT_EQ(7u, testsupport::ListFolder(dir).size());
    printf("missing %s\n  %s  nothing written\n", Printable(missing).c_str(), dump[3].c_str());
}

// ---------------------------------------------------------------- folders as sources

// scratch\walk, made before the run (tests/extract/CMakeLists.txt).
TEST(PelnoreRun, FolderSourceGivesWhatItsModulesGiveOneByOne) {
    std::string walk = testsupport::TestDir() + "\\scratch\\walk", top = walk + "\\top";
    if (!testsupport::FileExists(top + "\\a\\back")) GTEST_SKIP() << "no tree at " << walk;
    testsupport::RemoveTree(top + "\\z\\last");  // written again only if the walk goes on
    RunPelnore(Quote(top));
    const char* modules[][2] = {{"\\one", "dll"},
                                {"\\a\\two", "EXE"},
                                {"\\a\\b\\three", "ocx"},
                                {"\\a\\b\\five", "mun"},
                                {"\\c\\four", "cpl"}};
    for (const auto& module : modules) ExpectFixtureOutput(top + module[0], module[1]);
    std::string shortName = ShortAnsiPath(testsupport::Widen(top) + L"\\\uC544\uC774\uCF58.dll");
    ExpectFixtureOutput(shortName.substr(0, shortName.size() - 4), "DLL");
    // No module extension, a link out of the tree and one back to its top:
    // none is read.
    EXPECT_EQ((std::vector<std::string>{"data.bin", "four", "four.cpl"}),
              testsupport::ListFolder(top + "\\c"));
    EXPECT_EQ(std::vector<std::string>{"x.dll"}, testsupport::ListFolder(walk + "\\elsewhere"));
    EXPECT_EQ((std::vector<std::string>{"b", "back", "out", "two", "two.EXE"}),
              testsupport::ListFolder(top + "\\a"));
    // The locked folder is passed over where it cannot be listed (the run of
    // test_extract_walk_unlistable), and the walk goes on after it.
    if (testsupport::FileExists(top + "\\locked\\in.dll"))
        ExpectFixtureOutput(top + "\\locked\\in", "dll");
    else
        printf("locked folder: cannot be listed here\n");
    ExpectFixtureOutput(top + "\\z\\last", "dll");
}

// ---------------------------------------------------------------- folders that refuse

// Refuses, as a write-protected medium would, every new folder inside one folder.
std::string g_refusingFolder;
BOOL WINAPI RefuseInsideFolder(LPCSTR folder, LPSECURITY_ATTRIBUTES security) {
    if (std::string(folder).compare(0, g_refusingFolder.size() + 1, g_refusingFolder + "\\") == 0) {
        SetLastError(ERROR_WRITE_PROTECT);
        return FALSE;
    }
    return CreateDirectoryA(folder, security);
}

std::string ReportText(const ExtractionJob& job) {
    size_t length = FormatFallbackReport(nullptr, &job);
    std::string text(length + 1, '?');
    EXPECT_EQ(length, FormatFallbackReport(&text[0], &job));
    EXPECT_EQ('\0', text[length]);
    text.resize(length);
    return text;
}

std::string InUtf8(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(932, 0, text.c_str(), -1, &wide[0], (int)wide.size()));
    std::string utf8(wide.size() * 3 + 1, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], (int)utf8.size(),
                                    nullptr, nullptr));
    return utf8.c_str();
}

TEST(Fallback, RefusedSourcesFallBackOneFreshFolderEachAndTheReportNamesThem) {
    std::string dir = testsupport::ScratchDir("refused");
    g_refusingFolder = dir + "\\ro";
    std::string desk = dir + "\\desk", ok = dir + "\\ok";
    for (const std::string& folder : {g_refusingFolder, g_refusingFolder + "\\x",
                                      g_refusingFolder + "\\y", g_refusingFolder + "\\z", desk, ok})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    std::vector<std::string> sources = {CopyFixture(g_refusingFolder + "\\x", "fixture.dll"),
                                        CopyFixture(g_refusingFolder + "\\y", "fixture.dll"),
                                        CopyFixture(ok, "fixture.dll"),
                                        CopyFixture(g_refusingFolder + "\\z", "lost.dll")};
    std::vector<char*> paths;
    for (std::string& source : sources) paths.push_back(&source[0]);
    paths.push_back(nullptr);
    OutputPlace* places = CreateOutputPlaces(4, desk.c_str());
    ASSERT_NE(nullptr, places);
    for (int i = 0; i < 4; i++) places[i].createFolder = RefuseInsideFolder;
    std::string missingRoot = dir + "\\missing";  // the fall-back refuses too
    places[3].fallbackRoot = missingRoot.c_str();

    ExtractionJob job = {0, 4, paths.data(), places, nullptr, nullptr, nullptr};
    WorkerThread* worker = CreateWorkerThread(ExtractionWorker, &job);
    ASSERT_NE(nullptr, worker);
    ASSERT_TRUE(StartWorkerThread(worker));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker->thread, 60000));
    ReleaseWorkerThread(worker);

    EXPECT_EQ(OUTPUT_FALLBACK, places[0].state);
    EXPECT_EQ(desk + "\\fixture", places[0].folder);
    EXPECT_EQ(OUTPUT_FALLBACK, places[1].state);
    EXPECT_EQ(desk + "\\fixture (2)", places[1].folder);
    EXPECT_EQ(OUTPUT_BESIDE, places[2].state);
    EXPECT_EQ(OUTPUT_NOWHERE, places[3].state);
    ExpectFixtureOutput(desk + "\\fixture", "dll");
    ExpectFixtureOutput(desk + "\\fixture (2)", "dll");
    ExpectFixtureOutput(ok + "\\fixture", "dll");
    EXPECT_EQ((std::vector<std::string>{"fixture", "fixture (2)"}), testsupport::ListFolder(desk));
    EXPECT_FALSE(testsupport::FileExists(missingRoot));
    for (const char* sub : {"\\x", "\\y", "\\z"})
        EXPECT_EQ(1u, testsupport::ListFolder(g_refusingFolder + sub).size()) << sub;

    // Each fallen-back source with its folder, the one with nothing written in
    // a list of its own after them, and nothing about the source beside which
    // the files went.
    std::string text = ReportText(job);
    size_t first = text.find(sources[0] + "\r\n  → " + desk + "\\fixture\r\n");
    size_t second = text.find(sources[1] + "\r\n  → " + desk + "\\fixture (2)\r\n");
    size_t lost = text.find("\r\n" + sources[3] + "\r\n");
    EXPECT_NE(std::string::npos, first) << text;
    EXPECT_LT(first, second);
    EXPECT_NE(std::string::npos, second) << text;
    EXPECT_LT(second, lost);
    EXPECT_NE(std::string::npos, lost) << text;
    EXPECT_NE(std::string::npos, text.find("何も書き出せません", second)) << text;
    EXPECT_EQ(std::string::npos, text.find(sources[2]));
    printf("report:\n%s\n", InUtf8(text).c_str());

    // The sources that fell back no longer: no report at all.
    for (int i = 0; i < 4; i++) InitOutputPlace(&places[i], desk.c_str());
    EXPECT_EQ(0u, FormatFallbackReport(nullptr, &job));
    free(places);
}

// HKCU's Desktop pointed at a scratch folder while the test runs, so that the
// fall-back folders of pelnore.exe land there and not on the machine's Desktop
// (the test prefix's Desktop is the Unix home folder).
struct DesktopRedirect {
    HKEY key = nullptr;
    std::vector<BYTE> saved;
    DWORD savedType = 0;
    bool hadValue = false;
    bool Redirect(const std::string& folder) {
        if (RegOpenKeyExA(
                HKEY_CURRENT_USER,
                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        hadValue =
            RegQueryValueExA(key, "Desktop", nullptr, &savedType, nullptr, &size) == ERROR_SUCCESS;
        saved.resize(size + 1);
        if (hadValue) RegQueryValueExA(key, "Desktop", nullptr, &savedType, saved.data(), &size);
        return RegSetValueExA(key, "Desktop", 0, REG_SZ, (const BYTE*)folder.c_str(),
                              (DWORD)folder.size() + 1) == ERROR_SUCCESS;
    }
    ~DesktopRedirect() {
        if (key == nullptr) return;
        if (hadValue)
            RegSetValueExA(key, "Desktop", 0, savedType, saved.data(), (DWORD)saved.size() - 1);
        else
            RegDeleteValueA(key, "Desktop");
        RegCloseKey(key);
    }
};

using testsupport::FolderContents;

// The visible message box of the process (a dialog with the static text 0xFFFF).
HWND VisibleMessageBox(DWORD processId) {
    for (HWND window : testsupport::ProcessWindows(processId, "#32770"))
        if (IsWindowVisible(window) && GetDlgItem(window, 0xFFFF) != nullptr) return window;
    return nullptr;
}

HWND WaitForMessageBox(const PROCESS_INFORMATION& process, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs &&
           WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        if (HWND box = VisibleMessageBox(process.dwProcessId)) return box;
        Sleep(50);
    }
    return nullptr;
}

std::string WindowText(HWND window) {
    char text[4096] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// Runs pelnore until its message box, which must come once the job is over
// (the tray icon gone), and returns its text after pressing OK, which must end
// the program with exit code 0.
std::string RunUntilTheMessage(const std::string& arguments) {
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(
        testsupport::StartProcess(Quote(testsupport::PelnoreExe()) + " " + arguments, &process));
    HWND box = WaitForMessageBox(process, RUN_TIMEOUT);
    EXPECT_NE(nullptr, box) << "no message box";
    EXPECT_TRUE(testsupport::TrayIconWindows().empty());
    std::string text = box != nullptr ? WindowText(GetDlgItem(box, 0xFFFF)) : "";
    EXPECT_EQ("pelnore", box != nullptr ? WindowText(box) : "");
    if (box != nullptr) PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    bool ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 255);
    DWORD exitCode = 255;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(ended) << "OK did not end the program";
    EXPECT_EQ(0u, exitCode);
    return text;
}

// scratch\readonly is a read-only file system with a\ronly.dll and b\ronly.dll
// (the fixture module and a WAVE stream) when the set-up could mount one.
TEST(Fallback, ReadOnlyMediumGivesTheSameFilesOnTheDesktopAndOneMessageAfterTheJob) {
    std::string medium = testsupport::TestDir() + "\\scratch\\readonly";
    std::string sourceA = medium + "\\a\\ronly.dll", sourceB = medium + "\\b\\ronly.dll";
    if (!testsupport::FileExists(sourceA) || !testsupport::FileExists(sourceB))
        GTEST_SKIP() << "no read-only file system mounted at " << medium;
    if (CreateDirectoryA((medium + "\\probe").c_str(), nullptr)) {
        RemoveDirectoryA((medium + "\\probe").c_str());
        GTEST_SKIP() << medium << " is writable";
    }
    // Wine says access denied for a read-only mount; Windows says either.
    DWORD refusal = GetLastError();
    ASSERT_TRUE(refusal == ERROR_ACCESS_DENIED || refusal == ERROR_WRITE_PROTECT) << refusal;

    std::string dir = testsupport::ScratchDir("readonly");
    std::string desk = dir + "\\desk", writable = dir + "\\w";
    ASSERT_TRUE(CreateDirectoryA(desk.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(writable.c_str(), nullptr));
    std::string sourceW = writable + "\\ronly.dll";
    ASSERT_TRUE(CopyFileA(sourceA.c_str(), sourceW.c_str(), FALSE));
    // A folder of that name left by an earlier run keeps its own file only.
    ASSERT_TRUE(CreateDirectoryA((desk + "\\ronly").c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(desk + "\\ronly\\earlier.txt", "x", 1));
    DesktopRedirect redirect;
    ASSERT_TRUE(redirect.Redirect(desk));

    std::string text =
        RunUntilTheMessage(Quote(sourceA) + " " + Quote(sourceW) + " " + Quote(sourceB));
    std::string folderA = desk + "\\ronly (2)", folderB = desk + "\\ronly (3)";
    EXPECT_NE(std::string::npos, text.find(sourceA + "\r\n  → " + folderA + "\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find(sourceB + "\r\n  → " + folderB + "\r\n")) << text;
    EXPECT_EQ(std::string::npos, text.find(sourceW)) << text;

    // Byte for byte what the writable copy gave beside itself, the appended
    // WAVE stream included.
    std::map<std::string, Bytes> expected = FolderContents(writable + "\\ronly");
    EXPECT_EQ(ExpectedFixtureFiles("dll").size() + 1, expected.size());
    EXPECT_EQ(1u, expected.count("dll0001.wav"));
    EXPECT_TRUE(expected == FolderContents(folderA));
    EXPECT_TRUE(expected == FolderContents(folderB));
    EXPECT_EQ((std::vector<std::string>{"ronly", "ronly (2)", "ronly (3)"}),
              testsupport::ListFolder(desk));
    EXPECT_EQ(std::vector<std::string>{"earlier.txt"}, testsupport::ListFolder(desk + "\\ronly"));
    // The medium given as one folder: one Desktop folder that mirrors it,
    // named once in the message.
    std::string tree = RunUntilTheMessage(Quote(medium));
    EXPECT_NE(std::string::npos, tree.find(medium + "\r\n  → " + desk + "\\readonly\r\n")) << tree;
    EXPECT_TRUE(expected == FolderContents(desk + "\\readonly\\a\\ronly"));
    EXPECT_TRUE(expected == FolderContents(desk + "\\readonly\\b\\ronly"));
    EXPECT_EQ(std::string::npos, tree.find(sourceA)) << tree;
    printf("folder message:\n%s\n", InUtf8(tree).c_str());
    printf("sources %s, %s (read-only)\n  %s: %u files\n  %s: %u files\nmessage:\n%s\n",
           sourceA.c_str(), sourceB.c_str(), folderA.c_str(),
           (unsigned)testsupport::ListFolder(folderA).size(), folderB.c_str(),
           (unsigned)testsupport::ListFolder(folderB).size(), InUtf8(text).c_str());
}

// ---------------------------------------------------------------- many starts, one job

// Starts of pelnore.exe side by side: each noted when it ends (exit code 0),
// their message boxes answered and their texts kept.
struct Starts {
    std::vector<PROCESS_INFORMATION> processes;
    std::vector<DWORD> endedAt;  // ms after the first start; 0 while it runs
    std::vector<HWND> answered;
    std::vector<std::string> messages;
    DWORD start = GetTickCount();
    ~Starts() {
        for (PROCESS_INFORMATION& p : processes) {
            TerminateProcess(p.hProcess, 255);
            CloseHandle(p.hThread);
            CloseHandle(p.hProcess);
        }
    }
    void Add(const std::string& arguments, const std::string& exe = testsupport::PelnoreExe()) {
        processes.push_back({});
        endedAt.push_back(0);
        EXPECT_TRUE(testsupport::StartProcess(Quote(exe) + " " + arguments, &processes.back()));
    }
    size_t Poll() {  // how many still run
        size_t running = 0;
        for (size_t i = 0; i < processes.size(); i++) {
            DWORD code = 255;
            if (endedAt[i] == 0 && WaitForSingleObject(processes[i].hProcess, 0) == WAIT_OBJECT_0) {
                endedAt[i] = std::max<DWORD>(1, GetTickCount() - start);
                EXPECT_TRUE(GetExitCodeProcess(processes[i].hProcess, &code) && code == 0) << i;
            }
            if (endedAt[i] != 0) continue;
            running++;
            HWND box = VisibleMessageBox(processes[i].dwProcessId);
            if (box == nullptr || std::count(answered.begin(), answered.end(), box)) continue;
            answered.push_back(box);
            messages.push_back(WindowText(GetDlgItem(box, 0xFFFF)));
            PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        }
        return running;
    }
};

// Twenty-four starts as fast as they can be made, one module each (copies of
// the prefix's shell32.dll, so that the job takes a while), as Explorer makes
// them for a selection: one job, with one tray icon, does them all, and the
// other starts end long before it; each module's files are those of its single
// run. Every other start is of the 64-bit build where both run, and a folder
// made after the job began is handed over too. A start with other switches
// meanwhile runs a job of its own.
TEST(Handover, TwentyFourStartsAreOneJob) {
    char system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryA(system, sizeof(system)));
    // The box left owned by a live process that is no job (a crashed job's id
    // given again): the first start takes it over at once.
    char boxName[96];
    BuildHandOverName(boxName, sizeof(boxName), 0, "Box");
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(HandBox), boxName);
    HandBox* box = (HandBox*)MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    ASSERT_NE(nullptr, box);
    box->owner = GetCurrentProcessId();
    std::string exe = testsupport::PelnoreExe(),
                other = exe.substr(0, exe.find_last_of('\\')) + "-x64\\pelnore.exe";
    if (sizeof(void*) != 4 || !testsupport::FileExists(other)) other = exe;
    std::string single = testsupport::ScratchDir("singles"), many = testsupport::ScratchDir("many");
    auto name = [](int i) { return "shell" + std::to_string(100 + i); };
    for (int i = 0; i < 25; i++) {
        for (const std::string& dir : {single, many})
            ASSERT_TRUE(CopyFileA((std::string(system) + "\\shell32.dll").c_str(),
                                  (dir + "\\" + name(i) + ".dll").c_str(), FALSE));
        std::string arguments =
            (i == 24 ? "/ICO:0 " : "") + Quote(single + "\\" + name(i) + ".dll");
        ASSERT_EQ(0u, testsupport::RunPelnore(arguments, RUN_TIMEOUT).exitCode);
    }
    Starts starts;
    for (int i = 0; i < 24; i++)
        starts.Add(Quote(many + "\\" + name(i) + ".dll"), i % 2 ? other : exe);
    size_t trays = 0, otherAt = 0, begunAt = 0;
    for (DWORD until = GetTickCount() + RUN_TIMEOUT; starts.Poll() > 0 && GetTickCount() < until;
         Sleep(20)) {
        if (otherAt != 0) continue;
        trays = std::max(trays, testsupport::TrayIconWindows().size());
        if (std::count(starts.endedAt.begin(), starts.endedAt.end(), 0u) > 1) continue;
        otherAt = GetTickCount() - starts.start;
        // The sources the job had begun when all other starts had ended.
        for (int i = 0; i < 24; i++) begunAt += testsupport::FileExists(many + "\\" + name(i));
        for (const char* folder : {"\\late", "\\late\\sub"})
            CreateDirectoryA((many + folder).c_str(), nullptr);
        CopyFixture(many + "\\late\\sub", "late.dll");
        starts.Add(Quote(many + "\\late"));
        starts.Add("/ico:0 " + Quote(many + "\\" + name(24) + ".dll"));
    }
    std::vector<DWORD> ends(starts.endedAt.begin(), starts.endedAt.begin() + 24);
    std::sort(ends.begin(), ends.end());
    printf(
        "24 starts%s: 23 ended by %u ms (%u sources begun), the job at %u ms; %u tray icon(s); "
        "/ico:0 from %u to %u ms\n",
        other == exe ? "" : ", every other one of the 64-bit build", (unsigned)ends[22],
        (unsigned)begunAt, (unsigned)ends[23], (unsigned)trays, (unsigned)otherAt,
        (unsigned)starts.endedAt.back());
    EXPECT_EQ(1u, trays);
    // A start hands its source over and ends: the others did not wait for
    // their own sources, let alone for the job.
    EXPECT_LT(begunAt, 24u) << "the other starts waited for their sources";
    EXPECT_LT(ends[22], ends[23]) << "the other starts waited for the job";
    EXPECT_TRUE(otherAt > 0 && otherAt < ends[23]) << "the other switches came after the job";
    for (int i = 0; i < 25; i++)
        EXPECT_TRUE(FolderContents(single + "\\" + name(i)) ==
                    FolderContents(many + "\\" + name(i)))
            << name(i);
    ExpectFixtureOutput(many + "\\late\\sub\\late", "dll");
    UnmapViewOfFile(box);
    CloseHandle(mapping);
}

// Two starts with one refused source each, the second timed to land while the
// first one's job ends, again and again, eight pairs at a time (each pair with
// switches of its own, so that pairs never meet): each source is done exactly
// once, whichever job takes it. Each doing of a refused source claims a fresh
// Desktop folder, so a source lost or done twice shows as a folder too few or
// too many, and the one message of each job names each of its sources once.
TEST(Handover, AStartLandingAsTheJobEndsIsDoneExactlyOnce) {
    std::string medium = testsupport::TestDir() + "\\scratch\\readonly";
    if (!testsupport::FileExists(medium + "\\b\\pb7.dll"))
        GTEST_SKIP() << "no read-only file system mounted at " << medium;
    std::string desk = testsupport::ScratchDir("handrace");
    DesktopRedirect redirect;
    ASSERT_TRUE(redirect.Redirect(desk));
    int tries = 0, jobs = 0, lost = 0, doubled = 0;
    for (int round = 0; round < 25; round++) {
        Starts starts;
        auto add = [&](int lane, const char* side) {
            starts.Add(std::string(lane & 1 ? "/avi:0 " : "") + (lane & 2 ? "/mid:0 " : "") +
                       (lane & 4 ? "/ogg:0 " : "") +
                       Quote(medium + side + std::to_string(lane) + ".dll"));
        };
        for (int lane = 0; lane < 8; lane++) add(lane, "\\a\\pa");
        // The second of each pair lane * 25 + round ms after the first:
        // every try has a delay of its own, from 0 to 199 ms.
        for (int lane = 0; lane < 8; lane++) {
            while (GetTickCount() - starts.start < (DWORD)(lane * 25 + round)) Sleep(1);
            add(lane, "\\b\\pb");
        }
        for (DWORD until = GetTickCount() + RUN_TIMEOUT;
             starts.Poll() > 0 && GetTickCount() < until;)
            Sleep(10);
        std::string said;
        for (const std::string& text : starts.messages) said += text;
        jobs += (int)starts.messages.size();
        // "pa3", or "pa3 (2)" when another job's folder took the name first.
        std::map<std::string, int> times;
        for (const std::string& folder : testsupport::ListFolder(desk)) {
            times[folder.substr(0, 3)]++;
            testsupport::RemoveTree(desk + "\\" + folder);
        }
        for (int lane = 0; lane < 8; lane++, tries++) {
            for (const char* side : {"pa", "pb"}) {
                std::string base = side + std::to_string(lane);
                lost += times[base] == 0;
                doubled += times[base] > 1;
                EXPECT_EQ(1, times[base]) << base << " in round " << round << ":\n" << said;
                size_t at = said.find(base + ".dll\r\n");
                EXPECT_TRUE(at != std::string::npos && said.rfind(base + ".dll\r\n") == at) << said;
            }
        }
    }
    printf(
        "%d tries, delays 0 to 199 ms: %d as one job, %d as two; %d sources lost, %d done twice\n",
        tries, 2 * tries - jobs, jobs - tries, lost, doubled);
}

// ---------------------------------------------------------------- the prefix's own DLLs

struct NameList {
    std::vector<std::string> names;
};

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR list) {
    ((NameList*)list)->names.push_back(IS_INTRESOURCE(name) ? "#" : name);
    return TRUE;
}

size_t CountResources(const std::string& path, LPCSTR type) {
    HMODULE module = LoadDataModule(path);
    if (module == nullptr) return 0;
    NameList list;
    EnumResourceNamesA(module, type, CollectName, (LONG_PTR)&list);
    FreeLibrary(module);
    return list.names.size();
}

std::string IndexedName(const char* kind, size_t index) {
    char name[32];
    snprintf(name, sizeof(name), "dll%04x%s", (unsigned)index, kind);
    return name;
}

TEST(PelnoreRun, SystemModulesGiveOneFilePerGroup) {
    std::string dir = testsupport::ScratchDir("system");
    char system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryA(system, sizeof(system)));
    const char* modules[] = {"user32", "comctl32", "shell32"};
    std::string arguments;
    for (const char* m : modules) {
        std::string target = dir + "\\" + m + ".dll";
        ASSERT_TRUE(
            CopyFileA((std::string(system) + "\\" + m + ".dll").c_str(), target.c_str(), FALSE));
        arguments += " " + Quote(target);
    }
    RunPelnore("/avi:0 /wav:0 /ani:0" + arguments);
    for (const char* m : modules) {
        std::string source = dir + "\\" + m + ".dll", out = dir + "\\" + m;
        size_t icons = CountResources(source, RT_GROUP_ICON);
        size_t cursors = CountResources(source, RT_GROUP_CURSOR);
        size_t bitmaps = CountResources(source, RT_BITMAP);
        size_t files = testsupport::ListFolder(out).size();
        for (size_t i = 0; i < icons; i++) {
            int w = 0, h = 0;
            EXPECT_TRUE(
                LoadImageSize(out + "\\" + IndexedName(".ico", i), IMAGE_ICON, 0, 0, &w, &h))
                << m << " " << IndexedName(".ico", i);
        }
        for (size_t i = 0; i < cursors; i++) {
            int w = 0, h = 0;
            EXPECT_TRUE(
                LoadImageSize(out + "\\" + IndexedName(".cur", i), IMAGE_CURSOR, 0, 0, &w, &h))
                << m << " " << IndexedName(".cur", i);
        }
        size_t bmpFiles = 0;
        for (const std::string& name : testsupport::ListFolder(out)) {
            if (name.substr(name.size() - 4) != ".bmp") continue;
            bmpFiles++;
            int w = 0, h = 0;
            EXPECT_TRUE(LoadImageSize(out + "\\" + name, IMAGE_BITMAP, 0, 0, &w, &h))
                << m << " " << name;
        }
        EXPECT_EQ(bitmaps, bmpFiles) << m;  // every bitmap form of these modules gives a file
        EXPECT_EQ(icons + cursors + bmpFiles, files) << m;
        printf("%s: %u icon groups, %u cursor groups, %u of %u bitmaps written\n", m,
               (unsigned)icons, (unsigned)cursors, (unsigned)bmpFiles, (unsigned)bitmaps);
    }
    EXPECT_GT(CountResources(dir + "\\user32.dll", RT_GROUP_CURSOR), 5u);
    EXPECT_GT(CountResources(dir + "\\shell32.dll", RT_GROUP_ICON), 20u);
}

// Windows 10 1903 and later keep the resources of many system files in
// <Windows>\\SystemResources\\<file name>.mun; Wine has no such folder, so the
// test makes one: a stub in the system folder with an icon group of its own,
// and the fixture module as its .mun. System32 is read as named, also by a
// 32-bit program, which sees SysWOW64 there: plnboth.dll has the stub as its
// decoy twin in SysWOW64, and the folder plnwow is in System32 alone.
TEST(PelnoreRun, SystemFilesAreReadAsNamedAndFromTheirMunModules) {
    char windows[MAX_PATH], system[MAX_PATH], wow64[MAX_PATH] = "";
    ASSERT_NE(0u, GetWindowsDirectoryA(windows, MAX_PATH));
    ASSERT_NE(0u, GetSystemDirectoryA(system, MAX_PATH));
    bool twins = GetSystemWow64DirectoryA(wow64, MAX_PATH) != 0;
    // System32 itself, for this test too, which is a program of the same build.
    std::string native = IsFileSystemRedirected() ? std::string(windows) + "\\Sysnative" : system;
    std::string resources = std::string(windows) + "\\SystemResources";
    bool madeResources = CreateDirectoryA(resources.c_str(), nullptr) != FALSE;
    std::string stub = std::string(system) + "\\plnstub.dll", mun = resources + "\\plnstub.dll.mun";
    std::string elsewhere = testsupport::ScratchDir("mun") + "\\plnstub.dll";
    Bytes image = MakeIconImage(16, 16, 4, 7);
    ASSERT_TRUE(BuildModule(
        elsewhere, {{RT_ICON, "#1", image},
                    {RT_GROUP_ICON, "#1",
                     Join({GroupHeader(1, 1),
                           IconGroupEntry(16, 16, 16, 4, (unsigned long)image.size(), 1)})}}));
    std::string fixture = FixtureDir() + "\\fixture.dll";
    ASSERT_TRUE(CreateDirectoryA((native + "\\plnwow").c_str(), nullptr));
    for (const auto& copy : std::vector<std::pair<std::string, std::string>>{
             {elsewhere, native + "\\plnstub.dll"},
             {fixture, mun},
             {fixture, native + "\\plnboth.dll"},
             {fixture, native + "\\plnwow\\only.dll"},
             {elsewhere, twins ? std::string(wow64) + "\\plnboth.dll" : ""}})
        ASSERT_TRUE(copy.second.empty() ||
                    CopyFileA(copy.first.c_str(), copy.second.c_str(), FALSE))
            << copy.second;

    // The .mun's resources, beside the stub, under the stub's name; a copy of
    // the stub outside the system folders keeps its own; a .mun given by name
    // is a module like any other. The System32 file and folder, not their twin.
    RunPelnore(Quote(stub) + " " + Quote(elsewhere) + " " + Quote(mun) + " " +
               Quote(std::string(system) + "\\plnboth.dll") + " " +
               Quote(std::string(system) + "\\plnwow"));
    std::string out = native + "\\plnstub";
    ExpectFixtureOutput(out, "dll");
    std::string own = elsewhere.substr(0, elsewhere.size() - 4);
    EXPECT_EQ(std::vector<std::string>{"dll0000.ico"}, testsupport::ListFolder(own));
    ExpectFixtureOutput(resources + "\\plnstub.dll", "mun");
    ExpectFixtureOutput(native + "\\plnboth", "dll");
    ExpectFixtureOutput(native + "\\plnwow\\only", "dll");
    EXPECT_FALSE(twins && testsupport::FileExists(std::string(wow64) + "\\plnboth"));
    printf("%s with %s: %u files in %s\n", stub.c_str(), mun.c_str(),
           (unsigned)testsupport::ListFolder(out).size(), out.c_str());
    for (const char* name : {"plnstub", "plnboth", "plnwow", "plnstub.dll", "plnboth.dll"})
        testsupport::RemoveTree(native + "\\" + name);
    if (twins) DeleteFileA((std::string(wow64) + "\\plnboth.dll").c_str());
    testsupport::RemoveTree(resources + "\\plnstub.dll");
    DeleteFileA(mun.c_str());
    if (madeResources) RemoveDirectoryA(resources.c_str());
}

// ---------------------------------------------------------------- 16-bit (NE) twins

// Each module beside its NE twin (written in the folder ne under the same
// name): the loader refuses the twin, so its files come from pelnore's own
// reading of the NE resource table, and must be the PE module's files, by name
// and byte.
TEST(PelnoreRun, NeTwinsGiveThePeModulesFiles) {
    std::string dir = testsupport::ScratchDir("netwins");
    ASSERT_TRUE(CreateDirectoryA((dir + "\\ne").c_str(), nullptr));
    char system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryA(system, sizeof(system)));
    struct Twin {
        std::string from, name;
        unsigned shift;
    } twins[] = {{FixtureDir() + "\\fixture.dll", "fixture.dll", 4},
                 {testsupport::TestDir() + "\\..\\samples\\sample.dll", "sample.dll", 4},
                 {std::string(system) + "\\user32.dll", "user32.dll", 9},
                 {std::string(system) + "\\comctl32.dll", "comctl32.dll", 9}};
    std::string arguments;
    for (const Twin& t : twins) {
        std::string pe = dir + "\\" + t.name, twin = dir + "\\ne\\" + t.name;
        ASSERT_TRUE(CopyFileA(t.from.c_str(), pe.c_str(), FALSE)) << t.from;
        std::vector<netest::NeResourceSpec> resources = netest::ResourcesOfPeModule(pe);
        netest::NeImage image = netest::WriteNeModule(resources, t.shift);
        ASSERT_FALSE(image.bytes.empty()) << t.name;
        ASSERT_TRUE(testsupport::WriteFileBytes(twin, image.bytes.data(), image.bytes.size()));
        arguments += " " + Quote(pe) + " " + Quote(twin);
        size_t items = 0;
        for (const netest::NeResourceSpec& r : resources)
            items += r.type == 14 || r.type == 12 || r.type == 2;
        printf("%s: NE twin of %u bytes, %u resources, %u groups and bitmaps\n", t.name.c_str(),
               (unsigned)image.bytes.size(), (unsigned)resources.size(), (unsigned)items);
    }
    // The twins hold no RIFF streams of the PE modules' own bytes.
    RunPelnore("/avi:0 /wav:0 /ani:0" + arguments);
    for (const Twin& t : twins) {
        std::string base = t.name.substr(0, t.name.size() - 4);
        std::string peOut = dir + "\\" + base, neOut = dir + "\\ne\\" + base;
        std::vector<std::string> names = testsupport::ListFolder(peOut);
        EXPECT_FALSE(names.empty()) << t.name;
        EXPECT_EQ(names, testsupport::ListFolder(neOut)) << t.name;
        for (const std::string& name : names) {
            Bytes pe = ReadAll(peOut + "\\" + name), ne = ReadAll(neOut + "\\" + name);
            if (!IsImageFile(name)) {
                // A resource written as it is keeps the padding of its last NE
                // unit: the writer's 0xCC bytes.
                ASSERT_GE(ne.size(), pe.size()) << t.name << " " << name;
                EXPECT_LT(ne.size() - pe.size(), 1u << t.shift) << t.name << " " << name;
                EXPECT_EQ(Bytes(ne.size() - pe.size(), 0xCC),
                          Bytes(ne.begin() + pe.size(), ne.end()));
                ne.resize(pe.size());
            }
            EXPECT_EQ(pe, ne) << t.name << " " << name;
            int w = 0, h = 0;
            if (!IsImageFile(name)) continue;
            EXPECT_TRUE(LoadImageSize(neOut + "\\" + name, ImageTypeOf(name), 0, 0, &w, &h))
                << t.name << " " << name;
        }
        printf("%s: %u files from the PE module, %u from its NE twin\n", t.name.c_str(),
               (unsigned)names.size(), (unsigned)testsupport::ListFolder(neOut).size());
    }
    ExpectFixtureOutput(dir + "\\fixture", "dll", ".wav");
}

}  // namespace
