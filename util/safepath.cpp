// Safe relative paths from untrusted ones: the prefix that names a drive, root,
// server or device goes, so do "." and ".." steps and empty components, and
// every component left becomes a name that Windows creates as a file of its own.
#include "safepath.h"

#include <string.h>

#include "mbstring.h"

namespace {

// A component being made safe: its bytes, one more for the '_' put before a
// device name, and the terminator.
const size_t PIECE_CAPACITY = SAFE_COMPONENT_MAX + 2;

// The untrusted bytes, read only below length.
struct RawPath {
    const unsigned char* bytes;
    size_t length;
};

// 2 for a lead byte and its trail byte, 1 otherwise. A lead byte without a
// trail byte after it stands alone (as ByteTypeAt has it), so that the byte
// after it counts for what it is: a '/' there still ends the component.
size_t CharSize(const RawPath* path, size_t at) {
    const unsigned char* b = path->bytes;
    return IsLeadByte(b[at]) && at + 1 < path->length && IsTrailByte(b[at + 1]) ? 2 : 1;
}

bool IsSeparator(unsigned char b) {
    return b == '/' || b == '\\';
}

size_t SkipSeparators(const RawPath* path, size_t at) {
    while (at < path->length && IsSeparator(path->bytes[at])) at++;
    return at;
}

// From a component's start, where it ends: at a separator that is a character
// of its own (never the 0x5C of a double-byte character), or the end.
size_t ComponentEnd(const RawPath* path, size_t at) {
    while (at < path->length && !IsSeparator(path->bytes[at])) at += CharSize(path, at);
    return at;
}

unsigned char UpperAscii(unsigned char b) {
    return b >= 'a' && b <= 'z' ? (unsigned char)(b - 'a' + 'A') : b;
}

// The length bytes at text are word (upper case) in any case of ASCII letters.
bool EqualsNoCase(const unsigned char* text, size_t length, const char* word) {
    if (length != strlen(word)) return false;
    for (size_t i = 0; i < length; i++)
        if (UpperAscii(text[i]) != (unsigned char)word[i]) return false;
    return true;
}

// Where the relative part begins: past a drive ("C:"), a root, a UNC path's
// server and share, or a "\\?\" or "\\.\" prefix with the drive, volume or
// device it names ("\\?\UNC\" with a server and share).
size_t RelativeStart(const RawPath* path) {
    const unsigned char* b = path->bytes;
    size_t at = SkipSeparators(path, 0);
    if (at == 0) {
        bool letter = path->length >= 2 && UpperAscii(b[0]) >= 'A' && UpperAscii(b[0]) <= 'Z';
        return letter && b[1] == ':' ? 2 : 0;
    }
    if (at == 1) return 1;
    size_t names = 2;
    size_t end = ComponentEnd(path, at);
    if (end - at == 1 && (b[at] == '?' || b[at] == '.')) {
        at = SkipSeparators(path, end);
        end = ComponentEnd(path, at);
        names = 1;
        if (EqualsNoCase(b + at, end - at, "UNC")) {
            at = end;
            names = 2;
        }
    }
    for (; names > 0; names--) at = ComponentEnd(path, SkipSeparators(path, at));
    return at;
}

// Empty, "." or "..": dropped. A ".." takes nothing before it away either, so
// what is left never depends on a later step and never leaves the folder.
bool IsDropped(const unsigned char* text, size_t length) {
    return length == 0 || (length == 1 && text[0] == '.') ||
           (length == 2 && text[0] == '.' && text[1] == '.');
}

// A one-byte character that Windows refuses in a name, or a lead byte without
// its trail byte, which the system's conversion would take together with the
// byte after it, a separator or the terminator included.
bool IsRefused(unsigned char b) {
    return b < 0x20 || IsLeadByte(b) || strchr("<>:\"|?*", b) != nullptr;
}

// The component from at to end into piece, each refused byte as '_', up to the
// whole characters that fit in SAFE_COMPONENT_MAX bytes; terminated. Returns
// the length.
size_t CopyComponent(const RawPath* path, size_t at, size_t end, char* piece) {
    size_t size = 0;
    while (at < end) {
        size_t width = CharSize(path, at);
        if (size + width > SAFE_COMPONENT_MAX) break;
        unsigned char b = path->bytes[at];
        piece[size] = (width == 1 && IsRefused(b)) ? '_' : (char)b;
        if (width == 2) piece[size + 1] = (char)path->bytes[at + 1];
        size += width;
        at += width;
    }
    piece[size] = '\0';
    return size;
}

// Names that Windows opens as a device, whatever extension follows them.
const char* const DEVICE_NAMES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};

