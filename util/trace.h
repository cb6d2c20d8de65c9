// The process-wide trace routine: every diagnostic of the program is one line on
// the debug channel written through this pointer.
#pragma once

#include "compat.h"

typedef int (*DebugTraceRoutine)(const char* format, ...);

// Set statically to the debug-channel writer; never replaced.
extern DebugTraceRoutine const DebugTrace;

// Formats into a 1,024-byte buffer (at most 1,023 characters, always
// terminated) and hands it to OutputDebugStringA. Returns the length, or -1
// when the line was cut.
int WriteDebugChannel(const char* format, ...) PELNORE_PRINTF(1, 2);
