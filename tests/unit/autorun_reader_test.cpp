// The autorun reader over real sites: natively through the stand-in, under
// Wine against the real file system.
#include "autorun_reader.h"
#include "globals.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

const std::string kMessageA =
    "Note, Ondrelle (<b>kelmora.exe</b>) is a stand-alone utility. It is not an application that "
    "needs to be installed on your computer. This help is being displayed because the file "
    "<b>autorun.inf</b> was not found (see below).";
const std::string kMessageB =
    "This help is being displayed because the file <b>autorun.inf</b> is incorrect (<a "
    "href=\"#autorun\">see below</a>).";
const std::string kMessageD =
    "This help is being displayed because neither the file <b>index.htm</b> nor <b>index.html</b> "
    "was found (<a href=\"#HowTo\">see below</a>).";
const std::string kStartC = "This help is being displayed because the file <b>";
const std::string kEndC = "</b> was not found.";

std::string MessageC(const std::string& escapedToken) { return kStartC + escapedToken + kEndC; }

std::string Lower(std::string text) {
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] >= 'A' && text[i] <= 'Z') text[i] = char(text[i] + ('a' - 'A'));
    }
    return text;
}

struct Outcome {
    std::string message;
    std::string page;
    int useIE;
};

// One run as the launcher makes it: errMsg empty beforehand. LaunchState
// holds stale bytes that the reader must clear.
Outcome Read() {
    errMsg[0] = 0;
    memset(&LaunchState, 0xAB, sizeof LaunchState);
    ReadAutorun();
    Outcome outcome;
    EXPECT_LT(strlen(errMsg), size_t(kErrMsgSize));
    EXPECT_LT(strlen(LaunchState.pagePath), size_t(MAX_PATH));
    outcome.message = errMsg;
    outcome.page = LaunchState.pagePath;
    outcome.useIE = LaunchState.useIE;
    if (!outcome.message.empty()) {
        LaunchRecord zero;
        memset(&zero, 0, sizeof zero);
        EXPECT_EQ(memcmp(&LaunchState, &zero, sizeof zero), 0) << "LaunchState not all zero after "
                                                                << outcome.message;
    } else {
        EXPECT_NE(outcome.page, "");
    }
    return outcome;
}

// A site with its executable in the root and the given open= value.
struct Site : TestSite {
    explicit Site(const std::string& open = "kelmora.exe") {
        PlaceExecutable();
        EXPECT_TRUE(Write("autorun.inf", "[autorun]\r\nopen=" + open + "\r\nicon=kelmora.exe\r\n"));
    }
};

