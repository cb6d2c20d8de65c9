// Scanner for AVI, WAVE and animated-cursor RIFF streams anywhere in a file.
#pragma once

#include "../app/job.h"

// False when the file cannot be opened for reading.
bool ScanRiffStreams(const char* sourcePath, KindMask kindMask);
// The file's size (low 32 bits), or -1; works on files held open unshared.
long FileSizeByName(const char* path);
// Form id of the four bytes (case-sensitive), or -1.
int LookupRiffForm(const char* formType);
