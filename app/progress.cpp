// The hidden progress dialog: a modal dialog built in memory that never shows,
// owns the tray icon with its cancel menu, and watches the worker with a timer.
// The dialog owns the tray icon record (PROP_TRAYICON) until its WM_DESTROY.
#include "progress.h"

#include <shellapi.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "../TOOLS/dlgtmpl.h"
#include "../TOOLS/toolwind.h"
#include "../extract/extract.h"
#include "../util/bounded.h"
#include "../util/worker.h"
#include "handover.h"

static const char PROP_THREAD[] = "PROP_THREAD";
static const char PROP_TRAYICON[] = "PROP_TRAYICON";
static const char PROP_PROGRESS[] = "PROP_PROGRESS";
static const char PROP_INTAKE[] = "PROP_INTAKE";

static const char PROGRESS_TOOLTIP[] = "pelnore が作業中です";
static const char CANCEL_MENU_TEXT[] = "キャンセル";

enum {
    WATCH_TIMER_ID = 102,
    WATCH_TIMER_PERIOD = 0,  // raised by the system to its minimum period
    // The tooltip follows the job at most four times a second.
    TIP_TIMER_ID = 103,
    TIP_TIMER_PERIOD = 250,
    TRAY_CALLBACK_MESSAGE = WM_APP + 1,
    TRAY_ICON_ID = 1,
    SHOW_MENU_COMMAND = 0x8002,
    CANCEL_COMMAND = 40000,
    RESULT_WORKER_ENDED = 1,
    RESULT_START_FAILED = 3,
    // The shell may not be ready yet (at log-on, say): 1 try and 20 retries.
    TRAY_ADD_RETRIES = 20,
    TRAY_ADD_RETRY_DELAY_MS = 500,
};

// The first NOTIFYICONDATAA layout, understood by every shell version: it ends
// after a tip of 64 bytes (88 bytes in a 32-bit program, 152 in a 64-bit one,
// whose handles are wider).
enum { TRAY_TIP_CAPACITY = 64 };
const DWORD TRAY_RECORD_SIZE = offsetof(NOTIFYICONDATAA, szTip) + TRAY_TIP_CAPACITY;
static_assert(NOTIFYICONDATAA_V1_SIZE == TRAY_RECORD_SIZE, "first NOTIFYICONDATAA layout");

// Built by ShowProgressDialog on its stack, valid for the whole modal run.
struct ProgressDialogParams {
    WorkerThread* worker;
    HICON icon;
    const char* tooltip;
    JobProgress* progress;
    SourceIntake* intake;
};

// ---- Template ----

void* BuildProgressTemplate() {
    static const Utf16Char OK_TEXT[] = u"OK";
    DialogDescription dialog = {};
    dialog.style = WS_POPUP | DS_SETFONT;
    dialog.itemCount = 1;
    dialog.cx = 1;
    dialog.cy = 1;
    dialog.faceName = DIALOG_FACE_NAME;
    dialog.pointSize = DIALOG_POINT_SIZE;
    DialogItemDescription button = {};
    button.windowClass = DIALOG_CLASS_BUTTON;
    button.text = NameOrIdFromText(OK_TEXT);
    button.style = WS_CHILD | WS_GROUP | BS_DEFPUSHBUTTON;
    button.cx = 1;
    button.cy = 1;
    button.id = IDOK;
    return BuildDialogTemplate(&dialog, &button);
}

// ---- Tray icon ----

// A zero-filled first-layout record for the dialog's icon, or null.
static NOTIFYICONDATAA* CreateTrayIconRecord(HWND dialog, const ProgressDialogParams* params) {
    // The whole structure of these headers, of which the shell reads the first
    // bytes, as many as cbSize announces.
    NOTIFYICONDATAA* record = (NOTIFYICONDATAA*)calloc(1, sizeof(NOTIFYICONDATAA));
    if (record == nullptr) return nullptr;
    record->cbSize = TRAY_RECORD_SIZE;
    record->hWnd = dialog;
    record->uID = TRAY_ICON_ID;
    record->uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record->uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    record->hIcon = params->icon;
    CopyBounded(record->szTip, TRAY_TIP_CAPACITY, params->tooltip);
    return record;
}

