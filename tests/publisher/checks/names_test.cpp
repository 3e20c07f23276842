// The entries of a site and what each of them costs on a disc: names,
// sizes, links and special files.
#include "disc_tree.h"
#include "names.h"
#include "site.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Row {
    const char* name;
    std::function<void(const TempSite&)> make;
    std::vector<std::string> expected;  // "id path", sorted
};

std::vector<std::string> Found(const TempSite& site) {
    publisher::Result<publisher::DiscTree> tree = publisher::ReadFolderTree(site.root());
    EXPECT_TRUE(tree.ok()) << (tree.ok() ? "" : tree.error());
    if (!tree.ok()) return {};
    publisher::Findings findings;
    publisher::CheckNames(tree.value(), findings);
    publisher::CheckTree(tree.value(), findings);
    std::vector<std::string> found;
    for (const publisher::Finding& f : findings.All()) found.push_back(f.id + " " + f.path);
    std::sort(found.begin(), found.end());
    return found;
}

std::function<void(const TempSite&)> Files(std::vector<std::string> names) {
    return [names](const TempSite& site) {
        for (const std::string& name : names) site.Write(name, "x");
    };
}

TEST(Names, EveryEntryAndItsFindings) {
    const std::string long64(60, 'n'), deep(60, 'd');
    const std::vector<Row> rows = {
        {"plain names", Files({"index.htm", "images/Disc.GIF", "a&b (1).htm", "caf\xC3\xA9.htm", "COM0", "console.htm",
                               "lpt10.txt", "\xE2\x82\xAC.htm", std::string(64, 'x')}),
         {}},
        {"reserved", Files({"CON", "con.txt", "Aux.tar.gz", "nul.htm", "com1", "LPT9.doc", "prn"}),
         {"name-reserved Aux.tar.gz", "name-reserved CON", "name-reserved LPT9.doc", "name-reserved com1",
          "name-reserved con.txt", "name-reserved nul.htm", "name-reserved prn"}},
        {"characters Windows refuses", Files({"a<b", "a>b", "a:b", "a\"b", "a|b", "a?b", "a*b", "a\\b", "tab\tx"}),
         {"name-invalid a\"b", "name-invalid a*b", "name-invalid a:b", "name-invalid a<b", "name-invalid a>b",
          "name-invalid a?b", "name-invalid a\\b", "name-invalid a|b", "name-invalid tab\tx"}},
        {"not UTF-8", Files({"caf\xE9.htm"}), {"name-invalid caf\xC3\xA9.htm"}},
        {"allowed by Windows, not by Joliet", Files({"a;b.htm"}), {"name-invalid a;b.htm"}},
        // The browser opens them by their Unicode names; the launcher's own are checked with its run.
        {"no 1252 form", Files({"\xC4\x80.htm", "\xE6\x97\xA5/index.htm"}), {}},
        {"trailing dot or space", Files({"page.", "page ", "dir./x.htm"}),
         {"name-trailing-dot-or-space dir.", "name-trailing-dot-or-space page ",
          "name-trailing-dot-or-space page."}},
        {"longer than Joliet's 64", Files({std::string(65, 'x'), std::string(65, 'y') + "/z"}),
         {"name-too-long " + std::string(65, 'x'), "name-too-long " + std::string(65, 'y')}},
        {"names alike but for case", Files({"Index.htm", "index.HTM", "\xC3\x89.htm", "\xC3\xA9.htm", "sub/A", "sub/b"}),
         {"name-case-collision index.HTM", "name-case-collision \xC3\xA9.htm"}},
        {"paths past 259 characters",
         Files({deep + "/" + deep + "/" + deep + "/" + deep + "/" + deep + "/x.htm", deep + "/" + long64}),
         {"path-too-long " + deep + "/" + deep + "/" + deep + "/" + deep + "/" + deep}},
        {"4 GiB", [](const TempSite& s) { s.Sparse("big.iso", 4ull << 30); s.Sparse("less.bin", (4ull << 30) - 1); },
         {"disc-too-large ", "file-too-large big.iso"}},
        {"larger than a CD-R", [](const TempSite& s) { s.Sparse("a.bin", 400ull << 20); s.Sparse("b.bin", 304ull << 20); },
         {"disc-too-large "}},
        {"just fits a CD-R", [](const TempSite& s) { s.Sparse("a.bin", 703ull << 20); }, {}},
        {"special files", [](const TempSite& s) { s.Fifo("pipe"); s.Folder("sub"); s.Fifo("sub/autorun.inf"); },
         {"special-file pipe", "special-file sub/autorun.inf"}},
        {"symbolic links",
         [](const TempSite& s) {
             s.Write("index.htm", "x");
             s.Link("alias.htm", "index.htm");      // followed
             s.Link("docs", "sub");                  // followed
             s.Write("sub/page.htm", "x");
             s.Link("sub/up", "..");                 // a loop
             s.Link("etc", "/etc");                  // outside
             s.Link("ping", "pong");
             s.Link("pong", "ping");                 // a loop of links
             s.Link("gone.htm", "nothing.htm");      // broken
         },
         {"symlink-broken gone.htm", "symlink-outside docs/up", "symlink-outside etc", "symlink-outside ping",
          "symlink-outside pong", "symlink-outside sub/up"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempSite site;
        row.make(site);
        EXPECT_EQ(Found(site), row.expected);
    }
}

TEST(Names, APathThatCannotBeReadStopsTheCheck) {
    EXPECT_FALSE(publisher::ReadFolderTree("/nonexistent/site").ok());
    TempSite site;
    site.Write("file.htm", "x");
    publisher::Result<publisher::DiscTree> tree = publisher::ReadFolderTree(site.root() / "file.htm");
    ASSERT_FALSE(tree.ok());
    EXPECT_NE(tree.error().find("is not a folder"), std::string::npos);
}

}  // namespace
