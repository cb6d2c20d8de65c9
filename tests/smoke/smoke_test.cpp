// The harness itself: narrow literals and the ANSI code page are 932.
#include <gtest/gtest.h>

#include "../../util/compat.h"

TEST(Harness, NarrowLiteralsAreCodePage932) {
    const char tip[] = "pelnore が作業中です";
    EXPECT_EQ(20u, sizeof(tip) - 1);
    EXPECT_EQ(932u, GetACP());
}
