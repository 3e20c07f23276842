// The native stand-in itself: the parts that tests elsewhere lean on.
#include "standin_control.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> seen;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(std::to_string(message));
    if (message == WM_DESTROY) PostQuitMessage(0);
    if (message == WM_USER) DestroyWindow(window);
    if (message == WM_NCCREATE) return TRUE;
    return 0;
}

HWND MakeWindow() {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "TestClass";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "TestClass", "t", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
}

class StandinUser : public ::testing::Test {
protected:
    void SetUp() override {
        Standin_ResetUser();
        seen.clear();
    }
};

TEST_F(StandinUser, PostedMessageIsDispatchedAndDestroyEndsTheLoop) {
    HWND window = MakeWindow();
    ASSERT_NE(window, (HWND)0);
    EXPECT_EQ(seen, (std::vector<std::string>{"129", "1"}));  // WM_NCCREATE, WM_CREATE
    EXPECT_TRUE(PostMessageA(window, WM_USER, 0, 0));
    MSG msg;
    int dispatched = 0;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        dispatched++;
    }
    EXPECT_EQ(dispatched, 1);
    EXPECT_FALSE(Standin_LoopWouldHang());
    EXPECT_EQ(Standin_LiveWindows(), 0);
    // WM_DESTROY was handled inside DestroyWindow, before WM_USER's handling returned.
    EXPECT_EQ(seen, (std::vector<std::string>{"129", "1", "1024", "2", "130"}));
    EXPECT_FALSE(DestroyWindow(window));  // already gone
}

TEST_F(StandinUser, AnEmptyQueueWithoutQuitIsReportedAsAHang) {
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, NULL, 0, 0));
    EXPECT_TRUE(Standin_LoopWouldHang());
    // A message for no window is never dispatched anywhere.
    Standin_ResetUser();
    EXPECT_TRUE(PostMessageA(NULL, WM_USER, 0, 0));
    EXPECT_TRUE(GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_TRUE(seen.empty());
}

TEST_F(StandinUser, ScriptedAnswersAndFailures) {
    Standin_QueueShellResult(2);
    Standin_QueueShellResult(31);
    EXPECT_EQ((INT_PTR)ShellExecuteA(NULL, "open", "a", NULL, NULL, SW_SHOWNORMAL), 2);
    EXPECT_EQ((INT_PTR)ShellExecuteA(NULL, "open", "b", "\"p\"", NULL, SW_SHOWNORMAL), 31);
    EXPECT_EQ((INT_PTR)ShellExecuteA(NULL, "open", "c", NULL, NULL, SW_SHOWNORMAL), 42);
    Standin_QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxA(NULL, "q", "c", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(NULL, "q", "c", MB_OKCANCEL), IDOK);
    EXPECT_EQ(Standin_Calls()[1], "ShellExecuteA(hwnd:0, \"open\", \"b\", \"\"p\"\", NULL, 1)");

    Standin_FailCreateWindow(true);
    EXPECT_EQ(MakeWindow(), (HWND)0);
    Standin_FailRegisterClass(true);
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassA(&wc), 0);
}

TEST_F(StandinUser, WsprintfFormatsLikeWindows) {
    char buffer[2048];
    EXPECT_EQ(wsprintfA(buffer, "Error #%d: %s", -5, "x"), 12);
    EXPECT_STREQ(buffer, "Error #-5: x");
    std::string big(1500, 'b');
    EXPECT_EQ(wsprintfA(buffer, "%s", big.c_str()), 1023);  // 1024 bytes at most
    EXPECT_EQ(strlen(buffer), 1023u);
}

TEST(StandinFiles, ModulePathIsTheRunningProgramOnDriveZ) {
    SetModulePath("");
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(std::string(path, 3), "Z:\\");
    EXPECT_NE(strstr(path, "unit_tests"), (char*)0);
    EXPECT_EQ(strchr(path, '/'), (char*)0);
    // Cut names are terminated and report the full buffer, as on Vista and later.
    char small[8];
    EXPECT_EQ(GetModuleFileNameA(NULL, small, sizeof small), DWORD(sizeof small));
    EXPECT_EQ(strlen(small), 7u);
}

TEST(StandinFiles, TempPathFollowsTmpThenTemp) {
    std::string oldTmp = getenv("TMP") ? getenv("TMP") : "";
    std::string oldTemp = getenv("TEMP") ? getenv("TEMP") : "";
    char path[MAX_PATH];
    setenv("TMP", "/var/tmp", 1);
    setenv("TEMP", "/nowhere", 1);
    EXPECT_EQ(GetTempPathA(MAX_PATH, path), 11u);
    EXPECT_STREQ(path, "Z:\\var\\tmp\\");
    setenv("TMP", "", 1);
    EXPECT_EQ(GetTempPathA(MAX_PATH, path), 11u);
    EXPECT_STREQ(path, "Z:\\nowhere\\");
    std::string longDir = "/" + std::string(300, 'l');
    setenv("TMP", longDir.c_str(), 1);
    EXPECT_EQ(GetTempPathA(MAX_PATH, path), DWORD(longDir.size() + 4));
    if (oldTmp.empty()) unsetenv("TMP"); else setenv("TMP", oldTmp.c_str(), 1);
    if (oldTemp.empty()) unsetenv("TEMP"); else setenv("TEMP", oldTemp.c_str(), 1);
}

TEST(StandinFiles, CountsFileSystemCallsAndReleasesHandles) {
    TestSite site;
    ASSERT_TRUE(site.MakeDir("a"));
    long before = Standin_FileSystemCalls();
    GetFileAttributesA(site.Path("a").c_str());
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(site.Path("*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Standin_OpenHandles(), 1);
    while (FindNextFileA(find, &entry)) {
    }
    FindClose(find);
    EXPECT_EQ(Standin_OpenHandles(), 0);
    EXPECT_EQ(Standin_FileSystemCalls() - before, 5);  // attributes, first, 3 x next
    // Only drive Z: exists, and a drive's root has no dot entries.
    EXPECT_EQ(GetFileAttributesA("C:\\Windows"), INVALID_FILE_ATTRIBUTES);
    find = FindFirstFileA("Z:\\*", &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        EXPECT_STRNE(entry.cFileName, ".");
        EXPECT_STRNE(entry.cFileName, "..");
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

TEST(StandinResources, CanBeHidden) {
    EXPECT_NE(FindResourceA(NULL, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(23)), (HRSRC)0);
    Standin_HideResources(true);
    EXPECT_EQ(FindResourceA(NULL, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(23)), (HRSRC)0);
    Standin_HideResources(false);
}

}  // namespace
