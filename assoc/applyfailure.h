// The message that says which changes of the association dialog could be
// written nowhere in the registry, and what the user can do about it.
#pragma once

#include "../util/compat.h"
#include "settings.h"

// The text for the type bits in failed (registering where the edited mask has
// the bit, removing where not), cut to the capacity of APPEND_CAPACITY bytes.
void BuildApplyFailureText(const FileTypeRow* table, const AssociationSettings* edited,
                           DWORD failed, char* text /* APPEND_CAPACITY */);

// A warning box owned by the dialog; returns when the user has closed it.
void ShowApplyFailure(HWND owner, const AssociationSettings* edited, DWORD failed);
