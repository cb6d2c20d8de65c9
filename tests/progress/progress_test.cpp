// Real runs of pelnore.exe driven from here: the hidden progress dialog, its tray
// icon (seen through the shell's tray), the tray menu that cancels a long job,
// and the quick end of a job without files.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "../support/testsupport.h"

#include <shellapi.h>

namespace {

const UINT TRAY_CALLBACK = WM_APP + 1;

std::string SystemDll(const char* name) {
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof(folder));
    return std::string(folder) + "\\" + name;
}

// count names for one source file in folder; hard links where the file
// system has them, so that 200 copies cost no space.
std::vector<std::string> MakeCopies(const std::string& folder, const std::string& source,
                                    int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; i++) {
        char name[32];
        snprintf(name, sizeof(name), "\\copy%03d.dll", i);
        std::string path = folder + name;
        if (!CreateHardLinkA(path.c_str(), source.c_str(), nullptr) &&
            !CopyFileA(source.c_str(), path.c_str(), TRUE))
            return std::vector<std::string>();
        paths.push_back(path);
    }
    return paths;
}

std::string CommandLine(const std::vector<std::string>& arguments) {
    std::string line = testsupport::Quote(testsupport::PelnoreExe());
    for (const std::string& argument : arguments) line += " " + testsupport::Quote(argument);
    return line;
}

// Output folders (copyNNN) that the run has created so far.
std::vector<int> OutputFolders(const std::string& folder) {
    std::vector<int> indices;
    for (const std::string& name : testsupport::ListFolder(folder)) {
        int index = -1;
        char rest = 0;
        if (sscanf(name.c_str(), "copy%d%c", &index, &rest) == 1) indices.push_back(index);
    }
    return indices;
}

// Asks the shell whether the tray holds the icon (window, id): changing no
// field at all succeeds only for an icon that exists.
bool TrayHasIcon(HWND window, UINT id) {
    NOTIFYICONDATAA probe = {};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = window;
    probe.uID = id;
    probe.uFlags = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != 0;
}

