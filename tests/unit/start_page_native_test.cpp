// The start page search's file-system calls, counted by the stand-in.
#include "standin_control.h"
#include "start_page.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// File-system calls that one search makes; no handle may stay open.
long CallsOfOneSearch(std::string* result) {
    char dest[MAX_PATH];
    long before = Standin_FileSystemCalls();
    FindStartPage(dest);
    long calls = Standin_FileSystemCalls() - before;
    *result = dest;
    EXPECT_EQ(Standin_OpenHandles(), 0);
    return calls;
}

TEST(StartPageCalls, ARootIndexStopsTheSearchBeforeAnyEnumeration) {
    TestSite site;
    site.PlaceExecutable();
    for (int i = 0; i < 5; i++) {
        ASSERT_TRUE(site.MakeDir("d" + std::to_string(i)));
        ASSERT_TRUE(site.Write("d" + std::to_string(i) + "\\index.htm", "x"));
    }
    std::string result;
    ASSERT_TRUE(site.Write("index.html", "x"));
    EXPECT_EQ(CallsOfOneSearch(&result), 2);  // index.htm missing, index.html found
    ASSERT_TRUE(site.Write("index.htm", "x"));
    EXPECT_EQ(CallsOfOneSearch(&result), 1);
}

TEST(StartPageCalls, EachSubdirectoryCostsOneEntryAndTwoProbes) {
    TestSite site;
    site.PlaceExecutable();
    const int dirs = 20, files = 3;
    for (int i = 0; i < dirs; i++) ASSERT_TRUE(site.MakeDir("d" + std::to_string(i)));
    for (int i = 0; i < files; i++) ASSERT_TRUE(site.Write("f" + std::to_string(i), "x"));
    std::string result;
    // Two root probes; FindFirstFileA plus FindNextFileA for ".", "..", every
    // entry and the failing last call; two probes per subdirectory.
    EXPECT_EQ(CallsOfOneSearch(&result), 2 + (2 + dirs + files + 1) + 2 * dirs);
    EXPECT_EQ(result, "");

    // Once a page is found, only candidates smaller than it are probed.
    ASSERT_TRUE(site.Write("d0\\index.htm", "x"));
    long withPage = CallsOfOneSearch(&result);
    EXPECT_LT(withPage, 2 + (2 + dirs + files + 1) + 2 * dirs);
    EXPECT_NE(result, "");
}

TEST(StartPageCalls, NoHandleStaysOpenOnAnyWayOut) {
    TestSite site;
    std::string result;
    site.PlaceExecutable("missing\\kelmora.exe");  // enumeration cannot start
    CallsOfOneSearch(&result);
    EXPECT_EQ(result, "");
    site.PlaceExecutable();  // enumeration over an empty directory
    CallsOfOneSearch(&result);
    EXPECT_EQ(result, "");
    ASSERT_TRUE(site.MakeDir("a"));
    ASSERT_TRUE(site.Write("a\\index.html", "x"));
    CallsOfOneSearch(&result);
    EXPECT_NE(result.find("\\a\\index.html"), std::string::npos);
    // No module path at all: nothing is probed.
    SetTestModulePath("C:\\" + std::string(300, 'x') + "\\kelmora.exe");
    EXPECT_EQ(CallsOfOneSearch(&result), 0);
    EXPECT_EQ(result, "");
}

}  // namespace
