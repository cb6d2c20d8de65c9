// Stand-in until the progress dialog lands: waits for the worker's end.
#include "progress.h"

#include "worker.h"

void ShowProgressDialog(HINSTANCE module, WorkerThread* worker, HICON icon) {
    PELNORE_UNUSED(module);
    PELNORE_UNUSED(icon);
    WaitForSingleObject(worker->thread, INFINITE);
}
