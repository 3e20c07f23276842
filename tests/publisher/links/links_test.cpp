// Every kind of link, in one small site, and what the check says of each.
#include "disc_tree.h"
#include "links.h"
#include "site.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// One link per line, so that a finding's line tells which link it is about.
const char kIndex[] =
    "<html><head><link rel=stylesheet href=\"style.css\"><script src=\"missing.js\"></script></head>\n"  // 1
    "<body background=\"missing-bg.gif\">\n"                                                              // 2
    "<a href=\"page.htm\">fine</a>\n"                                                                     // 3
    "<a href=\"Page.HTM\">case</a>\n"                                                                     // 4
    "<a href=\"missing.htm\">broken</a>\n"                                                                // 5
    "<a href=\"page.htm#there\">anchor</a> <a href=\"#top\">top</a> <a href='#local' name=local>self</a>\n"  // 6
    "<a href=\"page.htm#nowhere\">no anchor</a>\n"                                                        // 7
    "<a href=\"#absent\">no anchor here</a>\n"                                                            // 8
    "<a href=\"file:///C:/x.htm\">file URL</a>\n"                                                         // 9
    "<a href=\"C:\\site\\x.htm\">drive</a>\n"                                                             // 10
    "<a href=\"../up.htm\">above the root</a>\n"                                                          // 11
    "<a href=\"http://example.com/\">web</a> <a href=\"mailto:a@example.com\">mail</a>\n"                 // 12
    "<a href=\"javascript:void(0)\">script</a> <a href=\"\">empty</a>\n"                                  // 13
    "<a href=\"sub/\">a folder</a>\n"                                                                     // 14
    "<a href=\" my%20file.htm?x=1#f \">escapes and query</a>\n"                                           // 15
    "<a href=\"/sub/deep.htm\">root-relative</a> <a href=\"sub\\deep.htm\">backslash</a>\n"               // 16
    "<a href=a&amp;b.htm>reference</a> <p><a href=soup.htm<b>tag soup</b>\n"                              // 17
    "<map><area href=\"missing-area.htm\"></map>\n"                                                       // 18
    "<img src=\"missing.gif\"><iframe src=\"missing-frame.htm\"></iframe>\n"                              // 19
    "<embed src=\"missing.swf\"><input type=IMAGE src=\"missing-input.gif\"><input src=\"not-a-link.gif\">\n"  // 20
    "<table><tr><td background=\"missing-td.gif\">cell</td></tr></table>\n"                               // 21
    "<a href=\"caf%C3%A9.htm\">UTF-8 escapes</a>\n"                                                       // 22
    "</body></html>\n";

// Not UTF-8: read as windows-1252, so caf\xE9 is the file named café.
const char kPage[] = "<html><body><p id=there>Here.</p><a href=\"caf\xE9.htm\">1252</a>"
                     "<a href=\"http://example.com/\">web again</a></body></html>";

const char kFrames[] = "<html><frameset><frame src=\"page.htm\"><frame src=\"missing-frame2.htm\"></frameset></html>";

const char kBased[] = "<html><head><base href=\"sub/\"></head><body>\n"
                      "<a href=\"deep.htm\">under the base</a>\n"
                      "<a href=\"nothere.htm\">broken under the base</a>\n"
                      "</body></html>";

const char kAway[] = "<html><head><base href=\"http://example.org/site/\"></head><body>\n"
                     "<a href=\"x.htm\">off the disc</a></body></html>";

// One broken reference of every other kind that a browser loads or follows,
// and the kinds that it never loads, which are no findings.
const char kKinds[] =
    "<html><head>\n"                                                                                    // 1
    "<link rel=stylesheet href=\"css/site.css\"><link rel=\"shortcut icon\" href=\"gone.ico\">\n"    // 2
    "<link rel=canonical href=\"file:///usr/share/doc/x.html\"><link rev=made href=\"a@b.org\">\n"     // 3
    "<link rel=next href=\"gone-next.htm\"><link rel=modulepreload href=\"mod.js\">\n"                 // 4
    "<meta http-equiv=Refresh content=\"5; URL='gone-refresh.htm'\">\n"                                // 5
    "<style>\n"                                                                                         // 6
    "@import url(\"gone-import.css\");\n"                                                              // 7
    ".a { background: url(gone-style.png) }</style>\n"                                                 // 8
    "</head><body>\n"                                                                                   // 9
    "<p style=\"background: url('gone-attr.png')\">x</p>\n"                                            // 10
    "<img src=\"pic.png\" srcset=\"pic.png 1x, gone-2x.png 2x\">\n"                                    // 11
    "<picture><source srcset=\"gone.webp\"><img src=\"pic.png\"></picture>\n"                          // 12
    "<video src=\"gone.mp4\" poster=\"gone-poster.jpg\"><track src=\"gone.vtt\"></video>\n"           // 13
    "<audio src=\"gone.ogg\"><source src=\"gone-source.mp3\"></audio>\n"                               // 14
    "<object data=\"gone.svg\"></object>\n"                                                            // 15
    "<svg><image href=\"gone-image.png\"/><use xlink:href=\"gone-use.svg#i\"/></svg>\n"                // 16
    "<script type=module src=\"mod.js\"></script>\n"                                                   // 17
    "<template><img src=\"gone-template.png\"></template><noscript><img src=\"gone-noscript.png\"></noscript>\n"  // 18
    "<table background=\"gone-table.gif\"><tr><th background=\"gone-th.gif\">x</th></tr></table>\n"     // 19
    "</body></html>\n";

