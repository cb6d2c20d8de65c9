// The scanner, both through the stream in blocks and through mapped views,
// against a plain byte-at-a-time reading of the same rules (one fgetc per
// byte, every candidate read whole into one block), over random files full of
// planted, partial, overlapping and truncated signatures and streams, with
// read blocks, views and copy chunks small enough to cut them all.
#include <gtest/gtest.h>
#include <stdio.h>

#include <random>

#include "../../extract/riff.h"
#include "../support/testsupport.h"
#include "riffbytes.h"

using namespace rifftest;

namespace {

struct ReferenceForm {
    const char* type;
    const char* extension;
    KindMask bit;
};
const ReferenceForm kReferenceForms[] = {
    {"AVI ", ".avi", KIND_AVI}, {"WAVE", ".wav", KIND_WAVE}, {"ACON", ".ani", KIND_ANICURSOR}};

struct ScanOutcome {
    std::vector<LONGLONG> candidates;  // offsets just after each signature
    std::map<std::string, Bytes> files;
};

unsigned long LittleEndian(const unsigned char* b) {
    return b[0] | (b[1] << 8) | (b[2] << 16) | ((unsigned long)b[3] << 24);
}

// The rules as stated, one byte at a time; outputs go into a map instead of
// files. sourceExtension is the source's extension without its dot.
ScanOutcome ReferenceScan(const std::string& path, const std::string& sourceExtension,
                          KindMask mask) {
    ScanOutcome out;
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    fseek(f, 0, SEEK_SET);
    long position = 0;
    int counters[3] = {0, 0, 0};
    for (;;) {
        int matched = 0;
        bool found = false;
        int c;
        while (!found && (c = fgetc(f)) != EOF) {
            position++;
            if (c == "RIFF"[matched]) {
                found = ++matched == 4;
            } else {
                matched = c == 'R' ? 1 : 0;
            }
        }
        if (!found) break;
        long here = ftell(f);
        out.candidates.push_back(here);
        long left = size - position;
        unsigned char header[8];
        if (fread(header, 1, 8, f) == 8) {
            unsigned long sizeField = LittleEndian(header);
            unsigned long rounded = (sizeField + 3) & 0xFFFFFFFCul;
            long signedRounded = (long)rounded;
            int row = -1;
            for (int i = 0; i < 3; i++) {
                if (memcmp(kReferenceForms[i].type, header + 4, 4) == 0) row = i;
            }
            if (signedRounded > 0 && left >= signedRounded && row >= 0) {
                Bytes block(rounded + 8, 0);
                memcpy(block.data(), "RIFF", 4);
                memcpy(block.data() + 4, header, 8);
                size_t got = fread(block.data() + 12, 1, rounded - 4, f);
                if ((long)got >= signedRounded - 8 && (mask & kReferenceForms[row].bit) == 0) {
                    char name[64];
                    snprintf(name, sizeof(name), "%s%04x%s", sourceExtension.c_str(), counters[row],
                             kReferenceForms[row].extension);
                    out.files[name] = block;
                    counters[row]++;
                }
            }
        }
        fseek(f, here, SEEK_SET);
    }
    fclose(f);
    return out;
}

void RecordCandidate(void* context, LONGLONG offset) {
    static_cast<std::vector<LONGLONG>*>(context)->push_back(offset);
}

// The mapped way with views of the allocation granularity, the smallest that
// can be mapped, or the stream way with blocks of blockSize bytes.
ScanOutcome RealScan(const std::string& path, const std::string& folder, KindMask mask,
                     size_t blockSize, size_t chunkSize, bool memchrSearch,
                     RiffSourceAccess access) {
    ScanOutcome out;
    testsupport::RemoveTree(folder);
    RiffSourceAccess used = RIFF_ACCESS_DEFAULT;
    RiffScanOptions options = {blockSize,       chunkSize, memchrSearch, RecordCandidate,
                               &out.candidates, nullptr,   access,       1,
                               &used,           nullptr,   nullptr};
    EXPECT_TRUE(ScanRiffStreamsWith(path.c_str(), mask, &options));
    EXPECT_EQ(access, used);
    out.files = ReadFolder(folder);
    return out;
}

// What the comparisons covered, per way.
struct Coverage {
    size_t candidates, files;
};

// Compares one scan with the reference and counts what it covered.
void ExpectSameOutcome(const ScanOutcome& expected, const ScanOutcome& actual, Coverage* coverage,
                       const std::string& where) {
    EXPECT_EQ(expected.candidates, actual.candidates) << where;
    EXPECT_EQ(expected.files, actual.files) << where;
    coverage->candidates += actual.candidates.size();
    coverage->files += actual.files.size();
}

void PrintCoverage(const char* test, const Coverage& stream, const Coverage& mapped) {
    printf("%s: stream way %u candidates, %u files; mapped way %u candidates, %u files\n", test,
           (unsigned)stream.candidates, (unsigned)stream.files, (unsigned)mapped.candidates,
           (unsigned)mapped.files);
}

// Beyond the first view: the allocation granularity, the smallest view size.
size_t FirstViewEnd() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}

