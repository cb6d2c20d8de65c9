// The window toolkit: geometry queries, moves (immediate and deferred), show and
// enable by a boolean, placement at the mouse pointer, popup menus at a point,
// shell icons, and validity checks that trace the failed test.
#include "toolwind.h"

#include <shellapi.h>

#include "../util/bounded.h"
#include "../util/pathpart.h"
#include "../util/trace.h"

// The source path as the build of record writes it into its traces; __FILE__
// would give whatever path this build happened to use.
static const char TOOLWIND_SOURCE_PATH[] = "..\\..\\TOOLS\\toolwind.cpp";

// Writes "<file>(<line>) : <test> \r\n" for a failed check; always false.
static bool TraceFailedCheck(int line, const char* testText) {
    DebugTrace("%s(%d) : %s \r\n", TOOLWIND_SOURCE_PATH, line, testText);
    return false;
}

// The line recorded is that of the test itself.
#define CHECK_OR_TRACE(test, text) ((test) ? true : TraceFailedCheck(__LINE__, text))

// ---- Points and rectangles ----

POINT* SetPoint(POINT* point, LONG x, LONG y) {
    point->x = x;
    point->y = y;
    return point;
}

POINT* OffsetPoint(POINT* point, LONG dx, LONG dy) {
    point->x += dx;
    point->y += dy;
    return point;
}

LONG RectWidth(const RECT* rect) { return rect->right - rect->left; }

LONG RectHeight(const RECT* rect) { return rect->bottom - rect->top; }

SIZE RectSize(const RECT* rect) {
    SIZE size;
    size.cx = RectWidth(rect);
    size.cy = RectHeight(rect);
    return size;
}

// ---- Geometry queries ----

// GetWindowRect is not checked; a failed call leaves the empty rectangle at the
// screen origin instead of stack garbage.
static RECT GetOuterRect(HWND window) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    return rect;
}

POINT GetWindowOrigin(HWND window) {
    RECT rect = GetOuterRect(window);
    POINT origin;
    SetPoint(&origin, rect.left, rect.top);
    return origin;
}

SIZE GetWindowSize(HWND window) {
    RECT rect = GetOuterRect(window);
    return RectSize(&rect);
}

LONG GetWindowWidth(HWND window) { return GetWindowSize(window).cx; }

LONG GetWindowHeight(HWND window) { return GetWindowSize(window).cy; }

LONG GetWindowTop(HWND window) { return GetOuterRect(window).top; }

LONG GetWindowBottom(HWND window) { return GetWindowTop(window) + GetWindowHeight(window); }

LONG GetDlgItemTop(HWND dialog, int itemId) { return GetWindowTop(GetDlgItem(dialog, itemId)); }

LONG GetDlgItemBottom(HWND dialog, int itemId) {
    return GetWindowBottom(GetDlgItem(dialog, itemId));
}

POINT* ScreenToWindow(HWND window, POINT* point) {
    POINT origin = GetWindowOrigin(window);
    return OffsetPoint(point, -origin.x, -origin.y);
}

bool GetWorkArea(RECT* rect) { return SystemParametersInfoA(SPI_GETWORKAREA, 0, rect, 0) != 0; }

bool IsChildWindow(HWND window) {
    HWND parent = GetParent(window);
    // A popup's GetParent may be its owner, which is no parent for SetWindowPos.
    return parent != nullptr && IsChild(parent, window);
}

// Turns a screen point into the coordinates SetWindowPos expects for window.
static void ScreenToMoveCoordinates(HWND window, POINT* point) {
    if (IsChildWindow(window)) ScreenToClient(GetParent(window), point);
}

// The window's outer top-left corner in the coordinates SetWindowPos expects.
static POINT GetMoveOrigin(HWND window) {
    POINT origin = GetWindowOrigin(window);
    ScreenToMoveCoordinates(window, &origin);
    return origin;
}

// ---- Immediate moves and sizes ----

bool MoveWindowTo(HWND window, int x, int y) {
    return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER) != 0;
}

bool ResizeWindowTo(HWND window, int width, int height) {
    return SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER) != 0;
}

bool InflateWindow(HWND window, int dw, int dh) {
    SIZE size = GetWindowSize(window);
    return ResizeWindowTo(window, size.cx + dw, size.cy + dh);
}

bool OffsetWindow(HWND window, int dx, int dy) {
    POINT origin = GetMoveOrigin(window);
    return MoveWindowTo(window, origin.x + dx, origin.y + dy);
}

bool OffsetDlgItem(HWND dialog, int itemId, int dy) {
    return OffsetWindow(GetDlgItem(dialog, itemId), 0, dy);
}

// ---- Deferred moves and sizes ----

void DeferOffsetWindow(HDWP* batch, HWND window, int dx, int dy, int dw, int dh) {
    POINT origin = GetMoveOrigin(window);
    SIZE size = GetWindowSize(window);
    // A null batch makes DeferWindowPos fail again, so one failure loses the
    // whole batch and nothing moves half-way.
    *batch = DeferWindowPos(*batch, window, nullptr, origin.x + dx, origin.y + dy, size.cx + dw,
                            size.cy + dh, SWP_NOZORDER | SWP_NOACTIVATE);
}

