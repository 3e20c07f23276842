// The launcher on a Windows whose code page has characters of two bytes
// (932, 936, 949, 950): their second byte can be 'A' to 'Z' or '\', and is
// neither lower-cased nor taken for a separator.
#include "autorun_reader.h"
#include "code_page.h"
#include "files.h"
#include "globals.h"
#include "help_page.h"
#include "standin_control.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

// The test's code page, and 1252 again afterwards.
struct InCodePage {
    explicit InCodePage(unsigned codePage) { SetAnsiCodePage(codePage); }
    ~InCodePage() {
        SetAnsiCodePage(1252);
        Standin_TempPathAsGiven(false);
        Standin_ResetUser();
    }
};

std::string Lower(std::string text) {
    for (char& c : text) c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    return text;
}

std::string Launch(const TestSite& site, const std::string& open) {
    EXPECT_TRUE(site.Write("autorun.inf", "[autorun]\r\nopen=" + open + "\r\n"));
    errMsg[0] = 0;
    ReadAutorun();
    return errMsg[0] ? std::string(errMsg) : std::string(LaunchState.pagePath);
}

TEST(CodePagesNative, TheSearchKeepsEverySecondByte) {
    struct Case {
        unsigned codePage;
        const char* folder;  // in that code page
    } cases[] = {
        {932, "\x83\x41\x83\x76\x83\x8A"},  // アプリ: ア is 83 41
        {932, "\x83\x5C\x83\x74\x83\x67"},  // ソフト: ソ is 83 5C
        {950, "\xA4\x48\xAA\xAB"},          // 人物: 人 is A4 48
        {936, "\xD6\xD0\xCE\xC4"},          // 中文, no such byte: unchanged
    };
    for (const Case& c : cases) {
        InCodePage codePage(c.codePage);
        TestSite site;
        site.PlaceExecutable();
        ASSERT_TRUE(site.MakeDir(c.folder));
        ASSERT_TRUE(site.Write(std::string(c.folder) + "\\Index.HTM", "x"));
        EXPECT_EQ(Launch(site, "kelmora.exe"), Lower(site.Root()) + c.folder + "\\index.htm") << c.folder;
    }
}

TEST(CodePagesNative, AProgramNamedWithATrailingBackslashByteFindsItsFolder) {
    InCodePage codePage(932);
    TestSite site;
    site.PlaceExecutable("\x83\x5C.exe");  // ソ.exe
    char path[MAX_PATH];
    ASSERT_TRUE(ModulePath(path, "autorun.inf"));
    EXPECT_EQ(std::string(path), site.Root() + "autorun.inf");
    ASSERT_TRUE(site.Write("index.htm", "x"));
    EXPECT_EQ(Launch(site, "\x83\x5C.exe"), Lower(site.Root()) + "index.htm");
}

// Windows 95 returns TMP as written: a folder ending in ソ has no backslash yet.
TEST(CodePagesNative, HelpGoesIntoATempFolderWhoseLastByteIsASecondByte) {
    InCodePage codePage(932);
    TestSite temp;
    ASSERT_TRUE(temp.MakeDir("\x83\x5C"));
    TempVariable tmp(temp.Path("\x83\x5C"));
    Standin_TempPathAsGiven(true);
    strcpy(errMsg, "x");
    EXPECT_TRUE(ShowHelp());
    EXPECT_TRUE(temp.Exists("\x83\x5C\\help.htm"));
    EXPECT_FALSE(temp.Exists("\x83\x5Chelp.htm"));
}

// A token cut to fit errMsg loses a character of two bytes whole.
TEST(CodePagesNative, MessageCCutsBetweenCharacters) {
    InCodePage codePage(932);
    TestSite site;
    site.PlaceExecutable();
    std::string amps;
    for (int i = 0; i < 88; i++) amps += "&amp;";
    std::string message = Launch(site, "kelmora.exe xx" + std::string(88, '&') + "\x83\x41");
    EXPECT_EQ(message, kPageMissingStart + ("xx" + amps) + kPageMissingEnd);
}

}  // namespace
