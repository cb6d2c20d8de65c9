// Many starts, one job: a start of the extraction mode hands its sources to the
// job that already runs with the same switches in this user's session, which
// takes them into its own list, instead of running a job of its own beside it.
// Explorer starts one process per selected file, and so do launchers.
#pragma once

#include "../extract/extract.h"
#include "../util/compat.h"

// The running job's side: where it takes the sources of later starts.
struct SourceIntake;

// Hands the paths, in order, to the job that runs with these switches, and
// returns how many of the leading ones it has taken (count: all, nothing is
// left to do). The rest are this start's own job. When that job may take the
// sources of later starts, *intake is set (else null: another job holds the
// box, or it cannot be opened); fallbackRoot (borrowed for the intake's life)
// is where the places of the sources it takes fall back.
int HandOverSources(KindMask mask, char** paths, int count, const char* fallbackRoot,
                    SourceIntake** intake);

// The name of the hand-over object what ("Lock", "Box"...) of this user's jobs
// with these switches, which every start and both builds meet at.
void BuildHandOverName(char* name, size_t capacity, KindMask mask, const char* what);

// The job that takes: its batches are chained behind job, and its worker asks
// for them through job->intake.
void AttachSourceIntake(SourceIntake* intake, ExtractionJob* job);
// Main thread, on the progress dialog's timer: moves what waits in the box
// into the job, so that the starts that posted it may end.
void TakeHandedSources(SourceIntake* intake);
// Takes nothing more (a cancel); what still waits goes back to its starts.
void CloseSourceIntake(SourceIntake* intake);
// After the worker has ended: closes the intake and frees the batches it took.
void ReleaseSourceIntake(SourceIntake* intake);
