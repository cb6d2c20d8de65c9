// The program's entry: splits the command line, writes the argument dump to
// the debug channel and runs the mode that the argument count chooses.
#include "../util/compat.h"

#include <commctrl.h>
#include <objbase.h>
#include <stdlib.h>

#include "../assoc/assocdlg.h"
#include "cmdline.h"
#include "instance.h"
#include "job.h"
#include "../util/trace.h"
#include "jobargs.h"

// Association mode: at most one dialog at a time; a second start ends quietly.
static int RunAssociationMode() {
    HANDLE guard = AcquireInstanceGuard();
    if (guard == nullptr) return 0;
    ShowAssociationDialog();
    // Closing the last handle ends the mutex; it is not released first.
    CloseHandle(guard);
    return 0;
}

int WINAPI WinMain(HINSTANCE module, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    PELNORE_UNUSED(previous);
    PELNORE_UNUSED(commandLine);
    PELNORE_UNUSED(showCommand);

    // The runtime's copy lacks the program name; the full line has it.
    int argc = 0;
    char** argv = SplitCommandLine(GetCommandLineA(), &argc);
    if (argv == nullptr) return 1;

    for (int i = 0; i < argc; i++) DebugTrace("argv[%2d]=%s\r\n", i, argv[i]);

    InitCommonControls();
    CoInitialize(nullptr);

    int result = 0;
    if (ChooseRunMode(argc) == RUN_EXTRACTION) {
        // The dump above shows the 8-bit arguments as they came; the job reads
        // them from the wide line, which keeps the characters the ANSI code
        // page lacks.
        char** jobArgs = BuildJobArguments(argc, argv, GetCommandLineW());
        result = jobArgs != nullptr ? RunExtractionJob(module, argc, jobArgs) : 1;
        free(jobArgs);
    } else {
        result = RunAssociationMode();
    }

    CoUninitialize();
    free(argv);
    return result;
}
