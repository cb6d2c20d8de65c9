// Reading what a window shows: its client area copied from its device context
// into a 32-bit DIB, so that tests check real pixels rather than internal state;
// and the About box's dialog units measured on screen.
#pragma once

#include <map>

#include "../../util/compat.h"

namespace testsupport {

struct ColourCount {
    std::map<COLORREF, int> counts;
    int Of(COLORREF colour) const {
        auto it = counts.find(colour);
        return it == counts.end() ? 0 : it->second;
    }
    COLORREF Dominant() const {
        COLORREF best = CLR_INVALID;
        int most = -1;
        for (const auto& entry : counts)
            if (entry.second > most) best = entry.first, most = entry.second;
        return best;
    }
};

// Pixels of units horizontal dialog units of the About box, in or out of its
// process; -1 (and a test failure) when the box's layout gives no base unit.
int DialogUnitsX(HWND dialog, int units);

// The box ends the dialog's right margin (7 units) beyond its widest line,
// whose right edge on screen is widestRight, and its OK button is centred.
void ExpectAboutBoxAroundLines(HWND box, LONG widestRight);

// Every pixel of the window's client area, by colour.
ColourCount CountWindowColours(HWND window);
// Every pixel of a rectangle of the screen, by colour (windows of any process).
ColourCount CountScreenColours(const RECT& area);
// One pixel of the client area; CLR_INVALID when it cannot be read.
COLORREF WindowPixel(HWND window, int x, int y);

}  // namespace testsupport
