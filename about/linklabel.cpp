// The link label: subclassing, painting, the hand cursor and the notifications.
// The label owns its underlined font and its cursor and frees both when its
// window is destroyed; nothing else is allocated.
#include "linklabel.h"

#include <stdlib.h>

// ---------------------------------------------------------------- hand cursor

enum { HAND_SIZE = 32, HAND_ROW_BYTES = 4, HAND_HOTSPOT_X = 7, HAND_HOTSPOT_Y = 0 };

struct HandRows {
    int firstRow;
    int lastRow;
    unsigned char andMask[HAND_ROW_BYTES];
    unsigned char xorMask[HAND_ROW_BYTES];
};

// A hand pointing up with the index finger: black outline, white inside. AND 1 /
// XOR 0 is transparent, AND 0 / XOR 0 black, AND 0 / XOR 1 white; the most
// significant bit of each byte is the leftmost pixel.
static const HandRows kHandRows[] = {
    {0, 0, {0xfc, 0xff, 0xff, 0xff}, {0x00, 0x00, 0x00, 0x00}},
    {1, 4, {0xf8, 0x7f, 0xff, 0xff}, {0x03, 0x00, 0x00, 0x00}},
    {5, 5, {0xf8, 0x1f, 0xff, 0xff}, {0x03, 0x00, 0x00, 0x00}},
    {6, 6, {0xf8, 0x03, 0xff, 0xff}, {0x03, 0x60, 0x00, 0x00}},
    {7, 7, {0xf8, 0x00, 0xff, 0xff}, {0x03, 0x6c, 0x00, 0x00}},
    {8, 8, {0xf8, 0x00, 0x7f, 0xff}, {0x03, 0x6d, 0x00, 0x00}},
    {9, 9, {0x88, 0x00, 0x3f, 0xff}, {0x03, 0x6d, 0x80, 0x00}},
    {10, 10, {0x80, 0x00, 0x3f, 0xff}, {0x33, 0xfd, 0x80, 0x00}},
    {11, 11, {0x80, 0x00, 0x3f, 0xff}, {0x3b, 0xff, 0x80, 0x00}},
    {12, 12, {0xc0, 0x00, 0x3f, 0xff}, {0x1b, 0xff, 0x80, 0x00}},
    {13, 13, {0xe0, 0x00, 0x3f, 0xff}, {0x0b, 0xff, 0x80, 0x00}},
    {14, 14, {0xe0, 0x00, 0x3f, 0xff}, {0x0f, 0xff, 0x80, 0x00}},
    {15, 15, {0xf0, 0x00, 0x3f, 0xff}, {0x07, 0xff, 0x80, 0x00}},
    {16, 16, {0xf0, 0x00, 0x7f, 0xff}, {0x07, 0xff, 0x00, 0x00}},
    {17, 18, {0xf8, 0x00, 0x7f, 0xff}, {0x03, 0xff, 0x00, 0x00}},
    {19, 20, {0xfc, 0x00, 0xff, 0xff}, {0x01, 0xfe, 0x00, 0x00}},
    {21, 21, {0xfc, 0x00, 0xff, 0xff}, {0x00, 0x00, 0x00, 0x00}},
    {22, 31, {0xff, 0xff, 0xff, 0xff}, {0x00, 0x00, 0x00, 0x00}},
};

static void ExpandHandMasks(unsigned char* andMask, unsigned char* xorMask) {
    for (const HandRows& rows : kHandRows) {
        for (int row = rows.firstRow; row <= rows.lastRow; row++) {
            for (int i = 0; i < HAND_ROW_BYTES; i++) {
                andMask[row * HAND_ROW_BYTES + i] = rows.andMask[i];
                xorMask[row * HAND_ROW_BYTES + i] = rows.xorMask[i];
            }
        }
    }
}

HCURSOR CreateHandCursor(HINSTANCE instance) {
    unsigned char andMask[HAND_SIZE * HAND_ROW_BYTES];
    unsigned char xorMask[HAND_SIZE * HAND_ROW_BYTES];
    ExpandHandMasks(andMask, xorMask);
    return CreateCursor(instance, HAND_HOTSPOT_X, HAND_HOTSPOT_Y, HAND_SIZE, HAND_SIZE, andMask,
                        xorMask);
}

// ---------------------------------------------------------------- small helpers

