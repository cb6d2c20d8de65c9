// Captures through BitBlt from a window's device context or the screen's.
#include "pixels.h"

#include <gtest/gtest.h>

#include <vector>

#include "../../about/aboutdlg.h"
#include "../support/testsupport.h"

namespace testsupport {

// MapDialogRect works only inside the dialog's own process, so the horizontal
// base unit is recovered from two controls the box never moves: the
// icon at 7 units and the version line at 30 (pixels = units * base / 4).
int DialogUnitsX(HWND dialog, int units) {
    POINT icon = {WindowRect(GetDlgItem(dialog, IDC_ABOUT_ICON)).left, 0};
    POINT line = {WindowRect(GetDlgItem(dialog, IDC_ABOUT_VERSION)).left, 0};
    ScreenToClient(dialog, &icon);
    ScreenToClient(dialog, &line);
    for (int base = 1; base < 64; base++)
        if (MulDiv(7, base, 4) == icon.x && MulDiv(30, base, 4) == line.x)
            return MulDiv(units, base, 4);
    ADD_FAILURE() << "no base unit gives the icon at " << icon.x << " and the line at " << line.x;
    return -1;
}

void ExpectAboutBoxAroundLines(HWND box, LONG widestRight) {
    RECT client = {};
    GetClientRect(box, &client);
    POINT clientRight = {client.right, 0};
    ClientToScreen(box, &clientRight);
    // The line's right edge at layout is its position plus its width, each
    // mapped on its own, so rounding may leave it a pixel off unit 31.
    EXPECT_EQ(DialogUnitsX(box, 38) - (DialogUnitsX(box, 30) + DialogUnitsX(box, 1)),
              clientRight.x - widestRight);
    RECT dialog = WindowRect(box), button = WindowRect(GetDlgItem(box, IDOK));
    EXPECT_EQ(((dialog.right - dialog.left) - (button.right - button.left)) / 2,
              button.left - dialog.left);
}

// Pixels of a width x height area at (x, y) of a window's device context (the
// screen's for a null window), row by row from the top; false when unreadable.
static bool CaptureArea(HWND window, int x, int y, int width, int height,
                        std::vector<COLORREF>* pixels) {
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = dib != nullptr && bits != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, dib);
        ok = BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        const unsigned char* p = (const unsigned char*)bits;
        pixels->resize((size_t)width * height);
        for (size_t i = 0; i < pixels->size(); i++)
            (*pixels)[i] = RGB(p[i * 4 + 2], p[i * 4 + 1], p[i * 4]);
    }
    if (dib) DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return ok;
}

static bool CaptureClient(HWND window, std::vector<COLORREF>* pixels, int* width, int* height) {
    RECT client;
    if (!GetClientRect(window, &client)) return false;
    *width = client.right;
    *height = client.bottom;
    return CaptureArea(window, 0, 0, *width, *height, pixels);
}

ColourCount CountScreenColours(const RECT& area) {
    ColourCount result;
    std::vector<COLORREF> pixels;
    if (CaptureArea(nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                    &pixels))
        for (COLORREF c : pixels) result.counts[c]++;
    return result;
}

ColourCount CountWindowColours(HWND window) {
    ColourCount result;
    std::vector<COLORREF> pixels;
    int width = 0, height = 0;
    if (CaptureClient(window, &pixels, &width, &height))
        for (COLORREF c : pixels) result.counts[c]++;
    return result;
}

COLORREF WindowPixel(HWND window, int x, int y) {
    std::vector<COLORREF> pixels;
    int width = 0, height = 0;
    if (!CaptureClient(window, &pixels, &width, &height)) return CLR_INVALID;
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    return pixels[(size_t)y * width + x];
}

}  // namespace testsupport