// Random bytes in which R, I and F are common, so that partial signatures
// abound.
Bytes Noise(std::mt19937* random, size_t size) {
    static const unsigned char alphabet[] = {'R', 'R', 'I', 'F', 'F', 'x', 0, 0xFF};
    Bytes out(size);
    for (size_t i = 0; i < size; i++) {
        unsigned pick = (*random)() % 12;
        out[i] = pick < sizeof(alphabet) ? alphabet[pick] : (unsigned char)(*random)();
    }
    return out;
}

const char* RandomForm(std::mt19937* random) {
    static const char* forms[] = {"AVI ", "WAVE", "ACON", "RMID", "wave", "AVI\0"};
    return forms[(*random)() % 6];
}

// A stream whose body is noise, sometimes with another stream inside it, and
// whose size field is usually right, sometimes odd, sometimes wild.
Bytes RandomStream(std::mt19937* random, int depth) {
    Bytes body = Noise(random, (*random)() % 200);
    if (depth < 2 && (*random)() % 3 == 0) {
        Append(&body, RandomStream(random, depth + 1));
        Append(&body, Noise(random, (*random)() % 9));
    }
    unsigned long sizeField = (unsigned long)body.size() + 4;
    switch ((*random)() % 8) {
        case 0:
            sizeField = (*random)();
            break;
        case 1:
            sizeField = sizeField > 8 ? sizeField - (*random)() % 8 : sizeField;
            break;
        case 2:
            sizeField = 0;
            break;
        default:
            break;
    }
    body.resize(body.size() + (*random)() % 4, 'F');  // padding, not always zeros
    return MakeRiffRaw(RandomForm(random), sizeField, body);
}

Bytes RandomFile(std::mt19937* random) {
    Bytes file;
    int pieces = 5 + (int)((*random)() % 40);
    for (int i = 0; i < pieces; i++) {
        switch ((*random)() % 6) {
            case 0:
                Append(&file, Noise(random, (*random)() % 64));
                break;
            case 1: {
                static const char* starts[] = {"RRIFF", "RIFRIFF", "RIFFRIFF", "RIF",
                                               "RI",    "R",       "RIRIF",    "RIFFF"};
                Append(&file, Text(starts[(*random)() % 8]));
                break;
            }
            default:
                Append(&file, RandomStream(random, 0));
                break;
        }
    }
    // Often end inside a stream: anywhere in its signature, header or body.
    if ((*random)() % 2 == 0) {
        Bytes last = RandomStream(random, 1);
        last.resize((*random)() % (last.size() + 1));
        Append(&file, last);
    }
    return file;
}

KindMask RandomMask(std::mt19937* random) {
    static const KindMask masks[] = {
        0, 0, KIND_AVI, KIND_WAVE, KIND_ANICURSOR, KIND_AVI | KIND_ANICURSOR};
    return masks[(*random)() % 6];
}

}  // namespace

