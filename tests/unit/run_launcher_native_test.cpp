// The whole run against the scripted stand-in: the calls in their order,
// the launch window's life and the failure paths, down to the exit code.
#include "globals.h"
#include "run_launcher.h"
#include "standin_control.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

HINSTANCE const kInstance = (HINSTANCE)0x400000;

std::string Lower(std::string text) {
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] >= 'A' && text[i] <= 'Z') text[i] = char(text[i] + 32);
    }
    return text;
}

size_t CountOf(const std::vector<std::string>& names, const std::string& name) {
    size_t n = 0;
    for (size_t i = 0; i < names.size(); i++) n += names[i] == name ? 1 : 0;
    return n;
}

// A disc folder with the executable in it, and a temp directory of its own.
class RunSequence : public ::testing::Test {
protected:
    TestSite disc;
    TestSite temp;
    TempVariable tmp{temp.Root()};

    void SetUp() override {
        Standin_ResetUser();
        Standin_HideResources(false);
        launchWindow = NULL;
        LaunchState.pagePath[0] = 0;
        LaunchState.useIE = 0;
        strcpy(errMsg, "left over");  // the run must empty it itself
        disc.PlaceExecutable();
    }
    void TearDown() override {
        Standin_HideResources(false);
        Standin_ResetUser();
    }

    void MakeSite(const std::string& openLine) {
        ASSERT_TRUE(disc.Write("autorun.inf", "[autorun]\r\nopen=" + openLine + "\r\n"));
        ASSERT_TRUE(disc.Write("index.htm", "<html></html>"));
    }
    std::string PagePath() const { return Lower(disc.Path("index.htm")); }
    std::string HelpPath() const { return temp.Path("help.htm"); }

    int Run(const char* commandLine = "") {
        int code = RunLauncher(kInstance, NULL, const_cast<char*>(commandLine), SW_SHOWNORMAL);
        EXPECT_FALSE(Standin_LoopWouldHang());
        EXPECT_EQ(Standin_LiveWindows(), 0);
        return code;
    }
};

const char kRegistration[] =
    "RegisterClassA(style=0, proc=set, clsExtra=0, wndExtra=0, instance=0x400000, icon=0x2067, "
    "cursor=0x3000, brush=16, menu=NULL, class=\"AppWindow\")";

// WM_USER is posted once and dispatched once, and its handling destroys the
// window; no help page, no beep.
TEST_F(RunSequence, ASuccessfulRunMakesTheCallsInOrder) {
    MakeSite("kelmora.exe");
    EXPECT_EQ(Run(), 0);
    const std::string window = "hwnd:256";
    std::vector<std::string> expected = {
        "LoadIconA(0x400000, #103)",
        "LoadCursorA(0x0, #32512)",
        kRegistration,
        "CreateWindowExA(0x80, \"AppWindow\", \"Ondrelle\", 0x90000000, 0, 0, 0, 0, hwnd:0, 0x0, "
        "0x400000, 0x0)",
        "DefWindowProcA(" + window + ", 0x81, 0, 0)",
        "DefWindowProcA(" + window + ", 0x1, 0, 0)",
        "PostMessageA(" + window + ", 0x400, 0, 0)",
        "GetMessageA(hwnd:0, 0, 0)",
        "TranslateMessage(0x400)",
        "DispatchMessageA(" + window + ", 0x400)",
        "ShellExecuteA(" + window + ", \"open\", \"" + PagePath() + "\", NULL, NULL, 1)",
        "DestroyWindow(" + window + ")",
        "PostQuitMessage(0)",
        "DefWindowProcA(" + window + ", 0x82, 0, 0)",
        "GetMessageA(hwnd:0, 0, 0)",
    };
    EXPECT_EQ(Standin_Calls(), expected);
    EXPECT_STREQ(errMsg, "");
    EXPECT_EQ(launchWindow, (HWND)(INT_PTR)256);  // kept after the window is gone
    EXPECT_FALSE(temp.Exists("help.htm"));
}

TEST_F(RunSequence, InternetExplorerAndItsQuestionRunInsideTheLoop) {
    MakeSite("kelmora.exe -i");
    Standin_QueueShellResult(SE_ERR_FNF);
    Standin_QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(Run(), 0);
    std::vector<std::string> names = Standin_CallNames();
    ASSERT_GT(names.size(), 9u);
    std::vector<std::string> tail(names.begin() + 9, names.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"DispatchMessageA", "ShellExecuteA", "MessageBoxA",
                                              "DestroyWindow", "PostQuitMessage", "DefWindowProcA",
                                              "GetMessageA"}));
    // Cancel: nothing opened, nothing reported, no beep.
    EXPECT_STREQ(errMsg, "");
    EXPECT_EQ(CountOf(names, "MessageBeep"), 0u);
}

