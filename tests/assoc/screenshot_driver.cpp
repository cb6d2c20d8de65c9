// Drives pelnore.exe for scripts/screenshot. Copies the program to
// C:\Program Files\pelnore so that no path of the build shows, then reports one
// screen rectangle per picture and waits for a line on standard input before it
// goes on: the association dialog with every detail area closed ("closed"), with
// every one open and the folder ticked ("open"), the About box ("about"), and, during a job on
// copies of user32.dll in C:\Tools, the tray with its menu ("tray").
#include <stdio.h>

#include <string>
#include <vector>

#include "../../res/resource.h"
#include "../support/testsupport.h"

static const char kProgramFolder[] = "C:\\Program Files\\pelnore";
static const char kProgram[] = "C:\\Program Files\\pelnore\\pelnore.exe";
static const char kSourceFolder[] = "C:\\Tools";
static const int kSourceCount = 200;  // enough for the job to outlast the picture
static const WORD kCancelCommand = 40000;

static void Report(const char* state, RECT r) {
    printf("%s %ld %ld %ld %ld\n", state, r.left, r.top, r.right - r.left, r.bottom - r.top);
    fflush(stdout);
}

static void WaitForLine() {
    char line[64];
    if (!fgets(line, sizeof(line), stdin)) return;
}

static RECT WindowRect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

static bool WaitUntilVisible(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (window && !IsWindowVisible(window) && GetTickCount() - start < timeoutMs) Sleep(20);
    return window && IsWindowVisible(window);
}

// A visible dialog of the process other than `other`, waiting up to timeoutMs.
static HWND WaitForOtherDialog(DWORD processId, HWND other, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        for (HWND window : testsupport::ProcessWindows(processId, "#32770"))
            if (window != other && IsWindowVisible(window)) return window;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

static void CloseProcess(PROCESS_INFORMATION* process) {
    if (WaitForSingleObject(process->hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(process->hProcess, 1);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
}

// The association dialog closed and open, then its About box opened below it.
static bool ShowDialogs() {
    PROCESS_INFORMATION process = {};
    if (!testsupport::StartProcess(testsupport::Quote(kProgram), &process)) return false;
    HWND dialog = testsupport::WaitForProcessWindow(process.dwProcessId, "#32770", 20000);
    if (!WaitUntilVisible(dialog, 20000)) {
        TerminateProcess(process.hProcess, 1);
        CloseProcess(&process);
        return false;
    }
    Sleep(500);  // let it paint
    Report("closed", WindowRect(dialog));
    WaitForLine();
    // Every detail area open: taller than a 1024 x 768 screen, so it scrolls.
    const int bases[] = {IDC_FOLDER_BASE, IDC_FOLDER_BACKGROUND_BASE,
                         IDC_EXE_BASE,    IDC_DLL_BASE,
                         IDC_OCX_BASE,    IDC_CPL_BASE,
                         IDC_SCR_BASE,    IDC_ICL_BASE,
                         IDC_MUN_BASE};
    for (int base : bases)
        SendMessageA(GetDlgItem(dialog, base + IDC_OFFSET_DETAILS), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, IDC_FOLDER_BASE), BM_CLICK, 0, 0);
    Sleep(300);
    // Wine leaves the details button unpainted at the place the width layout
    // moved it to, until something invalidates it; repaint the whole dialog.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Sleep(500);
    RECT open = WindowRect(dialog);
    Report("open", open);
    WaitForLine();

    // The About box is centred on the pointer and grows to the right: put it
    // below the dialog, then take the pointer off the link so that it is drawn
    // cold.
    SetCursorPos(open.left + 100, open.bottom + 120);
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUT, 0);
    HWND about = WaitForOtherDialog(process.dwProcessId, dialog, 20000);
    if (about) {
        SetCursorPos(0, 0);
        Sleep(800);
        Report("about", WindowRect(about));
        WaitForLine();
        PostMessageA(about, WM_COMMAND, IDOK, 0);
        Sleep(300);
    }
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    CloseProcess(&process);
    return about != nullptr;
}

static std::vector<std::string> MakeSources() {
    std::vector<std::string> paths;
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof(system));
    std::string user32 = std::string(system) + "\\user32.dll";
    CreateDirectoryA(kSourceFolder, nullptr);
    for (int i = 0; i < kSourceCount; i++) {
        char name[32];
        snprintf(name, sizeof(name), "\\viewer%03d.dll", i);
        std::string path = kSourceFolder + std::string(name);
        if (!CopyFileA(user32.c_str(), path.c_str(), FALSE)) return std::vector<std::string>();
        paths.push_back(path);
    }
    return paths;
}

// The tray icon during a job, right-clicked: the tray window and the menu.
static bool ShowTrayMenu() {
    std::vector<std::string> sources = MakeSources();
    if (sources.empty()) return false;
    std::string line = testsupport::Quote(kProgram);
    for (const std::string& source : sources) line += " " + testsupport::Quote(source);
    PROCESS_INFORMATION process = {};
    if (!testsupport::StartProcess(line, &process)) return false;
    HWND dialog = testsupport::WaitForProcessWindow(process.dwProcessId, "#32770", 20000);
    DWORD start = GetTickCount();
    while (testsupport::TrayIconWindows().empty() && GetTickCount() - start < 15000) Sleep(20);
    std::vector<HWND> icons = testsupport::TrayIconWindows();
    std::vector<HWND> trays = testsupport::TopLevelWindows("__winex11_standalone_tray");
    HWND menu = nullptr;
    if (dialog && icons.size() == 1 && trays.size() == 1) {
        RECT icon = WindowRect(icons[0]);
        POINT centre = {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
        testsupport::ClickAt(centre, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
        menu = testsupport::WaitForMenu(process.dwProcessId, 10000);
    }
    if (menu) {
        Sleep(500);
        RECT both;
        RECT tray = WindowRect(trays[0]);
        RECT shown = WindowRect(menu);
        UnionRect(&both, &tray, &shown);
        Report("tray", both);
        WaitForLine();
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(menu, WM_KEYUP, VK_ESCAPE, 0);
    }
    if (dialog) PostMessageA(dialog, WM_COMMAND, kCancelCommand, 0);
    CloseProcess(&process);
    return menu != nullptr;
}

int main() {
    CreateDirectoryA(kProgramFolder, nullptr);
    bool ok = CopyFileA(testsupport::PelnoreExe().c_str(), kProgram, FALSE) && ShowDialogs() &&
              ShowTrayMenu();
    testsupport::RemoveTree(kSourceFolder);
    testsupport::RemoveTree(kProgramFolder);
    printf("done\n");
    return ok ? 0 : 1;
}