// When every attempt fails the job still runs, only without a way to cancel it.
static void AddTrayIcon(NOTIFYICONDATAA* record) {
    for (int attempt = 0; !Shell_NotifyIconA(NIM_ADD, record); attempt++) {
        if (attempt == TRAY_ADD_RETRIES) return;
        Sleep(TRAY_ADD_RETRY_DELAY_MS);
    }
}

// ---- Timers ----

void FormatProgressTip(char* tip, size_t capacity, unsigned done, unsigned found,
                       const char* current) {
    CopyBounded(tip, capacity, PROGRESS_TOOLTIP);
    if (found <= 1) return;
    char line[TRAY_TIP_CAPACITY];
    const char* gap = current[0] != '\0' ? "  " : "";
    if (FormatBounded(line, sizeof(line), "\n%u / %u%s", done, found, gap) < 0) return;
    size_t length = strlen(tip);
    CopyBounded(tip + length, capacity - length, line);
    length = strlen(tip);
    // CopyBounded cuts at a character's boundary.
    CopyBounded(tip + length, capacity - length, current);
}

// The progress is read by the main thread only here, under the worker's lock.
static void CALLBACK UpdateTip(HWND dialog, UINT message, UINT_PTR timerId, DWORD time) {
    PELNORE_UNUSED(message);
    PELNORE_UNUSED(timerId);
    PELNORE_UNUSED(time);
    NOTIFYICONDATAA* record = (NOTIFYICONDATAA*)GetPropA(dialog, PROP_TRAYICON);
    JobProgress* progress = (JobProgress*)GetPropA(dialog, PROP_PROGRESS);
    if (record == nullptr || progress == nullptr) return;
    unsigned done = 0, found = 0;
    char current[PATH_CAPACITY];
    ReadJobProgress(progress, &done, &found, current, sizeof(current));
    char tip[TRAY_TIP_CAPACITY];
    FormatProgressTip(tip, sizeof(tip), done, found, current);
    if (strcmp(tip, record->szTip) == 0) return;
    CopyBounded(record->szTip, TRAY_TIP_CAPACITY, tip);
    record->uFlags = NIF_TIP;
    Shell_NotifyIconA(NIM_MODIFY, record);
}

// Each tick also takes what later starts have handed over, so that they end
// within a tick.
static void CALLBACK WatchWorker(HWND dialog, UINT message, UINT_PTR timerId, DWORD time) {
    PELNORE_UNUSED(message);
    PELNORE_UNUSED(time);
    TakeHandedSources((SourceIntake*)GetPropA(dialog, PROP_INTAKE));
    WorkerThread* worker = (WorkerThread*)GetPropA(dialog, PROP_THREAD);
    if (worker == nullptr || !HasWorkerThreadEnded(worker)) return;
    KillTimer(dialog, timerId);
    EndDialog(dialog, RESULT_WORKER_ENDED);
}

// ---- Messages ----

static INT_PTR OnInitDialog(HWND dialog, const ProgressDialogParams* params) {
    SetPropA(dialog, PROP_THREAD, (HANDLE)params->worker);
    if (params->intake != nullptr) SetPropA(dialog, PROP_INTAKE, (HANDLE)params->intake);
    NOTIFYICONDATAA* record = CreateTrayIconRecord(dialog, params);
    if (record == nullptr) {
        EndDialog(dialog, RESULT_START_FAILED);
        return TRUE;
    }
    AddTrayIcon(record);
    SetPropA(dialog, PROP_TRAYICON, (HANDLE)record);
    if (SetTimer(dialog, WATCH_TIMER_ID, WATCH_TIMER_PERIOD, WatchWorker) != WATCH_TIMER_ID) {
        EndDialog(dialog, RESULT_START_FAILED);
        return TRUE;
    }
    // Without its timer the tooltip keeps its first line: nothing else is lost.
    if (params->progress != nullptr) {
        SetPropA(dialog, PROP_PROGRESS, (HANDLE)params->progress);
        SetTimer(dialog, TIP_TIMER_ID, TIP_TIMER_PERIOD, UpdateTip);
    }
    ShowWindowFlag(dialog, false);
    return TRUE;
}

