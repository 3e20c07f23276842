// The encoding a browser reads a page in, and pages read so on Windows of
// several code pages: the same page in Shift_JIS, declared and not.
#include "check.h"
#include "links.h"
#include "page_encoding.h"
#include "report.h"
#include "site.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(PageEncoding, AsTheHtmlStandardsPrescanFindsIt) {
    const std::string later = "<p>" + std::string(1100, 'x') + "</p><meta charset=shift_jis>";
    struct Case {
        std::string bytes;
        std::optional<std::string> encoding;  // none: the reader's language decides
    } cases[] = {
        {"\xEF\xBB\xBF<meta charset=shift_jis>", "UTF-8"},  // the byte order mark first
        {"\xFF\xFE<\0p\0", "UTF-16LE"},
        {"<html><head><meta charset=\"Shift_JIS\"><title>\x93\xFA</title>", "Shift_JIS"},
        {"<META CHARSET='sjis'>\x93\xFA", "Shift_JIS"},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-jp\">\xA4\xA2", "EUC-JP"},
        {"<meta content='text/html;charset=big5' http-equiv=content-type>\xA4\x48", "Big5"},
        {"<meta content=\"text/html; charset=big5\">\xA4\x48", std::nullopt},  // no http-equiv: no declaration
        {"<meta charset=gb2312>\xD6\xD0", "GBK"},
        {"<meta charset=iso-8859-1>caf\xC3\xA9", "windows-1252"},  // declared wins over UTF-8 bytes
        {"<meta charset=utf-16>\x93\xFA", "UTF-8"},
        {"<meta charset=no-such>\x93\xFA", std::nullopt},
        {"<!-- <meta charset=big5> -->\x93\xFA", std::nullopt},
        {"<a title='<meta charset=big5>'>\x93\xFA", std::nullopt},  // inside an attribute
        {later + "\x93\xFA", std::nullopt},                          // past 1,024 bytes
        {"<p>caf\xC3\xA9</p>", "UTF-8"},
        {"<p>caf\xE9</p>", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(publisher::PageEncoding(c.bytes), c.encoding) << c.bytes.substr(0, 60);
    }
    EXPECT_EQ(publisher::StylesheetEncoding("@charset \"shift_jis\";\x93\xFA"), "Shift_JIS");
    EXPECT_EQ(publisher::StylesheetEncoding("a{}\x93\xFA"), std::nullopt);

    EXPECT_EQ(publisher::DecodeText("\x83\x4B\x83\x43\x83\x68", "Shift_JIS"), "\u30AC\u30A4\u30C9");  // ガイド
    EXPECT_EQ(publisher::DecodeText("a\x81 b", "Shift_JIS"), "a\uFFFD b");  // a lead byte alone
    EXPECT_EQ(publisher::DecodeText("\x81\xE9", "windows-1252"), "\u0081\u00E9");
}

std::vector<std::string> Found(const publisher::CheckResult& result) {
    std::vector<std::string> found;
    for (const publisher::Finding& f : result.findings.All()) {
        if (f.id.compare(0, 4, "link") != 0 && f.id.compare(0, 4, "page") != 0) continue;
        std::string where;
        for (unsigned codePage : f.codePages) where += " " + std::to_string(codePage);
        found.push_back(f.id + " " + f.path + where);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// A Japanese page's link to ガイド/目次.htm, in Shift_JIS bytes: found where
// the browser reads the page as Shift_JIS, and nowhere else.
TEST(PageEncoding, ALegacyPageIsReadInTheReadersEncoding) {
    const std::string link = "<a href=\"\x83\x4B\x83\x43\x83\x68/\x96\xDA\x8E\x9F.htm\">\x96\xDA\x8E\x9F</a>";
    TempSite site;
    site.Write("\u30AC\u30A4\u30C9/\u76EE\u6B21.htm", "<p>x</p>");
    site.Write("undeclared.htm", "<html><body>" + link + "</body></html>");
    site.Write("declared.htm", "<html><head><meta charset=shift_jis></head><body>" + link + "</body></html>");
    // Legacy text, ASCII links: the same in every code page.
    site.Write("text.htm", "<p>caf\xE9 \x93\xFA</p><a href=gone.htm>x</a>");
    struct Case {
        publisher::CodePages codePages;
        std::vector<std::string> found;
    } cases[] = {
        {{932}, {"link-broken text.htm"}},
        {{1252}, {"link-broken text.htm", "link-broken undeclared.htm"}},
        {{932, 1252},
         {"link-broken text.htm", "link-broken undeclared.htm 1252", "page-encoding-undeclared undeclared.htm"}},
        {{932, 1252, 1250, 936},
         {"link-broken text.htm", "link-broken undeclared.htm 1250", "link-broken undeclared.htm 1252",
          "link-broken undeclared.htm 936", "page-encoding-undeclared undeclared.htm"}},
    };
    for (const Case& c : cases) {
        publisher::Result<publisher::CheckResult> result = publisher::CheckSiteFolder(site.root(), c.codePages);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(Found(result.value()), c.found) << c.codePages.size();
    }
    // The missing folder that the page names in 1252 is a cause of 1252 alone.
    publisher::Result<publisher::CheckResult> result = publisher::CheckSiteFolder(site.root(), {932, 1252});
    ASSERT_TRUE(result.ok());
    std::string text = publisher::TextReport(result.value(), false, false);
    EXPECT_NE(text.find("warning[link-broken]: In code page 1252 (Western): D:\\\u0192K\u0192C\u0192h\\ is not on the disc"),
              std::string::npos) << text;
}

}  // namespace
