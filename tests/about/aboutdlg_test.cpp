// The About box opened in this test program, which carries a version resource
// of its own: texts, the system-resources line with and without the stand-in
// rsrc32.dll, widening and centring, hover and click on the link, hit-testing,
// the one-box rule and the way each close ends the dialog.
#include <gtest/gtest.h>

#include "../../about/aboutdlg.h"

#include <commctrl.h>
#include <algorithm>
#include <functional>
#include <stdlib.h>
#include <string>
#include <vector>

#include "../../about/linklabel.h"
#include "../support/testsupport.h"
#include "pixels.h"

using testsupport::DialogUnitsX;
using testsupport::WindowRect;

namespace {

const char kSysResLine[] = "システムリソース： 100 ％使用可能";
const char kLongUrl[] =
    "http://support.example.com/pelnore/about/box/with/a/rather/long/address/index.html";

std::string RsrcFolder() { return testsupport::TestDir() + "\\rsrc32"; }
std::string EmptyFolder() { return testsupport::ScratchDir("empty"); }

// What this program's version resource holds, read without the code under test.
std::string OwnVersionValue(const char* key) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path, 0, size, block.data())) return "?";
    std::string sub = std::string("\\StringFileInfo\\041104b0\\") + key;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), sub.c_str(), (void**)&value, &length) || !value) return "?";
    return value;
}

std::string Text(HWND window) {
    char buffer[1024] = "";
    GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM lParam) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window))
        ((std::vector<HWND>*)lParam)->push_back(window);
    return TRUE;
}

std::vector<HWND> OpenBoxes() {
    std::vector<HWND> boxes;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, (LPARAM)&boxes);
    return boxes;
}

// Runs a check from a timer inside the box's own modal loop, then closes the
// box (unless the check did) so that ShowAboutDialog returns.
std::function<void(HWND)> g_whileOpen;
bool g_ran = false;

VOID CALLBACK OnTick(HWND, UINT, UINT_PTR id, DWORD) {
    std::vector<HWND> boxes = OpenBoxes();
    if (boxes.empty()) return;
    KillTimer(nullptr, id);
    HWND box = boxes.front();
    g_ran = true;
    g_whileOpen(box);
    if (IsWindow(box)) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
}

void WhileOpen(const char* url, const std::string& folder, std::function<void(HWND)> check) {
    SetCurrentDirectoryA(folder.c_str());
    AboutInfo info = {url};
    g_whileOpen = check;
    g_ran = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, OnTick);
    ShowAboutDialog(nullptr, &info);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_ran) << "the box never opened";
    EXPECT_TRUE(OpenBoxes().empty());
    SetCurrentDirectoryA(testsupport::TestDir().c_str());
}

// The pixel width of a text in a control's font, measured here independently.
int TextWidth(HWND control) {
    std::string text = Text(control);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(control, WM_GETFONT, 0, 0));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

}  // namespace

TEST(AboutTexts, VersionInformationOfThisProgram) {
    DWORD translation = 0;
    void* block = LoadModuleVersionInfo(GetModuleHandleA(nullptr), &translation);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(0x04B00411u, translation);
    char text[ABOUT_VALUE_CAPACITY];
    EXPECT_TRUE(QueryVersionString(text, block, translation, "FileDescription"));
    EXPECT_STREQ("検査用の説明", text);
    EXPECT_TRUE(QueryVersionString(text, block, translation, "ProductVersion"));
    EXPECT_STREQ("9.8.7 テスト", text);
    // Cut to the buffer without splitting a double-byte character: 260 of them.
    EXPECT_TRUE(QueryVersionString(text, block, translation, "Comments"));
    std::string expected;
    for (int i = 0; i < 260; i++) expected += "あ";
    EXPECT_EQ(expected, text);
    EXPECT_FALSE(QueryVersionString(text, block, translation, "NoSuchValue"));
    EXPECT_STREQ("", text);
    // A translation the block does not have finds nothing.
    EXPECT_FALSE(QueryVersionString(text, block, 0x04E40409, "FileDescription"));
    free(block);
}

