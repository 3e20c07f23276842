// The URLs that a browser fetches for a stylesheet, and those it never does.
#include "stylesheet.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Reference = std::tuple<std::string, unsigned, bool>;  // url, line, import

struct Row {
    const char* what;
    std::string css;
    std::vector<Reference> expected;
    unsigned firstLine = 1;
};

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Stylesheet, References) {
    const Row rows[] = {
        {"url() in any case, quoted or not",
         "a{background:url(a.png)}\nb{background:URL( \"b.png\" );c:Url('c.png')}",
         {{"a.png", 1, false}, {"b.png", 2, false}, {"c.png", 2, false}}},
        {"@font-face src: url() only, not format() or local()",
         "@font-face{font-family:F;src:url(f.woff2) format(\"woff2\"),local(\"F\"),url('f.woff')}",
         {{"f.woff2", 1, false}, {"f.woff", 1, false}}},
        {"cursor and list-style", "a{cursor:url(c.cur) 4 4,auto;list-style:square url(l.png) inside}",
         {{"c.cur", 1, false}, {"l.png", 1, false}}},
        {"image-set's strings are URLs; other strings are not",
         "a{b:image-set(\"1.png\" 1x,url(2.png) 2x,'3.avif' type(\"image/avif\"));"
         "c:-WEBKIT-image-set(\"4.png\" 1x);content:\"no.png\"}",
         {{"1.png", 1, false}, {"2.png", 1, false}, {"3.avif", 1, false}, {"4.png", 1, false}}},
        {"@import with a string or url(), conditions after it",
         "@import \"a.css\";\n@import url(b.css) screen;\n@import url( 'c.css' ) layer(base) supports(display:grid);\n"
         "@IMPORT \"d.css\"",
         {{"a.css", 1, true}, {"b.css", 2, true}, {"c.css", 3, true}, {"d.css", 4, true}}},
        {"@charset and @layer statements may come before @import",
         "@charset \"utf-8\";@layer base, theme;<!-- @import \"ok.css\"; -->", {{"ok.css", 1, true}}},
        {"@import after a rule is ignored", "a{}\n@import \"late.css\";\nb{c:url(ok.png)}", {{"ok.png", 3, false}}},
        {"@namespace's URL is never fetched",
         "@namespace svg url(http://www.w3.org/2000/svg);\n@import \"late.css\";\na{b:url(ok.png)}",
         {{"ok.png", 3, false}}},
        {"other at-rule preludes are conditions; a nested @import is ignored",
         "@supports (background:url(no.png)){@import \"no.css\";a{b:url(ok.png)}}", {{"ok.png", 1, false}}},
        {"a comment hides a url", "/* a{b:url(no.png)} */a{b:url(ok.png)}", {{"ok.png", 1, false}}},
        {"a comment after url( makes it unquoted, and the quote makes it bad",
         "a{b:url(/**/\"no.png\")}\n/*\n*/c{d:url(/**/ok.png)}", {{"/**/ok.png", 3, false}}},
        {"escaped url( and escapes in an unquoted url", R"css(a{b:u\72 l(caf\e9 .png);c:url(x\).png)})css",
         {{"caf\xC3\xA9.png", 1, false}, {"x).png", 1, false}}},
        {"escapes in a string; an escaped newline continues it",
         R"css(a{b:url("\"\\\0 \D800\110000 x\41 \
y")}
c{d:url(z.png)})css",
         {{"\"\\" + kReplacement + kReplacement + kReplacement + "xAy", 1, false}, {"z.png", 3, false}}},
        {"unquoted url with whitespace around it", "a{b:url(  s.png\t\n)}", {{"s.png", 1, false}}},
        {"a quote or a space inside an unquoted url makes it bad",
         "a{b:url(a\"b.png);c:url(a b.png);d:url(ok.png)}", {{"ok.png", 1, false}}},
        {"a newline ends a string as a bad string", "a{b:url(\"x\n)}\nc{d:url(ok.png)}", {{"ok.png", 3, false}}},
        {"\\r\\n, \\r, \\f and \\n are one newline each",
         "a{b:url(1.png)}\r\nc{d:url(2.png)}\re{f:url(3.png)}\fg{h:url(4.png)}\n\r\ni{j:url(5.png)}",
         {{"1.png", 1, false}, {"2.png", 2, false}, {"3.png", 3, false}, {"4.png", 4, false}, {"5.png", 6, false}}},
        {"empty url() fetches nothing", "@import \"\";a{b:url();c:url( );d:url('')}", {}},
        {"names and numbers that end in url are not url(", "a{b:1url(no.png) x-url(no.png);c:url(ok.png)}",
         {{"ok.png", 1, false}}},
        {"a style attribute, counted from its line", "background: url(x.png); color: red", {{"x.png", 7, false}}, 7},
    };
    for (const Row& row : rows) {
        std::vector<Reference> found;
        for (const publisher::StyleReference& r : publisher::StyleReferences(row.css, row.firstLine))
            found.emplace_back(r.url, r.line, r.import);
        EXPECT_EQ(found, row.expected) << row.what;
    }
}

}  // namespace