// A running pelnore.exe, killed at the end of the test if it still runs.
struct PelnoreRun {
    PROCESS_INFORMATION info = {};
    bool started = false;
    ~PelnoreRun() {
        if (!started) return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 255);
            WaitForSingleObject(info.hProcess, 5000);
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    bool Start(const std::string& line, WORD show) {
        started = testsupport::StartProcess(line, &info, show);
        return started;
    }
    bool Running() const { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
    bool WaitForExit(DWORD ms) const {
        return WaitForSingleObject(info.hProcess, ms) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
};

// Polls every few milliseconds until the process ends or maxMs pass, noting
// whether the window was ever visible.
bool EverVisibleWhileRunning(const PelnoreRun& run, HWND window, DWORD maxMs) {
    DWORD start = GetTickCount();
    bool seen = false;
    while (run.Running() && GetTickCount() - start < maxMs && IsWindow(window)) {
        if (IsWindowVisible(window) || (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE))
            seen = true;
        Sleep(5);
    }
    return seen;
}

void PressKey(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 0);
    PostMessageA(window, WM_KEYUP, key, 0);
}

bool WaitForMenuToClose(HWND menu) {
    return testsupport::WaitUntil([&] { return !IsWindowVisible(menu); }, 30000);
}

using testsupport::ClickAt;
using testsupport::TopLevelWindows;
using testsupport::TrayIconWindows;
using testsupport::WaitForMenu;

// Rests the real pointer on each icon of the tray and collects the tooltip
// texts that the shell shows for them.
std::vector<std::string> TrayTooltips() {
    std::vector<std::string> texts;
    for (HWND icon : TrayIconWindows()) {
        RECT rect = {};
        GetWindowRect(icon, &rect);
        SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        // The shell shows a tooltip after its hover delay: a deadline far above it.
        for (DWORD start = GetTickCount(); GetTickCount() - start < 15000;) {
            Sleep(30);
            std::string shown;
            for (HWND tip : TopLevelWindows("tooltips_class32")) {
                char text[128] = "";
                if (!IsWindowVisible(tip)) continue;
                SendMessageTimeoutA(tip, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG,
                                    1000, nullptr);
                shown = text;
            }
            if (!shown.empty()) {
                texts.push_back(shown);
                break;
            }
        }
        SetCursorPos(600, 600);
        Sleep(200);
    }
    return texts;
}

struct LongJob {
    std::string folder;
    std::vector<std::string> paths;
};

LongJob MakeLongJob(const char* name, int count) {
    LongJob job;
    job.folder = testsupport::ScratchDir(name);
    job.paths = MakeCopies(job.folder, SystemDll("user32.dll"), count);
    return job;
}

TEST(ProgressDialog, OnlySwitchesEndsAtTheFirstTimerTick) {
    DWORD start = GetTickCount();
    testsupport::RunResult run = testsupport::RunAndWait(CommandLine({"/ico:0", "/WAV:0"}), 60000);
    DWORD elapsed = GetTickCount() - start;
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    // What must not happen is a dialog that waits for anything besides the
    // worker's end (the tray's retries alone take 10 s). The run takes about
    // 2 s under Wine, nearly all of it Wine's own start and its clean-up of a
    // tray icon at exit, which a busy machine stretches little: 8 s is far
    // above it and still below the retries.
    EXPECT_LT(elapsed, 8000u);
}

TEST(ProgressDialog, DialogIsNeverVisibleAndOwnsTheTrayIcon) {
    for (WORD show : {(WORD)SW_SHOWNORMAL, (WORD)SW_SHOWMAXIMIZED}) {
        LongJob job = MakeLongJob(show == SW_SHOWNORMAL ? "hidden_normal" : "hidden_max", 200);
        ASSERT_EQ(job.paths.size(), 200u);
        PelnoreRun run;
        ASSERT_TRUE(run.Start(CommandLine(job.paths), show));
        HWND dialog = testsupport::WaitForProcessWindow(run.info.dwProcessId, "#32770", 20000);
        ASSERT_NE(dialog, nullptr) << "show command " << show;
        // The tray takes the icon under the dialog's window and id 1, and no other.
        DWORD start = GetTickCount();
        while (!TrayHasIcon(dialog, 1) && run.Running() && GetTickCount() - start < 15000)
            Sleep(20);
        EXPECT_TRUE(TrayHasIcon(dialog, 1)) << "show command " << show;
        EXPECT_FALSE(TrayHasIcon(dialog, 2));
        if (show == SW_SHOWNORMAL) {
            // The second line follows the job, one moment at a time: the files
            // read to their end of those found, and the one being read now,
            // which is the next in order (between two files: none).
            std::vector<std::string> first = TrayTooltips(), later;
            for (DWORD start = GetTickCount(); run.Running() && GetTickCount() - start < 60000 &&
                                               (later.empty() || later == first);)
                later = TrayTooltips();
            for (const std::vector<std::string>* tips : {&first, &later}) {
                ASSERT_EQ(1u, tips->size());
                unsigned done = 99, found = 0, number = 0;
                int end = -1;
                const std::string firstLine = "pelnore が作業中です\n";
                ASSERT_EQ(firstLine, tips->front().substr(0, firstLine.size()));
                const char* line = tips->front().c_str() + firstLine.size();
                int fields =
                    sscanf(line, "%u / %u%n  copy%u.dll%n", &done, &found, &end, &number, &end);
                EXPECT_EQ((int)strlen(line), end) << tips->front();
                EXPECT_EQ(200u, found);
                if (fields == 3)
                    EXPECT_EQ(done, number) << tips->front();
                else
                    EXPECT_EQ(2, fields) << tips->front();
            }
            EXPECT_NE(first, later);
            printf("tooltips seen: \"%s\", then \"%s\"\n", first.front().c_str(),
                   later.front().c_str());
        }
        EXPECT_FALSE(EverVisibleWhileRunning(run, dialog, 120000)) << "show command " << show;
        ASSERT_TRUE(run.WaitForExit(120000));
        EXPECT_EQ(run.ExitCode(), 0u);
        // The icon went with the dialog.
        EXPECT_FALSE(TrayHasIcon(dialog, 1));
        EXPECT_TRUE(TrayIconWindows().empty());
    }
}

// The same for the files given one by one and for their folder given alone.
TEST(ProgressDialog, CancelFromTheTrayMenuStopsALongJob) {
    for (bool walk : {false, true}) {
        const int count = 200;
        LongJob job = MakeLongJob(walk ? "cancelwalk" : "cancel", count);
        ASSERT_EQ(job.paths.size(), (size_t)count);
        PelnoreRun run;
        ASSERT_TRUE(run.Start(CommandLine(walk ? std::vector<std::string>{job.folder} : job.paths),
                              SW_SHOWNORMAL));
        HWND dialog = testsupport::WaitForProcessWindow(run.info.dwProcessId, "#32770", 20000);
        ASSERT_NE(dialog, nullptr);
        // Let some files be done first, so that the cancel falls in the middle.
        DWORD start = GetTickCount();
        while (OutputFolders(job.folder).size() < 3 && run.Running() &&
               GetTickCount() - start < 60000)
            Sleep(20);
        ASSERT_TRUE(run.Running()) << "the job ended before it could be cancelled";

        // A button going down opens nothing; its release does.
        PostMessageA(dialog, TRAY_CALLBACK, 1, WM_LBUTTONDOWN);
        EXPECT_EQ(WaitForMenu(run.info.dwProcessId, 1000), nullptr);
        PostMessageA(dialog, TRAY_CALLBACK, 1, WM_LBUTTONUP);
        HWND menu = WaitForMenu(run.info.dwProcessId, 10000);
        ASSERT_NE(menu, nullptr);
        // The one item, chosen through the menu itself.
        PressKey(menu, VK_DOWN);
        PressKey(menu, VK_RETURN);
        // The choice reaches the dialog as the menu closes; what was done by
        // then is counted only once the menu is gone, however long the keys
        // took to arrive.
        ASSERT_TRUE(WaitForMenuToClose(menu));
        size_t atCancel = OutputFolders(job.folder).size();
        ASSERT_LT(atCancel, (size_t)count) << "the job ended before it could be cancelled";
        ASSERT_TRUE(run.WaitForExit(60000)) << "the job did not stop after the cancel";
        EXPECT_EQ(run.ExitCode(), 0u);

        std::vector<int> done = OutputFolders(job.folder);
        // The worker goes in order and starts no file after the cancel: the
        // output folders are those of the first files, and at most the one
        // being read (and one that had just begun) comes after.
        for (size_t i = 0; i < done.size(); i++) EXPECT_EQ(done[i], (int)i);
        EXPECT_LE(done.size(), atCancel + 2);
        EXPECT_LT(done.size(), (size_t)count);
        EXPECT_FALSE(TrayHasIcon(dialog, 1));
    }
}

TEST(ProgressDialog, RealClicksOnTheTrayIconOpenTheMenuAndEscapeChangesNothing) {
    const int count = 200;
    LongJob job = MakeLongJob("clicks", count);
    ASSERT_EQ(job.paths.size(), (size_t)count);
    PelnoreRun run;
    ASSERT_TRUE(run.Start(CommandLine(job.paths), SW_SHOWNORMAL));
    HWND dialog = testsupport::WaitForProcessWindow(run.info.dwProcessId, "#32770", 20000);
    ASSERT_NE(dialog, nullptr);
    DWORD start = GetTickCount();
    while (TrayIconWindows().empty() && GetTickCount() - start < 15000) Sleep(20);
    std::vector<HWND> icons = TrayIconWindows();
    ASSERT_EQ(icons.size(), 1u);
    RECT rect = {};
    GetWindowRect(icons[0], &rect);
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};

