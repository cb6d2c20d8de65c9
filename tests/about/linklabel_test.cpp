// The link label on real windows of the test display: its hand cursor, attaching
// and detaching, and the colours and clicks seen from its pixels and the
// notifications its parent receives.
#include <gtest/gtest.h>

#include <string.h>
#include <vector>

#include "../../about/linklabel.h"
#include "../support/testsupport.h"
#include "pixels.h"

namespace {

// The cursor picture, row by row, as the label must draw it.
struct ExpectedRows {
    int first, last;
    unsigned char andMask[4], xorMask[4];
};
const ExpectedRows kExpected[] = {
    {0, 0, {0xfc, 0xff, 0xff, 0xff}, {0, 0, 0, 0}},
    {1, 4, {0xf8, 0x7f, 0xff, 0xff}, {0x03, 0, 0, 0}},
    {5, 5, {0xf8, 0x1f, 0xff, 0xff}, {0x03, 0, 0, 0}},
    {6, 6, {0xf8, 0x03, 0xff, 0xff}, {0x03, 0x60, 0, 0}},
    {7, 7, {0xf8, 0x00, 0xff, 0xff}, {0x03, 0x6c, 0, 0}},
    {8, 8, {0xf8, 0x00, 0x7f, 0xff}, {0x03, 0x6d, 0, 0}},
    {9, 9, {0x88, 0x00, 0x3f, 0xff}, {0x03, 0x6d, 0x80, 0}},
    {10, 10, {0x80, 0x00, 0x3f, 0xff}, {0x33, 0xfd, 0x80, 0}},
    {11, 11, {0x80, 0x00, 0x3f, 0xff}, {0x3b, 0xff, 0x80, 0}},
    {12, 12, {0xc0, 0x00, 0x3f, 0xff}, {0x1b, 0xff, 0x80, 0}},
    {13, 13, {0xe0, 0x00, 0x3f, 0xff}, {0x0b, 0xff, 0x80, 0}},
    {14, 14, {0xe0, 0x00, 0x3f, 0xff}, {0x0f, 0xff, 0x80, 0}},
    {15, 15, {0xf0, 0x00, 0x3f, 0xff}, {0x07, 0xff, 0x80, 0}},
    {16, 16, {0xf0, 0x00, 0x7f, 0xff}, {0x07, 0xff, 0x00, 0}},
    {17, 18, {0xf8, 0x00, 0x7f, 0xff}, {0x03, 0xff, 0x00, 0}},
    {19, 20, {0xfc, 0x00, 0xff, 0xff}, {0x01, 0xfe, 0x00, 0}},
    {21, 21, {0xfc, 0x00, 0xff, 0xff}, {0, 0, 0, 0}},
    {22, 31, {0xff, 0xff, 0xff, 0xff}, {0, 0, 0, 0}},
};

const char kUrl[] = "http://support.example.com/";

// ---------------------------------------------------------------- a parent window

struct ParentLog {
    bool reflect = true;
    std::vector<UINT> codes;  // every WM_NOTIFY code from the label, in order
    std::vector<NMLINKLABEL> records;
};
ParentLog g_log;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const NMLINKLABEL* notice = (const NMLINKLABEL*)lParam;
        g_log.codes.push_back(notice->hdr.code);
        g_log.records.push_back(*notice);
        if (g_log.reflect && notice->hdr.code != LLN_CLICKED)
            return SendMessageA(notice->hdr.hwndFrom, WM_NOTIFY, notice->hdr.idFrom, lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* ParentClass() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        wc.lpszClassName = "LinkLabelTestParent";
        registered = RegisterClassA(&wc) != 0;
    }
    return "LinkLabelTestParent";
}

const int kLabelId = 102;

// A parent at a fixed place with one static text inside it, not yet attached.
struct Scene {
    HWND parent = nullptr;
    HWND label = nullptr;
    HFONT font = nullptr;

