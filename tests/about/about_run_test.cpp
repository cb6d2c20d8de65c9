// The About box of the real program: pelnore.exe started without arguments
// shows its association dialog, whose system command opens the box. The box
// is read and driven from here, across the process boundary.
#include <gtest/gtest.h>

#include "../../about/aboutdlg.h"

#include <string>
#include <vector>

#include "../../res/resource.h"
#include "../support/testsupport.h"
#include "pixels.h"
#include "version.h"

using testsupport::DialogUnitsX;
using testsupport::WindowRect;

namespace {

const char kCaption[] = "pelnore について";
const char kVersionLine[] = "pelnore ver. " PELNORE_VERSION_TEXT;
const char kSysResLine[] = "システムリソース： 100 ％使用可能";

std::string Text(HWND window) {
    char buffer[1024] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(buffer), (LPARAM)buffer, SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return buffer;
}

// pelnore.exe in association mode, started in a folder of the test's choice,
// ended (and its mutex with it) when the test is done.
struct RunningProgram {
    PROCESS_INFORMATION process = {};
    bool started = false;

    explicit RunningProgram(const std::string& folder) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        std::string line = testsupport::Quote(testsupport::PelnoreExe());
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        started = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.c_str(), &startup, &process) != 0;
    }
    ~RunningProgram() {
        if (!started) return;
        if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
            for (HWND w : testsupport::ProcessWindows(process.dwProcessId, "#32770"))
                PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
            if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(process.hProcess, 255);
            WaitForSingleObject(process.hProcess, 5000);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    std::vector<HWND> Dialogs() const {
        std::vector<HWND> visible;
        for (HWND w : testsupport::ProcessWindows(process.dwProcessId, "#32770"))
            if (IsWindowVisible(w)) visible.push_back(w);
        return visible;
    }
    std::vector<HWND> AboutBoxes() const {
        std::vector<HWND> boxes;
        for (HWND w : Dialogs())
            if (Text(w) == kCaption) boxes.push_back(w);
        return boxes;
    }
    HWND WaitForAboutBox(DWORD ms) const {
        DWORD start = GetTickCount();
        do {
            std::vector<HWND> boxes = AboutBoxes();
            if (!boxes.empty()) return boxes.front();
            Sleep(50);
        } while (GetTickCount() - start < ms);
        return nullptr;
    }
};

// A sent message is answered once the window's thread is back at its messages:
// after a command it was handling, whatever the command opened is open by then.
bool Answers(HWND window) {
    DWORD_PTR ignored;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored) != 0;
}

// The window is the foreground one and its thread's focus lies in it, so that
// a key pressed now reaches it.
bool WaitForKeyboard(HWND window) {
    return testsupport::WaitUntil(
        [&] {
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            return GetForegroundWindow() == window &&
                   GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
                   (info.hwndFocus == window || IsChild(window, info.hwndFocus));
        },
        10000);
}

// Starts the program, opens the About box through the association dialog's
// system menu command and returns both windows.
bool OpenAboutBox(const RunningProgram& program, HWND* association, HWND* box) {
    if (!program.started) return false;
    *association = testsupport::WaitForVisibleWindow(program.process.dwProcessId, "#32770", 30000);
    if (*association == nullptr) return false;
    PostMessageA(*association, WM_SYSCOMMAND, IDM_ABOUT, 0);
    *box = program.WaitForAboutBox(10000);
    return *box != nullptr;
}

}  // namespace

