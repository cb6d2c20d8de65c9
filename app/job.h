// The extraction mode: kind switches, resolution of the file arguments, and the
// job that runs the worker under the hidden progress dialog.
#pragma once

#include "../extract/extract.h"
#include "../util/compat.h"

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