    explicit Scene(bool withFont) {
        g_log = ParentLog();
        parent = CreateWindowExA(WS_EX_TOPMOST, ParentClass(), "link label test",
                                 WS_POPUP | WS_VISIBLE, 100, 100, 420, 120, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        label = CreateWindowExA(0, "STATIC", kUrl, WS_CHILD | WS_VISIBLE | SS_LEFT, 20, 30, 300, 24,
                                parent, (HMENU)(INT_PTR)kLabelId, GetModuleHandleA(nullptr),
                                nullptr);
        if (withFont) {
            font = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                               NONANTIALIASED_QUALITY, 0, "Arial");
            SendMessageA(label, WM_SETFONT, (WPARAM)font, FALSE);
        }
        SetForegroundWindow(parent);
        testsupport::PumpMessages(50);
    }
    ~Scene() {
        if (IsWindow(parent)) DestroyWindow(parent);
        if (font) DeleteObject(font);
        testsupport::PumpMessages(20);
    }
    POINT LabelScreenPoint(int x, int y) const {
        POINT p = {x, y};
        ClientToScreen(label, &p);
        return p;
    }
    void PointerOnLabel() const {
        POINT p = LabelScreenPoint(40, 12);
        SetCursorPos(p.x, p.y);
    }
    void PointerOffLabel() const {
        POINT p = {380, 100};  // inside the parent, well outside the label
        ClientToScreen(parent, &p);
        SetCursorPos(p.x, p.y);
    }
    // What the label shows now, after it has handled its pending paint.
    testsupport::ColourCount Colours() const {
        testsupport::PumpMessages(30);
        UpdateWindow(label);
        return testsupport::CountWindowColours(label);
    }
};

const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kRed = RGB(255, 0, 0);

int Count(const std::vector<UINT>& codes, UINT code) {
    int n = 0;
    for (UINT c : codes) n += c == code;
    return n;
}

}  // namespace

TEST(HandCursor, MasksAndHotspotAreThePointingHand) {
    HCURSOR cursor = CreateHandCursor(GetModuleHandleA(nullptr));
    ASSERT_NE(nullptr, cursor);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(7u, info.xHotspot);
    EXPECT_EQ(0u, info.yHotspot);
    // A monochrome cursor has no colour bitmap: the mask holds AND over XOR.
    EXPECT_EQ(nullptr, info.hbmColor);
    BITMAP bm = {};
    ASSERT_EQ((int)sizeof(bm), GetObjectA(info.hbmMask, sizeof(bm), &bm));
    EXPECT_EQ(32, bm.bmWidth);
    ASSERT_EQ(64, bm.bmHeight);
    ASSERT_EQ(1, bm.bmBitsPixel);
    ASSERT_EQ(4, bm.bmWidthBytes);
    unsigned char bits[256] = {};
    ASSERT_EQ(256, GetBitmapBits(info.hbmMask, sizeof(bits), bits));
    for (const ExpectedRows& rows : kExpected) {
        for (int row = rows.first; row <= rows.last; row++) {
            for (int i = 0; i < 4; i++) {
                EXPECT_EQ(rows.andMask[i], bits[row * 4 + i]) << "AND row " << row << " byte " << i;
                EXPECT_EQ(rows.xorMask[i], bits[128 + row * 4 + i])
                    << "XOR row " << row << " byte " << i;
            }
        }
    }
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    EXPECT_TRUE(DestroyCursor(cursor));
}

TEST(LinkLabel, UnderlinedFontCopiesTheControlsFont) {
    Scene scene(true);
    HFONT underlined = CreateUnderlinedFont(scene.label);
    ASSERT_NE(nullptr, underlined);
    LOGFONTA original = {}, copy = {};
    GetObjectA(scene.font, sizeof(original), &original);
    GetObjectA(underlined, sizeof(copy), &copy);
    EXPECT_EQ(0, original.lfUnderline);
    EXPECT_EQ(1, copy.lfUnderline);
    EXPECT_EQ(original.lfHeight, copy.lfHeight);
    EXPECT_EQ(original.lfWeight, copy.lfWeight);
    EXPECT_STREQ(original.lfFaceName, copy.lfFaceName);
    DeleteObject(underlined);
}

