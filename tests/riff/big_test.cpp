// A 1.5 GiB stream inside a file is extracted whole while the process's peak
// working set stays below 32 MiB. The source is made sparse (its long runs of
// zeros cost no disk), with marker bytes planted through the stream so that a
// misplaced chunk shows; both files are deleted afterwards.
#include <gtest/gtest.h>

#include "../../extract/riff.h"
// psapi.h needs the Windows types that riff.h brings in first.
#include <psapi.h>
#include <stdio.h>
#include <string.h>

#include "../support/testsupport.h"
#include "riffbytes.h"

using namespace rifftest;

namespace {

const LONGLONG kStreamOffset = 4097;      // odd, so nothing lines up with a block
const DWORD kSizeField = 0x60000000 - 3;  // rounded 0x60000000: 1.5 GiB
const LONGLONG kRounded = 0x60000000;
const LONGLONG kOutputSize = kRounded + 8;
const size_t kPeakLimit = 32u << 20;

bool WriteAt(HANDLE file, LONGLONG offset, const void* data, DWORD size) {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD written = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
           WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Offsets in the stream (from its signature) that carry a marker.
std::vector<LONGLONG> MarkerOffsets() {
    std::vector<LONGLONG> offsets;
    for (LONGLONG at = 12; at < kRounded + 8 - 16; at += 0x3000001) offsets.push_back(at);
    offsets.push_back(kRounded + 8 - 16);  // the last bytes of the stream
    return offsets;
}

void Marker(LONGLONG at, unsigned char* out) {
    for (int i = 0; i < 8; i++) out[i] = (unsigned char)(at >> (8 * i)) | 1;
}

// Junk, the stream's header, the markers, and a sparse run of zeros between.
bool MakeSparseSource(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    Bytes head = Pattern((size_t)kStreamOffset, 3);
    Append(&head, MakeRiffRaw("AVI ", kSizeField, Bytes()));
    bool ok = WriteAt(file, 0, head.data(), (DWORD)head.size());
    for (LONGLONG at : MarkerOffsets()) {
        unsigned char marker[8];
        Marker(at, marker);
        ok = ok && WriteAt(file, kStreamOffset + at, marker, sizeof(marker));
    }
    // Trailing bytes after the stream, holding no signature.
    Bytes tail = Text("tail");
    ok = ok && WriteAt(file, kStreamOffset + kOutputSize, tail.data(), (DWORD)tail.size());
    return CloseHandle(file) && ok;
}

size_t PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

// Reads the output back in pieces and checks it against the source's bytes:
// the header, the markers, and zeros everywhere else.
bool OutputMatches(const std::string& path, std::string* why) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return *why = "cannot open", false;
    std::vector<unsigned char> block(1 << 20);
    std::vector<LONGLONG> markers = MarkerOffsets();
    size_t nextMarker = 0;
    LONGLONG at = 0;
    bool ok = true;
    size_t got;
    Bytes header = MakeRiffRaw("AVI ", kSizeField, Bytes());
    while (ok && (got = fread(block.data(), 1, block.size(), f)) > 0) {
        for (size_t i = 0; i < got && ok; i++, at++) {
            unsigned char expected = 0;
            if (at < 12) {
                expected = header[(size_t)at];
            } else if (nextMarker < markers.size() && at >= markers[nextMarker]) {
                unsigned char marker[8];
                Marker(markers[nextMarker], marker);
                expected = marker[at - markers[nextMarker]];
                if (at - markers[nextMarker] == 7) nextMarker++;
            }
            if (block[i] != expected) {
                *why = "byte differs at " + std::to_string(at);
                ok = false;
            }
        }
    }
    fclose(f);
    if (ok && at != kOutputSize) *why = "size " + std::to_string(at), ok = false;
    return ok;
}

}  // namespace

TEST(RiffBigStream, OneAndAHalfGibibytesWithBoundedMemory) {
    std::string dir = testsupport::ScratchDir("big");
    std::string source = dir + "\\big.exe";
    std::string output = dir + "\\big\\exe0000.avi";
    ASSERT_TRUE(MakeSparseSource(source));
    ASSERT_EQ(kStreamOffset + kOutputSize + 4, testsupport::FileSize(source));

    EXPECT_TRUE(ScanRiffStreams(source.c_str(), 0));
    size_t peak = PeakWorkingSet();
    DeleteFileA(source.c_str());

    std::vector<std::string> names = testsupport::ListFolder(dir + "\\big");
    EXPECT_EQ(std::vector<std::string>{"exe0000.avi"}, names);
    std::string why;
    EXPECT_TRUE(OutputMatches(output, &why)) << why;
    testsupport::RemoveTree(dir);
    printf("peak working set %.1f MiB\n", peak / 1048576.0);
    EXPECT_GT(peak, 0u);
    EXPECT_LT(peak, kPeakLimit) << "peak working set " << (peak >> 20) << " MiB";
}

// Beyond 4 GiB the offsets no longer fit 32 bits: a stream there is still found
// and written.
TEST(RiffBigStream, StreamBeyondFourGibibytesIsFound) {
    std::string dir = testsupport::ScratchDir("huge");
    std::string source = dir + "\\huge.dat";
    const LONGLONG offset = (4LL << 30) + 3;
    Bytes wave = MakeRiff("WAVE", 999, 5);
    HANDLE file = CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    bool written = WriteAt(file, offset, wave.data(), (DWORD)wave.size());
    CloseHandle(file);
    ASSERT_TRUE(written);
    const LONGLONG size = offset + (LONGLONG)wave.size();
    EXPECT_EQ(size, testsupport::FileSize(source));

    EXPECT_TRUE(ScanRiffStreams(source.c_str(), 0));
    DeleteFileA(source.c_str());
    std::map<std::string, Bytes> files = ReadFolder(dir + "\\huge");
    testsupport::RemoveTree(dir);
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(wave, files["dat0000.wav"]);
}