TEST(AboutTexts, SystemResourceLineNeedsTheLibrary) {
    HWND control = CreateWindowExA(0, "STATIC", "old", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, control);
    ASSERT_TRUE(SetCurrentDirectoryA(RsrcFolder().c_str()));
    int percent = -1;
    EXPECT_TRUE(QueryFreeSystemResources(&percent));
    EXPECT_EQ(100, percent);
    EXPECT_TRUE(SetSystemResourceLine(control));
    EXPECT_EQ(kSysResLine, Text(control));
    EXPECT_EQ(33u, strlen(kSysResLine));
    // Nothing of the library stays loaded.
    EXPECT_EQ(nullptr, GetModuleHandleA("rsrc32.dll"));

    ASSERT_TRUE(SetCurrentDirectoryA(EmptyFolder().c_str()));
    EXPECT_FALSE(QueryFreeSystemResources(&percent));
    EXPECT_FALSE(SetSystemResourceLine(control));
    EXPECT_EQ("", Text(control));
    SetCurrentDirectoryA(testsupport::TestDir().c_str());
    DestroyWindow(control);
}

TEST(AboutBox, TextsWidthAndCentredButtonWithTheLibrary) {
    std::string description = OwnVersionValue("FileDescription");
    std::string version = OwnVersionValue("ProductVersion");
    WhileOpen(kLongUrl, RsrcFolder(), [&](HWND box) {
        // An empty product name: the file description takes its place.
        EXPECT_EQ(description + " について", Text(box));
        EXPECT_EQ(description + " ver. " + version, Text(GetDlgItem(box, IDC_ABOUT_VERSION)));
        EXPECT_EQ(kLongUrl, Text(GetDlgItem(box, IDC_ABOUT_LINK)));
        EXPECT_EQ(kSysResLine, Text(GetDlgItem(box, IDC_ABOUT_SYSRES)));
        // Attached (the tooltip subclasses it again, so its procedure is not ours).
        EXPECT_NE(nullptr, GetPropA(GetDlgItem(box, IDC_ABOUT_LINK), LLPROP_FONT));
        const AboutDialogData* data = (const AboutDialogData*)GetPropA(box, PROP_ABOUTDIALOGDATA);
        ASSERT_NE(nullptr, data);
        EXPECT_NE(nullptr, data->largeIcon);
        EXPECT_NE(nullptr, data->smallIcon);
        EXPECT_EQ((LRESULT)data->largeIcon, SendMessageA(box, WM_GETICON, ICON_BIG, 0));
        EXPECT_EQ((LRESULT)data->smallIcon, SendMessageA(box, WM_GETICON, ICON_SMALL, 0));
        EXPECT_EQ((LRESULT)data->largeIcon,
                  SendDlgItemMessageA(box, IDC_ABOUT_ICON, STM_GETICON, 0, 0));

        // Each line is as wide as its own text (never narrower than it began:
        // one unit, which the dialog manager maps apart from the position).
        int initial = DialogUnitsX(box, 1);
        int widest = 0;
        HWND widestLine = nullptr;
        for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_LINK, IDC_ABOUT_SYSRES}) {
            HWND line = GetDlgItem(box, id);
            int expected = std::max(TextWidth(line), initial);
            EXPECT_EQ(expected, WindowRect(line).right - WindowRect(line).left) << "line " << id;
            if (WindowRect(line).right > widest) widest = WindowRect(line).right, widestLine = line;
        }
        EXPECT_EQ(GetDlgItem(box, IDC_ABOUT_LINK), widestLine);
        testsupport::ExpectAboutBoxAroundLines(box, widest);
        EXPECT_GT(WindowRect(box).right - WindowRect(box).left, DialogUnitsX(box, 38));

        // The tooltip of the link.
        HWND tip = nullptr;
        for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
            char name[64] = "";
            GetClassNameA(w, name, sizeof(name));
            if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0 && GetWindow(w, GW_OWNER) == box) tip = w;
        }
        ASSERT_NE(nullptr, tip);
        EXPECT_EQ(1, SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
        char tipText[80] = "";
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.lpszText = tipText;
        EXPECT_TRUE(SendMessageA(tip, TTM_ENUMTOOLSA, 0, (LPARAM)&tool));
        EXPECT_STREQ("サポートサイトへ", tipText);
        EXPECT_EQ((UINT_PTR)GetDlgItem(box, IDC_ABOUT_LINK), tool.uId);
    });
}

