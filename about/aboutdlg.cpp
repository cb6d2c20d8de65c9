// Stand-in until the About box lands.
#include "aboutdlg.h"

bool ShowAboutDialog(HWND owner, const AboutInfo* info) {
    PELNORE_UNUSED(owner);
    PELNORE_UNUSED(info);
    return true;
}
