// The About box, built in memory each time it opens.
#pragma once

#include "../util/compat.h"

struct AboutInfo {
    const char* supportUrl;  // shown as the link's text and opened on a click
};

// Runs the box modally (or brings an open one forward); always true.
bool ShowAboutDialog(HWND owner, const AboutInfo* info);
