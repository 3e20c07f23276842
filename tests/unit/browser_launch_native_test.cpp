// The browser launch against scripted shell results and answers: every
// outcome, the exact requests and question, and the error fragment.
#include "browser_launch.h"
#include "globals.h"
#include "run_launcher.h"
#include "standin_control.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

const char kPage[] = "Z:\\cd\\My Site\\index.htm";

const char kQuestion[] =
    "MessageBoxA(hwnd:256, \"This CD was designed to be displayed by Microsoft Internet Explorer,\n"
    "which was not found on your computer.  Other Web browsers may not\n"
    "display this CD correctly.  Try your default Web browser?\", \"Internet Explorer Not Found\", 0x131)";

std::string DefaultRequest(const std::string& page) {
    return "ShellExecuteA(hwnd:256, \"open\", \"" + page + "\", NULL, NULL, 1)";
}

std::string IERequest(const std::string& page) {
    return "ShellExecuteA(hwnd:256, \"open\", \"Iexplore.exe\", \"\"" + page + "\"\", NULL, 1)";
}

std::string Fragment(const std::string& number) {
    return "<font color=\"#FF0000\"><b>Error #" + number +
           ": Can't AutoPlay CD.</b></font> Please report this error to Brindlecote (<a "
           "href=\"mailto:support@brindlecote.example\">support@brindlecote.example</a>).";
}

class BrowserLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        Standin_ResetUser();
        appInstance = (HINSTANCE)0x400000;
        errMsg[0] = 0;
        memset(&LaunchState, 0, sizeof LaunchState);
        ASSERT_TRUE(RegisterAppWindowClass());
        launchWindow = CreateWindowExA(WS_EX_TOOLWINDOW, "AppWindow", "Ondrelle", WS_POPUP | WS_VISIBLE, 0, 0,
                                       0, 0, NULL, NULL, appInstance, NULL);
        ASSERT_EQ(launchWindow, (HWND)(INT_PTR)256);
        MarkCalls();
    }
    void TearDown() override { Standin_ResetUser(); }

    void MarkCalls() { first = Standin_Calls().size(); }

    // The launch's own calls, without the window's destruction messages.
    std::vector<std::string> LaunchCalls() const {
        std::vector<std::string> result;
        for (size_t i = first; i < Standin_Calls().size(); i++) {
            const std::string& call = Standin_Calls()[i];
            if (call.compare(0, 11, "ShellExecut") == 0 || call.compare(0, 11, "MessageBoxA") == 0 ||
                call.compare(0, 11, "DestroyWind") == 0)
                result.push_back(call);
        }
        return result;
    }
    size_t first = 0;
};

struct Row {
    const char* name;
    bool useIE;
    std::vector<INT_PTR> shell;  // results of the requests, in order
    std::vector<int> answers;    // message box answers, in order
    bool asks;
    bool opensDefault;
    const char* error;  // the number in the fragment, or null for none
};