void DeferOffsetDlgItem(HDWP* batch, HWND dialog, int itemId, int dx, int dy, int dw, int dh) {
    DeferOffsetWindow(batch, GetDlgItem(dialog, itemId), dx, dy, dw, dh);
}

// ---- Visibility and state ----

bool ShowWindowFlag(HWND window, bool show) {
    // SW_SHOWNA: shown without taking the activation from the active window.
    return ShowWindow(window, show ? SW_SHOWNA : SW_HIDE) != 0;
}

bool ShowDlgItem(HWND dialog, int itemId, bool show) {
    return ShowWindowFlag(GetDlgItem(dialog, itemId), show);
}

bool EnableDlgItem(HWND dialog, int itemId, bool enable) {
    return EnableWindow(GetDlgItem(dialog, itemId), enable ? TRUE : FALSE) != 0;
}

// ---- Validity checks ----

bool IsValidWindow(HWND hWnd) {
    if (!CHECK_OR_TRACE(hWnd != nullptr, "hWnd")) return false;
    if (!CHECK_OR_TRACE(IsWindow(hWnd), "IsWindow( hWnd )")) return false;
    return true;
}

bool IsValidDlgItem(HWND hwndDlg, int itemId) {
    if (!CHECK_OR_TRACE(IsValidWindow(hwndDlg), "IsValidWindow( hwndDlg )")) return false;
    HWND hwndCtrl = GetDlgItem(hwndDlg, itemId);
    if (!CHECK_OR_TRACE(IsValidWindow(hwndCtrl), "IsValidWindow( hwndCtrl )")) return false;
    return true;
}

// ---- Placement and menus ----

// The work area, or the primary screen when the system will not give it, so
// that a failed query never clamps the window against an empty rectangle.
RECT GetPlacementArea() {
    RECT area = {0, 0, 0, 0};
    if (!GetWorkArea(&area)) {
        area.left = 0;
        area.top = 0;
        area.right = GetSystemMetrics(SM_CXSCREEN);
        area.bottom = GetSystemMetrics(SM_CYSCREEN);
    }
    return area;
}

// Keeps [*start, *start + extent) inside [low, high); the low edge wins when the
// extent does not fit, so the top-left corner always stays inside.
static void ClampSpan(LONG* start, LONG extent, LONG low, LONG high) {
    if (*start + extent > high) *start = high - extent;
    if (*start < low) *start = low;
}

// Moves the window's top-left corner to point (screen), clamped so that the
// window lies inside the placement area.
static void MoveWindowInsideArea(HWND window, POINT point) {
    RECT area = GetPlacementArea();
    ClampSpan(&point.x, GetWindowWidth(window), area.left, area.right);
    ClampSpan(&point.y, GetWindowHeight(window), area.top, area.bottom);
    ScreenToMoveCoordinates(window, &point);
    MoveWindowTo(window, point.x, point.y);
}

void PlaceWindowAtCursor(HWND window) {
    POINT point = {0, 0};
    GetCursorPos(&point);
    // Signed division: the halves truncate toward zero.
    OffsetPoint(&point, -(GetWindowWidth(window) / 2), -(GetWindowHeight(window) / 2));
    MoveWindowInsideArea(window, point);
}

void KeepWindowInWorkArea(HWND window) {
    MoveWindowInsideArea(window, GetWindowOrigin(window));
}

BOOL TrackPopupMenuAt(POINT point, HWND window, HMENU menu) {
    // Without the foreground the menu would not close when the user clicks
    // elsewhere.
    SetForegroundWindow(window);
    return TrackPopupMenuEx(menu, TPM_RIGHTBUTTON | TPM_VERTICAL, point.x, point.y, window,
                            nullptr);
}

BOOL TrackPopupMenuAtCursor(HWND window, HMENU menu) {
    POINT point;
    if (!GetCursorPos(&point)) return FALSE;
    return TrackPopupMenuAt(point, window, menu);
}

// ---- Shell icons ----

HICON GetFileIcon(const char* path, bool smallIcon) {
    SHFILEINFOA info;
    ZeroMemory(&info, sizeof(info));
    UINT flags = SHGFI_ICON | (smallIcon ? SHGFI_SMALLICON : SHGFI_LARGEICON);
    if (SHGetFileInfoA(path, 0, &info, sizeof(info), flags) == 0) return nullptr;
    return info.hIcon;
}

HICON GetModuleIcon(HMODULE module, bool smallIcon) {
    char path[PATH_CAPACITY];
    if (GetModulePath(module, path, sizeof(path)) == 0) return nullptr;
    return GetFileIcon(path, smallIcon);
}

BOOL SetDialogResult(HWND dialog, LRESULT result) {
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

HICON SetWindowIcon(HWND window, WPARAM which, HICON icon) {
    return (HICON)SendMessageA(window, WM_SETICON, which, (LPARAM)icon);
}
