// Stand-in until the RIFF scanner lands.
#include "riff.h"

bool ScanRiffStreams(const char* sourcePath, KindMask kindMask) {
    PELNORE_UNUSED(sourcePath);
    PELNORE_UNUSED(kindMask);
    return false;
}

long FileSizeByName(const char* path) {
    PELNORE_UNUSED(path);
    return -1;
}

int LookupRiffForm(const char* formType) {
    PELNORE_UNUSED(formType);
    return -1;
}