TEST(RiffDifferential, BothWaysMatchTheByteScanOnRandomFiles) {
    std::string dir = testsupport::ScratchDir("random");
    std::string path = dir + "\\d.exe";
    std::string folder = dir + "\\d";
    std::mt19937 random(20261208);
    const size_t blockSizes[] = {1, 2, 3, 4, 5, 7, 8, 11, 13, 64, 1000, 0};
    const size_t chunkSizes[] = {1, 3, 4, 4096, 0};
    const size_t chunkCount = sizeof(chunkSizes) / sizeof(chunkSizes[0]);
    Coverage stream = {}, mapped = {};
    for (int round = 0; round < 40; round++) {
        Bytes file;
        // Every other file puts its random part across the end of the first
        // view, so that the mapped way's boundary cuts it.
        if (round % 2 == 1) file = Noise(&random, FirstViewEnd() - random() % 400);
        Append(&file, RandomFile(&random));
        KindMask mask = RandomMask(&random);
        ASSERT_TRUE(testsupport::WriteFileBytes(path, file.data(), file.size()));
        ScanOutcome expected = ReferenceScan(path, "exe", mask);
        for (bool memchrSearch : {false, true}) {
            std::string where =
                "round " + std::to_string(round) + " memchr " + std::to_string(memchrSearch);
            for (size_t b = 0; b < sizeof(blockSizes) / sizeof(blockSizes[0]); b++) {
                size_t chunk = chunkSizes[(round + b) % chunkCount];
                ExpectSameOutcome(expected,
                                  RealScan(path, folder, mask, blockSizes[b], chunk, memchrSearch,
                                           RIFF_ACCESS_STREAM),
                                  &stream, where + " block " + std::to_string(blockSizes[b]));
            }
            size_t chunk = chunkSizes[round % chunkCount];
            ExpectSameOutcome(
                expected, RealScan(path, folder, mask, 0, chunk, memchrSearch, RIFF_ACCESS_MAPPED),
                &mapped, where + " mapped, chunk " + std::to_string(chunk));
        }
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
    PrintCoverage("random files", stream, mapped);
    // The random files must really exercise the rules, not pass vacuously.
    EXPECT_GT(mapped.candidates, 1000u);
    EXPECT_GT(mapped.files, 100u);
}

TEST(RiffDifferential, SignaturesAndHeadersCutByEveryBlockOrViewBoundary) {
    // One stream, shifted through every position relative to small blocks and
    // to the end of the first view, so that each boundary falls inside the
    // signature, the size field, the form type and the body in turn.
    std::string dir = testsupport::ScratchDir("shift");
    std::string path = dir + "\\s.dll";
    std::string folder = dir + "\\s";
    Bytes stream = MakeRiff("WAVE", 17, 81);
    Coverage streamWay = {}, mappedWay = {};
    for (bool acrossView : {false, true}) {
        for (size_t shift = 0; shift < 40; shift++) {
            Bytes file;
            if (acrossView) file.resize(FirstViewEnd() - 30, 'x');
            Append(&file, Text("RRIFRIRI"));
            file.resize(file.size() + shift, 'R');
            Append(&file, stream);
            Append(&file, Text("RIF"));
            ASSERT_TRUE(testsupport::WriteFileBytes(path, file.data(), file.size()));
            ScanOutcome expected = ReferenceScan(path, "dll", 0);
            ASSERT_EQ(1u, expected.files.size());
            std::string where = std::to_string(shift) + (acrossView ? " across the view" : "");
            for (bool memchrSearch : {false, true}) {
                ExpectSameOutcome(expected,
                                  RealScan(path, folder, 0, 0, 5, memchrSearch, RIFF_ACCESS_MAPPED),
                                  &mappedWay, where + " mapped");
                if (acrossView) continue;
                for (size_t block : {4, 5, 6, 9, 16, 19, 20, 35}) {
                    ExpectSameOutcome(
                        expected,
                        RealScan(path, folder, 0, block, 5, memchrSearch, RIFF_ACCESS_STREAM),
                        &streamWay, where + " block " + std::to_string(block));
                }
            }
            ASSERT_FALSE(HasFailure()) << where;
        }
    }
    PrintCoverage("shifted stream", streamWay, mappedWay);
}
