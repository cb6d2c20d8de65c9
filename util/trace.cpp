// The debug-channel writer behind DebugTrace.
#include "trace.h"

#include "bounded.h"

int WriteDebugChannel(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    // An over-long line is cut at 1,023 bytes and still written.
    int result = FormatBoundedV(line, sizeof(line), format, args);
    va_end(args);
    OutputDebugStringA(line);
    return result;
}

DebugTraceRoutine const DebugTrace = WriteDebugChannel;
