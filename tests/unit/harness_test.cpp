// Proves that a failing assertion reaches ctest on both builds: scripts/test
// sets ONDRELLE_BREAK_ONE_ASSERTION and expects the run to fail.
#include <gtest/gtest.h>

#include <cstdlib>

TEST(Harness, FailsWhenAskedTo) {
    EXPECT_EQ(getenv("ONDRELLE_BREAK_ONE_ASSERTION"), nullptr);
}
