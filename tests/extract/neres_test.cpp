// The NE resource reader over modules written by the test: the twin of the
// fixture module gives the same resources in the same order as the loader
// gives for the PE module, and damaged tables are read as far as they go
// without a byte past the file.
#include <gtest/gtest.h>

#include <string.h>

#include <set>

#include "../../extract/neres.h"
#include "../support/testsupport.h"
#include "newriter.h"

using namespace netest;
using restest::GetWord;

namespace {

std::string FixtureModule() {
    return testsupport::TestDir() + "\\fixtures\\fixture.dll";
}

struct Delivered {
    std::vector<NeResource> resources;
    size_t stopAfter = (size_t)-1;
};

bool Collect(void* context, const NeResource* resource) {
    Delivered* delivered = (Delivered*)context;
    delivered->resources.push_back(*resource);
    return delivered->resources.size() < delivered->stopAfter;
}

std::vector<NeResource> ResourcesOfType(const NeModule& module, uint16_t type) {
    Delivered delivered;
    size_t count = EnumNeResources(&module, type, Collect, &delivered);
    EXPECT_EQ(count, delivered.resources.size());
    return delivered.resources;
}

// The module's bytes in a block of exactly their size, as pelnore reads them.
struct ModuleCopy {
    Bytes bytes;
    NeModule module;
};

bool OpenCopy(const Bytes& bytes, ModuleCopy* copy) {
    copy->bytes = bytes;
    return OpenNeModule(copy->bytes.data(), copy->bytes.size(), &copy->module);
}

// Bytes behind a resource that the reader reports, checked against the
// file's end and compared with what the resource should hold.
void ExpectResourceBytes(const ModuleCopy& copy, const NeResource& r, const Bytes& want,
                         unsigned shift) {
    ASSERT_NE(nullptr, r.bytes);
    ASSERT_LE(r.bytes + r.size, copy.bytes.data() + copy.bytes.size());
    size_t unit = (size_t)1 << shift;
    EXPECT_EQ((want.size() + unit - 1) / unit * unit, r.size);
    ASSERT_GE(r.size, want.size());
    EXPECT_EQ(0, memcmp(want.data(), r.bytes, want.size()));
}

TEST(NeResources, TwinOfTheFixtureHoldsItsResourcesInTheLoadersOrder) {
    std::vector<NeResourceSpec> specs = ResourcesOfPeModule(FixtureModule());
    ASSERT_FALSE(specs.empty());
    // The named types' blocks come first in the table, and the reader must
    // step over them to every integer type behind them.
    std::set<unsigned> types;
    size_t ofNamedTypes = 0;
    for (const NeResourceSpec& planted : specs) {
        if (planted.typeName.empty()) types.insert(planted.type);
        ofNamedTypes += !planted.typeName.empty();
    }
    EXPECT_FALSE(specs[0].typeName.empty());
    EXPECT_EQ((std::set<unsigned>{1, 2, 3, 10, 12, 14}), types);
    EXPECT_EQ(10u, ofNamedTypes);
    for (unsigned shift : {4u, 9u, 15u}) {
        SCOPED_TRACE(shift);
        ModuleCopy copy;
        ASSERT_TRUE(OpenCopy(WriteNeModule(specs, shift).bytes, &copy));
        EXPECT_EQ(shift, copy.module.shift);
        size_t groups = 0;
        for (unsigned type : types) {
            std::vector<NeResource> found = ResourcesOfType(copy.module, (uint16_t)type);
            size_t at = 0;
            for (const NeResourceSpec& planted : specs) {
                if (!planted.typeName.empty() || planted.type != type) continue;
                ASSERT_LT(at, found.size());
                const NeResource& r = found[at++];
                EXPECT_EQ(!planted.name.empty(), r.named);
                if (r.named)
                    EXPECT_EQ(planted.name, std::string((const char*)r.name, r.nameLength));
                else
                    EXPECT_EQ(planted.id, r.id);
                ExpectResourceBytes(copy, r, planted.bytes, shift);
                if (type == 3 || type == 1) {
                    NeResource byId, indexed;
                    ASSERT_TRUE(FindNeResource(&copy.module, type, (uint16_t)planted.id, &byId));
                    EXPECT_EQ(r.bytes, byId.bytes);
                    std::vector<NeIndexedResource> index(
                        IndexNeResources(&copy.module, type, nullptr));
                    ASSERT_EQ(index.size(), IndexNeResources(&copy.module, type, index.data()));
                    ASSERT_TRUE(FindIndexedNeResource(index.data(), index.size(),
                                                      (uint16_t)planted.id, &indexed));
                    EXPECT_EQ(r.bytes, indexed.bytes);
                }
                if (type == 14 || type == 12) groups++;
            }
            EXPECT_EQ(at, found.size());
        }
        // The fixture: four icon groups (two named) and two cursor groups.
        EXPECT_EQ(6u, groups);
        NeResource none;
        EXPECT_FALSE(FindNeResource(&copy.module, 3, 0x7FFF, &none));
        EXPECT_FALSE(FindNeResource(&copy.module, 14, 0x8001, &none));  // no 15-bit id
    }
}

TEST(NeResources, EnumerationStopsWhenTheVisitorSaysSo) {
    ModuleCopy copy;
    ASSERT_TRUE(OpenCopy(WriteNeModule(ResourcesOfPeModule(FixtureModule()), 4).bytes, &copy));
    Delivered delivered;
    delivered.stopAfter = 2;
    EXPECT_EQ(2u, EnumNeResources(&copy.module, 2, Collect, &delivered));
}

TEST(NeResources, OnlyNeModulesOpen) {
    Bytes pe;
    ASSERT_TRUE(testsupport::ReadFileBytes(FixtureModule(), &pe));
    NeModule module;
    EXPECT_FALSE(OpenNeModule(pe.data(), pe.size(), &module));
    NeImage ne = WriteNeModule({{2, 1, "", restest::MakeDib(3, 2, 24, 0)}}, 4);
    EXPECT_TRUE(OpenNeModule(ne.bytes.data(), ne.bytes.size(), &module));
    // The NE header must lie wholly in the file.
    EXPECT_FALSE(OpenNeModule(ne.bytes.data(), ne.header + 0x3F, &module));
    Bytes distant = ne.bytes;
    distant[0x3F] = 0xFF;  // pointer 0xFF000040
    EXPECT_FALSE(OpenNeModule(distant.data(), distant.size(), &module));
    EXPECT_FALSE(OpenNeModule(ne.bytes.data(), 0x3F, &module));
    EXPECT_FALSE(OpenNeModule(nullptr, 0, &module));
}

// Damaged modules: each keeps what can be read, and nothing that is reported
// lies past the file.
class DamagedNe : public ::testing::Test {
protected:
    void SetUp() override {
        specs = {{2, 1, "", restest::MakeDib(3, 2, 24, 0)},
                 {2, 0, "TOPDOWN", restest::MakeDib(9, 4, 4, 16)},
                 {2, 5, "", restest::MakeDib(8, 8, 8, 256)},
                 {3, 7, "", restest::MakeIconImage(16, 16, 4, 1)}};
        ne = WriteNeModule(specs, 4);
    }
    std::vector<NeResource> Bitmaps(const Bytes& bytes) {
        EXPECT_TRUE(OpenCopy(bytes, &copy));
        std::vector<NeResource> found = ResourcesOfType(copy.module, 2);
        for (const NeResource& r : found) {
            const unsigned char* end = copy.bytes.data() + copy.bytes.size();
            if (r.bytes != nullptr) {
                EXPECT_LE(r.bytes + r.size, end);
            }
            if (r.name != nullptr) {
                EXPECT_LE(r.name + r.nameLength, end);
            }
        }
        return found;
    }
    std::vector<NeResourceSpec> specs;
    NeImage ne;
    ModuleCopy copy;
};

TEST_F(DamagedNe, AShiftAbove15OrNoTableGivesNoResources) {
    Bytes b = ne.bytes;
    b[ne.table] = 16;
    EXPECT_TRUE(Bitmaps(b).empty());
    b[ne.table] = 15;
    EXPECT_EQ(3u, Bitmaps(b).size());
    b = ne.bytes;
    b[ne.header + 0x26] = b[ne.header + 0x24];  // resident names where the table is
    b[ne.header + 0x27] = b[ne.header + 0x25];
    EXPECT_TRUE(Bitmaps(b).empty());
    b = ne.bytes;
    b[ne.header + 0x36] = 1;  // OS/2: another table layout
    EXPECT_TRUE(Bitmaps(b).empty());
    b = ne.bytes;
    b[ne.header + 0x25] = 0xFF;  // table past the file
    EXPECT_TRUE(Bitmaps(b).empty());
}

TEST_F(DamagedNe, ATableCutByTheFileKeepsItsWholeEntries) {
    // Cut inside the third bitmap entry: two entries are whole, the second
    // one's name is past the end, and so are both bitmaps' bytes.
    Bytes b(ne.bytes.begin(), ne.bytes.begin() + ne.entries[2] + 11);
    std::vector<NeResource> found = Bitmaps(b);
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(1, found[0].id);
    EXPECT_EQ(nullptr, found[0].bytes);
    EXPECT_TRUE(found[1].named);
    EXPECT_EQ(0u, found[1].nameLength);
    NeResource r;
    EXPECT_FALSE(FindNeResource(&copy.module, 2, 1, &r));
    EXPECT_FALSE(FindNeResource(&copy.module, 3, 7, &r));
    // Cut inside a resource: its length ends at the file's end.
    size_t third = (size_t)GetWord(ne.bytes, ne.entries[2]) << 4;
    b.assign(ne.bytes.begin(), ne.bytes.begin() + third + 100);
    found = Bitmaps(b);
    ASSERT_EQ(3u, found.size());
    EXPECT_EQ(100u, found[2].size);
    EXPECT_EQ(specs[1].name, std::string((const char*)found[1].name, found[1].nameLength));
}

TEST_F(DamagedNe, CountsAndOffsetsBeyondTheFile) {
    // A count of 0xFFFF: every 12 bytes left in the file read as entries,
    // and no block after them.
    Bytes b = ne.bytes;
    b[ne.typeBlocks[0] + 2] = 0xFF;
    b[ne.typeBlocks[0] + 3] = 0xFF;
    std::vector<NeResource> found = Bitmaps(b);
    EXPECT_EQ((b.size() - ne.typeBlocks[0] - 8) / 12, found.size());
    NeResource r;
    EXPECT_FALSE(FindNeResource(&copy.module, 3, 7, &r));
    // An entry pointing past the file keeps its place; a name offset past the
    // file gives an empty name; a length past it is cut.
    b = ne.bytes;
    b[ne.entries[0] + 1] = 0xFF;
    b[ne.entries[1] + 6] = 0xFF;
    b[ne.entries[1] + 7] = 0x7F;
    b[ne.entries[2] + 2] = 0xFF;
    b[ne.entries[2] + 3] = 0xFF;
    found = Bitmaps(b);
    ASSERT_EQ(3u, found.size());
    EXPECT_EQ(nullptr, found[0].bytes);
    EXPECT_EQ(0u, found[0].size);
    EXPECT_TRUE(found[1].named);
    EXPECT_EQ(0u, found[1].nameLength);
    EXPECT_EQ(copy.bytes.data() + copy.bytes.size(), found[2].bytes + found[2].size);
    EXPECT_FALSE(FindNeResource(&copy.module, 2, 1, &r));
    EXPECT_TRUE(FindNeResource(&copy.module, 2, 5, &r));
    EXPECT_TRUE(FindNeResource(&copy.module, 3, 7, &r));
}

TEST_F(DamagedNe, TheFirstOfEqualIdentifiersIsFoundBothWays) {
    std::vector<NeResourceSpec> twice = {{3, 9, "", restest::MakeIconImage(16, 16, 1, 2)},
                                         {3, 4, "", restest::MakeIconImage(16, 16, 4, 3)},
                                         {3, 9, "", restest::MakeIconImage(32, 32, 4, 4)},
                                         {3, 2, "", restest::MakeIconImage(16, 16, 8, 5)}};
    ASSERT_TRUE(OpenCopy(WriteNeModule(twice, 4).bytes, &copy));
    std::vector<NeIndexedResource> index(IndexNeResources(&copy.module, 3, nullptr));
    ASSERT_EQ(4u, IndexNeResources(&copy.module, 3, index.data()));
    NeResource walked, indexed;
    for (uint16_t id : {9, 4, 2}) {
        ASSERT_TRUE(FindNeResource(&copy.module, 3, id, &walked));
        ASSERT_TRUE(FindIndexedNeResource(index.data(), index.size(), id, &indexed));
        EXPECT_EQ(walked.bytes, indexed.bytes);
    }
    ASSERT_TRUE(FindIndexedNeResource(index.data(), index.size(), 9, &indexed));
    EXPECT_EQ(twice[0].bytes.size(), indexed.size);
    EXPECT_FALSE(FindIndexedNeResource(index.data(), index.size(), 3, &indexed));
    EXPECT_FALSE(FindIndexedNeResource(index.data(), 0, 9, &indexed));
}

}  // namespace