    // Left click: the menu opens on the release; Escape closes it unchosen.
    ClickAt(centre, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    HWND menu = WaitForMenu(run.info.dwProcessId, 10000);
    ASSERT_NE(menu, nullptr);
    PressKey(menu, VK_ESCAPE);
    EXPECT_TRUE(WaitForMenuToClose(menu));
    // The job goes on: another file is done after the menu closed.
    size_t before = OutputFolders(job.folder).size();
    start = GetTickCount();
    while (OutputFolders(job.folder).size() == before && run.Running() &&
           GetTickCount() - start < 60000)
        Sleep(20);
    ASSERT_TRUE(run.Running()) << "dismissing the menu ended the job";
    EXPECT_GT(OutputFolders(job.folder).size(), before) << "the job stopped working";

    // Right click opens it as well; choosing its item cancels the job.
    ClickAt(centre, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    menu = WaitForMenu(run.info.dwProcessId, 10000);
    ASSERT_NE(menu, nullptr);
    PressKey(menu, VK_DOWN);
    PressKey(menu, VK_RETURN);
    ASSERT_TRUE(run.WaitForExit(20000)) << "the job did not stop after the cancel";
    EXPECT_EQ(run.ExitCode(), 0u);
    // Not all: the job ran for seconds before the cancel, and on a busy
    // machine it may have come past the half.
    EXPECT_LT(OutputFolders(job.folder).size(), (size_t)count);
}

}  // namespace
