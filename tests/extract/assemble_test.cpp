// The assemblers on real modules: resource bytes written into a copy of the
// stub DLL with UpdateResourceA, opened as a resource source. Each written
// file must also open with LoadImageA at its expected size.
#include <gtest/gtest.h>

#include "../../extract/assemble.h"
#include "../../extract/content.h"
#include "../support/testsupport.h"
#include "resbuilder.h"

using namespace restest;

namespace {

class AssembleTest : public ::testing::Test {
protected:
    void TearDown() override { CloseResourceSource(&source_); }

    void Build(const std::vector<ResourceSpec>& resources) {
        dir_ = testsupport::ScratchDir(
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::string path = dir_ + "\\case.dll";
        ASSERT_TRUE(BuildModule(path, resources));
        ASSERT_TRUE(OpenResourceSource(path.c_str(), &source_));
    }

    // The resource as the pipeline hands it over: found in the module's source,
    // cut to its mapped bytes (none when it is not there).
    ResourceSpan Find(LPCSTR name, LPCSTR type) {
        ResourceType resourceType = {type, 0};
        ResourceSpan span = {nullptr, 0};
        FindSourceResource(&source_, &resourceType, name, &span);
        return span;
    }

    size_t Measure(ResourceAssembler assembler, LPCSTR name, LPCSTR type) {
        return assembler(nullptr, Find(name, type), &source_);
    }

    // Measures, then fills a block that starts out full of 0xCD, so that a byte
    // the assembler leaves unwritten shows.
    Bytes Assemble(ResourceAssembler assembler, LPCSTR name, LPCSTR type) {
        size_t n = Measure(assembler, name, type);
        if (n == 0) return Bytes();
        Bytes block(n, 0xCD);
        EXPECT_EQ(n, assembler(block.data(), Find(name, type), &source_));
        return block;
    }

    std::string Save(const Bytes& bytes, const char* name) {
        std::string path = dir_ + "\\" + name;
        EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes.data(), bytes.size()));
        return path;
    }

    void ExpectLoads(const Bytes& bytes, const char* name, UINT type, int w, int h) {
        int width = 0, height = 0;
        ASSERT_TRUE(LoadImageSize(Save(bytes, name), type, w, h, &width, &height)) << name;
        EXPECT_EQ(w, width) << name;
        EXPECT_EQ(h, height) << name;
    }

    std::string dir_;
    ResourceSource source_ = {};
};

// ---------------------------------------------------------------- icons

TEST_F(AssembleTest, IconGroupOfThreeImagesGivesTheExactFile) {
    Bytes a = MakeIconImage(32, 32, 4, 1), b = MakeIconImage(16, 16, 4, 2),
          c = MakeIconImage(16, 16, 32, 3);
    ASSERT_EQ(744u, a.size());
    ASSERT_EQ(296u, b.size());
    ASSERT_EQ(1128u, c.size());
    Bytes group =
        Join({GroupHeader(1, 3), IconGroupEntry(32, 32, 16, 4, 744, 11),
              IconGroupEntry(16, 16, 16, 4, 296, 12), IconGroupEntry(16, 16, 0, 32, 1128, 13)});
    Build({{RT_ICON, "#11", a},
           {RT_ICON, "#12", b},
           {RT_ICON, "#13", c},
           {RT_GROUP_ICON, "#1", group}});

    Bytes file = Assemble(AssembleIconFile, MAKEINTRESOURCEA(1), RT_GROUP_ICON);
    ASSERT_EQ(2222u, file.size());
    Bytes expected = GroupHeader(1, 3);
    const unsigned offsets[] = {54, 798, 1094};
    for (int i = 0; i < 3; i++) {
        Bytes entry(group.begin() + 6 + 14 * i, group.begin() + 6 + 14 * i + 12);
        expected.insert(expected.end(), entry.begin(), entry.end());
        PutDword(&expected, offsets[i]);
    }
    expected = Join({expected, a, b, c});
    EXPECT_EQ(expected, file);
    ExpectLoads(file, "three32.ico", IMAGE_ICON, 32, 32);
    ExpectLoads(file, "three16.ico", IMAGE_ICON, 16, 16);
}

