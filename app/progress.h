// The hidden progress dialog that hosts the tray icon while the worker runs.
#pragma once

#include "../util/compat.h"

struct WorkerThread;

// Returns once the worker has ended, or at once when the dialog cannot be built
// or started (the caller then cancels the worker and waits for it).
void ShowProgressDialog(HINSTANCE module, WorkerThread* worker, HICON icon);
