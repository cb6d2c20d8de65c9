// Bitmap assembly over a fuzzed resource: the input is the packed bitmap, in a
// heap block of exactly its size. The content recognisers read it too.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "../../extract/assemblebytes.h"
#include "../../extract/content.h"
#include "../../util/lebytes.h"

static void Check(bool condition) {
    if (!condition) __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned char* dib = (unsigned char*)malloc(size ? size : 1);
    if (size) memcpy(dib, data, size);
    ResourceSpan span = {dib, size};
    size_t measured = AssembleBitmapBytes(nullptr, span);
    if (measured > 0) {
        // The file is the 14-byte header and a prefix of the resource.
        Check(measured >= 14 + 40 && measured <= 14 + size);
        unsigned char* file = (unsigned char*)malloc(measured);
        Check(AssembleBitmapBytes(file, span) == measured);
        Check(ReadLE16(file) == 0x4D42 && ReadLE32(file + 2) == measured);
        Check(ReadLE32(file + 10) >= 14 + 40 && ReadLE32(file + 10) <= measured);
        Check(memcmp(file + 14, dib, measured - 14) == 0);
        free(file);
    }
    const ContentFormat* format = RecogniseContent(dib, size);
    Check(!format || ((size_t)(format - CONTENT_FORMATS) < CONTENT_FORMAT_COUNT &&
                      (KindBit(format->kind) & KindBitsOfWay(WAY_CONTENT)) != 0));
    free(dib);
    return 0;
}
