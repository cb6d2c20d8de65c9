// A 32-bit program on 64-bit Windows (WOW64) has its file calls for the system
// folder redirected: C:\Windows\System32 is SysWOW64 to it, the folder of the
// 32-bit twins. The user names System32 and means it, so the job turns that
// redirection off on its worker thread and around the calls that look at the
// files the user named. The functions are looked up at run time, so that a
// Windows without them (32-bit Windows, where nothing is redirected) still
// starts the program; in a 64-bit program they change nothing.
#pragma once

#include "compat.h"

// The calling thread's redirection as it was before a pause.
struct FileRedirection {
    void* previous;
    bool paused;
};

// Turns the redirection off for the calling thread only. No DLL may be loaded
// on that thread until ResumeFileRedirection (the loader would look in the
// 64-bit System32), so a pause covers plain file calls only.
void PauseFileRedirection(FileRedirection* redirection);
void ResumeFileRedirection(const FileRedirection* redirection);

// True where the file calls of this process for the system folder are
// redirected and the redirection can be turned off.
bool IsFileSystemRedirected();

// True for a full path that lies in the system folder (GetSystemDirectoryA) or
// is that folder, compared without regard to case.
bool IsInSystemFolder(const char* path);