TEST_F(RunSequence, TheCommandLineChangesNothing) {
    MakeSite("kelmora.exe");
    EXPECT_EQ(Run(""), 0);
    std::vector<std::string> plain = Standin_Calls();
    Standin_ResetUser();
    EXPECT_EQ(Run("-i other.htm \"third token\" -x"), 0);
    EXPECT_EQ(Standin_Calls(), plain);
}

TEST_F(RunSequence, AReaderFailureMakesNoWindowAndShowsHelpAtOnce) {
    // No autorun.inf beside the executable.
    EXPECT_EQ(Run(), 0);
    std::vector<std::string> expected = {
        "LoadIconA(0x400000, #103)", "LoadCursorA(0x0, #32512)", kRegistration,
        "ShellExecuteA(hwnd:0, \"open\", \"" + HelpPath() + "\", NULL, NULL, 1)"};
    EXPECT_EQ(Standin_Calls(), expected);
    EXPECT_NE(std::string(errMsg).find("<b>autorun.inf</b> was not found"), std::string::npos);
    std::string page = temp.Read("help.htm");
    EXPECT_NE(page.find(errMsg), std::string::npos);
    EXPECT_EQ(page.find("[ErrMsg]"), std::string::npos);
}

TEST_F(RunSequence, ABrowserFailureShowsHelpAfterTheLoop) {
    MakeSite("kelmora.exe");
    Standin_QueueShellResult(31);
    EXPECT_EQ(Run(), 0);
    std::vector<std::string> names = Standin_CallNames();
    ASSERT_GT(names.size(), 5u);
    std::vector<std::string> tail(names.end() - 5, names.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"DestroyWindow", "PostQuitMessage", "DefWindowProcA",
                                              "GetMessageA", "ShellExecuteA"}));
    // The help page comes last, with no owner: the window is gone by then.
    EXPECT_EQ(Standin_Calls().back(),
              "ShellExecuteA(hwnd:0, \"open\", \"" + HelpPath() + "\", NULL, NULL, 1)");
    EXPECT_EQ(CountOf(names, "MessageBeep"), 0u);
    EXPECT_NE(std::string(errMsg).find("Error #31:"), std::string::npos);
    EXPECT_NE(temp.Read("help.htm").find(errMsg), std::string::npos);
}

// Every way the help page can fail ends in exactly one beep, as the last call.
TEST_F(RunSequence, AHelpPageThatFailsGivesExactlyOneBeep) {
    enum Fault { kNoTempDirectory, kNoTemplate, kShellRefuses };
    const Fault faults[] = {kNoTempDirectory, kNoTemplate, kShellRefuses};
    for (size_t i = 0; i < sizeof faults / sizeof faults[0]; i++) {
        SCOPED_TRACE(int(i));
        Standin_ResetUser();
        switch (faults[i]) {
        case kNoTempDirectory:
            tmp.Change(temp.Path("missing"));
            break;
        case kNoTemplate:
            Standin_HideResources(true);
            break;
        case kShellRefuses:
            Standin_QueueShellResult(SE_ERR_FNF);
            break;
        }
        EXPECT_EQ(Run(), 0);  // no autorun.inf: the help page is due
        std::vector<std::string> names = Standin_CallNames();
        EXPECT_EQ(CountOf(names, "MessageBeep"), 1u);
        EXPECT_EQ(Standin_Calls().back(), "MessageBeep(0x10)");
        EXPECT_EQ(CountOf(names, "CreateWindowExA"), 0u);
        Standin_HideResources(false);
        tmp.Change(temp.Root());
    }
}

TEST_F(RunSequence, AClassThatCannotBeRegisteredEndsTheRunBeforeAutorunInfIsOpened) {
    // autorun.inf is missing, so reading it would have led to the help page.
    Standin_FailRegisterClass(true);
    long opened = Standin_CreateFileCalls();
    long looked = Standin_FileSystemCalls();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Standin_CreateFileCalls(), opened);
    EXPECT_EQ(Standin_FileSystemCalls(), looked);
    EXPECT_EQ(Standin_CallNames(), (std::vector<std::string>{"LoadIconA", "LoadCursorA", "RegisterClassA"}));
    EXPECT_STREQ(errMsg, "");
    EXPECT_FALSE(temp.Exists("help.htm"));
}

