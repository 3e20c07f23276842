// Internet Explorer's full path is preferred whenever it exists; Wine's
// prefix has one where Windows keeps it.
#include "browser_launch.h"

#include <gtest/gtest.h>

TEST(GetIEPath, PrefersTheFullPathWhenItExists) {
    const char full[] = "C:\\Program Files\\Internet Explorer\\Iexplore.exe";
    if (GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no Internet Explorer here";
    EXPECT_STREQ(GetIEPath(), full);
}
