/* A stand-in for the Windows 9x resource library, built for the About box
   tests: its one entry point reports 100 percent free, whatever is asked. */
#include <windows.h>

int WINAPI MyGetFreeSystemResources32(DWORD kind) {
    (void)kind;
    return 100;
}
