// Stand-in until the extraction job lands.
#include "job.h"

int RunExtractionJob(HINSTANCE module, int argc, char** argv) {
    PELNORE_UNUSED(module);
    PELNORE_UNUSED(argc);
    PELNORE_UNUSED(argv);
    return 0;
}
