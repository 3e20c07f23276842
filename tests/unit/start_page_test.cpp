// The start page search against real directories: natively through the
// stand-in, under Wine through FindFirstFileA and GetFileAttributesA.
#include "start_page.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

std::string Lower(std::string text) {
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] >= 'A' && text[i] <= 'Z') text[i] = char(text[i] + ('a' - 'A'));
    }
    return text;
}

std::string Search() {
    char dest[MAX_PATH];
    memset(dest, 'Q', sizeof dest);  // stale content must not matter
    FindStartPage(dest);
    EXPECT_LT(strlen(dest), size_t(MAX_PATH));
    return dest;
}

// A site whose executable lies in its root.
struct Site : TestSite {
    Site() { PlaceExecutable(); }
    std::string Page(const std::string& relative) const { return Lower(Path(relative)); }
};

TEST(StartPageRoot, IndexHtmBeatsIndexHtmlAndEverythingBelow) {
    Site site;
    ASSERT_TRUE(site.Write("index.htm", "a"));
    ASSERT_TRUE(site.Write("index.html", "b"));
    ASSERT_TRUE(site.MakeDir("a"));
    ASSERT_TRUE(site.Write("a\\index.htm", "c"));
    EXPECT_EQ(Search(), site.Page("index.htm"));

    Site only;
    ASSERT_TRUE(only.Write("INDEX.HTML", "b"));
    ASSERT_TRUE(only.MakeDir("a"));
    ASSERT_TRUE(only.Write("a\\index.htm", "c"));
    EXPECT_EQ(Search(), only.Page("index.html"));
}

TEST(StartPageRoot, ADirectoryNamedIndexHtmCountsAsThePage) {
    Site site;
    ASSERT_TRUE(site.MakeDir("Index.htm"));
    ASSERT_TRUE(site.Write("index.html", "b"));
    EXPECT_EQ(Search(), site.Page("index.htm"));

    Site below;
    ASSERT_TRUE(below.MakeDir("site"));
    ASSERT_TRUE(below.MakeDir("site\\index.htm"));
    EXPECT_EQ(Search(), below.Page("site\\index.htm"));
}

TEST(StartPageBelow, SmallestLowerCasedPathWins) {
    struct Case {
        const char* dirs[4];
        const char* files[4];
        const char* expected;
    } cases[] = {
        // The backslash after a shorter name meets the next byte of a longer one.
        {{"Web", "web2"}, {"Web\\index.htm", "web2\\index.htm"}, "web2\\index.htm"},
        {{"web_x", "web", "website"},
         {"web_x\\index.htm", "web\\index.htm", "website\\index.htm"},
         "web\\index.htm"},
        // The directory name decides before the file name does.
        {{"site", "docs"}, {"site\\index.htm", "docs\\index.html"}, "docs\\index.html"},
        // Within one directory index.htm is the smaller.
        {{"both"}, {"both\\index.html", "both\\index.htm"}, "both\\index.htm"},
        // Upper-case names come back lower-cased.
        {{"MySite"}, {"MySite\\INDEX.HTM"}, "mysite\\index.htm"},
        {{"ZZ", "aa"}, {"ZZ\\index.htm", "aa\\other.htm"}, "zz\\index.htm"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].expected);
        Site site;
        for (int d = 0; d < 4 && cases[i].dirs[d]; d++) ASSERT_TRUE(site.MakeDir(cases[i].dirs[d]));
        for (int f = 0; f < 4 && cases[i].files[f]; f++) ASSERT_TRUE(site.Write(cases[i].files[f], "x"));
        ASSERT_TRUE(site.Write("readme.txt", "plain files are skipped"));
        EXPECT_EQ(Search(), site.Page(cases[i].expected));
    }
}

TEST(StartPageBelow, HiddenDirectoriesAreSearched) {
    Site site;
    ASSERT_TRUE(site.MakeDir("secret"));
    ASSERT_TRUE(site.Write("secret\\index.htm", "x"));
    ASSERT_TRUE(SetFileAttributesA(site.Path("secret").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(GetFileAttributesA(site.Path("secret").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Search(), site.Page("secret\\index.htm"));

    Site dot;  // hidden by its name on Wine and in the stand-in
    ASSERT_TRUE(dot.MakeDir(".site"));
    ASSERT_TRUE(dot.Write(".site\\index.html", "x"));
    EXPECT_EQ(Search(), dot.Page(".site\\index.html"));
}

TEST(StartPageNotFound, LeavesTheDestinationEmpty) {
    Site deep;  // two levels down is out of reach
    ASSERT_TRUE(deep.MakeDir("a"));
    ASSERT_TRUE(deep.MakeDir("a\\b"));
    ASSERT_TRUE(deep.Write("a\\b\\index.htm", "x"));
    EXPECT_EQ(Search(), "");

    Site plain;  // files only, and an index file that is not at a probed name
    ASSERT_TRUE(plain.Write("page.htm", "x"));
    ASSERT_TRUE(plain.Write("index.htm.bak", "x"));
    ASSERT_TRUE(plain.Write("index", "x"));
    EXPECT_EQ(Search(), "");

    Site empty;
    EXPECT_EQ(Search(), "");

    // The executable's directory does not exist: the enumeration cannot start.
    SetTestModulePath(empty.Path("gone\\kelmora.exe"));
    EXPECT_EQ(Search(), "");
}

TEST(StartPageLongPaths, ARootCandidateThatDoesNotFitIsNotCutShort) {
    TestSite site;
    // Directory of 251 characters: directory + "index.htm" needs 260, and its
    // first 259 characters name an existing file "index.ht".
    std::string dir = site.MakeDirOfLength(251);
    ASSERT_EQ(site.Path(dir).size(), 251u);
    ASSERT_TRUE(site.Write(dir + "index.ht", "x"));
    site.PlaceExecutable(dir + "k.exe");  // a longer name could not run from there
    EXPECT_EQ(Search(), "");
}

TEST(StartPageLongPaths, ASubdirectoryCandidateThatDoesNotFitIsSkipped) {
    Site site;
    size_t base = site.Root().size();
    // base + name is 259 characters: cut, the candidate would be the directory
    // itself, which exists and sorts before z\index.htm.
    std::string tooLong(259 - base, 'a');
    ASSERT_TRUE(site.MakeDir(tooLong));
    ASSERT_TRUE(site.MakeDir("z"));
    ASSERT_TRUE(site.Write("z\\index.htm", "x"));
    EXPECT_EQ(Search(), site.Page("z\\index.htm"));
    // Exactly 259 characters for ...\index.htm still fits and is found.
    std::string justFits(259 - base - 10, 'b');
    ASSERT_TRUE(site.MakeDir(justFits));
    ASSERT_TRUE(site.Write(justFits + "\\index.htm", "x"));
    EXPECT_EQ(Search(), site.Page(justFits + "\\index.htm"));
    // The 259-character directory is removed here: Wine's ANSI calls cannot
    // reach it with the trailing backslash that the cleanup adds.
    EXPECT_TRUE(RemoveDirectoryA(site.Path(tooLong).c_str()));
}

}  // namespace
