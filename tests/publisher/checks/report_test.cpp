// The report says each problem once, however many pages share it; the JSON
// keeps every occurrence.
#include "check.h"
#include "report.h"
#include "site.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>

namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
}

TEST(Report, OneEntryPerProblem) {
    TempSite site;
    site.Write("index.htm", "<a href=\"p0.htm\">start</a>");
    for (int i = 0; i < 200; i++) {
        site.Write("p" + std::to_string(i) + ".htm",
                   "<p>\n<a href=\"gone.htm\">x</a> <a href=\"http://example.com/" + std::to_string(i % 3) + "\">y</a>");
    }
    publisher::Result<publisher::CheckResult> result = publisher::CheckSiteFolder(site.root());
    ASSERT_TRUE(result.ok());

    std::string text = publisher::TextReport(result.value(), false, false);
    EXPECT_EQ(Count(text, "warning[link-broken]"), 1u) << text;
    EXPECT_NE(text.find("D:\\gone.htm is not on the disc"), std::string::npos) << text;
    EXPECT_NE(text.find("--> 200 links on 200 pages: p0.htm:2, p1.htm:2, p10.htm:2 and 197 more pages"),
              std::string::npos) << text;
    EXPECT_EQ(Count(text, "note[link-external]"), 1u) << "notes fold to a line per id:\n" << text;
    EXPECT_NE(text.find("2 more notes like it; --verbose lists them."), std::string::npos) << text;
    EXPECT_NE(text.find("\n1 error, 1 warning and 3 notes.\n"), std::string::npos) << text;
    EXPECT_LT(Count(text, "\n"), 15u) << text;
    EXPECT_EQ(Count(publisher::TextReport(result.value(), false, true), "note[link-external]"), 3u);

    nlohmann::json json = nlohmann::json::parse(publisher::JsonReport(result.value(), "site"));
    size_t occurrences = 0;
    for (const auto& finding : json["findings"]) {
        if (finding["id"] != "link-broken") continue;
        occurrences++;
        EXPECT_EQ(finding["target"], "gone.htm");
        EXPECT_EQ(finding["line"], 2);
    }
    EXPECT_EQ(occurrences, 200u);
    auto problem = std::find_if(json["problems"].begin(), json["problems"].end(),
                                [](const nlohmann::json& p) { return p["id"] == "link-broken"; });
    ASSERT_NE(problem, json["problems"].end());
    EXPECT_EQ((*problem)["places"].size(), 200u);
    EXPECT_EQ((*problem)["pages"], 200);
}

