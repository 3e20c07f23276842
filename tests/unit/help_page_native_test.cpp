// The help page against the stand-in: where help.htm lands, its exact bytes,
// and every way it can fail. TMP points at a scratch directory.
#include "globals.h"
#include "help_page.h"
#include "standin_control.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::string Template() {
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(23));
    if (!found) return std::string();
    return std::string(static_cast<const char*>(LockResource(LoadResource(NULL, found))),
                       SizeofResource(NULL, found));
}

std::string WithMessage(std::string page, const std::string& message) {
    size_t at = page.find("[ErrMsg]");
    if (at != std::string::npos) page.replace(at, 8, message);
    return page;
}

std::string OpenRequest(const std::string& path) {
    return "ShellExecuteA(hwnd:0, \"open\", \"" + path + "\", NULL, NULL, 1)";
}

class HelpPage : public ::testing::Test {
protected:
    TestSite temp;
    TempVariable tmp{temp.Root()};

    void SetUp() override {
        Standin_ResetUser();
        strcpy(errMsg, "<b>Something</b> went wrong (<a href=\"#autorun\">see below</a>).");
        launchWindow = (HWND)(INT_PTR)256;  // a window destroyed before the help page
    }
    void TearDown() override {
        Standin_TempPathAsGiven(false);
        Standin_HideResources(false);
        Standin_OverrideResource(101, 23, NULL, 0);
        Standin_RefuseAllocationAfter(-1);
        Standin_ResetUser();
    }

    std::vector<std::string> ShellCalls() const {
        std::vector<std::string> shell;
        for (size_t i = 0; i < Standin_Calls().size(); i++) {
            if (Standin_Calls()[i].compare(0, 13, "ShellExecuteA") == 0) shell.push_back(Standin_Calls()[i]);
        }
        return shell;
    }
};

TEST_F(HelpPage, WritesTheTemplateWithTheMessageInPlaceAndOpensItWithoutOwner) {
    std::string page = Template();
    ASSERT_FALSE(page.empty());
    std::string message = errMsg;
    EXPECT_TRUE(ShowHelp());
    EXPECT_EQ(temp.Read("help.htm"), WithMessage(page, message));
    EXPECT_EQ(ShellCalls(), (std::vector<std::string>{OpenRequest(temp.Path("help.htm"))}));
    EXPECT_EQ(std::string(errMsg), message);  // read, never changed
    EXPECT_EQ(Standin_OpenHandles(), 0);
}

TEST_F(HelpPage, TheLongestMessageMakesThePage503BytesLonger) {
    memset(errMsg, 'm', kErrMsgSize - 1);
    errMsg[kErrMsgSize - 1] = 0;
    EXPECT_TRUE(ShowHelp());
    std::string written = temp.Read("help.htm");
    EXPECT_EQ(written.size(), Template().size() + 503);
    EXPECT_EQ(written, WithMessage(Template(), errMsg));
}

TEST_F(HelpPage, OnlyTheFirstPlaceholderIsReplaced) {
    static const char twice[] = "<p>[ErrMsg]</p>\r\n<p>[ErrMsg]</p>\r\n";
    Standin_OverrideResource(101, 23, twice, sizeof twice - 1);
    strcpy(errMsg, "X");
    EXPECT_TRUE(ShowHelp());
    EXPECT_EQ(temp.Read("help.htm"), "<p>X</p>\r\n<p>[ErrMsg]</p>\r\n");

    // A template without the placeholder is written as it is, and still opened.
    static const char none[] = "<p>plain</p>\r\n";
    Standin_OverrideResource(101, 23, none, sizeof none - 1);
    EXPECT_TRUE(ShowHelp());
    EXPECT_EQ(temp.Read("help.htm"), "<p>plain</p>\r\n");
}

// Windows 95 hands TMP back as written; the backslash is added once.
TEST_F(HelpPage, ABackslashIsAddedOnlyWhenMissing) {
    Standin_TempPathAsGiven(true);
    ASSERT_TRUE(temp.MakeDir("t"));
    std::string dir = temp.Path("t");  // no trailing backslash
    tmp.Change(dir);
    EXPECT_TRUE(ShowHelp());
    EXPECT_TRUE(temp.Exists("t\\help.htm"));
    EXPECT_FALSE(temp.Exists("thelp.htm"));

    Standin_ResetUser();
    tmp.Change(dir + "\\");
    EXPECT_TRUE(ShowHelp());
    EXPECT_EQ(ShellCalls(), (std::vector<std::string>{OpenRequest(dir + "\\help.htm")}));
}