TEST_F(AssembleTest, IconGroupEdgeCases) {
    Bytes img = MakeIconImage(16, 16, 4, 5), deep = MakeIconImage(32, 32, 32, 6);
    // A PNG of 48 x 48 4-bit palette indices: its signature and IHDR.
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
                 0,    0,   48,  0,   0,    0,    48,   4,    3, 0, 0, 0,  1,   2,   3,   4};
    Build(
        {{RT_ICON, "#21", img},
         {RT_ICON, "#22", deep},
         {RT_ICON, "#23", png},
         {RT_GROUP_ICON, "#1", GroupHeader(1, 0)},
         // Claims five entries but holds two.
         {RT_GROUP_ICON, "#2",
          Join({GroupHeader(1, 5), IconGroupEntry(16, 16, 16, 4, 296, 21),
                IconGroupEntry(16, 16, 16, 4, 296, 21)})},
         // Declares more bytes than the image resource has.
         {RT_GROUP_ICON, "#3", Join({GroupHeader(1, 1), IconGroupEntry(16, 16, 16, 4, 5000, 21)})},
         // Names an image that is not there, then one that is.
         {RT_GROUP_ICON, "#4",
          Join({GroupHeader(1, 2), IconGroupEntry(32, 32, 16, 4, 100, 99),
                IconGroupEntry(16, 16, 16, 4, 296, 21)})},
         {RT_GROUP_ICON, "#5", Bytes{0, 0, 1, 0}},
         // A header with a flipped byte: reserved 0x3412, type 0x1B02.
         {RT_GROUP_ICON, "#6",
          Join({Bytes{0x12, 0x34, 0x02, 0x1B, 1, 0}, IconGroupEntry(16, 16, 16, 4, 296, 21)})},
         // Only images that are not there.
         {RT_GROUP_ICON, "#7",
          Join({GroupHeader(1, 2), IconGroupEntry(32, 32, 16, 4, 100, 99),
                IconGroupEntry(32, 32, 16, 4, 100, 98)})},
         // Entries that lie about their images; a 4-bit one without its colour
         // count; a PNG's said as 32 bits, as modules say them.
         {RT_GROUP_ICON, "#8",
          Join({GroupHeader(1, 4), IconGroupEntry(13, 0, 7, 21060, 4264, 22),
                IconGroupEntry(32, 32, 0, 32, 33, 23), IconGroupEntry(16, 16, 0, 4, 296, 21),
                IconGroupEntry(48, 48, 0, 32, 33, 23)})},
         {RT_GROUP_ICON, "NAMED",
          Join({GroupHeader(1, 1), IconGroupEntry(16, 16, 16, 4, 296, 21)})}});

    // No image, no file: neither for a count of 0 nor when every image is missing.
    EXPECT_EQ(0u, Measure(AssembleIconFile, MAKEINTRESOURCEA(1), RT_GROUP_ICON));
    EXPECT_EQ(0u, Measure(AssembleIconFile, MAKEINTRESOURCEA(7), RT_GROUP_ICON));

    Bytes cut = Assemble(AssembleIconFile, MAKEINTRESOURCEA(2), RT_GROUP_ICON);
    ASSERT_EQ(6u + 32 + 2 * 296, cut.size());
    EXPECT_EQ(2u, GetWord(cut, 4));
    EXPECT_EQ(38u, GetDword(cut, 6 + 12));
    EXPECT_EQ(38u + 296, GetDword(cut, 22 + 12));
    ExpectLoads(cut, "cutcount.ico", IMAGE_ICON, 16, 16);

    // A declared size beyond the image is cut to it; a missing image is left
    // out and the count says so; a flipped header is written as an icon's.
    Bytes single = Join({GroupHeader(1, 1), Bytes{16, 16, 16, 0, 1, 0, 4, 0}});
    PutDword(&single, 296);
    PutDword(&single, 22);
    single = Join({single, img});
    const char* names[] = {"declaredlonger.ico", "missing.ico", "flipped.ico"};
    const int ids[] = {3, 4, 6};
    for (int i = 0; i < 3; i++) {
        Bytes file = Assemble(AssembleIconFile, MAKEINTRESOURCEA(ids[i]), RT_GROUP_ICON);
        EXPECT_EQ(single, file) << names[i];
        ExpectLoads(file, names[i], IMAGE_ICON, 16, 16);
    }

    EXPECT_EQ(0u, Measure(AssembleIconFile, MAKEINTRESOURCEA(5), RT_GROUP_ICON));
    EXPECT_EQ(0u, Measure(AssembleIconFile, MAKEINTRESOURCEA(77), RT_GROUP_ICON));
    EXPECT_EQ(22u + 296, Assemble(AssembleIconFile, "NAMED", RT_GROUP_ICON).size());

    // Where an entry disagrees, its image's own header gives it; images stay.
    Bytes told = GroupHeader(1, 4);
    const Bytes fields[] = {{32, 32, 0, 0, 1, 0, 32, 0},
                            {48, 48, 16, 0, 1, 0, 4, 0},
                            {16, 16, 16, 0, 1, 0, 4, 0},
                            {48, 48, 0, 0, 1, 0, 32, 0}};
    const unsigned long sizes[] = {4264, 33, 296, 33};
    for (unsigned long i = 0, offset = 6 + 4 * 16; i < 4; offset += sizes[i++]) {
        told = Join({told, fields[i]});
        PutDword(&told, sizes[i]);
        PutDword(&told, offset);
    }
    EXPECT_EQ(Join({told, deep, png, img, png}),
              Assemble(AssembleIconFile, MAKEINTRESOURCEA(8), RT_GROUP_ICON));
}

