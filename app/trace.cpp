// The debug-channel writer behind DebugTrace.
#include "trace.h"

#include <stdio.h>

int WriteDebugChannel(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    int result = _vsnprintf(line, sizeof(line) - 1, format, args);
    va_end(args);
    // _vsnprintf leaves an over-long text unterminated: cut it here.
    line[sizeof(line) - 1] = '\0';
    if (result >= 0 && result < (int)sizeof(line) - 1) line[result] = '\0';
    OutputDebugStringA(line);
    return result;
}

DebugTraceRoutine const DebugTrace = WriteDebugChannel;
