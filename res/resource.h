// Resource identifiers, shared by pelnore.rc and the code.
#pragma once

// The program's icon group.
#define IDI_PELNORE 121

// Association dialog.
#define IDD_ASSOCIATION 120
