// The ZIP reader over a fuzzed input, an archive with whatever precedes it.
// Built with ZIP_ACCOUNT, it reads one input from standard input instead and
// tells what it decoded, for make_zip_seeds.py --check to compare.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "../../extract/zipread.h"

static void Check(bool condition) {
    if (!condition) __builtin_trap();
}

static bool Inside(const uint8_t* from, const uint8_t* to, const uint8_t* p, uint64_t size) {
    return p >= from && p <= to && size <= (uint64_t)(to - p);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZipArchive zip;
    if (!OpenZipArchive(data, size, &zip)) return 0;
    Check(zip.start <= zip.directory && zip.directory <= zip.directoryEnd &&
          zip.directoryEnd < zip.end && zip.end <= size);
    // Small enough for the seeds' bombs to run it out within milliseconds.
    ZipBudget budget = {16 * (uint64_t)size + (256 << 10)};
    ZipWalk walk = BeginZipWalk(&zip);
    ZipEntry entry;
#ifdef ZIP_ACCOUNT
    printf("start %zu\n", zip.start);
#endif
    while (NextZipEntry(&zip, &walk, &entry)) {
        Check(Inside(data + zip.directory, data + zip.directoryEnd, entry.name, entry.nameLength));
        Check(entry.nameLength == 0 || entry.name[entry.nameLength - 1] != '/');
        const unsigned char* in = nullptr;
        bool found = FindZipData(&zip, &entry, &in);
        Check(!found || Inside(data + zip.start, data + zip.directory, in, entry.compressedSize));
        if (entry.uncompressedSize > (1 << 20)) continue;
        // Exactly the declared size, for the address sanitizer to see a write past it.
        size_t length = (size_t)entry.uncompressedSize;
        unsigned char* out = (unsigned char*)malloc(length);
        uint64_t before = budget.remaining, cost = ZipDecodeCost(&entry);
        ZipResult result = DecodeZipMember(&zip, &entry, &budget, out, length);
        uint64_t taken = before - budget.remaining;
        Check(taken == 0 || taken == cost);
        Check(result != ZIP_OVER_BUDGET || (taken == 0 && cost > before));
        if (result == ZIP_OK) {
            Check(found && taken == cost && !entry.encrypted);
            Check(crc32(0, out, (uInt)length) == entry.crc);
            Check(entry.method == 8 || (entry.method == 0 && !memcmp(out, in, length)));
        }
#ifdef ZIP_ACCOUNT
        for (size_t i = 0; i < entry.nameLength; i++) printf("%02x", entry.name[i]);
        printf(" %d %s", entry.utf8, result == ZIP_OK ? "" : "-");
        for (size_t i = 0; result == ZIP_OK && i < length; i++) printf("%02x", out[i]);
        printf(" %s\n", ZipResultText(result));
#endif
        free(out);
    }
    return 0;
}

#ifdef ZIP_ACCOUNT
int main() {
    static unsigned char input[1 << 20];
    return LLVMFuzzerTestOneInput(input, fread(input, 1, sizeof input, stdin));
}
#endif