TEST(AutorunReader, OpenLinesAndTheirOutcomes) {
    struct Case {
        const char* open;
        const char* message;  // "A".."D", or "" for success
        const char* page;     // success: joined as written ("=" the start page); C: the token
        int useIE;
    } cases[] = {
        // No page token: the start page search decides.
        {"kelmora.exe", "", "=", 0},
        {"kelmora.exe -i", "", "=", 1},
        {"", "", "=", 0},
        {" \t ", "", "=", 0},
        {"setup.exe", "", "=", 0},  // the first plain token is skipped whatever it says
        {"-i kelmora.exe", "", "=", 1},
        // A page token, joined as written; -i wherever it stands.
        {"kelmora.exe page.htm", "", "page.htm", 0},
        {"kelmora.exe page.htm -i", "", "page.htm", 1},
        {"-i kelmora.exe page.htm", "", "page.htm", 1},
        {"kelmora.exe -ix page.htm", "", "page.htm", 1},  // only the option byte counts
        {"kelmora.exe \"My Page.htm\" -i", "", "My Page.htm", 1},
        {"kelmora.exe DOCS\\Intro.HTM", "", "DOCS\\Intro.HTM", 0},
        {"kelmora.exe docs", "", "docs", 0},  // a directory exists too
        {"kelmora.exe \"\"", "", "", 0},      // the executable's own directory
        {"kelmora.exe a&b.htm", "", "a&b.htm", 0},
        // Incorrect lines, also after a page or -i was already taken.
        {"kelmora.exe page.htm extra", "B", "", 0},
        {"kelmora.exe -i page.htm extra", "B", "", 0},
        {"kelmora.exe -I", "B", "", 0},
        {"kelmora.exe -x", "B", "", 0},
        {"kelmora.exe -", "B", "", 0},
        {"-i kelmora.exe -", "B", "", 0},
        {"kelmora.exe --i", "B", "", 0},
        // A page that does not exist stops the reading.
        {"kelmora.exe missing.htm -x", "C", "missing.htm", 0},
        {"-i kelmora.exe missing.htm extra", "C", "missing.htm", 0},
        {"kelmora.exe \"No Page.htm\"", "C", "No Page.htm", 0},
        {"kelmora.exe \"-i\"", "C", "-i", 0},  // quoted, it is a plain token
        {"kelmora.exe docs\\index.htm", "C", "docs\\index.htm", 0},
    };
    Site site;
    ASSERT_TRUE(site.Write("index.htm", "x"));
    ASSERT_TRUE(site.Write("page.htm", "x"));
    ASSERT_TRUE(site.Write("My Page.htm", "x"));
    ASSERT_TRUE(site.Write("a&b.htm", "x"));
    ASSERT_TRUE(site.MakeDir("Docs"));
    ASSERT_TRUE(site.Write("Docs\\intro.htm", "x"));
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        const Case& c = cases[i];
        SCOPED_TRACE(std::string("open=") + c.open);
        ASSERT_TRUE(site.Write("autorun.inf", std::string("[autorun]\r\nopen=") + c.open + "\r\n"));
        Outcome outcome = Read();
        std::string kind = c.message;
        if (kind.empty()) {
            EXPECT_EQ(outcome.message, "");
            std::string page = c.page;
            EXPECT_EQ(outcome.page, page == "=" ? Lower(site.Path("index.htm")) : site.Path(page));
            EXPECT_EQ(outcome.useIE, c.useIE);
        } else if (kind == "B") {
            EXPECT_EQ(outcome.message, kMessageB);
        } else {
            EXPECT_EQ(outcome.message, MessageC(c.page));
        }
    }
}

TEST(AutorunReader, TheOpenKeyIsReadFromTheAutorunSectionOnly) {
    struct Case {
        const char* file;
        bool found;
    } cases[] = {
        {"[AutoRun]\nOPEN = kelmora.exe -i\n", true},
        {"[other]\r\nopen=kelmora.exe -i\r\n[autorun]\r\nicon=x.ico\r\n", false},
        {"open=kelmora.exe -i\r\n[autorun]\r\n", false},
        {"[autorun]\r\n[x\r\nopen=kelmora.exe -i\r\n", false},
        {"", false},
    };
    Site site;
    ASSERT_TRUE(site.Write("index.htm", "x"));
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].file);
        ASSERT_TRUE(site.Write("autorun.inf", cases[i].file));
        Outcome outcome = Read();
        if (cases[i].found) {
            EXPECT_EQ(outcome.message, "");
            EXPECT_EQ(outcome.useIE, 1);
        } else {
            EXPECT_EQ(outcome.message, kMessageB);
        }
    }
}

TEST(AutorunReader, MissingFileOrMissingStartPage) {
    TestSite site;
    site.PlaceExecutable();
    ASSERT_TRUE(site.Write("index.htm", "x"));
    EXPECT_EQ(Read().message, kMessageA);
    ASSERT_TRUE(site.MakeDir("autorun.inf"));  // exists, but cannot be read
    EXPECT_EQ(Read().message, kMessageA);

    Site bare("kelmora.exe -i");  // no page token and nothing for the search
    ASSERT_TRUE(bare.MakeDir("sub"));
    ASSERT_TRUE(bare.MakeDir("sub\\deeper"));
    ASSERT_TRUE(bare.Write("sub\\deeper\\index.htm", "x"));
    EXPECT_EQ(Read().message, kMessageD);
    // The search's lower-cased result, below the root.
    ASSERT_TRUE(bare.Write("sub\\Index.html", "x"));
    Outcome found = Read();
    EXPECT_EQ(found.message, "");
    EXPECT_EQ(found.page, Lower(bare.Path("sub\\index.html")));
    EXPECT_EQ(found.useIE, 1);
}

