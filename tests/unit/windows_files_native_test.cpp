// The file layer's own semantics beyond what the launcher's tests use:
// drives mapped to folders, ANSI names over UTF-8 in each code page,
// special files.
#include "code_page.h"
#include "standin_control.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <stdio.h>
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
    ASSERT_EQ(mkdir((site.posix + "\xE3\x82\xA2-\xE2\x82\xAC").c_str(), 0755), 0);  // "ア-€"
    std::vector<std::string> names = List("D:\\?-*");
    EXPECT_EQ(names, std::vector<std::string>{"?-\x80"});
    EXPECT_EQ(GetFileAttributesA("D:\\?-\x80"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(rmdir((site.posix + "\xE3\x82\xA2-\xE2\x82\xAC").c_str()), 0);  // nor can a cleanup by name
}

// Names as FindFirstFileA returns them under Wine in a locale of each code
// page (measured), and the characters those bytes read back as.
TEST(WindowsFilesNative, EachCodePageShowsNamesAsWindowsDoes) {
    struct Case {
        const char* name;
        unsigned codePage;
        const char* bytes;
        AnsiForm form;
    } cases[] = {
        {"\u30A2\u30D7\u30EA", 932, "\x83\x41\x83\x76\x83\x8A", kAnsiExact},  // アプリ: trail bytes 'A' 'v'
        {"\u30BD\u30D5\u30C8", 932, "\x83\x5C\x83\x74\x83\x67", kAnsiExact},  // ソフト: a trail byte '\\'
        {"\u30A2\u30D7\u30EA", 1252, "???", kAnsiLossy},
        {"\u65E5\u672C", 936, "\xC8\xD5\xB1\xBE", kAnsiExact},                  // 日本
        {"\u4EBA\u7269", 950, "\xA4\x48\xAA\xAB", kAnsiExact},                  // 人物: a trail byte 'H'
        {"\uD55C\uAD6D\uC5B4", 949, "\xC7\xD1\xB1\xB9\xBE\xEE", kAnsiExact},  // 한국어
        {"\uD55C\uAD6D\uC5B4", 932, "???", kAnsiLossy},
        {"\u0414\u043E\u043A", 1251, "\xC4\xEE\xEA", kAnsiExact},               // Док
        {"\u0395\u03BB\u03BB", 1253, "\xC5\xEB\xEB", kAnsiExact},               // Ελλ
        {"\u0141\u00F3d\u017A", 1250, "\xA3\xF3\x64\x9F", kAnsiExact},         // Łódź
        {"\u0141\u00F3d\u017A", 1252, "L\xF3\x64z", kAnsiLossy},                 // Windows' best fit
        {"\u0130stanbul", 1254, "\xDDstanbul", kAnsiExact},
        {"\u0130stanbul", 1252, "Istanbul", kAnsiLossy},
        {"\u00C9t\u00E9", 932, "Ete", kAnsiLossy},
        {"\u00C9t\u00E9", 874, "?t?", kAnsiLossy},                                 // no best fit in Thai
        {"stra\u00DFe", 932, "strase", kAnsiLossy},
        {"\uFF21\uFF22", 1252, "AB", kAnsiLossy},                                 // full-width letters
        {"a\u2014b", 1252, "a\x97\x62", kAnsiExact},
        {"a\u2014b", 932, "a?b", kAnsiLossy},                                      // glibc would give 81 5C
        {"\u20ACuro", 936, "\x80uro", kAnsiExact},
        {"\U0001F600", 1252, "??", kAnsiLossy},                                    // one '?' per UTF-16 half
        {"\u0E20\u0E32\u0E29\u0E32", 874, "\xC0\xD2\xC9\xD2", kAnsiExact},   // ภาษา
        {"\u05E2\u05D1\u05E8", 1255, "\xF2\xE1\xF8", kAnsiExact},              // עבר
        {"\u0639\u0631\u0628", 1256, "\xDA\xD1\xC8", kAnsiExact},              // عرب
        {"\u0104\u017Euolas", 1257, "\xC0\xFEuolas", kAnsiExact},               // Ąžuolas
        {"Ti\u1EBFng", 1258, "Ti?ng", kAnsiLossy},                                 // precomposed: none in 1258
    };
    MappedSite site;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.codePage));
        std::string ansi;
        EXPECT_EQ(Utf8ToAnsi(c.name, c.codePage, &ansi), c.form);
        EXPECT_EQ(ansi, c.bytes);
        if (c.form == kAnsiExact) {
            EXPECT_EQ(AnsiToUtf8(ansi, c.codePage), c.name);
        }

        // The file layer in that code page: listed as those bytes, and
        // opened by them whenever they name it exactly.
        std::string folder = site.posix + c.name;
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        FILE* page = fopen((folder + "/index.htm").c_str(), "w");
        ASSERT_TRUE(page && fclose(page) == 0);
        SetAnsiCodePage(c.codePage);
        EXPECT_EQ(List("D:\\*"), std::vector<std::string>{c.bytes});
        EXPECT_EQ(GetFileAttributesA(("D:\\" + ansi + "\\index.htm").c_str()) != INVALID_FILE_ATTRIBUTES,
                  c.form == kAnsiExact);
        SetAnsiCodePage(1252);
        ASSERT_EQ(unlink((folder + "/index.htm").c_str()), 0);
        ASSERT_EQ(rmdir(folder.c_str()), 0);
    }
}

TEST(WindowsFilesNative, LeadBytesAreThoseOfTheCodePage) {
    const unsigned char bytes[] = {0x5C, 0x80, 0x81, 0x9F, 0xA0, 0xDF, 0xE0, 0xFC, 0xFD, 0xFE};
    const char* expected[] = {"0000000000", "0011001100", "0011111111", "0011111111", "0011111111", "0000000000"};
    const unsigned codePages[] = {1252, 932, 936, 949, 950, 1250};
    for (int i = 0; i < 6; i++) {
        SetAnsiCodePage(codePages[i]);
        std::string leads;
        for (unsigned char byte : bytes) leads += IsDBCSLeadByte(byte) ? '1' : '0';
        EXPECT_EQ(leads, expected[i]) << codePages[i];
    }
    SetAnsiCodePage(1252);
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