// ---------------------------------------------------------------- cursors

TEST_F(AssembleTest, CursorHeightRuleAndHotspotFromTheImage) {
    Bytes mono = MakeIconImage(32, 32, 1, 6), colour = MakeIconImage(32, 32, 4, 7);
    ASSERT_EQ(304u, mono.size());
    // Planes and bit count of a cursor group entry are not the hotspot.
    Build({{RT_CURSOR, "#31", Hotspot(3, 5, mono)},
           {RT_CURSOR, "#32", Hotspot(16, 17, colour)},
           {RT_GROUP_CURSOR, "#1",
            Join({GroupHeader(2, 1), CursorGroupEntry(32, 64, 9, 8, 308, 31)})},
           {RT_GROUP_CURSOR, "#2",
            Join({GroupHeader(2, 1),
                  CursorGroupEntry(32, 64, 1, 4, (unsigned long)colour.size() + 4, 32)})}});

    Bytes file = Assemble(AssembleCursorFile, MAKEINTRESOURCEA(1), RT_GROUP_CURSOR);
    Bytes expected = GroupHeader(2, 1);
    expected.insert(expected.end(), {32, 32, 0, 0});
    PutWord(&expected, 3);
    PutWord(&expected, 5);
    PutDword(&expected, 304);
    PutDword(&expected, 22);
    expected = Join({expected, mono});
    EXPECT_EQ(expected, file);
    ExpectLoads(file, "mono.cur", IMAGE_CURSOR, 32, 32);

    Bytes big = Assemble(AssembleCursorFile, MAKEINTRESOURCEA(2), RT_GROUP_CURSOR);
    ASSERT_EQ(22u + colour.size(), big.size());
    EXPECT_EQ(32u, big[6]);
    EXPECT_EQ(64u, big[7]);
    EXPECT_EQ(16u, GetWord(big, 10));
    EXPECT_EQ(17u, GetWord(big, 12));
    EXPECT_EQ(colour, Bytes(big.begin() + 22, big.end()));
    ExpectLoads(big, "colour.cur", IMAGE_CURSOR, 32, 32);
}

