// The hidden progress dialog that hosts the tray icon while the worker runs: its
// menu "キャンセル" cancels the worker, its timer ends it once the worker has ended.
#pragma once

#include "../util/compat.h"

struct WorkerThread;
struct JobProgress;
struct SourceIntake;

// Returns once the worker has ended, or at once when the dialog cannot be built
// or started (the caller then cancels the worker and waits for it). While a job
// of more than one file runs, the tooltip's second line says how far it is
// (progress may be null: the first line only). The timer takes what later
// starts hand to the job (intake may be null: nothing), and a cancel closes
// the intake as well.
void ShowProgressDialog(HINSTANCE module, WorkerThread* worker, HICON icon,
                        JobProgress* progress, SourceIntake* intake);

// The tooltip text (capacity bytes, terminated): the first line alone for a
// job of at most one file, else a second line "done / found  name": the files
// read to their end, and the one being read now (cut to fit; between two
// files, none and no gap).
void FormatProgressTip(char* tip, size_t capacity, unsigned done, unsigned found,
                       const char* current);

// The in-memory template of the dialog (a hidden popup with one button), or
// null when memory runs out; free() it after the dialog has returned.
void* BuildProgressTemplate();
