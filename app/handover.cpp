// The hand-over between starts: a named lock and a named box of shared memory
// per user and kind mask. The job that runs holds the box (its process id as
// owner) and takes what later starts post into it; a start whose entry is not
// taken withdraws it and runs its own job.
//
// The race between a hand-over and the end of the job is closed by the lock:
// the worker ends only through one step under it that either takes every
// entry waiting or, when none waits, gives the box up (owner 0). So an entry
// posted before that step is taken and done; one posted after it finds no
// owner and runs its own job; and a start that gives up on its entry (the
// owner gone, or no answer in time) withdraws it under the same lock, so that
// it is either taken or withdrawn, never both.
//
// The owner is known alive by a mutex named after it, which it holds from its
// claim to its end: it dies with the process, so an owner that crashed is seen
// gone at once, even when its process id has been given to another process.
#include "handover.h"

#include <stdlib.h>
#include <string.h>

#include "../util/bounded.h"
#include "handbox.h"
#include "job.h"
#include "report.h"

namespace {

enum {
    // The lock is held for a copy of at most 64 KB: a start that cannot have
    // it within this time posts nothing and runs its own job.
    LOCK_TIMEOUT_MS = 5000,
    // How long a start waits for its entry to be taken. The job takes at its
    // next timer tick, or at the end of its current file when its main thread
    // is busy (the tray icon's retries take up to 10 s).
    TAKE_TIMEOUT_MS = 15000,
    POLL_MS = 10,
    // Whether the owner still runs is asked every so many polls.
    OWNER_CHECK_POLLS = 10,
    USER_NAME_CAPACITY = 257,
};

struct HandOverLink {
    KindMask mask;
    HANDLE mutex;
    HANDLE mapping;
    HandBox* box;
    HANDLE alive;  // held by the main thread while this process owns the box; null: not claimed
};

uint32_t HashText(const char* text) {
    uint32_t hash = 2166136261u;
    for (const unsigned char* p = (const unsigned char*)text; *p != 0; p++)
        hash = (hash ^ *p) * 16777619u;
    return hash;
}

// The mutex by which the owner of a box proves that it still runs.
void BuildAliveName(char* name, size_t capacity, KindMask mask, DWORD owner) {
    char what[32];
    FormatBounded(what, sizeof(what), "Owner.%lu", (unsigned long)owner);
    BuildHandOverName(name, capacity, mask, what);
}

// The calling thread (the main thread) holds the mutex until the link is
// closed; a process that ends without closing it leaves it abandoned.
bool HoldProofOfLife(HandOverLink* link) {
    char name[96];
    BuildAliveName(name, sizeof(name), link->mask, GetCurrentProcessId());
    HANDLE alive = CreateMutexA(nullptr, FALSE, name);
    if (alive == nullptr) return false;
    DWORD result = WaitForSingleObject(alive, 0);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        CloseHandle(alive);
        return false;
    }
    link->alive = alive;
    return true;
}

void CloseHandOverLink(HandOverLink* link) {
    if (link->alive != nullptr) {
        ReleaseMutex(link->alive);
        CloseHandle(link->alive);
        link->alive = nullptr;
    }
    if (link->box != nullptr) UnmapViewOfFile(link->box);
    if (link->mapping != nullptr) CloseHandle(link->mapping);
    if (link->mutex != nullptr) CloseHandle(link->mutex);
    link->box = nullptr;
    link->mapping = link->mutex = nullptr;
}

// A new box is zero-filled: no owner, no entries. One of another size (made by
// someone else) does not map at ours and counts as no box.
bool OpenHandOverLink(KindMask mask, HandOverLink* link) {
    char name[96];
    link->mask = mask;
    link->box = nullptr;
    link->mapping = nullptr;
    link->alive = nullptr;
    BuildHandOverName(name, sizeof(name), mask, "Lock");
    link->mutex = CreateMutexA(nullptr, FALSE, name);
    BuildHandOverName(name, sizeof(name), mask, "Box");
    if (link->mutex != nullptr)
        link->mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           sizeof(HandBox), name);
    if (link->mapping != nullptr)
        link->box =
            (HandBox*)MapViewOfFile(link->mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(HandBox));
    if (link->box != nullptr) return true;
    CloseHandOverLink(link);
    return false;
}