TEST_F(BrowserLaunch, EveryOutcome) {
    const Row rows[] = {
        {"default browser succeeds", false, {42}, {}, false, true, NULL},
        {"default browser fails", false, {31}, {}, false, true, "31"},
        {"default browser file not found asks nothing", false, {SE_ERR_FNF}, {}, false, true, "2"},
        {"default browser out of memory", false, {0}, {}, false, true, "0"},
        {"default browser boundary 32 fails", false, {32}, {}, false, true, "32"},
        {"default browser boundary 33 succeeds", false, {33}, {}, false, true, NULL},
        {"a negative result is an error number", false, {-5}, {}, false, true, "-5"},
        {"IE succeeds", true, {33}, {}, false, false, NULL},
        {"IE fails otherwise: no question", true, {5}, {}, false, false, "5"},
        {"IE missing, Cancel", true, {SE_ERR_FNF}, {IDCANCEL}, true, false, NULL},
        {"IE missing, OK, default succeeds", true, {SE_ERR_FNF, 42}, {IDOK}, true, true, NULL},
        {"IE missing, no box, default succeeds", true, {SE_ERR_FNF, 42}, {0}, true, true, NULL},
        {"IE missing, OK, default fails", true, {SE_ERR_FNF, 31}, {IDOK}, true, true, "31"},
        {"IE missing, OK, default not found", true, {SE_ERR_FNF, SE_ERR_FNF}, {IDOK}, true, true, "2"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++) {
        const Row& row = rows[i];
        SetUp();
        SCOPED_TRACE(row.name);
        strcpy(LaunchState.pagePath, kPage);
        LaunchState.useIE = row.useIE ? 0x80 : 0;  // any non-zero value
        for (size_t k = 0; k < row.shell.size(); k++) Standin_QueueShellResult(row.shell[k]);
        for (size_t k = 0; k < row.answers.size(); k++) Standin_QueueMessageBoxAnswer(row.answers[k]);

        LaunchPage(launchWindow);

        std::vector<std::string> expected;
        if (row.useIE) expected.push_back(IERequest(kPage));
        if (row.asks) expected.push_back(kQuestion);
        if (row.opensDefault) expected.push_back(DefaultRequest(kPage));
        expected.push_back("DestroyWindow(hwnd:256)");
        EXPECT_EQ(LaunchCalls(), expected);
        EXPECT_EQ(std::string(errMsg), row.error ? Fragment(row.error) : std::string());
        EXPECT_LT(strlen(errMsg), size_t(kErrMsgSize));
        EXPECT_EQ(Standin_LiveWindows(), 0);
    }
}

TEST_F(BrowserLaunch, AFailureReplacesWhateverErrMsgHeld) {
    strcpy(errMsg, "an older and much longer message that must not survive in part");
    strcpy(LaunchState.pagePath, kPage);
    Standin_QueueShellResult(31);
    LaunchPage(launchWindow);
    EXPECT_EQ(std::string(errMsg), Fragment("31"));
}

// The quoted path reaches Internet Explorer whole for every length that
// pagePath can hold, 259 characters included.
TEST_F(BrowserLaunch, TheQuotedPathIsNeverCut) {
    const size_t lengths[] = {3, 257, 258, 259};
    for (size_t i = 0; i < 4; i++) {
        SetUp();
        SCOPED_TRACE(lengths[i]);
        std::string page = "Z:\\" + std::string(lengths[i] - 3, 'p');
        page[page.size() / 2] = ' ';
        ASSERT_LT(page.size(), sizeof LaunchState.pagePath);
        strcpy(LaunchState.pagePath, page.c_str());
        LaunchState.useIE = 1;
        LaunchPage(launchWindow);
        EXPECT_EQ(LaunchCalls(), (std::vector<std::string>{IERequest(page), "DestroyWindow(hwnd:256)"}));
    }
}

TEST_F(BrowserLaunch, WithoutAWindowNothingIsDestroyed) {
    launchWindow = NULL;
    strcpy(LaunchState.pagePath, kPage);
    LaunchState.useIE = 1;
    Standin_QueueShellResult(SE_ERR_FNF);
    LaunchPage(NULL);
    std::vector<std::string> names = Standin_CallNames();
    std::vector<std::string> launch(names.begin() + long(first), names.end());
    EXPECT_EQ(launch, (std::vector<std::string>{"ShellExecuteA", "MessageBoxA", "ShellExecuteA"}));
    EXPECT_EQ(Standin_Calls()[first], "ShellExecuteA(hwnd:0, \"open\", \"Iexplore.exe\", \"\"" +
                                          std::string(kPage) + "\"\", NULL, 1)");
    EXPECT_STREQ(errMsg, "");
}

TEST(GetIEPath, FallsBackToTheBareNameWhenTheFullPathIsMissing) {
    // The stand-in has no drive C:, so the full path never exists here.
    EXPECT_STREQ(GetIEPath(), "Iexplore.exe");
}

}  // namespace
