// In-memory dialog templates (DLGTEMPLATE and its DLGITEMTEMPLATE items) built
// from plain descriptions in one heap block by a measure-then-fill routine.
#pragma once

#include <stddef.h>
#include <stdint.h>

// 0: none; below 0x10000: an ordinal (resource id or class atom); otherwise a
// pointer to a zero-terminated UTF-16 string.
typedef uintptr_t NameOrId;

// UTF-16 text kept as 16-bit units, independent of the size of wchar_t.
typedef char16_t Utf16Char;

inline NameOrId NameOrIdFromText(const Utf16Char* text) { return (NameOrId)text; }

// Predefined control classes by the atoms that templates name them with.
enum { DIALOG_CLASS_BUTTON = 0x0080, DIALOG_CLASS_STATIC = 0x0082 };
// Font of the program's in-memory dialogs: this face at DIALOG_POINT_SIZE.
extern const Utf16Char DIALOG_FACE_NAME[];
enum { DIALOG_POINT_SIZE = 9 };

struct DialogDescription {
    uint32_t style;
    uint32_t extendedStyle;
    uint16_t itemCount;
    int16_t x, y, cx, cy;
    NameOrId windowClass;
    const Utf16Char* caption;   // null: empty caption
    NameOrId menu;
    const Utf16Char* faceName;  // null: no font block
    uint16_t pointSize;
};

struct DialogItemDescription {
    NameOrId windowClass;  // atom (DIALOG_CLASS_BUTTON, ...) or class name
    NameOrId text;         // 0: empty text
    uint32_t style;        // WS_CHILD is added by the builder
    uint32_t extendedStyle;
    int16_t x, y, cx, cy;
    uint16_t id;
};

// One heap block of exactly the measured size, or null; free() it after the
// dialog has returned.
void* BuildDialogTemplate(const DialogDescription* dialog, const DialogItemDescription* items);
// The routine behind both passes: block null measures. Returns the byte size.
size_t WriteDialogTemplate(const DialogDescription* dialog, const DialogItemDescription* items,
                           void* block, size_t capacity);