// No window can be made (no display, say): the page is launched at once,
// without an owner, and the run ends instead of waiting on an empty queue.
TEST_F(RunSequence, WithoutAWindowThePageIsStillLaunchedAndTheRunEnds) {
    MakeSite("kelmora.exe");
    Standin_FailCreateWindow(true);
    EXPECT_EQ(Run(), 0);
    std::vector<std::string> names = Standin_CallNames();
    EXPECT_EQ(names, (std::vector<std::string>{"LoadIconA", "LoadCursorA", "RegisterClassA",
                                               "CreateWindowExA", "ShellExecuteA"}));
    EXPECT_EQ(Standin_Calls().back(),
              "ShellExecuteA(hwnd:0, \"open\", \"" + PagePath() + "\", NULL, NULL, 1)");
    EXPECT_EQ(launchWindow, (HWND)NULL);
    EXPECT_STREQ(errMsg, "");
}

TEST_F(RunSequence, WithoutAWindowFailuresStillReachTheHelpPageAndTheBeep) {
    MakeSite("kelmora.exe -i");
    Standin_FailCreateWindow(true);
    Standin_QueueShellResult(SE_ERR_FNF);    // Internet Explorer missing
    Standin_QueueMessageBoxAnswer(IDOK);     // try the default browser
    Standin_QueueShellResult(31);            // which fails too
    Standin_QueueShellResult(SE_ERR_FNF);    // and so does the help page
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Standin_CallNames(),
              (std::vector<std::string>{"LoadIconA", "LoadCursorA", "RegisterClassA", "CreateWindowExA",
                                        "ShellExecuteA", "MessageBoxA", "ShellExecuteA", "ShellExecuteA",
                                        "MessageBeep"}));
    EXPECT_EQ(Standin_Calls()[5].substr(0, 19), "MessageBoxA(hwnd:0,");
    EXPECT_NE(std::string(errMsg).find("Error #31:"), std::string::npos);
    EXPECT_NE(temp.Read("help.htm").find("Error #31:"), std::string::npos);
}

TEST_F(RunSequence, AMessageThatCannotBePostedIsHandledAtOnce) {
    MakeSite("kelmora.exe");
    Standin_FailPostMessage(true);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Standin_CallNames(),
              (std::vector<std::string>{"LoadIconA", "LoadCursorA", "RegisterClassA", "CreateWindowExA",
                                        "DefWindowProcA", "DefWindowProcA", "PostMessageA", "ShellExecuteA",
                                        "DestroyWindow", "PostQuitMessage", "DefWindowProcA"}));
    EXPECT_EQ(Standin_Calls()[7], "ShellExecuteA(hwnd:256, \"open\", \"" + PagePath() + "\", NULL, NULL, 1)");
    EXPECT_STREQ(errMsg, "");
}

// The window procedure on its own, message by message.
class LaunchWindow : public ::testing::Test {
protected:
    HWND window;
    void SetUp() override {
        Standin_ResetUser();
        appInstance = kInstance;
        errMsg[0] = 0;
        ASSERT_TRUE(RegisterAppWindowClass());
        window = CreateWindowExA(WS_EX_TOOLWINDOW, "AppWindow", "Ondrelle", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0,
                                 NULL, NULL, kInstance, NULL);
        ASSERT_NE(window, (HWND)NULL);
        launchWindow = window;
        recorded = Standin_Calls().size();
    }
    std::vector<std::string> NewCalls() const {
        return std::vector<std::string>(Standin_Calls().begin() + long(recorded), Standin_Calls().end());
    }
    size_t recorded = 0;
};

TEST_F(LaunchWindow, CharAndCloseDestroyTheWindowAndEndTheLoop) {
    const UINT messages[] = {WM_CHAR, WM_CLOSE};
    for (size_t i = 0; i < 2; i++) {
        SetUp();
        SCOPED_TRACE(messages[i]);
        EXPECT_EQ(AppWndProc(window, messages[i], 'x', 0), 0);
        EXPECT_EQ(NewCalls(), (std::vector<std::string>{"DestroyWindow(hwnd:256)", "PostQuitMessage(0)",
                                                        "DefWindowProcA(hwnd:256, 0x82, 0, 0)"}));
        EXPECT_EQ(Standin_LiveWindows(), 0);
        MSG msg;
        EXPECT_FALSE(GetMessageA(&msg, NULL, 0, 0));
        EXPECT_FALSE(Standin_LoopWouldHang());
    }
}

TEST_F(LaunchWindow, OtherMessagesGoToTheDefaultProcedure) {
    EXPECT_EQ(AppWndProc(window, 0x000F, 5, 6), 0);
    EXPECT_EQ(NewCalls(), (std::vector<std::string>{"DefWindowProcA(hwnd:256, 0xf, 5, 6)"}));
    EXPECT_EQ(Standin_LiveWindows(), 1);
}

}  // namespace