TEST_F(AssembleTest, CursorGroupEdgeCases) {
    Bytes mono = MakeIconImage(32, 32, 1, 8);
    Build({{RT_CURSOR, "#41", Hotspot(1, 2, mono)},
           {RT_CURSOR, "#42", Bytes{7, 0}},
           // Byte counts below the hotspot's four bytes.
           {RT_GROUP_CURSOR, "#1",
            Join({GroupHeader(2, 2), CursorGroupEntry(32, 64, 1, 1, 2, 41),
                  CursorGroupEntry(32, 64, 1, 1, 0, 41)})},
           // A missing image, then a real one.
           {RT_GROUP_CURSOR, "#2",
            Join({GroupHeader(2, 2), CursorGroupEntry(32, 64, 1, 1, 54, 98),
                  CursorGroupEntry(32, 64, 1, 1, 308, 41)})},
           // Declares more than the image holds; an image shorter than a hotspot.
           {RT_GROUP_CURSOR, "#3",
            Join({GroupHeader(2, 2), CursorGroupEntry(32, 64, 1, 1, 9000, 41),
                  CursorGroupEntry(32, 64, 1, 1, 30, 42)})},
           // Width and height that are not the image's.
           {RT_GROUP_CURSOR, "#4",
            Join({GroupHeader(2, 1), CursorGroupEntry(13, 7, 1, 1, 308, 41)})}});

    // Byte counts below the hotspot's four bytes hold no image: no file.
    EXPECT_EQ(0u, Measure(AssembleCursorFile, MAKEINTRESOURCEA(1), RT_GROUP_CURSOR));

    Bytes missing = Assemble(AssembleCursorFile, MAKEINTRESOURCEA(2), RT_GROUP_CURSOR);
    ASSERT_EQ(6u + 16 + 304, missing.size());
    EXPECT_EQ(GroupHeader(2, 1), Bytes(missing.begin(), missing.begin() + 6));
    EXPECT_EQ(22u, GetDword(missing, 6 + 12));
    EXPECT_EQ(mono, Bytes(missing.begin() + 22, missing.end()));
    ExpectLoads(missing, "missing.cur", IMAGE_CURSOR, 32, 32);

    Bytes cut = Assemble(AssembleCursorFile, MAKEINTRESOURCEA(3), RT_GROUP_CURSOR);
    ASSERT_EQ(6u + 16 + 304, cut.size());
    EXPECT_EQ(1u, GetWord(cut, 4));
    EXPECT_EQ(304u, GetDword(cut, 6 + 8));
    EXPECT_EQ(32u, cut[7]);  // the cut size is the monochrome size again
    EXPECT_EQ(mono, Bytes(cut.begin() + 22, cut.end()));

    Bytes told = Assemble(AssembleCursorFile, MAKEINTRESOURCEA(4), RT_GROUP_CURSOR);
    ASSERT_EQ(6u + 16 + 304, told.size());
    EXPECT_EQ(Join({GroupHeader(2, 1), Bytes{32, 32, 2, 0, 1, 0, 2, 0}}),
              Bytes(told.begin(), told.begin() + 14));
    EXPECT_EQ(mono, Bytes(told.begin() + 22, told.end()));
}

// ---------------------------------------------------------------- bitmaps

Bytes FileHeader(unsigned long total, unsigned long offBits) {
    Bytes b;
    PutWord(&b, 0x4D42);
    PutDword(&b, total);
    PutDword(&b, 0);
    PutDword(&b, offBits);
    return b;
}

// A run-length bitmap of 8 or 4 bits whose pixels, biSizeImage bytes, are runs.
Bytes RunLengthDib(long width, long height, unsigned bits, const Bytes& runs) {
    Bytes dib = MakeDib(width, height, bits, 1u << bits, bits == 8 ? 1 : 2);
    dib.resize(40 + (4u << bits));
    dib[20] = (unsigned char)runs.size(), dib[21] = (unsigned char)(runs.size() >> 8);
    return Join({dib, runs});
}

TEST_F(AssembleTest, BitmapLayouts) {
    Bytes rgb = MakeDib(3, 2, 24, 0), four = MakeDib(9, 2, 4, 16), eight = MakeDib(5, 3, 8, 256),
          one = MakeDib(17, 3, 1, 2), sixteen = MakeDib(5, 3, 16, 0), alpha = MakeDib(4, 4, 32, 0);
    Bytes trailing = Join({rgb, Bytes(10, 0xEE)});
    Build({{RT_BITMAP, "#1", rgb},
           {RT_BITMAP, "#2", four},
           {RT_BITMAP, "#3", eight},
           {RT_BITMAP, "#4", one},
           {RT_BITMAP, "#5", sixteen},
           {RT_BITMAP, "#6", alpha},
           {RT_BITMAP, "#7", trailing}});

    Bytes file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(1), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(78, 54), rgb}), file);
    ExpectLoads(file, "rgb.bmp", IMAGE_BITMAP, 3, 2);

    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(2), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(14 + 40 + 64 + 8 * 2, 118), four}), file);
    ExpectLoads(file, "four.bmp", IMAGE_BITMAP, 9, 2);

    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(3), RT_BITMAP);
    EXPECT_EQ(1078u, GetDword(file, 10));
    EXPECT_EQ(Join({FileHeader(1078 + 8 * 3, 1078), eight}), file);
    ExpectLoads(file, "eight.bmp", IMAGE_BITMAP, 5, 3);

    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(4), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(62 + 4 * 3, 62), one}), file);
    ExpectLoads(file, "one.bmp", IMAGE_BITMAP, 17, 3);

    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(5), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(54 + 12 * 3, 54), sixteen}), file);
    ExpectLoads(file, "sixteen.bmp", IMAGE_BITMAP, 5, 3);

    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(6), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(54 + 64, 54), alpha}), file);
    ExpectLoads(file, "alpha.bmp", IMAGE_BITMAP, 4, 4);

    // Bytes after the last row are not part of the file.
    EXPECT_EQ(Join({FileHeader(78, 54), rgb}),
              Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(7), RT_BITMAP));
}