// A stylesheet's references resolve against its own folder, and what it
// imports is read in turn.
const char kSiteCss[] = "@import \"more/deeper.css\";\n"
                        "body { background: url(../pic.png) }\n"
                        ".f { background: url(gone-bg.png) }\n"
                        "@font-face { font-family: F; src: url(\"fonts/gone.woff2\") }\n";

struct Expected {
    const char* id;
    const char* path;
    const char* text;  // in the message
};

TEST(Links, EveryKindOfLink) {
    TempSite site;
    site.Write("index.htm", kIndex);
    site.Write("page.htm", kPage);
    site.Write("frames.html", kFrames);
    site.Write("based.htm", kBased);
    site.Write("away.htm", kAway);
    site.Write("style.css", "");
    site.Write("my file.htm", "<p id=f>");
    site.Write("a&b.htm", "");
    site.Write("soup.htm", "");
    site.Write("caf\xC3\xA9.htm", "");
    site.Write("sub/deep.htm", "");
    site.Sparse("huge.htm", 65ull << 20);
    site.Write("kinds.htm", kKinds);
    site.Write("css/site.css", kSiteCss);
    site.Write("css/more/deeper.css", "i { background: url(gone-deep.png) }");
    site.Write("pic.png", "");
    site.Write("mod.js", "");

    const std::vector<Expected> expected = {
        {"link-broken", "index.htm", "Line 1: src=\"missing.js\""},
        {"link-broken", "index.htm", "Line 2: background=\"missing-bg.gif\""},
        {"link-case-mismatch", "index.htm", "Line 4: href=\"Page.HTM\" finds page.htm"},
        {"link-broken", "index.htm", "Line 5: href=\"missing.htm\" names D:\\missing.htm"},
        {"link-anchor-missing", "index.htm", "Line 7: href=\"page.htm#nowhere\""},
        {"link-anchor-missing", "index.htm", "Line 8: href=\"#absent\""},
        {"link-outside-disc", "index.htm", "Line 9: href=\"file:///C:/x.htm\" is a file: URL"},
        {"link-outside-disc", "index.htm", "Line 10: href=\"C:\\site\\x.htm\" is a drive-letter path"},
        {"link-outside-disc", "index.htm", "Line 11: href=\"../up.htm\" is above the disc's root"},
        {"link-external", "index.htm", "\"http://example.com/\" needs a network (linked from 2 pages)"},
        {"link-external", "index.htm", "\"mailto:a@example.com\""},
        {"link-folder", "index.htm", "Line 14: href=\"sub/\" leads to a folder"},
        // As in browsers, an unquoted value runs on to the next blank or '>'.
        {"link-broken", "index.htm", "Line 17: href=\"soup.htm<b\""},
        {"link-broken", "index.htm", "Line 18: href=\"missing-area.htm\""},
        {"link-broken", "index.htm", "Line 19: src=\"missing.gif\""},
        {"link-broken", "index.htm", "Line 19: src=\"missing-frame.htm\""},
        {"link-broken", "index.htm", "Line 20: src=\"missing.swf\""},
        {"link-broken", "index.htm", "Line 20: src=\"missing-input.gif\""},
        {"link-broken", "index.htm", "Line 21: background=\"missing-td.gif\""},
        {"link-broken", "frames.html", "src=\"missing-frame2.htm\""},
        {"link-broken", "based.htm", "Line 3: href=\"nothere.htm\" names D:\\sub\\nothere.htm"},
        {"link-external", "away.htm", "\"http://example.org/site/\""},
        {"page-not-checked", "huge.htm", "larger than 64 MiB"},
        {"page-base-off-disc", "away.htm", "<base href=\"http://example.org/site/\">"},
        {"link-broken", "kinds.htm", "Line 2: href=\"gone.ico\""},
        {"page-module-script", "kinds.htm", "Line 4: href=\"mod.js\" loads a module script"},
        {"link-broken", "kinds.htm", "Line 5: refresh=\"gone-refresh.htm\""},
        {"link-broken", "kinds.htm", "Line 7: @import \"gone-import.css\""},
        {"link-broken", "kinds.htm", "Line 8: url(\"gone-style.png\")"},
        {"link-broken", "kinds.htm", "Line 10: url(\"gone-attr.png\")"},
        {"link-broken", "kinds.htm", "Line 11: srcset=\"gone-2x.png\""},
        {"link-broken", "kinds.htm", "Line 12: srcset=\"gone.webp\""},
        {"link-broken", "kinds.htm", "Line 13: src=\"gone.mp4\""},
        {"link-broken", "kinds.htm", "Line 13: poster=\"gone-poster.jpg\""},
        {"link-broken", "kinds.htm", "Line 13: src=\"gone.vtt\""},
        {"link-broken", "kinds.htm", "Line 14: src=\"gone.ogg\""},
        {"link-broken", "kinds.htm", "Line 14: src=\"gone-source.mp3\""},
        {"link-broken", "kinds.htm", "Line 15: data=\"gone.svg\""},
        {"link-broken", "kinds.htm", "Line 16: href=\"gone-image.png\""},
        {"link-broken", "kinds.htm", "Line 16: href=\"gone-use.svg#i\""},
        {"page-module-script", "kinds.htm", "Line 17: src=\"mod.js\" loads a module script"},
        {"link-broken", "kinds.htm", "Line 19: background=\"gone-table.gif\""},
        {"link-broken", "kinds.htm", "Line 19: background=\"gone-th.gif\""},
        {"link-broken", "css/site.css", "Line 3: url(\"gone-bg.png\") names D:\\css\\gone-bg.png"},
        {"link-broken", "css/site.css", "Line 4: url(\"fonts/gone.woff2\") names D:\\css\\fonts\\gone.woff2"},
        {"link-broken", "css/more/deeper.css", "Line 1: url(\"gone-deep.png\") names D:\\css\\more\\gone-deep.png"},
    };
    publisher::Result<publisher::DiscTree> tree = publisher::ReadFolderTree(site.root());
    ASSERT_TRUE(tree.ok());
    publisher::Findings findings;
    publisher::CheckLinks(tree.value(), findings);
    std::vector<bool> matched(findings.All().size());
    for (const Expected& e : expected) {
        int count = 0;
        for (size_t i = 0; i < findings.All().size(); i++) {
            const publisher::Finding& f = findings.All()[i];
            if (f.id == e.id && f.path == e.path && f.message.find(e.text) != std::string::npos) {
                count++;
                matched[i] = true;
            }
        }
        EXPECT_EQ(count, 1) << e.id << " " << e.path << ": " << e.text;
    }
    for (size_t i = 0; i < matched.size(); i++) {
        const publisher::Finding& f = findings.All()[i];
        EXPECT_TRUE(matched[i]) << "unexpected: " << f.id << " " << f.path << ": " << f.message;
    }
}

// A file that one link opens as a page and another loads as a stylesheet is
// read as each: its url() as a stylesheet's, its <a> as a page's.
TEST(Links, AFileLinkedAsPageAndAsStylesheetIsReadAsEach) {
    TempSite site;
    site.Write("index.htm", "<link rel=stylesheet href=\"both.htm\"><a href=\"both.htm\">page</a>");
    site.Write("both.htm", "a { background: url(gone.gif) }\n<a href=\"gone.htm\">x</a>");
    publisher::Result<publisher::DiscTree> tree = publisher::ReadFolderTree(site.root());
    ASSERT_TRUE(tree.ok());
    publisher::Findings findings;
    publisher::CheckLinks(tree.value(), findings);
    std::vector<std::string> broken;
    for (const publisher::Finding& f : findings.All()) {
        if (f.id == "link-broken") broken.push_back(f.target + " " + f.path + ":" + std::to_string(f.line));
    }
    std::sort(broken.begin(), broken.end());
    EXPECT_EQ(broken, (std::vector<std::string>{"gone.gif both.htm:1", "gone.htm both.htm:2"}));
}

}  // namespace
