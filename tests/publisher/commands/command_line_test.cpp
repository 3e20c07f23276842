// The tool as a user runs it: exit status, what goes where, JSON that parses.
#include "site.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ToolRun Tool(const std::vector<std::string>& args, const TempSite& scratch) {
    std::string errFile = (scratch.root() / "stderr.txt").string();
    std::string command = "NO_COLOR= " + Quote(ONDRELLE_TOOL);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " 2>" + Quote(errFile);
    ToolRun run{-1, "", ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) run.out.append(chunk, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    run.err = text.str();
    return run;
}

struct Row {
    std::vector<std::string> args;
    int status;
    std::string out;  // in standard output; "" for none at all
    std::string err;  // in standard error
};

void Expect(const std::vector<Row>& rows, const TempSite& scratch) {
    for (const Row& row : rows) {
        std::string shown;
        for (const std::string& arg : row.args) shown += arg + " ";
        SCOPED_TRACE(shown);
        ToolRun run = Tool(row.args, scratch);
        EXPECT_EQ(run.status, row.status) << run.out << run.err;
        if (!row.out.empty()) {
            EXPECT_NE(run.out.find(row.out), std::string::npos) << run.out;
        } else {
            EXPECT_EQ(run.out, "");
        }
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find('\033'), std::string::npos) << "colour on a pipe";
    }
}

struct Sites {
    TempSite scratch, good, bad;
    std::string g, b, s;

    Sites() {
        good.Write("kelmora.exe", FakeLauncher());
        good.Write("autorun.inf", "[autorun]\r\nopen=kelmora.exe\r\n");
        good.Write("index.htm", "<a href=\"http://example.com/\">a note only</a>");
        bad.Write("index.htm", "<a href=\"gone.htm\">broken</a>");
        bad.Write("caf\xE9.htm", "");  // not UTF-8: shown in 1252, and the JSON still valid
        g = good.root().string(), b = bad.root().string(), s = scratch.root().string();
    }
};

TEST(CommandLine, ExitStatusAndOutput) {
    Sites sites;
    const std::string &g = sites.g, &b = sites.b, &s = sites.s;
    Expect({
        {{"check", g}, 0, "which opens d:\\index.htm in the default browser", ""},
        {{"check", g, "--quiet"}, 0, "", ""},
        {{"check", b}, 1, "autorun-missing", ""},
        {{"check", "-q", b}, 1, "link-broken", ""},
        {{"check", "/nonexistent/site"}, 2, "", "cannot read /nonexistent/site"},
        {{"check", g + "/index.htm"}, 2, "", "is neither a folder nor an ISO 9660 image"},
        {{"check", g, "--code-page", "932,1252"}, 0,
         "On Windows in code page 932 (Japanese) and 1252 (Western): Windows starts", ""},
        {{"check", "--code-page", "all", g}, 0, "in code page 874, 932, 936, 949, 950 and 1250 to 1258: Windows", ""},
        {{"check", g, "--code-page", "437"}, 2, "", "\"437\" is not an ANSI code page of Windows"},
        {{}, 2, "", "A subcommand is required"},
        {{"check"}, 2, "", "PATH is required"},
        {{"check", g, "--frob"}, 2, "", "--frob"},
        {{"burn", g}, 2, "", "subcommand"},
        {{"--help"}, 0, "check", ""},
        {{"check", "--help"}, 0, "--json", ""},
        {{"--version"}, 0, "ondrelle 1.0.1", ""},
        // The publisher's say: what is left out, what is not reported, what the disc is.
        {{"check", g, "--exclude", "*.htm"}, 1, "Left out of the disc: index.htm.", ""},
        {{"check", g, "--ignore", "link-external", "--ignore", "launcher-unsigned"}, 0, "\nNo findings.\n", ""},
        {{"check", g, "--ignore", "launcher-help"}, 2, "", "an error cannot be ignored"},
        {{"check", g, "--ignore", "link-gone"}, 2, "", "no finding has the id \"link-gone\""},
        {{"check", g, "--media", "dvd"}, 0, "which opens d:\\index.htm", ""},
        {{"check", g, "--media", "floppy"}, 2, "", "--media \"floppy\" is none of"},
        {{"disc", g}, 2, "", "--output is required"},
        {{"disc", g, "-o", s + "/x.iso", "--date", "2026-02-30"}, 2, "", "neither seconds since 1970"},
        {{"disc", g, "-o", s + "/x.iso", "--page", "a\"b.htm"}, 2, "", "plain ASCII without quotation"},
        {{"disc", b, "-o", s + "/x.iso", "--launcher", g + "/index.htm"}, 2, "", "is not Ondrelle's launcher"},
    }, sites.scratch);

    TempSite large;
    large.Sparse("video.mpg", 699ull << 20);  // and the launcher that disc adds
    ToolRun small = Tool({"check", large.root().string(), "--media", "cd-74"}, sites.scratch);
    EXPECT_NE(small.out.find("The files take 700 MiB, more than the 650 MiB of a 74-minute CD-R; use an 80-minute "
                             "CD-R (--media cd-80) or leave files out."), std::string::npos) << small.out;

    ToolRun json = Tool({"check", "--json", b}, sites.scratch);
    EXPECT_EQ(json.status, 1);
    nlohmann::json report = nlohmann::json::parse(json.out);
    EXPECT_EQ(report["path"], b);
    EXPECT_EQ(report["outcome"]["kind"], "none");
    bool shownIn1252 = false;
    for (const auto& finding : report["findings"]) shownIn1252 |= finding["path"] == "caf\xC3\xA9.htm";
    EXPECT_TRUE(shownIn1252) << json.out;
}

