// What AutoPlay and the launcher do with small generated sites, as the JSON
// report gives it.
#include "check.h"
#include "report.h"
#include "site.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::json;

const char kLauncher[] = "<launcher>";
const char kOther[] = "<other program>";
const char kFifo[] = "<fifo>";
const char kAutorun[] = "[autorun]\r\nopen=kelmora.exe\r\n";
const char kPage[] = "<html><body>A page.</body></html>";

std::string Utf16(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

struct Row {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    Json open;     // autoplay.open
    Json program;  // autoplay.program
    bool launcher;
    Json outcome;
    std::vector<std::string> ids;  // every finding, sorted
};

TEST(DryRun, OutcomesOfSmallSites) {
    const std::string longOpen = "kelmora.exe" + std::string(260, ' ') + "page.htm";
    const std::vector<Row> rows = {
        {"no autorun.inf", {{"index.htm", kPage}, {"kelmora.exe", kLauncher}}, nullptr, nullptr, false,
         {{"kind", "none"}}, {"autorun-missing"}},
        {"autorun.inf a FIFO, never opened", {{"autorun.inf", kFifo}, {"kelmora.exe", kLauncher}}, nullptr, nullptr,
         false, {{"kind", "none"}}, {"autorun-missing", "special-file"}},
        {"no open= value", {{"autorun.inf", "[autorun]\r\nicon=kelmora.exe\r\nopen2=x\r\n[other]\r\nopen=kelmora.exe\r\n"},
                            {"kelmora.exe", kLauncher}}, nullptr, nullptr, false, {{"kind", "none"}},
         {"autorun-no-open"}},
        {"empty open= value", {{"autorun.inf", "[autorun]\r\nopen=  \r\n"}}, "", "D:\\", false, {{"kind", "none"}},
         {"autorun-no-open"}},
        {"an option first", {{"autorun.inf", "[autorun]\r\nopen=-i kelmora.exe\r\n"}, {"kelmora.exe", kLauncher}},
         "-i kelmora.exe", "D:\\-i", false, {{"kind", "none"}}, {"autorun-no-open"}},
        {"missing program", {{"autorun.inf", "[autorun]\r\nopen=\"my setup.exe\"\r\n"}}, "\"my setup.exe\"",
         "D:\\my setup.exe", false, {{"kind", "none"}}, {"program-missing"}},
        {"not the launcher", {{"autorun.inf", "[autorun]\r\nopen=setup\r\n"}, {"setup.exe", kOther}}, "setup",
         "D:\\setup.exe", false, {{"kind", "none"}}, {"program-not-launcher"}},
        {"renamed launcher, .exe added", {{"autorun.inf", "[autorun]\r\nopen=Start\r\n"}, {"START.EXE", kLauncher},
                                          {"Index.HTM", kPage}},
         "Start", "D:\\Start.exe", true, {{"kind", "page"}, {"page", "d:\\index.htm"}, {"browser", "default"}}, {}},
        {"page token and -i", {{"autorun.inf", "[autorun]\r\nopen=kelmora.exe Pages\\Intro.htm -i\r\n"},
                               {"kelmora.exe", kLauncher}, {"pages/intro.htm", kPage}},
         "kelmora.exe Pages\\Intro.htm -i", "D:\\kelmora.exe", true,
         {{"kind", "page"}, {"page", "D:\\Pages\\Intro.htm"}, {"browser", "ie"}}, {}},
        {"launcher in a subfolder without autorun.inf",
         {{"autorun.inf", "[autorun]\r\nopen=bin\\kelmora.exe\r\n"}, {"bin/kelmora.exe", kLauncher},
          {"index.htm", kPage}},
         "bin\\kelmora.exe", "D:\\bin\\kelmora.exe", true, {{"kind", "help"}, {"message", "A"}}, {"launcher-help"}},
        {"launcher in a subfolder with its own", {{"autorun.inf", "[autorun]\r\nopen=bin\\kelmora.exe\r\n"},
                                                  {"bin/kelmora.exe", kLauncher}, {"bin/autorun.inf", kAutorun},
                                                  {"bin/index.htm", kPage}},
         "bin\\kelmora.exe", "D:\\bin\\kelmora.exe", true,
         {{"kind", "page"}, {"page", "d:\\bin\\index.htm"}, {"browser", "default"}}, {}},
        {"UTF-8 byte order mark", {{"autorun.inf", std::string("\xEF\xBB\xBF") + kAutorun},
                                   {"kelmora.exe", kLauncher}, {"index.htm", kPage}},
         "kelmora.exe", "D:\\kelmora.exe", true, {{"kind", "help"}, {"message", "B"}},
         {"autorun-encoding", "launcher-help"}},
        {"UTF-16", {{"autorun.inf", Utf16(kAutorun)}, {"kelmora.exe", kLauncher}, {"index.htm", kPage}},
         "kelmora.exe", "D:\\kelmora.exe", true, {{"kind", "help"}, {"message", "B"}},
         {"autorun-encoding", "launcher-help"}},
        {"page token with a typo", {{"autorun.inf", "[autorun]\r\nopen=kelmora.exe idnex.htm\r\n"},
                                    {"kelmora.exe", kLauncher}, {"index.htm", kPage}},
         "kelmora.exe idnex.htm", "D:\\kelmora.exe", true,
         {{"kind", "help"}, {"message", "C"},
          {"fragment", "This help is being displayed because the file <b>idnex.htm</b> was not found."}},
         {"launcher-help"}},
        {"no index file", {{"autorun.inf", kAutorun}, {"kelmora.exe", kLauncher}, {"sub/deeper/index.htm", kPage}},
         "kelmora.exe", "D:\\kelmora.exe", true, {{"kind", "help"}, {"message", "D"}}, {"launcher-help"}},
        {"a folder with a 1252 name", {{"autorun.inf", kAutorun}, {"kelmora.exe", kLauncher},
                                       {"\xC3\x89t\xC3\xA9/index.htm", kPage}},
         "kelmora.exe", "D:\\kelmora.exe", true,
         {{"kind", "page"}, {"page", "d:\\\xC3\x89t\xC3\xA9\\index.htm"}, {"browser", "default"}}, {}},
        // Only the names that the launcher opens itself need a 1252 form.
        {"start pages in folders without a 1252 name", {{"autorun.inf", kAutorun}, {"kelmora.exe", kLauncher},
                                                        {"\xE6\x97\xA5/index.htm", kPage}, {"\xC4\x80.htm", kPage},
                                                        {"\xC4\x80/page.htm", kPage}},
         "kelmora.exe", "D:\\kelmora.exe", true, {{"kind", "help"}, {"message", "D"}},
         {"launcher-help", "name-not-ansi"}},
        {"one start page folder of several", {{"autorun.inf", kAutorun}, {"kelmora.exe", kLauncher},
                                              {"en/index.htm", kPage}, {"de/index.html", kPage}, {"fr/x.htm", kPage}},
         "kelmora.exe", "D:\\kelmora.exe", true,
         {{"kind", "page"}, {"page", "d:\\de\\index.html"}, {"browser", "default"}}, {"start-page-guessed"}},
        {"open= past 259 bytes", {{"autorun.inf", "[autorun]\r\nopen=" + longOpen + "\r\n"},
                                  {"kelmora.exe", kLauncher}, {"index.htm", kPage}, {"page.htm", kPage}},
         longOpen.substr(0, 259), "D:\\kelmora.exe", true,
         {{"kind", "page"}, {"page", "d:\\index.htm"}, {"browser", "default"}}, {"autorun-cut"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempSite site;
        for (const auto& [path, bytes] : row.files) {
            if (bytes == kFifo) {
                site.Fifo(path);
                continue;
            }
            site.Write(path, bytes == kLauncher ? FakeLauncher()
                             : bytes == kOther  ? FakeProgram("setup.exe", "Some Installer")
                                                : bytes);
        }
        publisher::Result<publisher::CheckResult> result = publisher::CheckSiteFolder(site.root());
        ASSERT_TRUE(result.ok()) << result.error();
        Json report = Json::parse(publisher::JsonReport(result.value(), site.root().string()));
        EXPECT_EQ(report["path"], site.root().string());
        EXPECT_EQ(report["autoplay"]["open"], row.open);
        EXPECT_EQ(report["autoplay"]["program"], row.program);
        EXPECT_EQ(report["autoplay"]["launcher"], row.launcher);
        for (const auto& [key, value] : row.outcome.items()) EXPECT_EQ(report["outcome"][key], value) << key;
        std::vector<std::string> ids;
        for (const Json& finding : report["findings"]) {
            if (finding["id"] != "launcher-unsigned") ids.push_back(finding["id"]);  // signing has tests of its own
        }
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids, row.ids) << report.dump(1);
        // An outcome other than a page always comes with an error.
        EXPECT_EQ(report["outcome"]["kind"] != "page", result->findings.HasErrors());
    }
}

// In code page 932, ソ is 83 5C: its second byte is no separator, for AutoPlay
// (the name has no extension, so .exe is added) nor for the launcher's folder.
TEST(DryRun, AProgramNamedWithASecondByteBackslash) {
    TempSite site;
    site.Write("\u30BD.exe", FakeLauncher());
    site.Write("autorun.inf", "[autorun]\r\nopen=\x83\x5C missing.htm\r\n");
    publisher::Result<publisher::CheckResult> result = publisher::CheckSiteFolder(site.root(), {932});
    ASSERT_TRUE(result.ok());
    Json report = Json::parse(publisher::JsonReport(result.value(), "site"));
    EXPECT_EQ(report["autoplay"]["program"], "D:\\\u30BD.exe");
    EXPECT_EQ(report["outcome"]["message"], "C");
    ASSERT_EQ(report["findings"].size(), 1u) << report.dump(1);
    EXPECT_EQ(report["findings"][0]["path"], "autorun.inf");
}

}  // namespace
