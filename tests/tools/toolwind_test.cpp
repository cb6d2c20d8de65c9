// The window toolkit on real windows: placement at the pointer against the work
// area, moves in parent or screen coordinates, deferred batches, show and
// enable, popup menus at a point, shell icons, and the traces of failed checks.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "../../TOOLS/toolwind.h"
#include "../support/testsupport.h"

namespace {

HWND MakeWindow(DWORD style, int x, int y, int cx, int cy, HWND parent = nullptr, int id = 0) {
    HMENU menu = (style & WS_CHILD) ? (HMENU)(INT_PTR)id : nullptr;
    return CreateWindowExA(0, "STATIC", "", style, x, y, cx, cy, parent, menu, nullptr, nullptr);
}

RECT OuterRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

RECT WorkArea() {
    RECT area = {};
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    return area;
}

// Moves the real pointer and checks that it got there.
void PointerTo(int x, int y) {
    ASSERT_TRUE(SetCursorPos(x, y));
    POINT point = {};
    ASSERT_TRUE(GetCursorPos(&point));
    ASSERT_EQ(point.x, x);
    ASSERT_EQ(point.y, y);
}

struct Windows {
    std::vector<HWND> list;
    HWND Add(HWND window) {
        EXPECT_NE(window, nullptr);
        list.push_back(window);
        return window;
    }
    ~Windows() {
        for (size_t i = list.size(); i-- > 0;)
            if (IsWindow(list[i])) DestroyWindow(list[i]);
    }
};

TEST(PlaceWindowAtCursor, BottomRightCornerMeetsTheWorkAreasCorner) {
    Windows windows;
    HWND window = windows.Add(MakeWindow(WS_POPUP, 10, 10, 200, 150));
    RECT area = WorkArea();
    PointerTo(area.right - 1, area.bottom - 1);
    PlaceWindowAtCursor(window);
    RECT rect = OuterRect(window);
    EXPECT_EQ(rect.right, area.right);
    EXPECT_EQ(rect.bottom, area.bottom);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 150);
}

TEST(PlaceWindowAtCursor, TopLeftCornerMeetsTheWorkAreasCorner) {
    Windows windows;
    HWND window = windows.Add(MakeWindow(WS_POPUP, 300, 300, 200, 150));
    RECT area = WorkArea();
    PointerTo(area.left, area.top);
    PlaceWindowAtCursor(window);
    RECT rect = OuterRect(window);
    EXPECT_EQ(rect.left, area.left);
    EXPECT_EQ(rect.top, area.top);
    // The other two corners.
    PointerTo(area.right - 1, area.top);
    PlaceWindowAtCursor(window);
    rect = OuterRect(window);
    EXPECT_EQ(rect.right, area.right);
    EXPECT_EQ(rect.top, area.top);
    PointerTo(area.left, area.bottom - 1);
    PlaceWindowAtCursor(window);
    rect = OuterRect(window);
    EXPECT_EQ(rect.left, area.left);
    EXPECT_EQ(rect.bottom, area.bottom);
}

TEST(PlaceWindowAtCursor, WindowLargerThanTheWorkAreaKeepsItsTopLeftInside) {
    Windows windows;
    RECT area = WorkArea();
    int width = area.right - area.left + 100;
    int height = area.bottom - area.top + 60;
    HWND window = windows.Add(MakeWindow(WS_POPUP, 0, 0, width, height));
    for (POINT pointer : {POINT{area.left, area.top}, POINT{area.right - 1, area.bottom - 1},
                          POINT{(area.left + area.right) / 2, (area.top + area.bottom) / 2}}) {
        PointerTo(pointer.x, pointer.y);
        PlaceWindowAtCursor(window);
        RECT rect = OuterRect(window);
        EXPECT_EQ(rect.left, area.left) << pointer.x;
        EXPECT_EQ(rect.top, area.top) << pointer.y;
    }
}

TEST(PlaceWindowAtCursor, OddSizesTruncateTheirHalves) {
    Windows windows;
    HWND window = windows.Add(MakeWindow(WS_POPUP, 0, 0, 301, 101));
    PointerTo(500, 500);
    PlaceWindowAtCursor(window);
    RECT rect = OuterRect(window);
    EXPECT_EQ(rect.left, 350);
    EXPECT_EQ(rect.top, 450);
}

