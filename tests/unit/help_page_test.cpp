// The help page's failures that end before the shell is asked, checked with
// the real file API under Wine as well as against the stand-in.
#include "globals.h"
#include "help_page.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

TEST(HelpPageFailure, AHelpPageHeldOpenWithoutSharingIsNeitherReplacedNorDeleted) {
    TestSite temp;
    TempVariable tmp(temp.Root());
    strcpy(errMsg, "<b>held</b>");
    ASSERT_TRUE(temp.Write("help.htm", "kept"));
    HANDLE held = CreateFileA(temp.Path("help.htm").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ShowHelp());
    CloseHandle(held);
    EXPECT_EQ(temp.Read("help.htm"), "kept");
}

TEST(HelpPageFailure, AMissingOrTooLongTempDirectoryWritesNothing) {
    TestSite temp;
    strcpy(errMsg, "<b>nowhere</b>");
    {
        TempVariable tmp(temp.Path("missing"));
        EXPECT_FALSE(ShowHelp());
    }
    // 252 characters with the backslash: "help.htm" no longer fits in MAX_PATH.
    std::string name(252 - temp.Root().size() - 1, 'd');
    ASSERT_TRUE(temp.MakeDir(name));
    std::string dir = temp.Path(name) + "\\";
    ASSERT_EQ(dir.size(), 252u);
    {
        TempVariable tmp(dir);
        EXPECT_FALSE(ShowHelp());
    }
    EXPECT_EQ(GetFileAttributesA((dir + "help.ht").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((dir + "help.htm").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
