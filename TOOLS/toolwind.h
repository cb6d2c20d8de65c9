// The window toolkit: stateless helpers shared by every dialog of the program.
// Geometry works on outer rectangles (GetWindowRect) in screen coordinates;
// moves take the coordinates SetWindowPos expects (the parent's client area for
// a child, the screen for a top-level or owned window).
#pragma once

#include "../util/compat.h"
#include "dlgtmpl.h"

// Points and rectangles.
POINT* SetPoint(POINT* point, LONG x, LONG y);
POINT* OffsetPoint(POINT* point, LONG dx, LONG dy);
LONG RectWidth(const RECT* rect);
LONG RectHeight(const RECT* rect);
SIZE RectSize(const RECT* rect);

// Geometry queries.
POINT GetWindowOrigin(HWND window);
SIZE GetWindowSize(HWND window);
LONG GetWindowWidth(HWND window);
LONG GetWindowHeight(HWND window);
LONG GetWindowTop(HWND window);
LONG GetWindowBottom(HWND window);
LONG GetDlgItemTop(HWND dialog, int itemId);
LONG GetDlgItemBottom(HWND dialog, int itemId);
POINT* ScreenToWindow(HWND window, POINT* point);
bool GetWorkArea(RECT* rect);
// True when GetParent gives a window whose child this window is.
bool IsChildWindow(HWND window);

// Immediate moves and sizes (SetWindowPos, z-order kept).
bool MoveWindowTo(HWND window, int x, int y);
bool ResizeWindowTo(HWND window, int width, int height);
bool InflateWindow(HWND window, int dw, int dh);
bool OffsetWindow(HWND window, int dx, int dy);
bool OffsetDlgItem(HWND dialog, int itemId, int dy);

// Deferred moves and sizes; *batch becomes DeferWindowPos's result.
void DeferOffsetWindow(HDWP* batch, HWND window, int dx, int dy, int dw, int dh);
void DeferOffsetDlgItem(HDWP* batch, HWND dialog, int itemId, int dx, int dy, int dw, int dh);

// Visibility and state.
bool ShowWindowFlag(HWND window, bool show);  // returns whether it was visible
bool ShowDlgItem(HWND dialog, int itemId, bool show);
bool EnableDlgItem(HWND dialog, int itemId, bool enable);

// Validity checks; a failed test writes "%s(%d) : %s \r\n" to the debug channel.
bool IsValidWindow(HWND window);
bool IsValidDlgItem(HWND dialog, int itemId);

// A dialog procedure's answer to a message whose result is not its return
// value (WM_NCHITTEST, say): stores result in DWLP_MSGRESULT; returns TRUE, the
// procedure's "handled".
BOOL SetDialogResult(HWND dialog, LRESULT result);

// Placement and menus. The placement area is the work area, else the screen.
RECT GetPlacementArea();
void PlaceWindowAtCursor(HWND window);
// Moves the window, at its size, back inside the placement area; its top-left
// corner wins when it is larger.
void KeepWindowInWorkArea(HWND window);
BOOL TrackPopupMenuAt(POINT point, HWND window, HMENU menu);
BOOL TrackPopupMenuAtCursor(HWND window, HMENU menu);

// Shell icons of files; the caller owns the icons.
HICON GetFileIcon(const char* path, bool smallIcon);
HICON GetModuleIcon(HMODULE module, bool smallIcon);
HICON SetWindowIcon(HWND window, WPARAM which, HICON icon);
