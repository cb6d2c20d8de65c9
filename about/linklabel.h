// The link label: a static text control subclassed into an underlined, blue
// hyperlink that turns red while hot and reports clicks to its parent. All of
// its state lives in four window properties on the control itself.
#pragma once

#include "../util/compat.h"

// Window properties on the control, set by AttachLinkLabel, removed at WM_DESTROY.
#define LLPROP_ORIGINALPROC "LLPROP_ORIGINALPROC"
#define LLPROP_CONTROLSTATE "LLPROP_CONTROLSTATE"
#define LLPROP_CURSOR "LLPROP_CURSOR"
#define LLPROP_FONT "LLPROP_FONT"

// State bits held in LLPROP_CONTROLSTATE.
enum { LLS_HOT = 1 };

// Notification codes, sent to the parent as WM_NOTIFY (wParam: the control id);
// the parent sends LLN_MOUSELEAVE and LLN_MOUSEMOVE back for the hover colour.
enum { LLN_CLICKED = 0x401, LLN_MOUSELEAVE = 0x402, LLN_MOUSEMOVE = 0x403 };

// The timer that looks for the pointer leaving the label (period 0: the minimum).
enum { LLTIMER_LEAVE = 1 };

struct NMLINKLABEL {
    NMHDR hdr;
    DWORD wParam;  // LLN_MOUSEMOVE: the key-state flags of the WM_MOUSEMOVE; else 0
    DWORD lParam;  // LLN_MOUSEMOVE: the client position of the WM_MOUSEMOVE; else 0
};
static_assert(sizeof(void*) != 4 || sizeof(NMLINKLABEL) == 20, "the 32-bit record is 20 bytes");

// Subclasses a static control that already has its font; false leaves it unchanged.
bool AttachLinkLabel(HWND control);
LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam);

// The window's font with lfUnderline set, or null; the caller deletes it.
HFONT CreateUnderlinedFont(HWND window);
// The 32 x 32 pointing hand, hotspot (7, 0), or null; the caller destroys it.
HCURSOR CreateHandCursor(HINSTANCE instance);
// Whether the pointer, where it is now, lies in the window's client rectangle.
bool IsCursorInClient(HWND window);
// The window's text in a malloc block, or null; the caller frees it.
char* GetWindowTextAlloc(HWND window);