TEST_F(AssembleTest, BitmapsThatGiveNoFile) {
    Bytes shortPixels = MakeDib(8, 8, 24, 0);
    shortPixels.resize(shortPixels.size() - 1);
    Bytes core;  // a 12-byte BITMAPCOREHEADER bitmap
    PutDword(&core, 12);
    PutWord(&core, 2);
    PutWord(&core, 2);
    PutWord(&core, 1);
    PutWord(&core, 24);
    core.resize(12 + 16, 0x11);
    auto prefix = [](Bytes b, size_t n) { return Bytes(b.begin(), b.begin() + n); };
    Bytes huge = MakeDib(3, 2, 24, 0);
    huge[4] = 0xFF, huge[5] = 0xFF, huge[6] = 0xFF, huge[7] = 0x7F;  // width 2^31 - 1
    Build({{RT_BITMAP, "#1", MakeDib(4, 4, 8, 256, 1)},              // run-length, biSizeImage 0
           {RT_BITMAP, "#2", MakeDib(4, 4, 24, 3, 3)},               // bit fields at 24 bits
           {RT_BITMAP, "#3", MakeDib(4, 4, 24, 0, 0, 0, 2)},         // two planes
           {RT_BITMAP, "#4", MakeDib(4, 4, 3, 8)},                   // no such bit count
           {RT_BITMAP, "#5", MakeDib(4, 4, 0, 0)},
           {RT_BITMAP, "#6", shortPixels},
           {RT_BITMAP, "#7", core},
           {RT_BITMAP, "#8", MakeDib(4, 4, 4, 32, 0, 32)},  // more colours than 4 bits hold
           {RT_BITMAP, "#9", Bytes(30, 0)},
           {RT_BITMAP, "#10", huge},
           {RT_BITMAP, "#11", MakeDib(0, 4, 24, 0)},
           {RT_BITMAP, "#12", prefix(RunLengthDib(4, 2, 8, Bytes(264, 1)), 1064 + 8)},  // runs cut
           {RT_BITMAP, "#13", RunLengthDib(4, -2, 8, {4, 7, 0, 0, 4, 9, 0, 1})},        // top-down
           {RT_BITMAP, "#14", MakeDib(4, 4, 24, 0, 4)},                                 // JPEG
           {RT_BITMAP, "#15", MakeDib(4, 4, 24, 0, 5)},                                 // PNG
           {RT_BITMAP, "#16", prefix(MakeDib(4, 4, 16, 3, 3), 48)}});                   // masks cut
    for (int id = 1; id <= 16; id++)
        EXPECT_EQ(0u, Measure(AssembleBitmapFile, MAKEINTRESOURCEA(id), RT_BITMAP)) << id;
    EXPECT_EQ(0u, Measure(AssembleBitmapFile, MAKEINTRESOURCEA(40), RT_BITMAP));
}