// A lock left by a process that ended holding it is ours at once; the box's
// checks stand for whatever it may have left half-written.
bool LockBox(const HandOverLink* link, DWORD timeout) {
    DWORD result = WaitForSingleObject(link->mutex, timeout);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void UnlockBox(const HandOverLink* link) {
    ReleaseMutex(link->mutex);
}

// Whether the owner of the box still runs: its mutex is held. An owner that
// ended without giving the box up (killed, crashed) left it abandoned, or gone
// with its last handle; its process id may meanwhile name another process,
// which holds no such mutex. One that may not be opened still runs; it is only
// not ours to see.
bool IsOwnerAlive(const HandOverLink* link, DWORD owner) {
    if (owner == 0 || owner == GetCurrentProcessId()) return false;
    char name[96];
    BuildAliveName(name, sizeof(name), link->mask, owner);
    HANDLE alive = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
    if (alive == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD result = WaitForSingleObject(alive, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(alive);
    CloseHandle(alive);
    return result == WAIT_TIMEOUT;
}

enum PostOutcome { POST_TAKEN, POST_BACK_OWNER_GONE, POST_BACK_TIMED_OUT };

// Waits until the entry is taken, or until it is plain that it will not be;
// then it is withdrawn under the lock. Without the lock nothing can be known
// about the entry, so that wait has no time limit: every holder lets go
// within a copy, or ends.
PostOutcome WaitUntilTaken(const HandOverLink* link, uint32_t ticket) {
    DWORD start = GetTickCount();
    for (unsigned poll = 1;; poll++) {
        Sleep(POLL_MS);
        LockBox(link, INFINITE);
        PostOutcome outcome = POST_TAKEN;
        if (HandBoxHolds(link->box, ticket)) {
            DWORD owner = link->box->owner;
            bool ownerGone =
                owner == 0 || (poll % OWNER_CHECK_POLLS == 0 && !IsOwnerAlive(link, owner));
            bool timedOut = GetTickCount() - start >= TAKE_TIMEOUT_MS;
            if (!ownerGone && !timedOut) {
                UnlockBox(link);
                continue;
            }
            WithdrawHandedPaths(link->box, ticket);
            outcome = ownerGone ? POST_BACK_OWNER_GONE : POST_BACK_TIMED_OUT;
        }
        UnlockBox(link);
        return outcome;
    }
}

}  // namespace

// Names without a prefix live in the namespace of the session, which keeps
// other sessions apart; the user's name (hashed, as names are limited) keeps
// apart the users of one session, and the mask the jobs of other switches.
// The digit is the layout of the box and the rules of its use: another meets
// other names. The layout has fields of fixed width only, so the 32- and the
// 64-bit build meet in one box and hand over to each other.
void BuildHandOverName(char* name, size_t capacity, KindMask mask, const char* what) {
    char user[USER_NAME_CAPACITY] = "";
    DWORD size = sizeof(user);
    if (!GetUserNameA(user, &size)) user[0] = '\0';
    user[USER_NAME_CAPACITY - 1] = '\0';
    FormatBounded(name, capacity, "pelnore.HandOver2.%08x.%08x.%s", HashText(user), mask, what);
}

struct SourceIntake {
    CRITICAL_SECTION lock;  // the worker and the main thread both take
    HandOverLink link;
    bool open;
    const char* fallbackRoot;
    ExtractionJob* first;    // the job that takes
    ExtractionJob* last;     // the end of its chain of batches
    ExtractionJob* waiting;  // the first batch that the worker has not had yet
    JobIntake hook;
};

namespace {

void FreeBatch(ExtractionJob* batch) {
    FreePathList(batch->paths, batch->fileCount);
    free(batch->places);
    free(batch);
}

// The paths of copy as a batch of the job: same switches, same progress.
ExtractionJob* NewBatch(const SourceIntake* intake, const unsigned char* copy, size_t size,
                        size_t pathCount) {
    ExtractionJob* batch = (ExtractionJob*)calloc(1, sizeof(ExtractionJob));
    if (batch == nullptr) return nullptr;
    batch->paths = (char**)calloc(pathCount + 1, sizeof(char*));
    if (batch->paths == nullptr) {
        free(batch);
        return nullptr;
    }
    size_t offset = 0;
    for (const char* path; batch->fileCount < (int)pathCount &&
                           (path = NextHandedPath(copy, size, &offset)) != nullptr;) {
        batch->paths[batch->fileCount] = _strdup(path);
        if (batch->paths[batch->fileCount] == nullptr) {
            FreeBatch(batch);
            return nullptr;
        }
        batch->fileCount++;
    }
    batch->kindMask = intake->first->kindMask;
    batch->progress = intake->first->progress;
    GetSystemTimeAsFileTime(&batch->started);
    batch->places = CreateOutputPlaces(batch->fileCount, intake->fallbackRoot);
    return batch;
}

// Under the box's lock: what waits becomes one batch behind the chain and the
// box is emptied. Without memory for the batch nothing is taken, and the
// starts that posted it run it themselves. The caller counts the batch's
// files once the lock is let go, as that asks the file system.
ExtractionJob* TakeBoxLocked(SourceIntake* intake) {
    HandBox* box = intake->link.box;
    if (box->used == 0) return nullptr;
    unsigned char* copy = (unsigned char*)malloc(HAND_BOX_AREA);
    if (copy == nullptr) return nullptr;
    size_t pathCount = 0;
    size_t size = CopyHandedPaths(box, copy, &pathCount);
    ExtractionJob* batch = pathCount > 0 ? NewBatch(intake, copy, size, pathCount) : nullptr;
    free(copy);
    if (pathCount > 0 && batch == nullptr) return nullptr;
    box->used = 0;  // also what was no one's entries
    if (batch == nullptr) return nullptr;
    intake->last->next = batch;
    intake->last = batch;
    if (intake->waiting == nullptr) intake->waiting = batch;
    return batch;
}

// Gives the box up. When its lock cannot be had the owner stays noted, and
// the starts that wait see this process end instead.
void CloseLocked(SourceIntake* intake) {
    if (!intake->open) return;
    intake->open = false;
    if (!LockBox(&intake->link, LOCK_TIMEOUT_MS)) return;
    if (intake->link.box->owner == GetCurrentProcessId()) intake->link.box->owner = 0;
    UnlockBox(&intake->link);
}

// The worker's end of a batch: the next batch taken, else, in one step under
// the box's lock, what waits now, else the box given up.
ExtractionJob* TakeNextBatch(void* context, bool cancelled) {
    SourceIntake* intake = (SourceIntake*)context;
    EnterCriticalSection(&intake->lock);
    if (cancelled) CloseLocked(intake);
    if (intake->waiting == nullptr && intake->open) {
        if (LockBox(&intake->link, LOCK_TIMEOUT_MS)) {
            ExtractionJob* taken = TakeBoxLocked(intake);
            if (taken == nullptr && intake->link.box->owner == GetCurrentProcessId())
                intake->link.box->owner = 0;
            intake->open = taken != nullptr;
            UnlockBox(&intake->link);
            if (taken != nullptr) NoteJobSourcesFound(taken);
        } else {
            intake->open = false;
        }
    }
    ExtractionJob* batch = cancelled ? nullptr : intake->waiting;
    if (batch != nullptr) intake->waiting = batch->next;
    LeaveCriticalSection(&intake->lock);
    return batch;
}

SourceIntake* NewSourceIntake(const HandOverLink* link, const char* fallbackRoot) {
    SourceIntake* intake = (SourceIntake*)calloc(1, sizeof(SourceIntake));
    if (intake == nullptr) return nullptr;
    InitializeCriticalSection(&intake->lock);
    intake->link = *link;
    intake->open = true;
    intake->fallbackRoot = fallbackRoot;
    intake->hook.takeNext = TakeNextBatch;
    intake->hook.context = intake;
    return intake;
}

// Under the lock: the box taken over when no other job holds it, else the
// paths posted. Returns false when this start's own job is to run now; it
// takes no box over when it cannot prove its life.
bool ClaimOrPost(HandOverLink* link, char** paths, int count, size_t* posted, uint32_t* ticket,
                 bool* claimed) {
    *posted = 0;
    *claimed = false;
    if (!LockBox(link, LOCK_TIMEOUT_MS)) return false;
    HandBox* box = link->box;
    bool retry = false;
    if (!IsOwnerAlive(link, box->owner)) {
        *claimed = link->alive != nullptr || HoldProofOfLife(link);
        if (*claimed) box->owner = GetCurrentProcessId();
    } else {
        *posted = PostHandedPaths(box, paths, (size_t)count, ticket);
        // An empty box that has no room for the first path never will.
        retry = *posted > 0 || box->used > 0;
    }
    UnlockBox(link);
    return retry;
}

}  // namespace

int HandOverSources(KindMask mask, char** paths, int count, const char* fallbackRoot,
                    SourceIntake** intake) {
    *intake = nullptr;
    HandOverLink link;
    if (!OpenHandOverLink(mask, &link)) return 0;
    int taken = 0;
    bool claimed = false;
    DWORD waitingForRoom = GetTickCount();
    while (taken < count) {
        size_t posted = 0;
        uint32_t ticket = 0;
        if (!ClaimOrPost(&link, paths + taken, count - taken, &posted, &ticket, &claimed)) break;
        if (posted == 0) {
            // The box is full: it empties at the job's next take.
            if (GetTickCount() - waitingForRoom >= TAKE_TIMEOUT_MS) break;
            Sleep(POLL_MS);
            continue;
        }
        PostOutcome outcome = WaitUntilTaken(&link, ticket);
        if (outcome == POST_BACK_TIMED_OUT) break;
        if (outcome == POST_TAKEN) taken += (int)posted;
        waitingForRoom = GetTickCount();
    }
    if (claimed && taken < count) *intake = NewSourceIntake(&link, fallbackRoot);
    if (*intake != nullptr) return taken;
    if (claimed && LockBox(&link, LOCK_TIMEOUT_MS)) {
        if (link.box->owner == GetCurrentProcessId()) link.box->owner = 0;
        UnlockBox(&link);
    }
    CloseHandOverLink(&link);
    return taken;
}

void AttachSourceIntake(SourceIntake* intake, ExtractionJob* job) {
    intake->first = intake->last = job;
    job->intake = &intake->hook;
}

void TakeHandedSources(SourceIntake* intake) {
    // A read without the lock is only a hint; a miss is seen at the next tick.
    if (intake == nullptr || intake->link.box->used == 0) return;
    EnterCriticalSection(&intake->lock);
    if (intake->open && intake->first != nullptr && LockBox(&intake->link, LOCK_TIMEOUT_MS)) {
        ExtractionJob* taken = TakeBoxLocked(intake);
        UnlockBox(&intake->link);
        if (taken != nullptr) NoteJobSourcesFound(taken);
    }
    LeaveCriticalSection(&intake->lock);
}

void CloseSourceIntake(SourceIntake* intake) {
    if (intake == nullptr) return;
    EnterCriticalSection(&intake->lock);
    CloseLocked(intake);
    LeaveCriticalSection(&intake->lock);
}

void ReleaseSourceIntake(SourceIntake* intake) {
    if (intake == nullptr) return;
    CloseSourceIntake(intake);
    if (intake->first != nullptr) {
        ExtractionJob* batch = intake->first->next;
        while (batch != nullptr) {
            ExtractionJob* next = batch->next;
            FreeBatch(batch);
            batch = next;
        }
        intake->first->next = nullptr;
    }
    CloseHandOverLink(&intake->link);
    DeleteCriticalSection(&intake->lock);
    free(intake);
}