TEST(AutorunReader, AValueLongerThan259BytesIsReadInItsShortenedForm) {
    Site site;
    ASSERT_TRUE(site.Write("page.htm", "x"));
    // Trimmed, the value's first 259 bytes end just after page.htm.
    std::string open = std::string(250, 'k') + " page.htmqqqq";
    ASSERT_TRUE(site.Write("autorun.inf", "[autorun]\r\nopen=  " + open + "\r\n"));
    Outcome outcome = Read();
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(outcome.page, site.Path("page.htm"));
}

std::string Repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; i++) result += text;
    return result;
}

// Message C carries the token into HTML: markup characters are escaped, and
// the message is cut only between whole characters, never past errMsg.
TEST(AutorunReader, MessageCEscapesTheTokenAndAlwaysFits) {
    struct Case {
        std::string written;  // as it stands in the open= line
        std::string escaped;
    } cases[] = {
        {"missing.htm", "missing.htm"},
        {"\"<img src=x onerror=alert(1)>\"", "&lt;img src=x onerror=alert(1)&gt;"},
        {"a&b\"c'd.htm", "a&amp;b&quot;c'd.htm"},
        {std::string(247, 'p'), std::string(247, 'p')},
        // 443 bytes of escaped text fit exactly; with one byte more the
        // last entity is left out whole.
        {"xxx" + std::string(88, '&'), "xxx" + Repeat("&amp;", 88)},
        {"xxxx" + std::string(88, '&'), "xxxx" + Repeat("&amp;", 87)},
        {"a" + std::string(200, '"'), "a" + Repeat("&quot;", 73)},
        {"a" + std::string(200, '<'), "a" + Repeat("&lt;", 110)},
    };
    Site site;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].written.substr(0, 40));
        ASSERT_TRUE(site.Write("autorun.inf", "[autorun]\r\nopen=k " + cases[i].written + "\r\n"));
        Outcome outcome = Read();
        EXPECT_EQ(outcome.message, MessageC(cases[i].escaped));
        EXPECT_LE(outcome.message.size(), size_t(kErrMsgSize - 1));
    }
    // The longest token the value allows, of characters that all grow fivefold.
    ASSERT_TRUE(site.Write("autorun.inf", "[autorun]\r\nopen=k a" + std::string(400, '&') + "\r\n"));
    EXPECT_EQ(Read().message, MessageC("a" + Repeat("&amp;", 88)));
}

TEST(AutorunReader, PathsThatDoNotFitAreNeverCutIntoOthers) {
    // The directory + "autorun.inf" needs 260 characters; cut to 259 it
    // would name "autorun.in", which holds a valid file.
    TestSite deep;
    std::string dir = deep.MakeDirOfLength(249);
    ASSERT_TRUE(deep.Write(dir + "autorun.in", "[autorun]\r\nopen=kelmora.exe\r\n"));
    ASSERT_TRUE(deep.Write(dir + "index.htm", "x"));
    deep.PlaceExecutable(dir + "k.exe");
    EXPECT_EQ(Read().message, kMessageA);

    // The directory + the page token needs 260 characters or more; cut to
    // 259 it would name an existing file.
    Site site;
    std::string existing(259 - site.Root().size(), 'f');
    ASSERT_TRUE(site.Write(existing, "x"));
    std::string token = existing + ".htm";
    ASSERT_TRUE(site.Write("autorun.inf", "[autorun]\r\nopen=k " + token + "\r\n"));
    EXPECT_EQ(Read().message, MessageC(token));
    // Exactly 259 characters still fit.
    ASSERT_TRUE(site.Write("autorun.inf", "[autorun]\r\nopen=k " + existing + " -i\r\n"));
    Outcome outcome = Read();
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(outcome.page, site.Path(existing));
    EXPECT_EQ(outcome.useIE, 1);
}

}  // namespace
