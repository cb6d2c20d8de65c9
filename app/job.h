// The extraction mode: kind switches, resolution of the file arguments, and the
// job that runs the worker under the hidden progress dialog.
#pragma once

#include "../util/compat.h"

// Kinds that the command line switched off.
typedef unsigned int KindMask;
enum {
    KIND_ICON = 0x01,
    KIND_CURSOR = 0x02,
    KIND_BITMAP = 0x04,
    KIND_AVI = 0x08,
    KIND_WAVE = 0x10,
    KIND_ANICURSOR = 0x20,
    KIND_RIFF_ALL = 0x38,
};

struct ExtractionJob {
    KindMask kindMask;
    int fileCount;
    char** paths;  // fileCount + 1 entries, the last null; each its own heap copy
};

// Called by the entry with the whole table, program name included; returns 0.
int RunExtractionJob(HINSTANCE module, int argc, char** argv);

KindMask ParseKindSwitches(int argc, char** argv);
// Full paths of the arguments that exist, with their count; null when memory
// runs out.
char** ResolveFileArguments(int count, char** arguments, int* resolvedCount);
// True and the file-system path in output (522 bytes), or false and "".
bool ResolveFullPath(const char* argument, char* output);
void FreePathList(char** list, int count);

struct WorkerThread;
// Resumes the worker. When that fails the thread, which never ran, is cancelled
// and ended so that nothing waits for it for ever; false then.
bool StartWorkerThread(WorkerThread* thread);