TEST(LinkLabel, AttachingToAStaticWithoutFontFailsAndChangesNothing) {
    Scene scene(false);
    ASSERT_EQ(nullptr, (HFONT)SendMessageA(scene.label, WM_GETFONT, 0, 0));
    LONG_PTR procBefore = GetWindowLongPtrA(scene.label, GWLP_WNDPROC);
    EXPECT_FALSE(AttachLinkLabel(scene.label));
    EXPECT_EQ(procBefore, GetWindowLongPtrA(scene.label, GWLP_WNDPROC));
    EXPECT_EQ(nullptr, GetPropA(scene.label, LLPROP_ORIGINALPROC));
    EXPECT_EQ(nullptr, GetPropA(scene.label, LLPROP_CONTROLSTATE));
    EXPECT_EQ(nullptr, GetPropA(scene.label, LLPROP_CURSOR));
    EXPECT_EQ(nullptr, GetPropA(scene.label, LLPROP_FONT));
    EXPECT_EQ(nullptr, (HFONT)SendMessageA(scene.label, WM_GETFONT, 0, 0));
    char text[64] = "";
    GetWindowTextA(scene.label, text, sizeof(text));
    EXPECT_STREQ(kUrl, text);
}

namespace {
// Outermost procedure of a label under test: looks at the label right after
// the link label has handled WM_DESTROY, while the window still exists.
struct DestroyCheck {
    WNDPROC next = nullptr;
    bool seen = false;
    bool anyProperty = true;
    LONG_PTR procAfter = 0;
};
DestroyCheck g_destroy;

LRESULT CALLBACK WatchDestroyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(g_destroy.next, window, message, wParam, lParam);
    if (message == WM_DESTROY) {
        g_destroy.seen = true;
        g_destroy.anyProperty = GetPropA(window, LLPROP_ORIGINALPROC) != nullptr ||
                                GetPropA(window, LLPROP_CONTROLSTATE) != nullptr ||
                                GetPropA(window, LLPROP_CURSOR) != nullptr ||
                                GetPropA(window, LLPROP_FONT) != nullptr;
        g_destroy.procAfter = GetWindowLongPtrA(window, GWLP_WNDPROC);
    }
    return result;
}
}  // namespace

