// The extraction mode: reads the kind switches, resolves the file arguments to
// full paths through the shell, and runs the worker under the progress dialog.
// The main thread owns the job and its path list until the worker has ended.
#include "job.h"

#include <objbase.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "../extract/extract.h"
#include "../res/resource.h"
#include "../util/ansipath.h"
#include "../util/bounded.h"
#include "../util/mbstring.h"
#include "../util/pathpart.h"
#include "../util/wow64fs.h"
#include "handover.h"
#include "progress.h"
#include "report.h"
#include "../util/worker.h"

KindMask ParseKindSwitches(int argc, char** argv) {
    KindMask mask = 0;
    for (int i = 1; i < argc; i++) mask |= KindOfSwitch(argv[i]);
    return mask;
}

void FreePathList(char** list, int count) {
    if (list == nullptr) return;
    for (int i = 0; i < count; i++) free(list[i]);
    free(list);
}

char** ResolveFileArguments(int count, char** arguments, int* resolvedCount) {
    *resolvedCount = 0;
    char** list = (char**)malloc(sizeof(char*) * ((size_t)(count > 0 ? count : 0) + 1));
    if (list == nullptr) return nullptr;
    int found = 0;
    for (int i = 0; i < count; i++) {
        // What the user named: in System32, not in its 32-bit twin.
        FileRedirection redirection;
        PauseFileRedirection(&redirection);
        bool exists = PathExists(arguments[i]);
        ResumeFileRedirection(&redirection);
        if (!exists) continue;
        char path[PATH_CAPACITY + 2];
        if (!ResolveFullPath(arguments[i], path)) continue;
        char* copy = _strdup(path);
        if (copy == nullptr) {
            FreePathList(list, found);
            return nullptr;
        }
        list[found++] = copy;
    }
    list[found] = nullptr;
    *resolvedCount = found;
    return list;
}

// The shell's name for the item that the argument parses to, as a file-system
// path: this resolves relative and short names to the full path.
static bool ParseToFileSystemPath(IShellFolder* desktop, IMalloc* allocator, const char* argument,
                                  char* output) {
    // A path text of 521 bytes has at most 521 UTF-16 units; a conversion that
    // fails or does not fit hands the shell nothing.
    WCHAR wide[PATH_CAPACITY];
    if (MultiByteToWideChar(CP_ACP, 0, argument, -1, wide, PATH_CAPACITY) == 0) return false;
    wide[PATH_CAPACITY - 1] = L'\0';

    ULONG eaten = 0;
    LPITEMIDLIST item = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide, &eaten, &item, nullptr)) ||
        item == nullptr)
        return false;
    // The item keeps its long name even when the argument was its short one,
    // and the 8-bit form of that name would lose the characters the ANSI code
    // page lacks: take the wide path, and its short form where it must.
    bool ok = false;
    WCHAR* shellPath = (WCHAR*)malloc(65536);
    if (shellPath != nullptr) {
        shellPath[0] = L'\0';
        if (SHGetPathFromIDListW(item, shellPath)) {
            shellPath[65536 / sizeof(WCHAR) - 1] = L'\0';
            ok = AnsiPathForWide(shellPath, output) && output[0] != '\0';
        }
        free(shellPath);
    }
    allocator->Free(item);
    return ok;
}

// The shell's resolution cannot see past the redirection of a 32-bit program
// on 64-bit Windows, and must not run with it turned off (it loads DLLs). The
// kernel's calls alone take the same steps with the redirection off: the full
// path, and the long name of every step; a path that then lies in System32 is
// taken so.
static bool ResolveWithoutRedirection(const char* argument, char* output) {
    WCHAR wide[PATH_CAPACITY], full[PATH_CAPACITY], longPath[PATH_CAPACITY];
    if (MultiByteToWideChar(CP_ACP, 0, argument, -1, wide, PATH_CAPACITY) == 0) return false;
    wide[PATH_CAPACITY - 1] = L'\0';
    FileRedirection redirection;
    PauseFileRedirection(&redirection);
    DWORD fullLength = GetFullPathNameW(wide, PATH_CAPACITY, full, nullptr);
    DWORD longLength = fullLength > 0 && fullLength < PATH_CAPACITY
                           ? GetLongPathNameW(full, longPath, PATH_CAPACITY)
                           : 0;
    bool ok = longLength > 0 && longLength < PATH_CAPACITY && AnsiPathForWide(longPath, output) &&
              output[0] != '\0';
    ResumeFileRedirection(&redirection);
    return ok;
}

bool ResolveFullPath(const char* argument, char* output) {
    output[0] = '\0';
    if (IsFileSystemRedirected() && ResolveWithoutRedirection(argument, output) &&
        IsInSystemFolder(output))
        return true;
    output[0] = '\0';
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return false;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || desktop == nullptr) {
        allocator->Release();
        return false;
    }
    bool ok = ParseToFileSystemPath(desktop, allocator, argument, output);
    desktop->Release();
    allocator->Release();
    if (!ok) output[0] = '\0';
    return ok;
}

bool StartWorkerThread(WorkerThread* thread) {
    if (ResumeWorkerThread(thread)) return true;
    // The thread was created suspended and never ran a line of its routine, so
    // ending it here is safe; waiting for it would never return.
    CancelWorkerThread(thread);
    TerminateThread(thread->thread, 0);
    return false;
}

// The paths are handed to the job that already runs with these switches, where
// there is one; what it does not take is this start's own job, which then
// takes what later starts hand to it.
int RunExtractionJob(HINSTANCE module, int argc, char** argv) {
    KindMask mask = ParseKindSwitches(argc, argv);
    int count = 0;
    char** paths = ResolveFileArguments(argc - 1, argv + 1, &count);
    if (paths == nullptr) return 0;

    // Where the files of a source go when its own folder refuses them. Without
    // memory for the places the job still runs, beside the sources only.
    char desktop[PATH_CAPACITY];
    GetFallbackRoot(desktop);
    // A start with nothing to hand runs its empty job as ever.
    SourceIntake* intake = nullptr;
    int handed = count > 0 ? HandOverSources(mask, paths, count, desktop, &intake) : 0;
    if (count > 0 && handed == count) {
        FreePathList(paths, count);
        return 0;
    }
    int own = count - handed;
    OutputPlace* places = CreateOutputPlaces(own, desktop);
    JobProgress progress;
    InitJobProgress(&progress);
    ExtractionJob job = {mask, own, paths + handed, places, &progress, nullptr, nullptr};
    if (intake != nullptr) AttachSourceIntake(intake, &job);
    WorkerThread* worker = CreateWorkerThread(ExtractionWorker, &job);
    if (worker == nullptr) {
        ReleaseSourceIntake(intake);
        DeleteJobProgress(&progress);
        free(places);
        FreePathList(paths, count);
        return 0;
    }
    bool started = StartWorkerThread(worker);

    HICON icon = (HICON)LoadImageA(module, MAKEINTRESOURCEA(IDI_PELNORE), IMAGE_ICON, 16, 16,
                                   LR_DEFAULTCOLOR);
    // A worker that could not start would keep the dialog up for ever.
    if (started) ShowProgressDialog(module, worker, icon, &progress, intake);
    ReleaseWorkerThread(worker);
    if (icon != nullptr) DestroyIcon(icon);
    // The worker has ended and the tray icon is gone: a cancelled job, too,
    // says where the files it wrote went, those of the sources it took included.
    ShowFallbackReport(&job);
    ReleaseSourceIntake(intake);
    DeleteJobProgress(&progress);
    free(places);
    FreePathList(paths, count);
    return 0;
}