// A cause is one entry however many links show it: what the links name, a
// missing folder, a folder above the root, a page's anchors, the same miss in
// sibling folders.
TEST(Report, OneEntryPerCause) {
    struct Case {
        const char* name;
        void (*make)(const TempSite&);
        const char* id;
        const char* kind;
        const char* headline;  // the whole sentence after "warning[id]: "
        size_t places;
    };
    const Case cases[] = {
        {"one file spelt three ways",
         [](const TempSite& s) {
             s.Write("a/b/p.htm", "<a href=\"../../../legal/c.htm\">1</a><a href=\"./../../../legal/c.htm\">2</a>");
             s.Write("a/q.htm", "<a href=\"../../Legal/c.htm\">3</a>");
         },
         "link-outside-disc", "above-root",
         "D:\\..\\legal\\ is above the disc's root, and links lead to 1 file in it (c.htm): the site was probably "
         "copied out of a larger tree. Make the disc of a folder that holds legal\\ as well, or link to it on the web.",
         3},
        {"a missing folder of many files",
         [](const TempSite& s) {
             std::string page;
             for (int i = 0; i < 40; i++) page += "<img src=\"math/f" + std::to_string(i) + ".png\">";
             s.Write("index.htm", page);
             s.Write("more.htm", "<img src=\"MATH/f0.png\"><img src=\"math/sub/g.png\">");
         },
         "link-broken", "folder",
         "D:\\math\\ is not on the disc, and links name 41 files in it (f0.png, f1.png, f2.png and 38 more); add the "
         "folder, or correct the links to it.",
         42},
        {"a folder above the root",
         [](const TempSite& s) {
             for (int i = 0; i < 5; i++) {
                 s.Write("doc/p" + std::to_string(i) + ".htm",
                         "<a href=\"../../libs/x" + std::to_string(i) + ".htm\">x</a><a href=\"../../libs/\">libs</a>");
             }
         },
         "link-outside-disc", "above-root",
         "D:\\..\\libs\\ is above the disc's root, and links lead to 5 files in it (x0.htm, x1.htm, x2.htm and 2 more): "
         "the site was probably copied out of a larger tree. Make the disc of a folder that holds libs\\ as well, or "
         "link to it on the web.",
         10},
        {"a page's missing anchors",
         [](const TempSite& s) {
             s.Write("t.htm", "<h1 id=\"top-of-page\">t</h1>");
             s.Write("a.htm", "<a href=\"t.htm#one\">1</a><a href=\"t.htm#two\">2</a><a href=\"t.htm#top-of-page\">0</a>");
             s.Write("b.htm", "<a href=\"t.htm#one\">1</a><a href=\"t.htm#three\">3</a>");
         },
         "link-anchor-missing", "anchors",
         "t.htm has none of the 3 anchors that links name (\"one\", \"two\" and \"three\") as id= or name=; add "
         "them, or correct the links to them.",
         4},
        {"the same miss under four language folders",
         [](const TempSite& s) {
             for (const char* language : {"de", "en", "fr", "ja"}) {
                 s.Write(std::string("manual/") + language + "/index.htm",
                         "<a href=\"mod/http.htm\">m</a><a href=\"mod/core.htm\">c</a>");
                 s.Write(std::string("manual/") + language + "/mod/core.htm", "");
             }
         },
         "link-broken", "siblings",
         "mod\\http.htm is not on the disc in 4 folders of D:\\manual\\ (de\\, en\\, fr\\ and ja\\); add it to each, "
         "or correct the links, which such folders often share through a template.",
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempSite site;
        c.make(site);
        publisher::Result<publisher::CheckResult> result = publisher::CheckSiteFolder(site.root());
        ASSERT_TRUE(result.ok());
        std::string text = publisher::TextReport(result.value(), false, false);
        std::string headline = std::string("warning[") + c.id + "]: ";
        EXPECT_EQ(Count(text, headline), 1u) << text;
        EXPECT_NE(text.find(headline + c.headline + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\n1 cause "), std::string::npos) << text;

        nlohmann::json json = nlohmann::json::parse(publisher::JsonReport(result.value(), "site"));
        size_t occurrences = 0;
        for (const auto& finding : json["findings"]) occurrences += finding["id"] == c.id;
        EXPECT_EQ(occurrences, c.places);
        for (const auto& problem : json["problems"]) {
            if (problem["id"] != c.id) continue;
            EXPECT_EQ(problem["kind"], c.kind);
            EXPECT_EQ(problem["places"].size(), c.places);
        }
        // --verbose: every place, with its own sentence.
        EXPECT_EQ(Count(publisher::TextReport(result.value(), false, true), "  --> "), c.places + 1) << text;
    }
}

// On Windows of several code pages the outcome is said once per group that
// agrees; what holds in some of them only says in which.
TEST(Report, EachCodePageItsOutcome) {
    TempSite site;
    site.Write("kelmora.exe", FakeLauncher());
    site.Write("autorun.inf", "[autorun]\r\nopen=kelmora.exe\r\n");
    site.Write("\u0141\u00F3d\u017A/index.htm", "<p>x</p>");  // Łódź
    publisher::Result<publisher::CheckResult> result = publisher::CheckSiteFolder(site.root(), {1252, 1251, 1250, 932});
    ASSERT_TRUE(result.ok());
    std::string text = publisher::TextReport(result.value(), false, false);
    EXPECT_EQ(text.substr(0, text.find("\n\n")),
              "On Windows in code page 1252 (Western), 1251 (Cyrillic) and 932 (Japanese): Windows starts "
              "D:\\kelmora.exe, which shows its help page with message D.\n"
              "In code page 1250 (Central European): Windows starts D:\\kelmora.exe, which opens "
              "d:\\\u0141\u00F3d\u017A\\index.htm in the default browser.");
    EXPECT_NE(text.find("error[launcher-help]: In code page 1252 (Western), 1251 (Cyrillic) and 932 (Japanese): "
                        "Neither index.htm"), std::string::npos) << text;
    // What Windows shows of the name: its best fit where it has one, else '?'.
    EXPECT_NE(text.find("sees it as \"L\u00F3dz\" in 1252 (Western), \"Lodz\" in 1251 (Cyrillic) or \"?od?\" in "
                        "932 (Japanese)"), std::string::npos) << text;
    EXPECT_EQ(Count(text, "warning[outcome-differs]"), 1u) << text;

    nlohmann::json json = nlohmann::json::parse(publisher::JsonReport(result.value(), "site"));
    ASSERT_EQ(json["outcomes"].size(), 4u);
    EXPECT_EQ(json["outcomes"][2]["code_page"], 1250);
    EXPECT_EQ(json["outcomes"][2]["page"], "d:\\\u0141\u00F3d\u017A\\index.htm");
    nlohmann::json first = json["outcomes"][0];
    first.erase("code_page");
    EXPECT_EQ(first, json["outcome"]);
    for (const auto& finding : json["findings"]) {
        if (finding["id"] != "launcher-help") continue;
        EXPECT_EQ(finding["code_pages"], nlohmann::json({1252, 1251, 932}));
    }

    // A Western Windows alone is said as it always was.
    result = publisher::CheckSiteFolder(site.root());
    ASSERT_TRUE(result.ok());
    text = publisher::TextReport(result.value(), false, false);
    EXPECT_EQ(text.compare(0, 15, "Windows starts "), 0) << text;
    EXPECT_NE(text.find("outside code page 1252, so the launcher sees it as \"L\u00F3dz\" and"), std::string::npos)
        << text;
}

}  // namespace