TEST(PlaceWindowAtCursor, ChildIsPlacedInItsParentsClientCoordinates) {
    Windows windows;
    HWND parent = windows.Add(MakeWindow(WS_POPUP | WS_CAPTION | WS_BORDER, 100, 80, 400, 300));
    HWND child = windows.Add(MakeWindow(WS_CHILD, 5, 5, 40, 20, parent, 10));
    EXPECT_TRUE(IsChildWindow(child));
    PointerTo(300, 250);
    PlaceWindowAtCursor(child);
    RECT rect = OuterRect(child);
    EXPECT_EQ(rect.left, 280);
    EXPECT_EQ(rect.top, 240);
}

TEST(PlaceWindowAtCursor, OwnedPopupIsPlacedInScreenCoordinates) {
    Windows windows;
    HWND owner = windows.Add(MakeWindow(WS_POPUP | WS_CAPTION, 600, 500, 300, 200));
    HWND owned = windows.Add(MakeWindow(WS_POPUP, 0, 0, 100, 50, owner));
    ASSERT_EQ(GetParent(owned), owner);
    EXPECT_FALSE(IsChildWindow(owned));
    PointerTo(300, 250);
    PlaceWindowAtCursor(owned);
    RECT rect = OuterRect(owned);
    EXPECT_EQ(rect.left, 250);
    EXPECT_EQ(rect.top, 225);
}

TEST(WindowMoves, OffsetDlgItemByZeroLeavesTheChildWhereItIs) {
    Windows windows;
    // A caption and a frame put the client area away from the outer corner, so
    // that mixing screen, window and client coordinates would show.
    HWND dialog = windows.Add(
        MakeWindow(WS_POPUP | WS_CAPTION | WS_THICKFRAME, 120, 90, 400, 300));
    windows.Add(MakeWindow(WS_CHILD, 20, 30, 50, 16, dialog, 10));
    RECT before = OuterRect(GetDlgItem(dialog, 10));
    EXPECT_TRUE(OffsetDlgItem(dialog, 10, 0));
    RECT after = OuterRect(GetDlgItem(dialog, 10));
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_TRUE(OffsetDlgItem(dialog, 10, 15));
    after = OuterRect(GetDlgItem(dialog, 10));
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top + 15);
    EXPECT_EQ(GetDlgItemTop(dialog, 10), before.top + 15);
    EXPECT_EQ(GetDlgItemBottom(dialog, 10), before.top + 15 + 16);
}

TEST(WindowMoves, OffsetAndInflateWorkOnOuterRectangles) {
    Windows windows;
    HWND owner = windows.Add(MakeWindow(WS_POPUP | WS_CAPTION, 600, 500, 300, 200));
    HWND owned = windows.Add(MakeWindow(WS_POPUP | WS_CAPTION | WS_BORDER, 40, 60, 100, 50, owner));
    EXPECT_TRUE(OffsetWindow(owned, 5, -7));
    POINT origin = GetWindowOrigin(owned);
    EXPECT_EQ(origin.x, 45);
    EXPECT_EQ(origin.y, 53);
    EXPECT_TRUE(InflateWindow(owned, 11, -3));
    SIZE size = GetWindowSize(owned);
    EXPECT_EQ(size.cx, 111);
    EXPECT_EQ(size.cy, 47);
    EXPECT_EQ(GetWindowWidth(owned), 111);
    EXPECT_EQ(GetWindowHeight(owned), 47);
    EXPECT_EQ(GetWindowTop(owned), 53);
    EXPECT_EQ(GetWindowBottom(owned), 100);
    POINT point = {50, 60};
    ScreenToWindow(owned, &point);
    EXPECT_EQ(point.x, 5);
    EXPECT_EQ(point.y, 7);
    EXPECT_TRUE(MoveWindowTo(owned, 1, 2));
    EXPECT_TRUE(ResizeWindowTo(owned, 30, 40));
    RECT rect = OuterRect(owned);
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(rect.top, 2);
    EXPECT_EQ(rect.right, 31);
    EXPECT_EQ(rect.bottom, 42);
}

