// A worker thread with a cancel event. The main thread creates, resumes,
// cancels and releases it; the routine only tests for cancel.
#pragma once

#include "compat.h"

struct WorkerThread;
typedef unsigned (*WorkerRoutine)(WorkerThread* thread, void* argument);

struct WorkerThread {
    HANDLE thread;       // created suspended
    HANDLE cancelEvent;  // unnamed, manual reset, not signalled at first
    WorkerRoutine routine;
    void* argument;
};

// The thread is created suspended; null when the record, the event or the
// thread cannot be created.
WorkerThread* CreateWorkerThread(WorkerRoutine routine, void* argument);
bool ResumeWorkerThread(WorkerThread* thread);
bool CancelWorkerThread(WorkerThread* thread);
bool HasWorkerThreadEnded(WorkerThread* thread);
bool IsWorkerThreadCancelled(WorkerThread* thread);
// Cancels a thread that has not ended and waits for its end.
void StopWorkerThread(WorkerThread* thread);
// StopWorkerThread, then closes both handles and frees the record.
void ReleaseWorkerThread(WorkerThread* thread);
