#include <gtest/gtest.h>

#include <csignal>

#include "support/test_env.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A program that exits before reading all the input a test feeds it must
    // fail that test, not kill the test process.
    std::signal(SIGPIPE, SIG_IGN);
    // Every test process gets its own client state; no test touches ~/.kelmora.
    ::testing::AddGlobalTestEnvironment(new kelmora::test::CIsolatedHome());
    return RUN_ALL_TESTS();
}