TEST(WindowMoves, DeferredBatchMovesAndSizesChildrenTogether) {
    Windows windows;
    HWND dialog = windows.Add(
        MakeWindow(WS_POPUP | WS_CAPTION | WS_THICKFRAME, 120, 90, 400, 300));
    windows.Add(MakeWindow(WS_CHILD, 20, 30, 50, 16, dialog, 10));
    windows.Add(MakeWindow(WS_CHILD, 20, 60, 70, 18, dialog, 11));
    RECT first = OuterRect(GetDlgItem(dialog, 10));
    RECT second = OuterRect(GetDlgItem(dialog, 11));
    HDWP batch = BeginDeferWindowPos(2);
    ASSERT_NE(batch, nullptr);
    DeferOffsetDlgItem(&batch, dialog, 10, 10, 5, 4, -2);
    DeferOffsetDlgItem(&batch, dialog, 11, 0, 0, 30, 0);
    ASSERT_NE(batch, nullptr);
    // Nothing moves before the batch ends.
    EXPECT_EQ(OuterRect(GetDlgItem(dialog, 10)).left, first.left);
    EXPECT_TRUE(EndDeferWindowPos(batch));
    RECT moved = OuterRect(GetDlgItem(dialog, 10));
    EXPECT_EQ(moved.left, first.left + 10);
    EXPECT_EQ(moved.top, first.top + 5);
    EXPECT_EQ(moved.right - moved.left, 54);
    EXPECT_EQ(moved.bottom - moved.top, 14);
    RECT widened = OuterRect(GetDlgItem(dialog, 11));
    EXPECT_EQ(widened.left, second.left);
    EXPECT_EQ(widened.top, second.top);
    EXPECT_EQ(widened.right - widened.left, 100);
}

TEST(WindowState, ShowWindowFlagReportsVisibilityAndKeepsTheActiveWindow) {
    Windows windows;
    HWND active = windows.Add(MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200, 200));
    HWND other = windows.Add(MakeWindow(WS_OVERLAPPEDWINDOW, 300, 50, 200, 200));
    SetForegroundWindow(active);
    SetActiveWindow(active);
    ASSERT_EQ(GetActiveWindow(), active);
    EXPECT_FALSE(ShowWindowFlag(other, true));
    EXPECT_TRUE(IsWindowVisible(other));
    EXPECT_EQ(GetActiveWindow(), active);
    EXPECT_TRUE(ShowWindowFlag(other, true));
    EXPECT_TRUE(ShowWindowFlag(other, false));
    EXPECT_FALSE(IsWindowVisible(other));
    EXPECT_FALSE(ShowWindowFlag(other, false));
}

TEST(WindowState, ShowAndEnableDialogItems) {
    Windows windows;
    HWND dialog = windows.Add(MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100));
    windows.Add(MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, dialog, 7));
    HWND item = GetDlgItem(dialog, 7);
    EXPECT_TRUE(ShowDlgItem(dialog, 7, false));
    EXPECT_FALSE(IsWindowVisible(item));
    EXPECT_FALSE(ShowDlgItem(dialog, 7, true));
    EXPECT_TRUE(IsWindowVisible(item));
    EnableDlgItem(dialog, 7, false);
    EXPECT_FALSE(IsWindowEnabled(item));
    EnableDlgItem(dialog, 7, true);
    EXPECT_TRUE(IsWindowEnabled(item));
    EXPECT_TRUE(IsValidDlgItem(dialog, 7));
}

// Chooses the first item of this process's popup menu by keyboard once it is
// up, and records where the menu appeared.
struct MenuDriver {
    RECT menuRect;
    bool found;
};

DWORD WINAPI DriveMenu(void* parameter) {
    MenuDriver* driver = (MenuDriver*)parameter;
    HWND menu = testsupport::WaitForMenu(GetCurrentProcessId(), 10000);
    if (menu == nullptr) return 0;
    driver->found = true;
    GetWindowRect(menu, &driver->menuRect);
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYUP, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(menu, WM_KEYUP, VK_RETURN, 0);
    return 0;
}

TEST(PopupMenu, TracksAtThePointAndReturnsTheChoice) {
    Windows windows;
    HWND window = windows.Add(MakeWindow(WS_POPUP | WS_VISIBLE, 10, 10, 50, 50));
    HMENU menu = CreatePopupMenu();
    ASSERT_NE(menu, nullptr);
    AppendMenuA(menu, MF_STRING, 1234, "項目");
    MenuDriver driver = {};
    HANDLE thread = CreateThread(nullptr, 0, DriveMenu, &driver, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    POINT point = {321, 234};
    TrackPopupMenuAt(point, window, menu);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    DestroyMenu(menu);
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(driver.menuRect.left, 321);
    EXPECT_EQ(driver.menuRect.top, 234);
    // The choice arrives as a command posted to the window.
    MSG message;
    bool gotCommand = false;
    while (PeekMessageA(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        if (LOWORD(message.wParam) == 1234) gotCommand = true;
    EXPECT_TRUE(gotCommand);
}

TEST(ShellIcons, ModuleIconInBothSizesAndWindowIcons) {
    HICON small = GetModuleIcon(nullptr, true);
    HICON large = GetModuleIcon(nullptr, false);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(small, &info));
    BITMAP bitmap = {};
    GetObjectA(info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXSMICON));
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    EXPECT_EQ(GetFileIcon("C:\\no such folder\\no such file.exe", true), nullptr);

    Windows windows;
    HWND window = windows.Add(MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, 100, 100));
    EXPECT_EQ(SetWindowIcon(window, ICON_SMALL, small), nullptr);
    EXPECT_EQ(SetWindowIcon(window, ICON_SMALL, large), small);
    EXPECT_EQ(SetWindowIcon(window, ICON_BIG, large), nullptr);
    DestroyWindow(window);
    DestroyIcon(small);
    DestroyIcon(large);
}