TEST(AboutRun, WithTheResourceLibraryBesideIt) {
    std::string folder = testsupport::ScratchDir("with_rsrc32");
    ASSERT_TRUE(CopyFileA((testsupport::TestDir() + "\\rsrc32\\rsrc32.dll").c_str(),
                          (folder + "\\rsrc32.dll").c_str(), FALSE));
    RunningProgram program(folder);
    HWND association = nullptr, box = nullptr;
    ASSERT_TRUE(OpenAboutBox(program, &association, &box));
    EXPECT_NE(association, box);
    EXPECT_EQ(association, GetWindow(box, GW_OWNER));

    EXPECT_EQ(kCaption, Text(box));
    EXPECT_EQ(kVersionLine, Text(GetDlgItem(box, IDC_ABOUT_VERSION)));
    EXPECT_EQ(kSysResLine, Text(GetDlgItem(box, IDC_ABOUT_SYSRES)));
    std::string address = Text(GetDlgItem(box, IDC_ABOUT_LINK));
    EXPECT_EQ(0u, address.find("http")) << address;
    EXPECT_EQ("OK", Text(GetDlgItem(box, IDOK)));
    EXPECT_NE(0, SendDlgItemMessageA(box, IDC_ABOUT_ICON, STM_GETICON, 0, 0));

    // The box ends the dialog's right margin (7 units) beyond its widest line,
    // which is wider than the box was laid out; the button sits in the middle.
    int widest = 0;
    for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_LINK, IDC_ABOUT_SYSRES}) {
        RECT line = WindowRect(GetDlgItem(box, id));
        EXPECT_GT(line.right - line.left, DialogUnitsX(box, 1)) << "line " << id << " grew";
        if (line.right > widest) widest = line.right;
    }
    testsupport::ExpectAboutBoxAroundLines(box, widest);

    // A second command brings this box forward and opens no other.
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 700, 700, 40, 40,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(other);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return GetForegroundWindow() == other; }, 10000));
    PostMessageA(association, WM_SYSCOMMAND, IDM_ABOUT, 0);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return GetForegroundWindow() == box; }, 10000));
    EXPECT_TRUE(Answers(association));
    EXPECT_EQ(1u, program.AboutBoxes().size());
    DestroyWindow(other);

    // Escape closes the box; the association dialog stays.
    SetForegroundWindow(box);
    ASSERT_TRUE(WaitForKeyboard(box));
    testsupport::PressKey(VK_ESCAPE);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !IsWindow(box); }, 10000));
    EXPECT_TRUE(IsWindowVisible(association));

    // Closed, it opens again from the same command.
    PostMessageA(association, WM_SYSCOMMAND, IDM_ABOUT, 0);
    EXPECT_NE(nullptr, program.WaitForAboutBox(10000));
}

TEST(AboutRun, WithoutTheResourceLibraryTheLineIsEmpty) {
    std::string folder = testsupport::ScratchDir("without_rsrc32");
    RunningProgram program(folder);
    HWND association = nullptr, box = nullptr;
    ASSERT_TRUE(OpenAboutBox(program, &association, &box));
    EXPECT_EQ(kVersionLine, Text(GetDlgItem(box, IDC_ABOUT_VERSION)));
    HWND line = GetDlgItem(box, IDC_ABOUT_SYSRES);
    EXPECT_EQ("", Text(line));
    RECT r = WindowRect(line);
    EXPECT_EQ(DialogUnitsX(box, 1), r.right - r.left);
}

namespace {
void MovePointerTo(POINT p) {
    // A jump and then a one-pixel step, so that the system reports a move.
    SetCursorPos(p.x - 1, p.y);
    Sleep(50);
    INPUT step = {};
    step.type = INPUT_MOUSE;
    step.mi.dwFlags = MOUSEEVENTF_MOVE;
    step.mi.dx = 1;
    SendInput(1, &step, sizeof(INPUT));
}

// The area's pixels on screen once the link shows in colour and no pixel of
// the other colour is left, or as they are when 10 s have passed.
testsupport::ColourCount ColoursOnceShown(const RECT& area, COLORREF colour, COLORREF other) {
    testsupport::ColourCount seen;
    testsupport::WaitUntil(
        [&] {
            seen = testsupport::CountScreenColours(area);
            return seen.Of(colour) > 20 && seen.Of(other) == 0;
        },
        10000);
    return seen;
}
}  // namespace

TEST(AboutRun, TheLinkTurnsRedUnderTheRealPointerAndBlueAfterIt) {
    std::string folder = testsupport::ScratchDir("hover");
    RunningProgram program(folder);
    HWND association = nullptr, box = nullptr;
    ASSERT_TRUE(OpenAboutBox(program, &association, &box));
    HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
    RECT area = WindowRect(link);
    RECT icon = WindowRect(GetDlgItem(box, IDC_ABOUT_ICON));
    POINT body = {icon.right + 1, icon.bottom + 2};
    POINT onLink = {area.left + 8, (area.top + area.bottom) / 2};

    MovePointerTo(body);
    testsupport::ColourCount cold = ColoursOnceShown(area, RGB(0, 0, 255), RGB(255, 0, 0));
    EXPECT_GT(cold.Of(RGB(0, 0, 255)), 20);
    EXPECT_EQ(0, cold.Of(RGB(255, 0, 0)));

    MovePointerTo(onLink);
    testsupport::ColourCount hot = ColoursOnceShown(area, RGB(255, 0, 0), RGB(0, 0, 255));
    EXPECT_GT(hot.Of(RGB(255, 0, 0)), 20);
    EXPECT_EQ(0, hot.Of(RGB(0, 0, 255)));

    MovePointerTo(body);
    testsupport::ColourCount after = ColoursOnceShown(area, RGB(0, 0, 255), RGB(255, 0, 0));
    EXPECT_GT(after.Of(RGB(0, 0, 255)), 20);
    EXPECT_EQ(0, after.Of(RGB(255, 0, 0)));
}