TEST_F(AssembleTest, BitmapsWhoseLayoutDiffersFromTheFixedOne) {
    Bytes topDown = MakeDib(3, -2, 24, 0);
    Bytes fewColours = MakeDib(9, 2, 4, 3, 0, 3);  // biClrUsed 3: a 12-byte table
    Bytes v5 = MakeDib(3, 2, 24, 0);
    v5[0] = 124;
    v5.insert(v5.begin() + 40, 84, 0);  // the rest of a BITMAPV5HEADER, no colour space data
    Bytes highPalette = MakeDib(2, 2, 24, 2, 0, 2);
    Bytes rle4 = RunLengthDib(6, 2, 4, {6, 0x12, 0, 0, 6, 0x34, 0, 1});
    Build({{RT_BITMAP, "#1", topDown},
           {RT_BITMAP, "#2", fewColours},
           {RT_BITMAP, "#3", v5},
           {RT_BITMAP, "#4", highPalette},
           {RT_BITMAP, "#5", Join({rle4, Bytes(6, 0xEE)})}});  // runs end after biSizeImage bytes

    Bytes file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(1), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(78, 54), topDown}), file);
    ExpectLoads(file, "topdown.bmp", IMAGE_BITMAP, 3, 2);

    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(2), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(14 + 40 + 12 + 16, 66), fewColours}), file);
    ExpectLoads(file, "fewcolours.bmp", IMAGE_BITMAP, 9, 2);

    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(3), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(14 + 124 + 24, 138), v5}), file);
    ExpectLoads(file, "v5.bmp", IMAGE_BITMAP, 3, 2);

    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(4), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(14 + 48 + 16, 62), highPalette}), file);
    ExpectLoads(file, "highpalette.bmp", IMAGE_BITMAP, 2, 2);

    // Bit-field bitmaps of both header forms are compared with their files
    // by the end-to-end fixture test.
    file = Assemble(AssembleBitmapFile, MAKEINTRESOURCEA(5), RT_BITMAP);
    EXPECT_EQ(Join({FileHeader(14 + 40 + 64 + 8, 118), rle4}), file);
}

TEST(ColourTable, EntriesPerBitCount) {
    EXPECT_EQ(2, ColourTableEntries(1));
    EXPECT_EQ(4, ColourTableEntries(2));
    EXPECT_EQ(16, ColourTableEntries(4));
    EXPECT_EQ(256, ColourTableEntries(8));
    EXPECT_EQ(0, ColourTableEntries(16));
    EXPECT_EQ(0, ColourTableEntries(24));
    EXPECT_EQ(0, ColourTableEntries(32));
    EXPECT_EQ(-1, ColourTableEntries(0));
    EXPECT_EQ(-1, ColourTableEntries(12));
}

// Each input is recognised as a format of that extension (null: none).
void ExpectRecognisedAs(const char* extension, std::initializer_list<std::string> inputs) {
    for (const std::string& bytes : inputs) {
        const auto* format = RecogniseContent((const unsigned char*)bytes.data(), bytes.size());
        EXPECT_STREQ(extension, format ? OUTPUT_KINDS[format->kind].extension : nullptr) << bytes.substr(0, 12);
    }
}

TEST(RecogniseContent, FirstBytesDecideTheFormat) {
    using namespace std::string_literals;
    // Frames of 417 bytes (MPEG-1 layer III), 312 (layer I) and 262 (MPEG-2 layer III, padded).
    std::string l3 = "\xFF\xFB\x90\x00"s, l1 = "\xFF\xFF\x90\x00"s, m2 = "\xFF\xF3\x92\x00"s;
    std::string frame = l3 + std::string(413, 'U');
    ExpectRecognisedAs(".png", {"\x89PNG\r\n\x1A\n"s});
    ExpectRecognisedAs(".gif", {"GIF87a", "GIF89a"});
    ExpectRecognisedAs(".jpg", {"\xFF\xD8\xFF\xE0"s, "\xFF\xD8\xFF\xC0"s});
    ExpectRecognisedAs(".mid", {"MThd\0\0\0\x06"s});
    ExpectRecognisedAs(".mp3", {"ID3\x04\0\0\0\0\x01\x7F"s, frame + l3,
                                l1 + std::string(308, 0) + l1, m2 + std::string(258, 0) + m2});
    ExpectRecognisedAs(".ogg", {"OggS\0"s});
    ExpectRecognisedAs(
        nullptr, {"GIF87b", "\xFF\xD8\xFF"s, "\xFF\xD8\xFF\xFF"s, "MThd\0\0\0\x07"s,
                  "ID3\x03\0\0\0\0\x80\0"s, "ID3\x05\0\0\0\0\0\0"s, "ID3\x03\0\0\0\0\0"s, frame,
                  frame + l3.substr(0, 3), frame + m2, m2 + std::string(257, 0) + m2, "OggS\x01"s,
                  "RIFF\x04\0\0\0WAVE"s, "plain text", ""});
}

}  // namespace