TEST(Geometry, PointsAndRectangles) {
    POINT point;
    SetPoint(&point, 3, -4);
    OffsetPoint(&point, -5, 10);
    EXPECT_EQ(point.x, -2);
    EXPECT_EQ(point.y, 6);
    RECT rect = {-10, 5, 20, 45};
    EXPECT_EQ(RectWidth(&rect), 30);
    EXPECT_EQ(RectHeight(&rect), 40);
    SIZE size = RectSize(&rect);
    EXPECT_EQ(size.cx, 30);
    EXPECT_EQ(size.cy, 40);
}

// ---- Traces of failed validity checks, read from a child program ----

// The source as a path this process can open (Wine maps the Unix root to Z:).
std::string SourcePath() {
    std::string path = TOOLWIND_SOURCE_FILE;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::vector<std::string> SourceLines() {
    std::vector<std::string> lines;
    FILE* file = fopen(SourcePath().c_str(), "rb");
    if (file == nullptr) return lines;
    char buffer[1024];
    while (fgets(buffer, sizeof(buffer), file)) lines.push_back(buffer);
    fclose(file);
    return lines;
}

// Splits "..\..\TOOLS\toolwind.cpp(<line>) : <text> \r\n" into line and text.
bool ParseTrace(const std::string& trace, int* line, std::string* text) {
    static const std::string prefix = "..\\..\\TOOLS\\toolwind.cpp(";
    static const std::string suffix = " \r\n";
    if (trace.compare(0, prefix.size(), prefix) != 0) return false;
    if (trace.size() < prefix.size() + suffix.size()) return false;
    if (trace.compare(trace.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    size_t close = trace.find(") : ", prefix.size());
    if (close == std::string::npos) return false;
    *line = atoi(trace.substr(prefix.size(), close - prefix.size()).c_str());
    *text = trace.substr(close + 4, trace.size() - suffix.size() - close - 4);
    return *line > 0;
}

TEST(ValidityChecks, FailedTestsWriteTheirLinesAndTexts) {
    std::string probe = testsupport::TestDir() + "\\tools_trace_probe.exe";
    testsupport::RunResult run =
        testsupport::RunCapturingDebugOutput(testsupport::Quote(probe), 30000);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);

    // Every line that is no marker is a trace: replace it by its text, after
    // checking that the line number it gives points at that very test.
    std::vector<std::string> source = SourceLines();
    ASSERT_FALSE(source.empty()) << SourcePath();
    std::vector<std::string> seen;
    std::vector<int> traceLines;
    for (const std::string& text : run.debugLines) {
        int line = 0;
        std::string test;
        if (!ParseTrace(text, &line, &test)) {
            seen.push_back(text);
            continue;
        }
        seen.push_back("trace: " + test);
        traceLines.push_back(line);
        ASSERT_LE(line, (int)source.size());
        EXPECT_NE(source[line - 1].find("\"" + test + "\""), std::string::npos)
            << "line " << line << " is: " << source[line - 1];
    }
    std::vector<std::string> expected = {
        "case null window",      "trace: hWnd",
        "result 0",              "case destroyed window",
        "trace: IsWindow( hWnd )", "result 0",
        "case missing item",     "trace: hWnd",
        "trace: IsValidWindow( hwndCtrl )", "result 0",
        "case null dialog",      "trace: hWnd",
        "trace: IsValidWindow( hwndDlg )", "result 0",
        "case present item",     "result 1",
        "case valid window",     "result 1",
        "end",
    };
    EXPECT_EQ(seen, expected);
    // The same test always reports the same line; different tests differ.
    ASSERT_EQ(traceLines.size(), 6u);
    EXPECT_EQ(traceLines[0], traceLines[2]);
    EXPECT_EQ(traceLines[0], traceLines[4]);
    EXPECT_NE(traceLines[0], traceLines[1]);
    EXPECT_NE(traceLines[3], traceLines[5]);
}

}  // namespace