// The dialog manager shows a modal dialog when its queue first runs empty, and
// SetForegroundWindow may try as well: every attempt is turned into a hide.
static INT_PTR OnWindowPosChanging(WINDOWPOS* position) {
    position->flags = (position->flags & ~SWP_SHOWWINDOW) | SWP_HIDEWINDOW;
    return 0;
}

// The menu opens on a button's release only; posting lets the shell's
// notification return before the menu's own message loop starts.
static INT_PTR OnTrayNotify(HWND dialog, WPARAM iconId, LPARAM mouseMessage) {
    if (iconId != TRAY_ICON_ID) return 0;
    if (mouseMessage == WM_LBUTTONUP || mouseMessage == WM_RBUTTONUP)
        PostMessageA(dialog, WM_COMMAND, SHOW_MENU_COMMAND, 0);
    return 0;
}

// The choice comes back as WM_COMMAND to the dialog while the menu is tracked.
static void ShowCancelMenu(HWND dialog) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    AppendMenuA(menu, MF_STRING, CANCEL_COMMAND, CANCEL_MENU_TEXT);
    TrackPopupMenuAtCursor(dialog, menu);
    DestroyMenu(menu);
}

// No confirmation and no closing here: the timer ends the dialog once the
// worker has seen the event and returned. A second cancel changes nothing.
// What waits in the intake and was not taken goes back to its starts.
static void CancelJob(HWND dialog) {
    CloseSourceIntake((SourceIntake*)GetPropA(dialog, PROP_INTAKE));
    WorkerThread* worker = (WorkerThread*)GetPropA(dialog, PROP_THREAD);
    if (worker != nullptr) CancelWorkerThread(worker);
}

static INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case SHOW_MENU_COMMAND:
            ShowCancelMenu(dialog);
            break;
        case CANCEL_COMMAND:
            CancelJob(dialog);
            break;
    }
    return 0;
}

static INT_PTR OnDestroy(HWND dialog) {
    NOTIFYICONDATAA* record = (NOTIFYICONDATAA*)RemovePropA(dialog, PROP_TRAYICON);
    if (record != nullptr) {
        Shell_NotifyIconA(NIM_DELETE, record);
        free(record);
    }
    KillTimer(dialog, WATCH_TIMER_ID);
    KillTimer(dialog, TIP_TIMER_ID);
    RemovePropA(dialog, PROP_THREAD);
    RemovePropA(dialog, PROP_PROGRESS);
    RemovePropA(dialog, PROP_INTAKE);
    return TRUE;
}

static INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, (const ProgressDialogParams*)lParam);
        case WM_WINDOWPOSCHANGING:
            return OnWindowPosChanging((WINDOWPOS*)lParam);
        case TRAY_CALLBACK_MESSAGE:
            return OnTrayNotify(dialog, wParam, lParam);
        case WM_COMMAND:
            return OnCommand(dialog, wParam);
        case WM_DESTROY:
            return OnDestroy(dialog);
    }
    return 0;
}

// ---- Entry ----

void ShowProgressDialog(HINSTANCE module, WorkerThread* worker, HICON icon, JobProgress* progress,
                        SourceIntake* intake) {
    void* dialogTemplate = BuildProgressTemplate();
    if (dialogTemplate == nullptr) return;
    ProgressDialogParams params;
    params.worker = worker;
    params.icon = icon;
    params.tooltip = PROGRESS_TOOLTIP;
    params.progress = progress;
    params.intake = intake;
    DialogBoxIndirectParamA(module, (LPCDLGTEMPLATEA)dialogTemplate, nullptr, ProgressDialogProc,
                            (LPARAM)&params);
    free(dialogTemplate);
}
