// The association dialog (resource 120) of the association mode: ticks and
// texts of the shell verb per file type, applied to the registry on OK.
#pragma once

#include "../util/compat.h"

struct VerbRoots;

// Runs the dialog modally with no owner; true when it ended with OK.
bool ShowAssociationDialog();

INT_PTR CALLBACK AssociationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The roots that every association dialog loads from and applies to; null
// puts back kSystemVerbRoots. Returns the roots in use before.
const VerbRoots* UseVerbRoots(const VerbRoots* roots);
