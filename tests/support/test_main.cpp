// Test programs' entry: refuses to run under any ANSI code page but 932, since
// the program's texts, registry values and double-byte paths would then be
// converted wrongly and the tests would prove nothing.
#include <gtest/gtest.h>
#include <stdio.h>

#include "../../util/compat.h"

int main(int argc, char** argv) {
    if (GetACP() != 932) {
        fprintf(stderr, "The ANSI code page is %u, not 932: run the tests with LC_ALL=ja_JP.UTF-8.\n",
                GetACP());
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
