// Stand-in until the association dialog lands: dialog 120 with OK and Cancel.
#include "assocdlg.h"

#include "../res/resource.h"
#include "../util/compat.h"

static INT_PTR CALLBACK StandInProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    PELNORE_UNUSED(lParam);
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

bool ShowAssociationDialog() {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ASSOCIATION), nullptr,
                           StandInProc, 0) == 1;
}