// The whole characters of piece (terminated after size bytes) that fit in limit
// bytes. Every lead byte in a piece has its trail byte, so NextChar's steps
// are the characters CopyComponent kept.
size_t CutToCharacters(const char* piece, size_t size, size_t limit) {
    size_t kept = 0;
    while (kept < size) {
        size_t next = (size_t)(NextChar(piece + kept) - piece);
        if (next > limit) break;
        kept = next;
    }
    return kept;
}

// Ends the piece within limit bytes (1 or more): cut to whole characters,
// without trailing dots and spaces (Windows drops them, so "a." would be "a"),
// "_" when nothing is left, and a device name after a '_' ("_nul.txt"). A cut
// can leave a dot or a space last, or a device name ("CONSOLE" cut to 3 bytes),
// so it all runs again; a name that starts with '_' is never a device's, so the
// second round is the last.
size_t FinishComponent(char* piece, size_t size, size_t limit) {
    for (;;) {
        size = CutToCharacters(piece, size, limit);
        while (size > 0 && (piece[size - 1] == '.' || piece[size - 1] == ' ')) size--;
        if (size == 0) piece[size++] = '_';
        piece[size] = '\0';
        if (!IsDeviceName(piece, size)) return size;
        memmove(piece + 1, piece, size + 1);
        piece[0] = '_';
        size++;
    }
}

}  // namespace

size_t MakeSafeRelativePath(const char* path, size_t length, char* dest, size_t capacity) {
    if (capacity == 0) return 0;
    dest[0] = '\0';
    RawPath raw = {(const unsigned char*)path, length};
    size_t written = 0;
    for (size_t at = RelativeStart(&raw); at < length;) {
        size_t end = ComponentEnd(&raw, at);
        if (!IsDropped(raw.bytes + at, end - at)) {
            size_t used = written + (written > 0 ? 1 : 0);
            if (used + 1 >= capacity) break;
            size_t room = capacity - 1 - used;
            size_t limit = room < SAFE_COMPONENT_MAX ? room : (size_t)SAFE_COMPONENT_MAX;
            char piece[PIECE_CAPACITY];
            size_t size = CopyComponent(&raw, at, end, piece);
            bool cut = size > limit;
            size = FinishComponent(piece, size, limit);
            if (written > 0) dest[written++] = '\\';
            memcpy(dest + written, piece, size + 1);
            written += size;
            // A path that does not fit ends with the component that was cut.
            if (cut) break;
        }
        if (end == length) break;
        at = end + 1;
    }
    return written;
}

// The part before the first dot, without the spaces that end it, decides. The
// lists of reserved names now have COM0 and LPT0 too; a '_' more before those
// costs nothing.
bool IsDeviceName(const char* name, size_t length) {
    const unsigned char* text = (const unsigned char*)name;
    size_t base = 0;
    while (base < length && text[base] != '.') base++;
    while (base > 0 && text[base - 1] == ' ') base--;
    for (const char* device : DEVICE_NAMES)
        if (EqualsNoCase(text, base, device)) return true;
    bool port = base == 4 && (EqualsNoCase(text, 3, "COM") || EqualsNoCase(text, 3, "LPT"));
    return port && text[3] >= '0' && text[3] <= '9';
}