HFONT CreateUnderlinedFont(HWND window) {
    HFONT font = (HFONT)SendMessageA(window, WM_GETFONT, 0, 0);
    if (font == nullptr) return nullptr;
    LOGFONTA description;
    if (GetObjectA(font, sizeof(description), &description) != sizeof(description)) return nullptr;
    description.lfUnderline = 1;
    return CreateFontIndirectA(&description);
}

bool IsCursorInClient(HWND window) {
    RECT client;
    POINT pointer;
    if (!GetClientRect(window, &client) || !GetCursorPos(&pointer)) return false;
    if (!ScreenToClient(window, &pointer)) return false;
    return PtInRect(&client, pointer) != 0;
}

char* GetWindowTextAlloc(HWND window) {
    int length = GetWindowTextLengthA(window);
    if (length < 0) return nullptr;
    char* text = (char*)malloc((size_t)length + 1);
    if (text == nullptr) return nullptr;
    text[0] = '\0';
    GetWindowTextA(window, text, length + 1);
    text[length] = '\0';
    return text;
}

static WNDPROC OriginalProc(HWND label) { return (WNDPROC)GetPropA(label, LLPROP_ORIGINALPROC); }

static DWORD ControlState(HWND label) {
    return (DWORD)(UINT_PTR)GetPropA(label, LLPROP_CONTROLSTATE);
}

static void SetControlState(HWND label, DWORD state) {
    SetPropA(label, LLPROP_CONTROLSTATE, (HANDLE)(UINT_PTR)state);
}

static LRESULT PassOn(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(OriginalProc(label), label, message, wParam, lParam);
}

static void SendLinkNotification(HWND label, UINT code, WPARAM wParam, LPARAM lParam) {
    NMLINKLABEL notice;
    ZeroMemory(&notice, sizeof(notice));
    notice.hdr.hwndFrom = label;
    notice.hdr.idFrom = (UINT_PTR)GetDlgCtrlID(label);
    notice.hdr.code = code;
    if (code == LLN_MOUSEMOVE) {
        notice.wParam = (DWORD)wParam;
        notice.lParam = (DWORD)lParam;
    }
    SendMessageA(GetParent(label), WM_NOTIFY, notice.hdr.idFrom, (LPARAM)&notice);
}

// ---------------------------------------------------------------- attaching

bool AttachLinkLabel(HWND control) {
    // A second attachment would record this procedure as the original one and
    // then pass every message on to itself without end.
    if (GetPropA(control, LLPROP_ORIGINALPROC) != nullptr) return false;
    HFONT font = CreateUnderlinedFont(control);
    if (font == nullptr) return false;
    HCURSOR cursor = CreateHandCursor(GetModuleHandleA(nullptr));
    if (cursor == nullptr) {
        DeleteObject(font);
        return false;
    }
    LONG_PTR previous = SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)LinkLabelProc);
    SetPropA(control, LLPROP_ORIGINALPROC, (HANDLE)previous);
    SetPropA(control, LLPROP_CONTROLSTATE, (HANDLE)0);
    SetPropA(control, LLPROP_CURSOR, (HANDLE)cursor);
    SetPropA(control, LLPROP_FONT, (HANDLE)font);
    SendMessageA(control, WM_SETFONT, (WPARAM)font, TRUE);
    return true;
}

static LRESULT DetachLinkLabel(HWND label, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = OriginalProc(label);
    SetWindowLongPtrA(label, GWLP_WNDPROC, (LONG_PTR)previous);
    RemovePropA(label, LLPROP_ORIGINALPROC);
    RemovePropA(label, LLPROP_CONTROLSTATE);
    HFONT font = (HFONT)RemovePropA(label, LLPROP_FONT);
    if (font != nullptr) DeleteObject(font);
    HCURSOR cursor = (HCURSOR)RemovePropA(label, LLPROP_CURSOR);
    if (cursor != nullptr) DestroyCursor(cursor);
    return CallWindowProcA(previous, label, WM_DESTROY, wParam, lParam);
}

// ---------------------------------------------------------------- painting

static void PaintLabelText(HWND label, HDC dc) {
    char* text = GetWindowTextAlloc(label);
    if (text == nullptr) return;
    bool hot = (ControlState(label) & LLS_HOT) != 0;
    SetTextColor(dc, hot ? RGB(255, 0, 0) : RGB(0, 0, 255));
    HFONT font = (HFONT)SendMessageA(label, WM_GETFONT, 0, 0);
    if (font != nullptr) {
        SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        TextOutA(dc, 0, 0, text, lstrlenA(text));
    }
    free(text);
}

