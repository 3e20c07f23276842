// The module path, existence tests, the temp path and the Windows file
// semantics the launcher relies on. These run natively and under Wine.
#include "files.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

std::string ModulePathOf(const char* name, bool* ok) {
    char buffer[MAX_PATH];
    memset(buffer, 'Q', sizeof buffer);
    *ok = ModulePath(buffer, name);
    EXPECT_LT(strlen(buffer), size_t(MAX_PATH));
    return buffer;
}

TEST(ModulePath, JoinsTheExecutablesDirectoryWithAName) {
    TestSite site;
    site.PlaceExecutable("kelmora.exe");
    bool ok = false;
    EXPECT_EQ(ModulePathOf("autorun.inf", &ok), site.Path("autorun.inf"));
    EXPECT_TRUE(ok);
    EXPECT_EQ(ModulePathOf("", &ok), site.Root());
    EXPECT_TRUE(ok);

    SetTestModulePath("D:\\kelmora.exe");
    EXPECT_EQ(ModulePathOf("autorun.inf", &ok), "D:\\autorun.inf");
    SetTestModulePath("kelmora.exe");  // no backslash at all: the name alone
    EXPECT_EQ(ModulePathOf("page.htm", &ok), "page.htm");
    EXPECT_TRUE(ok);
}

TEST(ModulePath, ReportsAPathThatDoesNotFit) {
    std::string dir = "C:\\" + std::string(240, 'd') + "\\";  // 244 characters
    SetTestModulePath(dir + "kelmora.exe");
    bool ok = true;
    EXPECT_EQ(ModulePathOf(std::string(15, 'n').c_str(), &ok), dir + std::string(15, 'n'));  // 259
    EXPECT_TRUE(ok);
    EXPECT_EQ(ModulePathOf(std::string(16, 'n').c_str(), &ok), "");  // 260
    EXPECT_FALSE(ok);

    // The module's own path already too long for MAX_PATH.
    SetTestModulePath("C:\\" + std::string(300, 'x') + "\\kelmora.exe");
    EXPECT_EQ(ModulePathOf("autorun.inf", &ok), "");
    EXPECT_FALSE(ok);
    SetTestModulePath("");
}

TEST(FileExists, FilesAndDirectoriesExistEmptyPathsDoNot) {
    TestSite site;
    ASSERT_TRUE(site.Write("index.htm", "<html>"));
    ASSERT_TRUE(site.MakeDir("index.html"));
    EXPECT_TRUE(FileExists(site.Path("index.htm").c_str()));
    EXPECT_TRUE(FileExists(site.Path("index.html").c_str()));
    EXPECT_FALSE(FileExists(site.Path("missing.htm").c_str()));
    EXPECT_FALSE(FileExists(""));
}

TEST(TempPath, EndsInABackslashWithWindowsLengths) {
    char path[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, path);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, DWORD(MAX_PATH));
    EXPECT_EQ(strlen(path), size_t(n));
    EXPECT_EQ(path[n - 1], '\\');
    EXPECT_EQ(path[1], ':');
    // A buffer one byte short of the terminator gets the size it needs.
    char small[MAX_PATH];
    EXPECT_EQ(GetTempPathA(n, small), n + 1);
    EXPECT_NE(GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES);
}

TEST(WindowsFiles, NamesAreFoundWhateverTheirCase) {
    TestSite site;
    ASSERT_TRUE(site.MakeDir("MySite"));
    ASSERT_TRUE(site.Write("MySite\\Index.HTM", "page"));
    EXPECT_NE(GetFileAttributesA(site.Path("mysite\\index.htm").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(site.Read("MYSITE\\INDEX.htm"), "page");
    // Creating through another case writes the same file.
    ASSERT_TRUE(site.Write("mysite\\index.htm", "changed"));
    EXPECT_EQ(site.Read("MySite\\Index.HTM"), "changed");

    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(site.Path("MYSITE\\*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    bool sawDot = false, sawDotDot = false, sawIndex = false;
    do {
        std::string name = entry.cFileName;
        if (name == ".") sawDot = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name == "..") sawDotDot = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name == "Index.HTM") sawIndex = !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    } while (FindNextFileA(find, &entry));
    EXPECT_TRUE(FindClose(find));
    EXPECT_TRUE(sawDot);
    EXPECT_TRUE(sawDotDot);
    EXPECT_TRUE(sawIndex);  // the name as stored, not as asked
}

TEST(WindowsFiles, DotNamesAreHiddenAndHiddenPersists) {
    TestSite site;
    ASSERT_TRUE(site.MakeDir(".secret"));
    ASSERT_TRUE(site.MakeDir("plain"));
    DWORD dot = GetFileAttributesA(site.Path(".secret").c_str());
    EXPECT_TRUE(dot & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(dot & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(GetFileAttributesA(site.Path("plain").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(SetFileAttributesA(site.Path("plain").c_str(), FILE_ATTRIBUTE_HIDDEN));
    DWORD hidden = GetFileAttributesA(site.Path("plain").c_str());
    EXPECT_TRUE(hidden & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(hidden & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(WindowsFiles, ShareModeZeroRefusesASecondOpen) {
    TestSite site;
    ASSERT_TRUE(site.Write("locked.txt", "x"));
    std::string path = site.Path("locked.txt");
    HANDLE first = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_EQ(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(site.Read("locked.txt"), "x");  // CREATE_ALWAYS truncated nothing

    // Readers that share reading may open together.
    HANDLE a = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    HANDLE b = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_NE(b, INVALID_HANDLE_VALUE);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(site.Exists("locked.txt"));
}

TEST(WindowsFiles, OpeningDirectoriesAndMissingPathsFails) {
    TestSite site;
    ASSERT_TRUE(site.MakeDir("dir"));
    EXPECT_EQ(CreateFileA(site.Path("dir").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(site.Path("no\\such.txt").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL),
              INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAA entry;
    EXPECT_EQ(FindFirstFileA(site.Path("no\\*").c_str(), &entry), INVALID_HANDLE_VALUE);
}

}  // namespace
