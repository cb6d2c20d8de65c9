// Folders as sources: every module file below a folder, its subfolders
// included, in one fixed order (within a folder its files, then its
// subfolders, each by name without regard to case), so that two runs over the
// same tree write the same files. The walk holds one folder's listing at a
// time and no list of the tree, and goes down and up without recursion: its
// memory and stack stay flat whatever the tree's size and depth.
#pragma once

#include "../util/compat.h"

// True for a file name whose extension is one of the module extensions that a
// folder stands for (.exe, .dll, .ocx...), in any case.
bool IsModuleFileName(const char* name);

struct FolderWalk {
    // Folders created at or after this time are not entered: the job's own
    // output folders are never read as sources (nor folders that appear while
    // the job runs).
    FILETIME jobStart;
    // Called with the count of module files that a folder's listing holds,
    // before the first of them is visited.
    void (*onFound)(void* context, unsigned count);
    // Called for each module file, by its full path; false ends the walk.
    bool (*visit)(void* context, const char* path);
    void* context;
};

// Walks the tree below root (an existing folder; root itself is entered even
// when it is a reparse point). Reparse points below it (junctions, symbolic
// links, mount points) are not entered, so no loop and no second visit; a
// folder that cannot be listed is passed over; a path that does not fit the
// 8-bit file functions (MAX_PATH) is passed over; a name that the ANSI code
// page cannot hold goes by its short name, or is passed over without one.
void WalkFolder(const char* root, const FolderWalk* walk);
