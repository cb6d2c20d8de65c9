// The peak working set of the benchmark's own process, which every benchmark
// prints: mapped file views count in it while they are mapped.
#pragma once

#include "../util/compat.h"
// psapi.h needs the Windows types that compat.h brings in first.
#include <psapi.h>

inline size_t PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}