TEST(AboutBox, AVeryLongAddressWidensTheBoxPastTheScreenEdge) {
    std::string url = "http://support.example.com/";
    while (url.size() < 400) url += "long/";
    WhileOpen(url.c_str(), EmptyFolder(), [&](HWND box) {
        HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
        RECT r = WindowRect(link);
        EXPECT_EQ(TextWidth(link), r.right - r.left);
        // Placed before it grew and not placed again: it runs off the right edge.
        EXPECT_GT(WindowRect(box).right, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_GE(WindowRect(box).left, 0);
    });
}

TEST(AboutBox, WithoutTheLibraryTheResourceLineIsEmptyAndAddsNoWidth) {
    WhileOpen("http://a.example/", EmptyFolder(), [&](HWND box) {
        HWND line = GetDlgItem(box, IDC_ABOUT_SYSRES);
        EXPECT_EQ("", Text(line));
        int initial = DialogUnitsX(box, 1);
        EXPECT_EQ(initial, WindowRect(line).right - WindowRect(line).left);
    });
}

TEST(AboutBox, HoverTurnsTheLinkRedAndTheBodyDragsLikeTheCaption) {
    WhileOpen(kLongUrl, EmptyFolder(), [&](HWND box) {
        HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
        // The link drawn in blue, waiting for its leave timer where it was red.
        auto blue = [&] {
            UpdateWindow(link);
            return testsupport::CountWindowColours(link).Of(RGB(0, 0, 255)) > 20;
        };
        POINT outside = {5, 5};
        ClientToScreen(box, &outside);
        SetCursorPos(outside.x, outside.y);
        EXPECT_TRUE(testsupport::PumpUntil(blue, 10000));

        // Over the body (the icon and the plain lines let hit-tests through).
        EXPECT_EQ(HTCAPTION, SendMessageA(box, WM_NCHITTEST, 0, MAKELPARAM(outside.x, outside.y)));
        RECT versionLine = WindowRect(GetDlgItem(box, IDC_ABOUT_VERSION));
        POINT onVersion = {versionLine.left + 2, versionLine.top + 2};
        SetCursorPos(onVersion.x, onVersion.y);
        EXPECT_EQ(box, WindowFromPoint(onVersion));
        EXPECT_EQ(HTCAPTION,
                  SendMessageA(box, WM_NCHITTEST, 0, MAKELPARAM(onVersion.x, onVersion.y)));
        RECT button = WindowRect(GetDlgItem(box, IDOK));
        POINT onButton = {button.left + 3, button.top + 3};
        EXPECT_EQ(GetDlgItem(box, IDOK), WindowFromPoint(onButton));

        // The link takes the pointer and, reflected by the box, turns red.
        RECT linkRect = WindowRect(link);
        POINT onLink = {linkRect.left + 10, linkRect.top + 3};
        SetCursorPos(onLink.x, onLink.y);
        EXPECT_EQ(link, WindowFromPoint(onLink));
        SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(10, 3));
        testsupport::PumpMessages(30);
        UpdateWindow(link);
        testsupport::ColourCount hot = testsupport::CountWindowColours(link);
        EXPECT_GT(hot.Of(RGB(255, 0, 0)), 20);
        EXPECT_EQ(0, hot.Of(RGB(0, 0, 255)));
        SetCursorPos(outside.x, outside.y);
        EXPECT_TRUE(testsupport::PumpUntil(blue, 10000));
    });
}

