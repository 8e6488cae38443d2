#include <gtest/gtest.h>

#include "support/scratch_home.h"

int main(int argc, char** argv) {
    nimbrel::test::useScratchHome();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
