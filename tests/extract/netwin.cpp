// netwin: writes the 16-bit (NE) twin of a 32-bit module: every resource of
// it, named types included, in a module of the NE layout. Used by scripts/demo
// for the sample module and to make the NE reader's fuzz seeds.
//   netwin [/shift:N] [/limit:BYTES] PE-MODULE NE-MODULE
// /limit leaves out resources larger than BYTES, and the groups that name one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>

#include "../support/testsupport.h"
#include "newriter.h"

using namespace netest;

namespace {

bool NamesDroppedImage(const NeResourceSpec& group, const std::set<unsigned>& kept) {
    const Bytes& b = group.bytes;
    unsigned count = b.size() >= 6 ? restest::GetWord(b, 4) : 0;
    unsigned imageType = group.type == 14 ? 3 : 1;
    for (unsigned i = 0; i < count && 6 + 14 * (i + 1) <= b.size(); i++)
        if (!kept.count(imageType << 16 | restest::GetWord(b, 6 + 14 * i + 12))) return true;
    return false;
}

std::vector<NeResourceSpec> WithinLimit(const std::vector<NeResourceSpec>& all, size_t limit) {
    std::set<unsigned> kept;  // type << 16 | id of the images kept
    for (const NeResourceSpec& r : all)
        if ((r.type == 3 || r.type == 1) && r.bytes.size() <= limit)
            kept.insert(r.type << 16 | r.id);
    std::vector<NeResourceSpec> result;
    for (const NeResourceSpec& r : all) {
        if (r.bytes.size() > limit) continue;
        if ((r.type == 14 || r.type == 12) && NamesDroppedImage(r, kept)) continue;
        result.push_back(r);
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned shift = 4;
    size_t limit = (size_t)-1;
    int at = 1;
    for (; at < argc && argv[at][0] == '/'; at++) {
        if (strncmp(argv[at], "/shift:", 7) == 0) shift = (unsigned)atoi(argv[at] + 7);
        if (strncmp(argv[at], "/limit:", 7) == 0) limit = (size_t)atol(argv[at] + 7);
    }
    if (argc - at != 2) {
        fprintf(stderr, "usage: netwin [/shift:N] [/limit:BYTES] PE-MODULE NE-MODULE\n");
        return 2;
    }
    std::vector<NeResourceSpec> resources = WithinLimit(ResourcesOfPeModule(argv[at]), limit);
    NeImage image = WriteNeModule(resources, shift);
    if (resources.empty() || image.bytes.empty() ||
        !testsupport::WriteFileBytes(argv[at + 1], image.bytes.data(), image.bytes.size())) {
        fprintf(stderr, "netwin: no twin of %s written\n", argv[at]);
        return 1;
    }
    return 0;
}
