// The kinds of output, one row each: the extension (and so the command line's
// switch, "/" + the extension without its dot + ":0"), the ways that produce
// its files, and how the first of those ways numbers them. Each way keeps its
// own table of recognisers or assemblers whose rows name a kind of this table;
// a kind that names a way without a row there, or a row whose kind does not
// name its way, fails to compile (see the static_asserts beside those tables).
// No Windows header, so that the byte-level core and its native fuzz targets
// share it.
#pragma once

typedef unsigned int KindMask;

enum OutputKindId {
    OUTPUT_ICON,
    OUTPUT_CURSOR,
    OUTPUT_BITMAP,
    OUTPUT_AVI,
    OUTPUT_WAVE,
    OUTPUT_ANICURSOR,
    OUTPUT_PNG,
    OUTPUT_GIF,
    OUTPUT_JPEG,
    OUTPUT_MIDI,
    OUTPUT_MP3,
    OUTPUT_OGG,
    OUTPUT_WMF,
    OUTPUT_EMF,
    OUTPUT_KIND_COUNT
};

// The ways that produce files, as bits of a row's ways.
enum OutputWay {
    WAY_ASSEMBLED = 1,  // resources of a type put together into a file (extract.cpp)
    WAY_CONTENT = 2,    // whole resources told by their first bytes (content.cpp)
    WAY_RIFF = 4,       // RIFF streams found in the file's bytes (riffscan.cpp)
    WAY_STREAM = 8,     // other streams found in the file's bytes (streamformats.cpp)
};

// How the first way numbers a kind's files. Every later way numbers on from
// where the earlier ones stopped, counting the files it writes.
enum OutputNumbering {
    NUMBER_EACH_RESOURCE,  // every resource of the type takes an index, file or not
    NUMBER_EACH_FILE,      // only the files written take one, so that names run on
};

struct OutputKind {
    OutputKindId id;        // its place in the table
    const char* extension;  // with its dot
    unsigned ways;
    OutputNumbering numbering;
};

// In the order of the ids above, which the assertion below holds it to.
constexpr OutputKind OUTPUT_KINDS[OUTPUT_KIND_COUNT] = {
    {OUTPUT_ICON, ".ico", WAY_ASSEMBLED | WAY_STREAM, NUMBER_EACH_RESOURCE},
    {OUTPUT_CURSOR, ".cur", WAY_ASSEMBLED | WAY_STREAM, NUMBER_EACH_RESOURCE},
    {OUTPUT_BITMAP, ".bmp", WAY_ASSEMBLED | WAY_STREAM, NUMBER_EACH_RESOURCE},
    {OUTPUT_AVI, ".avi", WAY_RIFF, NUMBER_EACH_FILE},
    {OUTPUT_WAVE, ".wav", WAY_RIFF, NUMBER_EACH_FILE},
    {OUTPUT_ANICURSOR, ".ani", WAY_RIFF, NUMBER_EACH_FILE},
    {OUTPUT_PNG, ".png", WAY_CONTENT | WAY_STREAM, NUMBER_EACH_FILE},
    {OUTPUT_GIF, ".gif", WAY_CONTENT | WAY_STREAM, NUMBER_EACH_FILE},
    {OUTPUT_JPEG, ".jpg", WAY_CONTENT | WAY_STREAM, NUMBER_EACH_FILE},
    {OUTPUT_MIDI, ".mid", WAY_CONTENT | WAY_STREAM, NUMBER_EACH_FILE},
    {OUTPUT_MP3, ".mp3", WAY_CONTENT | WAY_STREAM, NUMBER_EACH_FILE},
    {OUTPUT_OGG, ".ogg", WAY_CONTENT | WAY_STREAM, NUMBER_EACH_FILE},
    {OUTPUT_WMF, ".wmf", WAY_STREAM, NUMBER_EACH_FILE},
    {OUTPUT_EMF, ".emf", WAY_STREAM, NUMBER_EACH_FILE},
};

constexpr bool KindsInTheirPlaces() {
    for (int kind = 0; kind < OUTPUT_KIND_COUNT; kind++)
        if (OUTPUT_KINDS[kind].id != kind || OUTPUT_KINDS[kind].extension == nullptr) return false;
    return true;
}
static_assert(KindsInTheirPlaces(), "OUTPUT_KINDS has a row for every id, in the ids' order");

constexpr KindMask KindBit(int kind) {
    return 1u << kind;
}

// The bits of the kinds that a way produces.
constexpr KindMask KindBitsOfWay(unsigned way) {
    KindMask bits = 0;
    for (int kind = 0; kind < OUTPUT_KIND_COUNT; kind++)
        if (OUTPUT_KINDS[kind].ways & way) bits |= KindBit(kind);
    return bits;
}

constexpr int CountKinds(KindMask bits) {
    int count = 0;
    for (; bits != 0; bits &= bits - 1) count++;
    return count;
}

enum : KindMask {
    KIND_ICON = KindBit(OUTPUT_ICON),
    KIND_CURSOR = KindBit(OUTPUT_CURSOR),
    KIND_BITMAP = KindBit(OUTPUT_BITMAP),
    KIND_AVI = KindBit(OUTPUT_AVI),
    KIND_WAVE = KindBit(OUTPUT_WAVE),
    KIND_ANICURSOR = KindBit(OUTPUT_ANICURSOR),
    KIND_PNG = KindBit(OUTPUT_PNG),
    KIND_GIF = KindBit(OUTPUT_GIF),
    KIND_JPEG = KindBit(OUTPUT_JPEG),
    KIND_MIDI = KindBit(OUTPUT_MIDI),
    KIND_MP3 = KindBit(OUTPUT_MP3),
    KIND_OGG = KindBit(OUTPUT_OGG),
    KIND_WMF = KindBit(OUTPUT_WMF),
    KIND_EMF = KindBit(OUTPUT_EMF),
};
static_assert(OUTPUT_KIND_COUNT <= 32, "a KindMask has a bit for every kind");

// The next index of each kind within one source: the ways of a source run in
// order and each numbers on from here.
struct KindIndexes {
    unsigned next[OUTPUT_KIND_COUNT];
};

// True when every row of a way's table (kinds given as rowKinds) names a kind
// of that way, and every kind of that way has at least one row. Used by the
// ways' tables at compile time.
template <typename Row, decltype(sizeof(0)) N>
constexpr bool RowsMatchWay(const Row (&rows)[N], unsigned way) {
    KindMask named = 0;
    for (const Row& row : rows) {
        if (row.kind < 0 || row.kind >= OUTPUT_KIND_COUNT) return false;
        if ((OUTPUT_KINDS[row.kind].ways & way) == 0) return false;
        named |= KindBit(row.kind);
    }
    return named == KindBitsOfWay(way);
}
