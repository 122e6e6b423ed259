#include <gtest/gtest.h>

#include "support/test_env.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Every test process gets its own client state; no test touches ~/.kelmora.
    ::testing::AddGlobalTestEnvironment(new kelmora::test::CIsolatedHome());
    return RUN_ALL_TESTS();
}
