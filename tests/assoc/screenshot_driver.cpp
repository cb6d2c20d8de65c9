// Drives the association dialog for scripts/screenshot: starts pelnore.exe,
// reports the dialog's outer rectangle with both detail areas closed, opens the
// .exe details on a line from standard input, reports again, and closes it.
#include <stdio.h>

#include <string>

#include "../../res/resource.h"
#include "../support/testsupport.h"

static void Report(const char* state, HWND dialog) {
    RECT r;
    GetWindowRect(dialog, &r);
    printf("%s %ld %ld %ld %ld\n", state, r.left, r.top, r.right - r.left, r.bottom - r.top);
    fflush(stdout);
}

static void WaitForLine() {
    char line[64];
    if (!fgets(line, sizeof(line), stdin)) return;
}

int main() {
    PROCESS_INFORMATION process = {};
    if (!testsupport::StartProcess(testsupport::Quote(testsupport::PelnoreExe()), &process))
        return 1;
    HWND dialog = testsupport::WaitForProcessWindow(process.dwProcessId, "#32770", 20000);
    DWORD start = GetTickCount();
    while (dialog && !IsWindowVisible(dialog) && GetTickCount() - start < 20000) Sleep(20);
    if (!dialog || !IsWindowVisible(dialog)) {
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    Sleep(500);  // let it paint
    Report("closed", dialog);
    WaitForLine();
    SendMessageA(GetDlgItem(dialog, IDC_EXE_DETAILS), BM_CLICK, 0, 0);
    Sleep(300);
    // Wine leaves the details button unpainted at the place the width layout
    // moved it to, until something invalidates it; repaint the whole dialog.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Sleep(500);
    Report("open", dialog);
    WaitForLine();
    SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("done\n");
    return 0;
}
