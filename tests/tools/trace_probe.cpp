// Runs the toolkit's validity checks on good and bad windows with a marker line
// between the cases, so that a debugger (the test) can read the trace lines
// they write on the debug channel.
#include "../../TOOLS/toolwind.h"

#include <stdio.h>

static void Marker(const char* text) { OutputDebugStringA(text); }

static void Result(bool value) { Marker(value ? "result 1" : "result 0"); }

int main() {
    HWND parent = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    HWND child = CreateWindowExA(0, "STATIC", "item", WS_CHILD, 0, 0, 10, 10, parent, (HMENU)10,
                                 nullptr, nullptr);
    HWND gone = CreateWindowExA(0, "STATIC", "gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    DestroyWindow(gone);
    if (parent == nullptr || child == nullptr) return 2;

    Marker("case null window");
    Result(IsValidWindow(nullptr));
    Marker("case destroyed window");
    Result(IsValidWindow(gone));
    Marker("case missing item");
    Result(IsValidDlgItem(parent, 999));
    Marker("case null dialog");
    Result(IsValidDlgItem(nullptr, 10));
    Marker("case present item");
    Result(IsValidDlgItem(parent, 10));
    Marker("case valid window");
    Result(IsValidWindow(parent));
    Marker("end");
    DestroyWindow(parent);
    return 0;
}
