// The hidden progress dialog that hosts the tray icon while the worker runs: its
// menu "キャンセル" cancels the worker, its timer ends it once the worker has ended.
#pragma once

#include "../util/compat.h"

struct WorkerThread;

// Returns once the worker has ended, or at once when the dialog cannot be built
// or started (the caller then cancels the worker and waits for it).
void ShowProgressDialog(HINSTANCE module, WorkerThread* worker, HICON icon);

// The in-memory template of the dialog (a hidden popup with one button), or
// null when memory runs out; free() it after the dialog has returned.
void* BuildProgressTemplate();
