// The word after an extraction job about the sources whose own folder refused
// their files: the fall-back folder each one's went to, or that nothing was
// written for it. Shown once the worker has ended, never while it runs.
#pragma once

#include <stddef.h>

#include "../extract/extract.h"

// The user's Desktop in dest (522 bytes), the fall-back root of every source;
// false and "" when the shell gives none (the job then has no fall-back).
bool GetFallbackRoot(char* dest);
// fileCount places falling back under root (borrowed for the job's life), or
// null when memory runs out; free() them after the worker has ended.
OutputPlace* CreateOutputPlaces(int fileCount, const char* root);

// Measuring (dest null): the report's length in bytes, 0 when no source fell
// back. Filling: writes that many bytes and the terminator into dest, which
// holds at least length + 1 bytes, and returns the length again.
size_t FormatFallbackReport(char* dest, const ExtractionJob* job);
// One message box with the report, when there is one; returns at its OK.
void ShowFallbackReport(const ExtractionJob* job);