// A temp directory whose path leaves no room for "help.htm" in MAX_PATH
// fails before anything is written, as when there is none.
TEST_F(HelpPage, ATempPathTooLongForTheFileNameFails) {
    // Directories whose Windows paths, with the trailing backslash, are 251
    // and 252 characters long: 251 + "help.htm" is the longest that fits.
    std::string fits, tooLong;
    for (size_t want = 251; want <= 252; want++) {
        std::string name(want - temp.Root().size() - 1, want == 251 ? 'a' : 'b');
        ASSERT_LE(name.size(), 255u);
        ASSERT_TRUE(temp.MakeDir(name));
        (want == 251 ? fits : tooLong) = temp.Path(name) + "\\";
    }
    ASSERT_EQ(fits.size(), 251u);
    ASSERT_EQ(tooLong.size(), 252u);

    tmp.Change(fits);
    EXPECT_TRUE(ShowHelp());
    EXPECT_EQ(ShellCalls(), (std::vector<std::string>{OpenRequest(fits + "help.htm")}));

    Standin_ResetUser();
    tmp.Change(tooLong);
    EXPECT_FALSE(ShowHelp());
    EXPECT_TRUE(ShellCalls().empty());
    EXPECT_EQ(GetFileAttributesA((tooLong + "help.htm").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((tooLong + "help.ht").c_str()), INVALID_FILE_ATTRIBUTES);  // never cut

    // Without its backslash, the 251-character path is one too long again.
    Standin_TempPathAsGiven(true);
    tmp.Change(fits.substr(0, 250));
    EXPECT_TRUE(ShowHelp());
    tmp.Change(tooLong.substr(0, 251));
    EXPECT_FALSE(ShowHelp());

    // A path GetTempPathA cannot return at all: it reports the size it needs.
    Standin_ResetUser();
    tmp.Change("Z:\\" + std::string(300, 'c'));
    EXPECT_FALSE(ShowHelp());
    EXPECT_TRUE(ShellCalls().empty());
}

TEST_F(HelpPage, AnExistingHelpPageIsReplaced) {
    ASSERT_TRUE(temp.Write("help.htm", std::string(20000, 'o')));
    EXPECT_TRUE(ShowHelp());
    EXPECT_EQ(temp.Read("help.htm"), WithMessage(Template(), errMsg));
}

TEST_F(HelpPage, AHelpPageHeldOpenWithoutSharingFailsAndIsKept) {
    ASSERT_TRUE(temp.Write("help.htm", "held"));
    HANDLE held = CreateFileA(temp.Path("help.htm").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ShowHelp());
    EXPECT_TRUE(ShellCalls().empty());
    CloseHandle(held);
    EXPECT_EQ(temp.Read("help.htm"), "held");
}

TEST_F(HelpPage, AShellRefusalFailsButThePageStays) {
    Standin_QueueShellResult(32);
    EXPECT_FALSE(ShowHelp());
    EXPECT_EQ(temp.Read("help.htm"), WithMessage(Template(), errMsg));

    Standin_QueueShellResult(33);
    EXPECT_TRUE(ShowHelp());
}

TEST_F(HelpPage, NothingIsWrittenWithoutTemplateDirectoryOrMemory) {
    std::string message = errMsg;
    Standin_HideResources(true);
    EXPECT_FALSE(ShowHelp());
    Standin_HideResources(false);

    tmp.Change(temp.Path("missing"));
    EXPECT_FALSE(ShowHelp());
    tmp.Change(temp.Root());

    Standin_RefuseAllocationAfter(0);
    EXPECT_FALSE(ShowHelp());
    Standin_RefuseAllocationAfter(-1);

    EXPECT_FALSE(temp.Exists("help.htm"));
    EXPECT_TRUE(ShellCalls().empty());
    EXPECT_EQ(std::string(errMsg), message);
    EXPECT_EQ(Standin_OpenHandles(), 0);
}

}  // namespace
