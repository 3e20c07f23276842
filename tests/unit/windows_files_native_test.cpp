// The file layer's own semantics beyond what the launcher's tests use:
// drives mapped to folders, ANSI names over UTF-8, special files.
#include "standin_control.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

std::string PosixOf(const std::string& windowsPath) {
    std::string posix;
    return PosixPathOf(windowsPath, &posix) ? posix : "<none>";
}

std::vector<std::string> List(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(entry.cFileName);
    while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

struct MappedSite : TestSite {
    std::string posix;
    MappedSite() {
        posix = PosixOf(Root()) + "/";
        MapDrive('D', posix);
    }
    ~MappedSite() { MapDrive('D', ""); }
};

TEST(WindowsFilesNative, ADriveShowsItsFolderAndNothingAbove) {
    MappedSite site;
    ASSERT_TRUE(site.MakeDir("Sub"));
    ASSERT_TRUE(site.Write("Sub\\Page.htm", "x"));
    EXPECT_EQ(PosixOf("d:\\sub\\page.htm"), site.posix + "Sub/Page.htm");
    EXPECT_EQ(PosixOf("D:\\Sub\\..\\..\\..\\Sub"), site.posix + "Sub");
    EXPECT_EQ(GetFileAttributesA("D:\\"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(List("D:\\*"), std::vector<std::string>{"Sub"});  // a root has no dot entries
    EXPECT_EQ(List("D:\\sub\\*.HTM").back(), "Page.htm");
    MapDrive('D', "");
    EXPECT_EQ(GetFileAttributesA("D:\\Sub"), INVALID_FILE_ATTRIBUTES);
}

TEST(WindowsFilesNative, NamesAreAnsiOverUtf8) {
    MappedSite site;
    ASSERT_TRUE(site.MakeDir("\xC9t\xE9"));  // "Été" in 1252
    struct stat st;
    EXPECT_EQ(stat((site.posix + "\xC3\x89t\xC3\xA9").c_str(), &st), 0) << "stored as UTF-8";
    ASSERT_TRUE(site.Write("\xC9t\xE9\\index.htm", "x"));
    EXPECT_EQ(List("D:\\*"), std::vector<std::string>{"\xC9t\xE9"});
    // Case folds beyond ASCII, as Windows compares names.
    EXPECT_NE(GetFileAttributesA("D:\\\xE9T\xC9\\INDEX.HTM"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(WindowsPathOf("/tmp/\xC3\x89"), "Z:\\tmp\\\xC9");

    // A name with no 1252 form reads with '?', and that name opens nothing.
    ASSERT_EQ(mkdir((site.posix + "\xC4\x80-\xE2\x82\xAC").c_str(), 0755), 0);  // "Ā-€"
    std::vector<std::string> names = List("D:\\?-*");
    EXPECT_EQ(names, std::vector<std::string>{"?-\x80"});
    EXPECT_EQ(GetFileAttributesA("D:\\?-\x80"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(rmdir((site.posix + "\xC4\x80-\xE2\x82\xAC").c_str()), 0);  // nor can a cleanup by name
}

TEST(WindowsFilesNative, SpecialFilesAreNeverOpened) {
    MappedSite site;
    ASSERT_EQ(mkfifo((site.posix + "autorun.inf").c_str(), 0644), 0);
    EXPECT_NE(GetFileAttributesA("D:\\autorun.inf"), INVALID_FILE_ATTRIBUTES);
    HANDLE file = CreateFileA("D:\\autorun.inf", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);  // and it did not wait for a writer
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

}  // namespace