static LRESULT PaintLinkLabel(HWND label) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(label, &paint);
    if (dc == nullptr) {
        EndPaint(label, &paint);
        return 0;
    }
    int saved = SaveDC(dc);
    RECT client;
    GetClientRect(label, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    // The pressed look: only while the press is still over the label.
    if (GetCapture() == label && (ControlState(label) & LLS_HOT) != 0)
        FrameRect(dc, &client, (HBRUSH)GetStockObject(GRAY_BRUSH));
    PaintLabelText(label, dc);
    RestoreDC(dc, saved);
    EndPaint(label, &paint);
    return 0;
}

// ---------------------------------------------------------------- mouse

static VOID CALLBACK LeaveTimerProc(HWND label, UINT message, UINT_PTR timerId, DWORD time) {
    PELNORE_UNUSED(message);
    PELNORE_UNUSED(time);
    if (IsCursorInClient(label)) return;
    KillTimer(label, timerId);
    SendLinkNotification(label, LLN_MOUSELEAVE, 0, 0);
}

static LRESULT OnSetCursor(HWND label) {
    HCURSOR cursor = (HCURSOR)GetPropA(label, LLPROP_CURSOR);
    if (cursor != nullptr) SetCursor(cursor);
    return TRUE;
}

// A static answers HTTRANSPARENT; claiming the client rectangle is what lets
// the label see the mouse at all.
static LRESULT OnHitTest(HWND label, WPARAM wParam, LPARAM lParam) {
    if (IsCursorInClient(label)) return HTCLIENT;
    return PassOn(label, WM_NCHITTEST, wParam, lParam);
}

static LRESULT OnMouseMove(HWND label, WPARAM wParam, LPARAM lParam) {
    if (IsCursorInClient(label)) {
        // Restarting the same timer id: it ticks until the pointer is found outside.
        SetTimer(label, LLTIMER_LEAVE, 0, LeaveTimerProc);
        SendLinkNotification(label, LLN_MOUSEMOVE, wParam, lParam);
    }
    return PassOn(label, WM_MOUSEMOVE, wParam, lParam);
}

static LRESULT OnButtonDown(HWND label, WPARAM wParam, LPARAM lParam) {
    SetCapture(label);
    InvalidateRect(label, nullptr, FALSE);
    return PassOn(label, WM_LBUTTONDOWN, wParam, lParam);
}

static LRESULT OnButtonUp(HWND label, WPARAM wParam, LPARAM lParam) {
    if (GetCapture() == label) {
        ReleaseCapture();
        if (IsCursorInClient(label)) SendLinkNotification(label, LLN_CLICKED, 0, 0);
    }
    return PassOn(label, WM_LBUTTONUP, wParam, lParam);
}

// The parent's reflected notifications set the hover state.
static LRESULT OnNotify(HWND label, WPARAM wParam, LPARAM lParam) {
    const NMHDR* header = (const NMHDR*)lParam;
    if (header == nullptr) return PassOn(label, WM_NOTIFY, wParam, lParam);
    if (header->code == LLN_MOUSELEAVE) {
        SetControlState(label, 0);
        InvalidateRect(label, nullptr, FALSE);
        return 0;
    }
    if (header->code == LLN_MOUSEMOVE) {
        if (IsCursorInClient(label)) SetControlState(label, LLS_HOT);
        InvalidateRect(label, nullptr, FALSE);
        return 0;
    }
    return PassOn(label, WM_NOTIFY, wParam, lParam);
}

LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        return PaintLinkLabel(label);
    case WM_SETCURSOR:
        return OnSetCursor(label);
    case WM_NCHITTEST:
        return OnHitTest(label, wParam, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(label, wParam, lParam);
    case WM_LBUTTONDOWN:
        return OnButtonDown(label, wParam, lParam);
    case WM_LBUTTONUP:
        return OnButtonUp(label, wParam, lParam);
    case WM_NOTIFY:
        return OnNotify(label, wParam, lParam);
    case WM_DESTROY:
        return DetachLinkLabel(label, wParam, lParam);
    default:
        return PassOn(label, message, wParam, lParam);
    }
}
