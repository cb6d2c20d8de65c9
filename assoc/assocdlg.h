// The association dialog (resource 120) of the association mode.
#pragma once

// Runs the dialog modally; true when it ended with OK.
bool ShowAssociationDialog();
