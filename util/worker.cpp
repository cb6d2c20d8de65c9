// The worker thread record: thread handle, cancel event, routine and argument.
#include "worker.h"

#include <process.h>
#include <stdlib.h>

// _beginthreadex (not CreateThread) so that the C runtime is set up for the
// worker, which uses buffered streams and the heap.
static unsigned __stdcall WorkerThreadEntry(void* parameter) {
    WorkerThread* thread = (WorkerThread*)parameter;
    return thread->routine(thread, thread->argument);
}

WorkerThread* CreateWorkerThread(WorkerRoutine routine, void* argument) {
    WorkerThread* thread = (WorkerThread*)malloc(sizeof(WorkerThread));
    if (thread == nullptr) return nullptr;
    thread->cancelEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (thread->cancelEvent == nullptr) {
        free(thread);
        return nullptr;
    }
    thread->routine = routine;
    thread->argument = argument;
    uintptr_t handle = _beginthreadex(nullptr, 0, WorkerThreadEntry, thread, CREATE_SUSPENDED, nullptr);
    if (handle == 0) {
        CloseHandle(thread->cancelEvent);
        free(thread);
        return nullptr;
    }
    thread->thread = (HANDLE)handle;
    return thread;
}

bool ResumeWorkerThread(WorkerThread* thread) {
    return ResumeThread(thread->thread) != (DWORD)-1;
}

bool CancelWorkerThread(WorkerThread* thread) {
    return SetEvent(thread->cancelEvent) != 0;
}

bool HasWorkerThreadEnded(WorkerThread* thread) {
    return WaitForSingleObject(thread->thread, 0) == WAIT_OBJECT_0;
}

bool IsWorkerThreadCancelled(WorkerThread* thread) {
    return WaitForSingleObject(thread->cancelEvent, 0) == WAIT_OBJECT_0;
}

void StopWorkerThread(WorkerThread* thread) {
    if (HasWorkerThreadEnded(thread)) return;
    CancelWorkerThread(thread);
    // A thread that is still suspended would never end: resuming a running
    // thread only lowers its suspend count, so this is harmless otherwise.
    DWORD count;
    do {
        count = ResumeThread(thread->thread);
    } while (count != (DWORD)-1 && count > 1);
    WaitForSingleObject(thread->thread, INFINITE);
}

void ReleaseWorkerThread(WorkerThread* thread) {
    StopWorkerThread(thread);
    CloseHandle(thread->cancelEvent);
    CloseHandle(thread->thread);
    free(thread);
}
