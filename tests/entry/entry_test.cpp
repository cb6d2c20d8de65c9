// The real pelnore.exe started with exact command lines: the argument dump on
// the debug channel, the exit codes of both modes, and the single association
// dialog guarded by its named mutex while extraction runs stay unguarded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/testsupport.h"

namespace {

using testsupport::PelnoreExe;
using testsupport::Quote;

const char kGuardName[] = "pelnore.InstallDlg";
const char kDialogCaption[] = "pelnore の関連づけ";

std::vector<std::string> ArgumentLines(const testsupport::RunResult& run) {
    std::vector<std::string> lines;
    for (const std::string& line : run.debugLines)
        if (line.compare(0, 5, "argv[") == 0) lines.push_back(line);
    return lines;
}

bool GuardExists() {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, kGuardName);
    if (mutex == nullptr) return false;
    CloseHandle(mutex);
    return true;
}

std::string WindowText(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// Waits for the process to end; its exit code, or STILL_ACTIVE after timeoutMs.
DWORD WaitForExit(HANDLE process, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

// The process's dialog once it is on screen: DialogBoxParamA creates the
// window hidden and shows it after WM_INITDIALOG.
HWND WaitForVisibleDialog(DWORD processId, DWORD timeoutMs) {
    return testsupport::WaitForVisibleWindow(processId, "#32770", timeoutMs);
}

void CloseProcessHandles(PROCESS_INFORMATION* info) {
    CloseHandle(info->hThread);
    CloseHandle(info->hProcess);
}

// Ends a process that a failed check left running.
void KillIfRunning(PROCESS_INFORMATION* info) {
    if (WaitForSingleObject(info->hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info->hProcess, 255);
        WaitForSingleObject(info->hProcess, 5000);
    }
}

TEST(Entry, DumpsEveryArgumentToTheDebugChannel) {
    std::string exe = PelnoreExe();
    // The quote after ソ closes the stretch, x\"y has a literal quote, "a""b a
    // doubled one that also ends its stretch, and 表示 is plain Japanese text.
    std::string line = Quote(exe) + " /ico:0 \"C:\\Program Files\\ソ\" x\\\"y \"a\"\"b\t表示";
    testsupport::RunResult run = testsupport::RunCapturingDebugOutput(line, 60000);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    std::vector<std::string> expected = {
        "argv[ 0]=" + exe + "\r\n", "argv[ 1]=/ico:0\r\n", "argv[ 2]=C:\\Program Files\\ソ\r\n",
        "argv[ 3]=x\"y\r\n",        "argv[ 4]=a\"b\r\n",   "argv[ 5]=表示\r\n",
    };
    EXPECT_EQ(expected, ArgumentLines(run));
    // The dump comes first, before anything the job may trace.
    ASSERT_GE(run.debugLines.size(), expected.size());
    EXPECT_EQ(expected[0], run.debugLines[0]);
}

TEST(Entry, ExtractionWithOnlyASwitchExitsWithZero) {
    std::string exe = PelnoreExe();
    testsupport::RunResult run =
        testsupport::RunCapturingDebugOutput(Quote(exe) + " /ico:0", 60000);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    std::vector<std::string> expected = {"argv[ 0]=" + exe + "\r\n", "argv[ 1]=/ico:0\r\n"};
    EXPECT_EQ(expected, ArgumentLines(run));
}

TEST(Entry, OverLongArgumentLineIsCutAndTerminated) {
    std::string exe = PelnoreExe();
    std::string longArgument(1100, 'a');
    testsupport::RunResult run =
        testsupport::RunCapturingDebugOutput(Quote(exe) + " /ico:0 " + longArgument, 60000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    std::vector<std::string> lines = ArgumentLines(run);
    ASSERT_EQ(3u, lines.size());
    // 1,023 characters at most: "argv[ 2]=" and the first 1,014 bytes.
    EXPECT_EQ("argv[ 2]=" + longArgument.substr(0, 1014), lines[2]);
}

TEST(Entry, OneAssociationDialogAtATime) {
    ASSERT_FALSE(GuardExists());
    std::string exe = PelnoreExe();
    PROCESS_INFORMATION first = {};
    // The program name followed by blanks only is still the association mode.
    ASSERT_TRUE(testsupport::StartProcess(Quote(exe) + "  \t ", &first));
    HWND dialog = WaitForVisibleDialog(first.dwProcessId, 60000);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(kDialogCaption, WindowText(dialog));
    EXPECT_NE(nullptr, GetDlgItem(dialog, IDOK));
    EXPECT_NE(nullptr, GetDlgItem(dialog, IDCANCEL));
    EXPECT_TRUE(GuardExists());

    // A second association start ends at once with 0 and shows nothing.
    PROCESS_INFORMATION second = {};
    ASSERT_TRUE(testsupport::StartProcess(Quote(exe), &second));
    bool secondShowedDialog = false;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(second.hProcess, 20) == WAIT_TIMEOUT &&
           GetTickCount() - start < 30000) {
        if (!testsupport::ProcessWindows(second.dwProcessId, "#32770").empty())
            secondShowedDialog = true;
    }
    EXPECT_EQ(0u, WaitForExit(second.hProcess, 0));
    EXPECT_FALSE(secondShowedDialog);
    KillIfRunning(&second);
    CloseProcessHandles(&second);

    // Extraction runs are not guarded: one runs beside the open dialog.
    testsupport::RunResult extraction = testsupport::RunAndWait(Quote(exe) + " /ico:0", 60000);
    EXPECT_TRUE(extraction.finished);
    EXPECT_EQ(0u, extraction.exitCode);

    // The first one is untouched and still open; cancel it.
    EXPECT_EQ((DWORD)STILL_ACTIVE, WaitForExit(first.hProcess, 0));
    EXPECT_TRUE(IsWindow(dialog));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(0u, WaitForExit(first.hProcess, 30000));
    KillIfRunning(&first);
    CloseProcessHandles(&first);

    // Closing the dialog ended the mutex: the next start shows the dialog again.
    EXPECT_FALSE(GuardExists());
    PROCESS_INFORMATION third = {};
    ASSERT_TRUE(testsupport::StartProcess(Quote(exe), &third));
    HWND again = WaitForVisibleDialog(third.dwProcessId, 60000);
    EXPECT_NE(nullptr, again);
    if (again != nullptr) {
        EXPECT_EQ(kDialogCaption, WindowText(again));
        PostMessageA(again, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    EXPECT_EQ(0u, WaitForExit(third.hProcess, 30000));
    KillIfRunning(&third);
    CloseProcessHandles(&third);
}

}  // namespace
