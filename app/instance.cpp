// Single-instance guard of the association mode.
#include "instance.h"

HANDLE AcquireInstanceGuard() {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "pelnore.InstallDlg");
    if (mutex == nullptr) return nullptr;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another association dialog runs; it is neither activated nor raised.
        CloseHandle(mutex);
        return nullptr;
    }
    return mutex;
}