TEST(AboutBox, ASecondOpenBringsTheFirstForward) {
    WhileOpen("http://a.example/", EmptyFolder(), [&](HWND box) {
        HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 600, 600, 50, 50,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(other);
        EXPECT_TRUE(testsupport::PumpUntil([&] { return GetForegroundWindow() == other; }, 10000));
        AboutInfo again = {"http://b.example/"};
        ShowAboutDialog(nullptr, &again);
        std::vector<HWND> boxes = OpenBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(box, boxes.front());
        EXPECT_TRUE(testsupport::PumpUntil([&] { return GetForegroundWindow() == box; }, 10000));
        EXPECT_EQ("http://a.example/", Text(GetDlgItem(box, IDC_ABOUT_LINK)));
        DestroyWindow(other);
    });
    // Closed, the box may open again.
    WhileOpen("http://c.example/", EmptyFolder(), [&](HWND box) {
        EXPECT_EQ("http://c.example/", Text(GetDlgItem(box, IDC_ABOUT_LINK)));
    });
}

namespace {
// Like OnTick, but leaves the closing to the check.
VOID CALLBACK OnTickDirect(HWND, UINT, UINT_PTR id, DWORD) {
    std::vector<HWND> boxes = OpenBoxes();
    if (boxes.empty()) return;
    KillTimer(nullptr, id);
    g_ran = true;
    g_whileOpen(boxes.front());
}

// Runs the box's own template and procedure and returns how the dialog ended.
INT_PTR RunBoxDirectly(const char* url, std::function<void(HWND)> action) {
    AboutInfo info = {url};
    AboutDialogData data = {nullptr, nullptr, &info};
    void* dialogTemplate = BuildAboutTemplate();
    if (dialogTemplate == nullptr) return -100;
    g_whileOpen = action;
    g_ran = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, OnTickDirect);
    INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr),
                                             (LPCDLGTEMPLATEA)dialogTemplate, nullptr,
                                             AboutDialogProc, (LPARAM)&data);
    KillTimer(nullptr, timer);
    free(dialogTemplate);
    return result;
}
}  // namespace

TEST(AboutBoxResult, EscapeEndsWithTwo) {
    INT_PTR result = RunBoxDirectly("http://a.example/", [](HWND box) {
        // The key goes to the foreground window's focus: press it once the box has both.
        SetForegroundWindow(box);
        bool ready = testsupport::PumpUntil(
            [&] {
                HWND focus = GetFocus();
                return GetForegroundWindow() == box && (focus == box || IsChild(box, focus));
            },
            10000);
        EXPECT_TRUE(ready) << "the box never took the keyboard";
        if (ready)
            testsupport::PressKey(VK_ESCAPE);
        else
            EndDialog(box, -1);
    });
    EXPECT_TRUE(g_ran);
    EXPECT_EQ(2, result);
}

TEST(AboutBoxResult, OkButtonEndsWithOne) {
    INT_PTR result = RunBoxDirectly("http://a.example/", [](HWND box) {
        SendDlgItemMessageA(box, IDOK, BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(g_ran);
    EXPECT_EQ(1, result);
}

TEST(AboutBoxResult, ClickOnTheLinkOpensTheAddressWithTheShellAndEndsWithOne) {
    std::string opener = testsupport::TestDir() + "\\about_opened\\opened.exe";
    std::string marker = testsupport::TestDir() + "\\about_opened\\opened.txt";
    DeleteFileA(marker.c_str());
    ASSERT_TRUE(testsupport::FileExists(opener));
    INT_PTR result = RunBoxDirectly(opener.c_str(), [](HWND box) {
        HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
        RECT r = WindowRect(link);
        SetCursorPos(r.left + 5, r.top + 3);
        SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 3));
        SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 3));
    });
    EXPECT_TRUE(g_ran);
    EXPECT_EQ(1, result);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return testsupport::FileExists(marker); }, 30000))
        << "the shell did not open " << opener;
}
