// The worker's per-file loop and the pipeline it drives: the resource kinds
// through their assemblers, then every other resource recognised by its
// content, then the scan for embedded RIFF streams, all from one resource
// source per file and under one output budget.
#pragma once

#include "../util/compat.h"
#include "budget.h"
#include "kinds.h"
#include "output.h"
#include "riffscan.h"
#include "source.h"

struct WorkerThread;

// How far a job has come, for the tray icon's tooltip: the worker writes it,
// the main thread reads it, each under the lock. One reading is one moment:
// the files read to their end, and the one being read now, which is never
// among them.
struct JobProgress {
    CRITICAL_SECTION lock;
    unsigned done;                // files read to their end
    unsigned found;               // files given by name, and those of folders found so far
    char current[PATH_CAPACITY];  // the name of the file being read, "" between files
};
void InitJobProgress(JobProgress* progress);
void DeleteJobProgress(JobProgress* progress);
// A copy of the figures and of the current name (capacity bytes, terminated).
void ReadJobProgress(JobProgress* progress, unsigned* done, unsigned* found, char* current,
                     size_t capacity);

struct ExtractionJob;

// Where a running job gets the sources that later starts of the program hand
// to it. takeNext gives the next batch (a job of the same mask and progress),
// or null once none waits: the intake is then closed, and nothing is taken
// after. A cancelled job takes nothing more.
struct JobIntake {
    ExtractionJob* (*takeNext)(void* context, bool cancelled);
    void* context;
};

// What ExtractionWorker is handed; the caller owns it until the worker ends.
// A path may name a file, read whatever its extension, or a folder, which
// stands for every module file below it.
struct ExtractionJob {
    KindMask kindMask;
    int fileCount;
    char** paths;  // fileCount + 1 entries, the last null; each its own heap copy
    // fileCount places set up by the caller, one per path, where the worker
    // notes where that source's files went; null: beside the sources only.
    OutputPlace* places;
    JobProgress* progress;  // null: none kept
    // The batches taken while the job ran, in the order they came, each owned
    // by the intake; whoever started the job reads them after the worker.
    ExtractionJob* next;
    const JobIntake* intake;  // null: the job takes none
    // A batch taken from a later start: when it was taken, so that its folders
    // are walked as that start's own job would have walked them. Zero: when
    // the worker starts.
    FILETIME started = {};
};

// Counts the job's files given by name among those found, for the tooltip.
void NoteJobSourcesFound(const ExtractionJob* job);

// Thread routine; argument is the ExtractionJob: its own sources, then each
// batch that its intake gives, until the intake closes. Always returns 0.
unsigned ExtractionWorker(WorkerThread* thread, void* argument);

// The kind bit whose switch the argument is: "/" and a kind's extension without
// its dot, then ":0" ("/ico:0", "/png:0"), in any case; 0 for any other text.
KindMask KindOfSwitch(const char* argument);

// One source's extraction: the file whose resources are read, the source as
// the user named it (its output folder and file names), and what its files
// draw on and where they go. The two paths differ for a system file whose
// resources Windows keeps in a .mun module.
struct SourceExtraction {
    const char* readPath;
    const char* namingPath;
    KindMask kindMask;     // kinds switched off
    OutputBudget* budget;  // the source's, shared by all its files
    OutputPlace* place;    // null: beside the source, without fall-back
    WorkerThread* thread;  // tested for cancel before each kind and each type; null: none
    // Each kind's next index, which the scan after the resources takes on;
    // null: from 0, for the resources alone.
    KindIndexes* indexes = nullptr;
    // Receives the bytes that the scan leaves alone: the resources written as
    // files and every icon and cursor image; null: none wanted.
    ByteRanges* ranges = nullptr;
};

// The resource kinds that the mask leaves on, in extraction order, then every
// other type's resources recognised by their content, from one opening of the
// file (opened at the first kind that is on, or for the ranges). A resource whose file would
// overdraw the budget is not written; it keeps its index among the resource
// kinds, and takes none among the content kinds. False when the file is no
// module.
bool ExtractResourcesOfFile(const SourceExtraction* extraction);
