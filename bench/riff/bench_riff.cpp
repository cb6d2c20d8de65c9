// Benchmark of the stream scanner: builds a 512 MiB file of noise with a few
// dozen RIFF streams and millions of false "R", "RI" and "RIF" starts, then
// times, side by side in one run, plain sequential reading, and the scan
// through the stream and through mapped views, each with the RIFF forms alone
// and with every kind on.
// Usage: bench_riff [folder]  (default: a folder beside the program); the
// file and the outputs are deleted at the end.
#include "../../extract/riff.h"
#include "../peakmemory.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const size_t kFileSize = 512u << 20;
const size_t kBlock = 4u << 20;
const int kStreams = 36;
// The reference: plain fread in blocks of 1 MiB.
const size_t kPlainBlock = 1u << 20;

double Now() {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

unsigned NextRandom(unsigned* state) {
    *state = *state * 1103515245u + 12345u;
    return *state >> 8;
}

void PutLittleEndian32(unsigned char* at, DWORD value) {
    for (int i = 0; i < 4; i++) at[i] = (unsigned char)(value >> (8 * i));
}

// Noise without 'R', with a false start every 48 bytes or so.
void FillNoise(unsigned char* block, size_t size, unsigned* state) {
    static const char* starts[] = {"R", "RI", "RIF", "RIFx", "RRI"};
    for (size_t i = 0; i < size; i++) {
        unsigned char value = (unsigned char)NextRandom(state);
        block[i] = value == 'R' ? 'r' : value;
    }
    for (size_t at = 0; at + 8 < size; at += 32 + NextRandom(state) % 32) {
        const char* start = starts[NextRandom(state) % 5];
        memcpy(block + at, start, strlen(start));
    }
}

// The streams: sizes from 1 KiB to 8 MiB, the three forms in turn.
struct PlantedStream {
    size_t offset;
    DWORD sizeField;
    const char* form;
};

bool BuildFile(const std::string& path, PlantedStream* streams, size_t* plantedBytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    static const char* forms[] = {"AVI ", "WAVE", "ACON"};
    unsigned state = 2026;
    for (int i = 0; i < kStreams; i++) {
        streams[i].offset = (size_t)(i + 1) * (kFileSize / (kStreams + 2)) + (size_t)i * 7 + 1;
        streams[i].sizeField = (DWORD)((1024u << (i % 14)) + (unsigned)i);
        streams[i].form = forms[i % 3];
    }
    unsigned char* block = (unsigned char*)malloc(kBlock);
    if (block == nullptr) return false;
    bool ok = true;
    *plantedBytes = 0;
    for (size_t base = 0; base < kFileSize && ok; base += kBlock) {
        FillNoise(block, kBlock, &state);
        for (int i = 0; i < kStreams; i++) {
            // Only the 12 header bytes are planted; the body is the noise.
            size_t at = streams[i].offset;
            if (at >= base && at + 12 <= base + kBlock) {
                memcpy(block + (at - base), "RIFF", 4);
                PutLittleEndian32(block + (at - base) + 4, streams[i].sizeField);
                memcpy(block + (at - base) + 8, streams[i].form, 4);
                *plantedBytes += ((streams[i].sizeField + 3) & ~3u) + 8;
            }
        }
        ok = fwrite(block, 1, kBlock, f) == kBlock;
    }
    free(block);
    return fclose(f) == 0 && ok;
}

double TimePlainRead(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return 0;
    unsigned char* block = (unsigned char*)malloc(kPlainBlock);
    double start = Now();
    size_t total = 0, got;
    while ((got = fread(block, 1, kPlainBlock, f)) > 0) total += got;
    double seconds = Now() - start;
    free(block);
    fclose(f);
    return total == kFileSize ? seconds : 0;
}

double TimeByteLoop(const std::string& path, size_t bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return 0;
    double start = Now();
    size_t count = 0;
    unsigned long sum = 0;
    int c;
    while (count < bytes && (c = fgetc(f)) != EOF) {
        sum += (unsigned)c;
        count++;
    }
    double seconds = Now() - start;
    fclose(f);
    return sum != 0 ? seconds : 0;
}

// The time of one scan, 0 when it failed or did not take the way asked for.
double TimeScan(const std::string& path, KindMask mask, RiffSourceAccess access,
                size_t viewSize = 0) {
    RiffSourceAccess used = RIFF_ACCESS_DEFAULT;
    RiffScanOptions options = {};
    options.access = access;
    options.viewSize = viewSize;
    options.accessUsed = &used;
    double start = Now();
    bool ok = ScanRiffStreamsWith(path.c_str(), mask, &options);
    double seconds = Now() - start;
    return ok && used == access ? seconds : 0;
}

double MegabytesPerSecond(size_t bytes, double seconds) {
    return seconds > 0 ? bytes / 1048576.0 / seconds : 0;
}

// Output files of the last scan; removes them when remove is true.
int CountOutputs(const std::string& folder, unsigned long long* bytes, bool remove) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    int count = 0;
    *bytes = 0;
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        count++;
        *bytes += ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
        if (remove) DeleteFileA((folder + "\\" + data.cFileName).c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return count;
}

double Best(double a, double b) {
    return (a > 0 && (b <= 0 || a < b)) ? a : b;
}

}  // namespace