TEST(LinkLabel, AttachSetsPropertiesAndDestroyRemovesThemAndFreesFontAndCursor) {
    Scene scene(true);
    LONG_PTR staticProc = GetWindowLongPtrA(scene.label, GWLP_WNDPROC);
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    EXPECT_EQ((LONG_PTR)LinkLabelProc, GetWindowLongPtrA(scene.label, GWLP_WNDPROC));
    EXPECT_EQ((HANDLE)staticProc, GetPropA(scene.label, LLPROP_ORIGINALPROC));
    EXPECT_EQ(nullptr, GetPropA(scene.label, LLPROP_CONTROLSTATE));  // state 0
    HFONT font = (HFONT)GetPropA(scene.label, LLPROP_FONT);
    HCURSOR cursor = (HCURSOR)GetPropA(scene.label, LLPROP_CURSOR);
    ASSERT_NE(nullptr, font);
    ASSERT_NE(nullptr, cursor);
    EXPECT_EQ(font, (HFONT)SendMessageA(scene.label, WM_GETFONT, 0, 0));
    LOGFONTA description = {};
    ASSERT_EQ((int)sizeof(description), GetObjectA(font, sizeof(description), &description));
    EXPECT_EQ(1, description.lfUnderline);

    // Over the label the pointer is the label's own cursor.
    scene.PointerOnLabel();
    EXPECT_EQ(TRUE, SendMessageA(scene.label, WM_SETCURSOR, (WPARAM)scene.label,
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(cursor, GetCursor());

    g_destroy = DestroyCheck();
    g_destroy.next =
        (WNDPROC)SetWindowLongPtrA(scene.label, GWLP_WNDPROC, (LONG_PTR)WatchDestroyProc);
    DestroyWindow(scene.label);
    EXPECT_TRUE(g_destroy.seen);
    EXPECT_FALSE(g_destroy.anyProperty);
    EXPECT_EQ(staticProc, g_destroy.procAfter);
    EXPECT_EQ(0u, GetObjectType(font));  // the font was deleted
    ICONINFO info = {};
    EXPECT_FALSE(GetIconInfo(cursor, &info));  // the cursor was destroyed
}

TEST(LinkLabel, ASecondAttachFailsAndTheFirstKeepsWorking) {
    Scene scene(true);
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    HANDLE font = GetPropA(scene.label, LLPROP_FONT);
    HANDLE original = GetPropA(scene.label, LLPROP_ORIGINALPROC);
    EXPECT_FALSE(AttachLinkLabel(scene.label));
    EXPECT_EQ(font, GetPropA(scene.label, LLPROP_FONT));
    EXPECT_EQ(original, GetPropA(scene.label, LLPROP_ORIGINALPROC));
    EXPECT_EQ(font, (HANDLE)SendMessageA(scene.label, WM_GETFONT, 0, 0));
    // Messages still reach the static's own procedure (a loop would never return).
    char text[64] = "";
    EXPECT_EQ((LRESULT)strlen(kUrl),
              SendMessageA(scene.label, WM_GETTEXT, sizeof(text), (LPARAM)text));
    EXPECT_STREQ(kUrl, text);
}

TEST(LinkLabel, HitTestClaimsOnlyTheClientRectangleUnderThePointer) {
    Scene scene(true);
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    // The message's own coordinates are ignored: only the pointer counts.
    POINT inside = scene.LabelScreenPoint(40, 12);
    scene.PointerOnLabel();
    EXPECT_EQ(HTCLIENT, SendMessageA(scene.label, WM_NCHITTEST, 0, MAKELPARAM(0, 0)));
    scene.PointerOffLabel();
    EXPECT_NE(HTCLIENT, SendMessageA(scene.label, WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y)));
}

TEST(LinkLabel, BlueThenRedWhileHoveredThenBlueAfterLeavingInAReflectingParent) {
    Scene scene(true);
    scene.PointerOffLabel();
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    testsupport::ColourCount cold = scene.Colours();
    EXPECT_GT(cold.Of(kBlue), 40) << "the underlined text is drawn in pure blue";
    EXPECT_EQ(0, cold.Of(kRed));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), cold.Dominant()) << "button-face background";

    scene.PointerOnLabel();
    SendMessageA(scene.label, WM_MOUSEMOVE, 0, MAKELPARAM(40, 12));
    ASSERT_EQ(1, Count(g_log.codes, LLN_MOUSEMOVE));
    const NMLINKLABEL& move = g_log.records.back();
    EXPECT_EQ(scene.label, move.hdr.hwndFrom);
    EXPECT_EQ((UINT_PTR)kLabelId, move.hdr.idFrom);
    EXPECT_EQ((DWORD)MAKELPARAM(40, 12), move.lParam);
    testsupport::ColourCount hot = scene.Colours();
    EXPECT_GT(hot.Of(kRed), 40);
    EXPECT_EQ(0, hot.Of(kBlue));

    // The leave timer, at the minimum period (some 10 ms), notices the pointer
    // is gone. The bound is fifty such periods, far above any slow machine's
    // delay, and still tells that period from one at which a link stays red
    // visibly behind the pointer.
    scene.PointerOffLabel();
    DWORD start = GetTickCount();
    ASSERT_TRUE(
        testsupport::PumpUntil([] { return Count(g_log.codes, LLN_MOUSELEAVE) > 0; }, 10000));
    EXPECT_LT(GetTickCount() - start, 500u);
    testsupport::ColourCount after = scene.Colours();
    EXPECT_EQ(1, Count(g_log.codes, LLN_MOUSELEAVE));
    EXPECT_GT(after.Of(kBlue), 40);
    EXPECT_EQ(0, after.Of(kRed));
    // Once the pointer has left, the timer stops: no second leave notice within
    // ten of its periods (a slow machine can only make this check miss a fault).
    testsupport::PumpMessages(100);
    EXPECT_EQ(1, Count(g_log.codes, LLN_MOUSELEAVE));
}

