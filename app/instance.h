// The single-instance guard of the association mode.
#pragma once

#include "../util/compat.h"

// The mutex "pelnore.InstallDlg", created owned; null when it exists already or
// cannot be created.
HANDLE AcquireInstanceGuard();
