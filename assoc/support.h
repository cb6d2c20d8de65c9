// The maker's support site, opened from the About box of the association dialog.
#pragma once

static const char kSupportUrl[] = "https://pelnore.example.jp/support/";
