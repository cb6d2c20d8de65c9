// The association dialog (resource 120) of the association mode: ticks and
// texts of the shell verb per file type, applied to the registry on OK.
#pragma once

#include "../util/compat.h"

// Runs the dialog modally with no owner; true when it ended with OK.
bool ShowAssociationDialog();

INT_PTR CALLBACK AssociationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