int main(int argc, char** argv) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof(exe));
    std::string folder =
        argc > 1 ? argv[1] : std::string(exe).substr(0, std::string(exe).rfind('\\'));
    std::string dir = folder + "\\riffbench";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string path = dir + "\\sample.bin";
    std::string outputs = dir + "\\sample";

    PlantedStream streams[kStreams];
    size_t plantedBytes = 0;
    printf("building %u MiB with %d streams...\n", (unsigned)(kFileSize >> 20), kStreams);
    if (!BuildFile(path, streams, &plantedBytes)) {
        printf("cannot write %s\n", path.c_str());
        return 1;
    }
    TimePlainRead(path);  // warm the cache so that every run reads the same way

    // Each figure is the best of three rounds; within a round the ways take
    // turns, so that a disturbance of the machine hits them alike. RIFF only:
    // every other kind off, so that the search looks for "RIFF" alone; every
    // kind on: the search for every format's anchor, and the walks of the
    // anchors that the noise holds by chance.
    const KindMask allKinds = KindBitsOfWay(~0u);
    const KindMask riffOnly = allKinds & ~KindBitsOfWay(WAY_RIFF);
    double plain = 0, mappedRiff = 0, mappedAll = 0, streamRiff = 0, streamAll = 0, streamOff = 0;
    unsigned long long outBytes = 0;
    int outCount = 0;
    bool allOutputs = true;
    for (int round = 0; round < 3; round++) {
        plain = Best(plain, TimePlainRead(path));
        // Every kind off: the read and the search for "RIFF" alone, nothing written.
        streamOff = Best(streamOff, TimeScan(path, allKinds, RIFF_ACCESS_STREAM));
        for (KindMask mask : {riffOnly, (KindMask)0}) {
            double mapped = TimeScan(path, mask, RIFF_ACCESS_MAPPED);
            outCount = CountOutputs(outputs, &outBytes, true);
            allOutputs = allOutputs && outCount == kStreams && outBytes == plantedBytes;
            double stream = TimeScan(path, mask, RIFF_ACCESS_STREAM);
            outCount = CountOutputs(outputs, &outBytes, true);
            allOutputs = allOutputs && outCount == kStreams && outBytes == plantedBytes;
            double& mappedBest = mask == 0 ? mappedAll : mappedRiff;
            double& streamBest = mask == 0 ? streamAll : streamRiff;
            mappedBest = Best(mappedBest, mapped);
            streamBest = Best(streamBest, stream);
        }
    }
    const size_t byteLoopBytes = 32u << 20;
    double byteLoop = TimeByteLoop(path, byteLoopBytes);

    double plainRate = MegabytesPerSecond(kFileSize, plain);
    printf("(a) fread, %u KiB blocks:          %8.1f MB/s\n", (unsigned)(kPlainBlock >> 10),
           plainRate);
    const struct {
        const char* label;
        double seconds;
    } rows[] = {
        {"(b) stream, RIFF only:            ", streamRiff},  // the default way
        {"    stream, every kind off:       ", streamOff},
        {"(c) stream, every kind on:        ", streamAll},
        {"(d) mapped views, RIFF only:      ", mappedRiff},
        {"(e) mapped views, every kind on:  ", mappedAll},
    };
    for (const auto& row : rows) {
        double rate = MegabytesPerSecond(kFileSize, row.seconds);
        printf("%s %8.1f MB/s  / (a) = %.3f\n", row.label, rate,
               plainRate > 0 ? rate / plainRate : 0);
    }
    printf("    stream blocks of %u KiB, views of %u MiB; the default is the stream\n",
           RIFF_SCAN_BLOCK_SIZE >> 10, RIFF_VIEW_SIZE >> 20);
    printf("    every kind on / RIFF only: stream %.3f, mapped %.3f\n",
           streamAll > 0 ? streamRiff / streamAll : 0, mappedAll > 0 ? mappedRiff / mappedAll : 0);
    printf("    written per scan: %d files, %.1f MiB (planted %d streams, %.1f MiB)%s\n", outCount,
           outBytes / 1048576.0, kStreams, plantedBytes / 1048576.0,
           allOutputs ? "" : ", NOT ALL IN SOME SCAN");
    double byteRate = MegabytesPerSecond(byteLoopBytes, byteLoop);
    printf("(f) fgetc loop, first %u MiB:      %8.1f MB/s  / (a) = %.4f\n",
           (unsigned)(byteLoopBytes >> 20), byteRate, plainRate > 0 ? byteRate / plainRate : 0);
    printf("peak working set: %.1f MiB\n", PeakWorkingSet() / 1048576.0);

    DeleteFileA(path.c_str());
    RemoveDirectoryA(outputs.c_str());
    RemoveDirectoryA(dir.c_str());
    return allOutputs ? 0 : 2;
}