// The runs that write an image take the kelmora.exe that the tool finds beside itself, as a publisher's do.
TEST(CommandLine, DiscWithTheLauncherBesideTheTool) {
    Sites sites;
    const std::string &g = sites.g, &b = sites.b, &s = sites.s;
    ToolRun probe = Tool({"disc", b, "-o", s + "/probe.iso", "--dry-run"}, sites.scratch);
    if (probe.status == 2 && probe.err.find("cannot find kelmora.exe") != std::string::npos) {
        GTEST_SKIP() << "kelmora.exe is not built beside the tool: build the win32 preset";
    }
    TempSite plain;
    plain.Write("index.htm", "<p>A page.</p>");
    const std::string p = plain.root().string();
    Expect({
        {{"disc", g, "-o", s + "/g.iso", "--date", "2026-01-01"}, 0, "Wrote " + s + "/g.iso", ""},
        {{"check", s + "/g.iso"}, 0, "which opens d:\\index.htm in the default browser", ""},
        {{"disc", b, "-o", s + "/b.iso"}, 1, "Nothing was written", ""},
        // A folder without autorun.inf starts nothing; the disc made of it opens its page.
        {{"check", p}, 1, "There is no autorun.inf in the root. With the autorun.inf and kelmora.exe that ondrelle "
                          "disc adds, Windows starts D:\\kelmora.exe, which opens d:\\index.htm in the default browser.\n",
         ""},
        {{"disc", p, "-o", s + "/x.iso", "--exclude", "index.htm", "--dry-run"}, 1, "Left out of the disc: index.htm", ""},
        // label= in the first reader's code page, and what the others show of it.
        {{"disc", p, "-o", s + "/j.iso", "--label", "\xE6\x97\xA5\xE6\x9C\xAC", "--code-page", "932", "--dry-run",
          "--ignore", "launcher-unsigned"},
         0, "No findings.", ""},
        {{"disc", p, "-o", s + "/j.iso", "--label", "\xE6\x97\xA5\xE6\x9C\xAC", "--code-page", "932,1252",
          "--dry-run"},
         0, "autorun.inf holds the label in code page 932 (Japanese), and Explorer shows its label= line as "
            "\"\xE2\x80\x9C\xC3\xBA\xE2\x80\x93{\" in code page 1252 (Western)", ""},
    }, sites.scratch);
}

}  // namespace
