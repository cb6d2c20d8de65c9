// The About box, built in memory each time it opens: the program's icon, its
// name and version from its own version resource, the support address as a
// link label, and the free system resources where the system reports them.
#pragma once

#include "../util/compat.h"

struct AboutInfo {
    const char* supportUrl;  // shown as the link's text and opened on a click
};

// Held by ShowAboutDialog for the whole modal loop; the dialog keeps a pointer
// to it in PROP_ABOUTDIALOGDATA from WM_INITDIALOG until WM_DESTROY.
struct AboutDialogData {
    HICON largeIcon;  // the dialog's big icon and the picture of IDC_ABOUT_ICON
    HICON smallIcon;  // the caption icon
    const AboutInfo* info;
};

#define PROP_ABOUTDIALOGDATA "PROP_ABOUTDIALOGDATA"

enum {
    IDC_ABOUT_ICON = 100,
    IDC_ABOUT_VERSION = 101,
    IDC_ABOUT_LINK = 102,
    IDC_ABOUT_SYSRES = 103,
};

// Capacities in bytes, terminator included.
enum {
    ABOUT_VALUE_CAPACITY = 522,   // one value of the version resource
    ABOUT_TEXT_CAPACITY = 521,    // a composed line or caption
    ABOUT_SYSRES_CAPACITY = 34,   // the system-resources line; 100 % fills it
};

// Runs the box modally, or brings an open one forward.
void ShowAboutDialog(HWND owner, const AboutInfo* info);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The dialog template in one malloc block, or null; free() it after the dialog.
void* BuildAboutTemplate();

// The module file's version information in a malloc block (the caller frees
// it), with its first translation: language low word, code page high word.
void* LoadModuleVersionInfo(HMODULE module, DWORD* translation);
// One string of the block's StringFileInfo; false leaves text empty.
bool QueryVersionString(char* text, const void* block, DWORD translation, const char* key);

// Puts the free-system-resources line into the control, or leaves it empty.
bool SetSystemResourceLine(HWND control);
// The free system resources in percent, from rsrc32.dll where it exists.
bool QueryFreeSystemResources(int* percent);

// Widens the text lines to their texts, the dialog by the largest growth, and
// centres the OK button.
void FitAboutLayout(HWND dialog);
// Widens the control to its text; returns the growth in pixels (0 or more).
int FitControlToText(HWND control);
// The extent of the control's whole text in its font; false when unmeasurable.
bool MeasureWindowText(HWND control, SIZE* size);