TEST(LinkLabel, StaysBlueInAParentThatDoesNotReflect) {
    Scene scene(true);
    g_log.reflect = false;
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    scene.PointerOnLabel();
    SendMessageA(scene.label, WM_MOUSEMOVE, 0, MAKELPARAM(40, 12));
    EXPECT_EQ(1, Count(g_log.codes, LLN_MOUSEMOVE));
    testsupport::ColourCount shown = scene.Colours();
    EXPECT_GT(shown.Of(kBlue), 40);
    EXPECT_EQ(0, shown.Of(kRed));
    // A click is still reported.
    SendMessageA(scene.label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 12));
    SendMessageA(scene.label, WM_LBUTTONUP, 0, MAKELPARAM(40, 12));
    EXPECT_EQ(1, Count(g_log.codes, LLN_CLICKED));
}

TEST(LinkLabel, PressAndReleaseOnTheLabelClicksOnceWithTheFrameWhilePressed) {
    Scene scene(true);
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    scene.PointerOnLabel();
    SendMessageA(scene.label, WM_MOUSEMOVE, 0, MAKELPARAM(40, 12));
    SendMessageA(scene.label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 12));
    EXPECT_EQ(scene.label, GetCapture());
    // Pressed and hot: the one-pixel grey frame around red text.
    testsupport::ColourCount pressed = scene.Colours();
    EXPECT_GT(pressed.Of(kRed), 40);
    EXPECT_EQ(RGB(128, 128, 128), testsupport::WindowPixel(scene.label, 0, 0));
    EXPECT_EQ(0, Count(g_log.codes, LLN_CLICKED));
    SendMessageA(scene.label, WM_LBUTTONUP, 0, MAKELPARAM(40, 12));
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(1, Count(g_log.codes, LLN_CLICKED));
    const NMLINKLABEL& click = g_log.records.back();
    EXPECT_EQ(scene.label, click.hdr.hwndFrom);
    EXPECT_EQ((UINT_PTR)kLabelId, click.hdr.idFrom);
    EXPECT_EQ(0u, click.wParam);
    EXPECT_EQ(0u, click.lParam);
}

TEST(LinkLabel, PressOnTheLabelAndReleaseElsewhereSendsNoClick) {
    Scene scene(true);
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    scene.PointerOnLabel();
    SendMessageA(scene.label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 12));
    scene.PointerOffLabel();
    // Under the capture the release still reaches the label.
    SendMessageA(scene.label, WM_LBUTTONUP, 0, MAKELPARAM(360, 70));
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(0, Count(g_log.codes, LLN_CLICKED));
}

TEST(LinkLabel, ReleaseOverTheLabelWithoutItsCaptureSendsNoClick) {
    Scene scene(true);
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    scene.PointerOnLabel();
    SendMessageA(scene.label, WM_LBUTTONUP, 0, MAKELPARAM(40, 12));
    EXPECT_EQ(0, Count(g_log.codes, LLN_CLICKED));
}

TEST(LinkLabel, RealPointerAndButtonOnTheDisplay) {
    Scene scene(true);
    scene.PointerOffLabel();
    ASSERT_TRUE(AttachLinkLabel(scene.label));
    testsupport::PumpMessages(50);
    // Input through the system: hit-testing decides that the label gets it.
    POINT on = scene.LabelScreenPoint(40, 12);
    SetCursorPos(on.x - 1, on.y);
    testsupport::PumpMessages(20);
    SetCursorPos(on.x, on.y);
    INPUT moves[1] = {};
    moves[0].type = INPUT_MOUSE;
    moves[0].mi.dwFlags = MOUSEEVENTF_MOVE;
    moves[0].mi.dx = 1;
    SendInput(1, moves, sizeof(INPUT));
    EXPECT_TRUE(
        testsupport::PumpUntil([] { return Count(g_log.codes, LLN_MOUSEMOVE) > 0; }, 10000));
    EXPECT_GT(scene.Colours().Of(kRed), 40);

    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    EXPECT_TRUE(testsupport::PumpUntil([] { return Count(g_log.codes, LLN_CLICKED) > 0; }, 10000));
    EXPECT_EQ(1, Count(g_log.codes, LLN_CLICKED));

    scene.PointerOffLabel();
    EXPECT_TRUE(testsupport::PumpUntil([&] { return scene.Colours().Of(kBlue) > 40; }, 10000));
}
