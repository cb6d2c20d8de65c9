// Builds standard in-memory dialog templates from plain descriptions. One routine
// walks the layout twice: first only counting words, then writing them into a
// block of exactly the counted size, so size and contents cannot disagree.
#include "dlgtmpl.h"

#include <stdlib.h>

const Utf16Char DIALOG_FACE_NAME[] = u"ＭＳ Ｐゴシック";

// WS_CHILD: the dialog manager creates every item as a child of the dialog.
static const uint32_t ITEM_CHILD_STYLE = 0x40000000u;
// The word that announces an ordinal in a name-or-ordinal field.
static const uint16_t ORDINAL_MARKER = 0xFFFFu;
// Values below this are ordinals or atoms, never pointers.
static const NameOrId FIRST_POINTER_VALUE = 0x10000u;

// The place being written: a block (null while measuring) and its capacity.
struct TemplateCursor {
    unsigned char* block;
    size_t capacity;
};

// Stores a 16-bit word little-endian, whatever the host's byte order.
static void StoreWord(unsigned char* block, size_t index, uint16_t value) {
    block[2 * index] = (unsigned char)(value & 0xFFu);
    block[2 * index + 1] = (unsigned char)(value >> 8);
}

// True when nothing is written (measuring) or when `words` words fit at index.
static bool FitsAt(const TemplateCursor* out, size_t index, size_t words) {
    return out->block == nullptr || 2 * (index + words) <= out->capacity;
}

// Every field writer returns the number of words written, or that would be
// written while measuring; a write that does not fit writes and counts nothing.

static size_t WriteWord(const TemplateCursor* out, size_t index, uint16_t value) {
    if (!FitsAt(out, index, 1)) return 0;
    if (out->block != nullptr) StoreWord(out->block, index, value);
    return 1;
}

static size_t CountUnits(const Utf16Char* text) {
    size_t count = 0;
    while (text[count] != 0) count++;
    return count;
}

// The string's units and its zero terminator.
static size_t WriteString(const TemplateCursor* out, size_t index, const Utf16Char* text) {
    size_t units = CountUnits(text);
    if (!FitsAt(out, index, units + 1)) return 0;
    if (out->block != nullptr) {
        for (size_t i = 0; i <= units; i++) StoreWord(out->block, index + i, (uint16_t)text[i]);
    }
    return units + 1;
}

static size_t WriteOrdinal(const TemplateCursor* out, size_t index, NameOrId ordinal) {
    size_t words = WriteWord(out, index, ORDINAL_MARKER);
    return words + WriteWord(out, index + words, (uint16_t)ordinal);
}

static const Utf16Char* TextOf(NameOrId value) { return (const Utf16Char*)value; }

// Dialog menu and class, item text: 0 is one zero word.
static size_t WriteNameOrId(const TemplateCursor* out, size_t index, NameOrId value) {
    if (value == 0) return WriteWord(out, index, 0);
    if (value < FIRST_POINTER_VALUE) return WriteOrdinal(out, index, value);
    return WriteString(out, index, TextOf(value));
}

// An item's class is always a name or an ordinal: there is no "none".
static size_t WriteItemClass(const TemplateCursor* out, size_t index, NameOrId value) {
    if (value < FIRST_POINTER_VALUE) return WriteOrdinal(out, index, value);
    return WriteString(out, index, TextOf(value));
}

static size_t WriteOptionalString(const TemplateCursor* out, size_t index, const Utf16Char* text) {
    if (text == nullptr) return WriteWord(out, index, 0);
    return WriteString(out, index, text);
}

static size_t WriteDword(const TemplateCursor* out, size_t index, uint32_t value) {
    size_t words = WriteWord(out, index, (uint16_t)(value & 0xFFFFu));
    return words + WriteWord(out, index + words, (uint16_t)(value >> 16));
}

// One zero word when the count so far is odd, so that the next item (or the
// end of the block) falls on a 4-byte boundary.
static size_t WriteAlignment(const TemplateCursor* out, size_t index) {
    if (index % 2 == 0) return 0;
    return WriteWord(out, index, 0);
}

// The 18-byte DLGTEMPLATE header, always at the start of the block.
static size_t WriteDialogHeader(const TemplateCursor* out, const DialogDescription* dialog) {
    enum { HEADER_WORDS = 9 };
    if (!FitsAt(out, 0, HEADER_WORDS)) return 0;
    size_t index = 0;
    index += WriteDword(out, index, dialog->style);
    index += WriteDword(out, index, dialog->extendedStyle);
    index += WriteWord(out, index, dialog->itemCount);
    index += WriteWord(out, index, (uint16_t)dialog->x);
    index += WriteWord(out, index, (uint16_t)dialog->y);
    index += WriteWord(out, index, (uint16_t)dialog->cx);
    index += WriteWord(out, index, (uint16_t)dialog->cy);
    return index;
}

// The 18-byte DLGITEMTEMPLATE header, with WS_CHILD added to the style.
static size_t WriteItemHeader(const TemplateCursor* out, size_t start,
                              const DialogItemDescription* item) {
    enum { HEADER_WORDS = 9 };
    if (!FitsAt(out, start, HEADER_WORDS)) return 0;
    size_t index = start;
    index += WriteDword(out, index, item->style | ITEM_CHILD_STYLE);
    index += WriteDword(out, index, item->extendedStyle);
    index += WriteWord(out, index, (uint16_t)item->x);
    index += WriteWord(out, index, (uint16_t)item->y);
    index += WriteWord(out, index, (uint16_t)item->cx);
    index += WriteWord(out, index, (uint16_t)item->cy);
    index += WriteWord(out, index, item->id);
    return index - start;
}

// Point size and face name, only when a face name is given.
static size_t WriteFontBlock(const TemplateCursor* out, size_t start,
                             const DialogDescription* dialog) {
    if (dialog->faceName == nullptr) return 0;
    size_t index = start;
    index += WriteWord(out, index, dialog->pointSize);
    index += WriteString(out, index, dialog->faceName);
    return index - start;
}

static size_t WriteItem(const TemplateCursor* out, size_t start,
                        const DialogItemDescription* item) {
    size_t index = start;
    index += WriteItemHeader(out, index, item);
    index += WriteItemClass(out, index, item->windowClass);
    index += WriteNameOrId(out, index, item->text);
    index += WriteWord(out, index, 0);  // no creation data
    index += WriteAlignment(out, index);
    return index - start;
}

size_t WriteDialogTemplate(const DialogDescription* dialog, const DialogItemDescription* items,
                           void* block, size_t capacity) {
    TemplateCursor out;
    out.block = (unsigned char*)block;
    out.capacity = block != nullptr ? capacity : 0;
    size_t index = 0;
    index += WriteDialogHeader(&out, dialog);
    index += WriteNameOrId(&out, index, dialog->menu);
    index += WriteNameOrId(&out, index, dialog->windowClass);
    index += WriteOptionalString(&out, index, dialog->caption);
    index += WriteFontBlock(&out, index, dialog);
    index += WriteAlignment(&out, index);
    for (uint16_t i = 0; i < dialog->itemCount; i++) index += WriteItem(&out, index, &items[i]);
    return 2 * index;
}

void* BuildDialogTemplate(const DialogDescription* dialog, const DialogItemDescription* items) {
    size_t size = WriteDialogTemplate(dialog, items, nullptr, 0);
    void* block = malloc(size);
    if (block == nullptr) return nullptr;
    WriteDialogTemplate(dialog, items, block, size);
    return block;
}
