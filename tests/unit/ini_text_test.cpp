// The INI text document against real files: natively through the stand-in
// and under Wine through the real file API.
#include "ini_text.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

const std::string kAutorun = "[autorun]\r\nopen=kelmora.exe -i\r\n";

// A site holding one file, loaded into `doc`.
class Loaded {
public:
    explicit Loaded(const std::string& bytes) : ok(site.Write("a.inf", bytes) && doc.Load(Path().c_str())) {}
    std::string Path() const { return site.Path("a.inf"); }
    std::string Text() const { return doc.length ? std::string(doc.data, size_t(doc.length)) : ""; }

    TestSite site;
    IniText doc;
    bool ok;
};

// GetValue into a buffer that starts out full of junk, so that a missing
// terminator shows.
std::string Value(const IniText& doc, const char* key, bool* found, int size = MAX_PATH) {
    char buffer[MAX_PATH + 8];
    memset(buffer, 'Q', sizeof buffer);
    *found = doc.GetValue(key, buffer, size);
    EXPECT_LT(strlen(buffer), size_t(size)) << "key " << key;
    return buffer;
}

std::string SectionText(const IniText& doc, bool* ok, int size = MAX_PATH) {
    char buffer[MAX_PATH + 8];
    memset(buffer, 'Q', sizeof buffer);
    *ok = doc.GetSectionText(buffer, size);
    EXPECT_LT(strlen(buffer), size_t(size));
    return buffer;
}

TEST(IniTextLoad, TheLaunchersAutorunFile) {
    Loaded f(kAutorun);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.Text(), kAutorun);
    EXPECT_EQ(f.doc.capacity, unsigned(kAutorun.size()) + 1);
    bool found = true;
    EXPECT_EQ(Value(f.doc, "open", &found), "");  // no section searched yet
    EXPECT_FALSE(found);

    char* before = f.doc.data;
    ASSERT_TRUE(f.doc.FindSection("autorun"));
    EXPECT_EQ(f.doc.data, before);  // the loaded array already has room for the NUL
    EXPECT_EQ(f.doc.cursor, f.doc.data + strlen("[autorun]\r\n"));
    EXPECT_EQ(Value(f.doc, "open", &found), "kelmora.exe -i");
    EXPECT_TRUE(found);

    Loaded plain("[autorun]\r\nopen=kelmora.exe\r\n");
    ASSERT_TRUE(plain.ok);
    plain.doc.FindSection("autorun");
    EXPECT_EQ(Value(plain.doc, "open", &found), "kelmora.exe");
    EXPECT_TRUE(found);
}

TEST(IniTextLoad, EmptyMissingAndDirectory) {
    Loaded empty("");
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(empty.doc.length, 0);
    EXPECT_FALSE(empty.doc.FindSection("autorun"));
    bool found = true;
    EXPECT_EQ(Value(empty.doc, "open", &found), "");
    EXPECT_FALSE(found);

    // A failed load discards the text loaded before.
    Loaded f(kAutorun);
    ASSERT_TRUE(f.ok);
    f.doc.FindSection("autorun");
    EXPECT_FALSE(f.doc.Load(f.site.Path("missing.inf").c_str()));
    EXPECT_EQ(f.doc.data, (char*)0);
    EXPECT_EQ(f.doc.cursor, (char*)0);
    EXPECT_EQ(f.doc.length, 0);
    EXPECT_EQ(f.doc.capacity, 0u);

    ASSERT_TRUE(f.site.MakeDir("dir.inf"));
    EXPECT_FALSE(f.doc.Load(f.site.Path("dir.inf").c_str()));
    EXPECT_EQ(f.doc.data, (char*)0);
}

TEST(IniTextSections, HeaderOrKeyOnTheLastLineWithoutNewline) {
    Loaded header("open=x\n[autorun]");
    ASSERT_TRUE(header.ok);
    EXPECT_TRUE(header.doc.FindSection("autorun"));
    EXPECT_EQ(header.doc.cursor, header.doc.data + header.doc.length);
    bool found = true;
    EXPECT_EQ(Value(header.doc, "open", &found), "");
    EXPECT_FALSE(found);

    Loaded key("[autorun]\nopen=page.htm");
    ASSERT_TRUE(key.ok);
    EXPECT_TRUE(key.doc.FindSection("autorun"));
    EXPECT_EQ(Value(key.doc, "open", &found), "page.htm");
    EXPECT_TRUE(found);
}

TEST(IniTextSections, WhichHeadersNameTheSection) {
    struct Case {
        const char* header;
        bool matches;
    } cases[] = {
        {"[autorun]", true},
        {"[AutoRun]", true},
        {"[AUTORUN]", true},
        {"[autorun] ; comment", true},
        {"[autorun]junk", true},
        {" [autorun]", false},
        {"\t[autorun]", false},
        {"[ autorun]", false},
        {"[autorun ]", false},
        {"[autorunner]", false},
        {"[autoru]", false},
        {"[autorun", false},
        {"autorun", false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        Loaded f(std::string("[other]\r\nopen=no\r\n") + cases[i].header + "\r\nopen=yes\r\n");
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(f.doc.FindSection("autorun"), cases[i].matches) << "header [" << cases[i].header << "]";
        bool found = false;
        EXPECT_EQ(Value(f.doc, "open", &found), cases[i].matches ? "yes" : "") << cases[i].header;
    }
}

TEST(IniTextSections, MissingSectionLeavesTheCursorAtTheEnd) {
    Loaded f("[a]\nk=1\n[b]\nk=2\n[a]\nk=3\nj=4\n");
    ASSERT_TRUE(f.ok);
    bool found = false;
    // Any order, each search from the start; the first [a] wins.
    ASSERT_TRUE(f.doc.FindSection("b"));
    EXPECT_EQ(Value(f.doc, "k", &found), "2");
    ASSERT_TRUE(f.doc.FindSection("a"));
    EXPECT_EQ(Value(f.doc, "k", &found), "1");
    EXPECT_EQ(Value(f.doc, "j", &found), "");  // only in the second [a]
    EXPECT_FALSE(found);

    EXPECT_FALSE(f.doc.FindSection("missing"));
    EXPECT_EQ(f.doc.cursor, f.doc.data + f.doc.length);
    EXPECT_EQ(Value(f.doc, "k", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(SectionText(f.doc, &found), "");
    EXPECT_TRUE(found);
}

TEST(IniTextKeys, WhichLinesGiveTheValue) {
    struct Case {
        const char* body;
        bool found;
        const char* value;
    } cases[] = {
        {"open=x", true, "x"},
        {"OPEN=x", true, "x"},
        {"open = x", true, "x"},
        {"open\t=x", true, "x"},
        {"open=  \tx y\t  ", true, "x y"},
        {"open=x\r\n", true, "x"},
        {"open=a=b", true, "a=b"},
        {"open=", true, ""},
        {"open=  \t ", true, ""},
        {"open\n=x", true, "x"},  // blanks before the = run across lines
        {"open\r\n\r\n=x\r\n", true, "x"},
        {" open=x", false, ""},
        {"opener=x", false, ""},
        {";open=x", false, ""},
        {"open x=y", false, ""},
        {"open", false, ""},
        {"open=first\nopen=second", true, "first"},
        {"other=1\nopen=2", true, "2"},
        {"k=1\n[x\nopen=after", false, ""},  // any line starting with [ ends the section
        {"k=1\n[\nopen=after", false, ""},
        {"open=\xA0x\xFF", true, "\xA0x\xFF"},  // never trimmed as blanks
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        Loaded f(std::string("[autorun]\n") + cases[i].body);
        ASSERT_TRUE(f.ok);
        ASSERT_TRUE(f.doc.FindSection("autorun"));
        bool found = !cases[i].found;
        EXPECT_EQ(Value(f.doc, "open", &found), cases[i].value) << "body [" << cases[i].body << "]";
        EXPECT_EQ(found, cases[i].found) << "body [" << cases[i].body << "]";
    }
}

TEST(IniTextKeys, HighBytesCompareExactly) {
    Loaded f("[\xC9t\xE9]\n\xC9=upper\n\xE9=lower\nK\xE9=mixed\n");
    ASSERT_TRUE(f.ok);
    EXPECT_FALSE(f.doc.FindSection("\xE9t\xE9"));  // no folding beyond ASCII
    ASSERT_TRUE(f.doc.FindSection("\xC9T\xE9"));
    bool found = false;
    EXPECT_EQ(Value(f.doc, "\xC9", &found), "upper");
    EXPECT_EQ(Value(f.doc, "\xE9", &found), "lower");
    EXPECT_EQ(Value(f.doc, "k\xE9", &found), "mixed");
    EXPECT_EQ(Value(f.doc, "k\xC9", &found), "");
    EXPECT_FALSE(found);
}

TEST(IniTextKeys, LineEndsCrOnlyAndEmbeddedNul) {
    bool found = false;
    Loaded crlf("[autorun]\r\nopen=a b\r\nnext=c\r\n");
    ASSERT_TRUE(crlf.ok);
    crlf.doc.FindSection("autorun");
    EXPECT_EQ(Value(crlf.doc, "open", &found), "a b");
    EXPECT_EQ(Value(crlf.doc, "next", &found), "c");

    // CR alone starts no line: the whole file is one line.
    Loaded cr("[autorun]\ropen=x\r[b]\rk=1\r");
    ASSERT_TRUE(cr.ok);
    EXPECT_TRUE(cr.doc.FindSection("autorun"));
    EXPECT_EQ(cr.doc.cursor, cr.doc.data + cr.doc.length);
    EXPECT_EQ(Value(cr.doc, "open", &found), "");
    EXPECT_FALSE(found);
    EXPECT_FALSE(cr.doc.FindSection("b"));

    // A NUL ends every scan, but the bytes behind it stay in the text.
    const char raw[] = "[autorun]\nopen=a\0b\nnext=1\n[x]\n";
    std::string bytes(raw, sizeof raw - 1);
    Loaded nul(bytes);
    ASSERT_TRUE(nul.ok);
    EXPECT_EQ(nul.doc.length, 30);
    ASSERT_TRUE(nul.doc.FindSection("autorun"));
    EXPECT_EQ(Value(nul.doc, "open", &found), "a");
    EXPECT_EQ(Value(nul.doc, "next", &found), "");
    EXPECT_FALSE(found);
    EXPECT_FALSE(nul.doc.FindSection("x"));
    ASSERT_TRUE(nul.doc.Save(nul.Path().c_str()));
    EXPECT_EQ(nul.site.Read("a.inf"), bytes);
}

TEST(IniTextKeys, ValuesAreCutToTheBufferAfterTrimming) {
    std::string value(300, 'v');
    Loaded f("[a]\nlong=  " + value + "  \nedge=  " + std::string(258, 'e') + " b\n");
    ASSERT_TRUE(f.ok);
    ASSERT_TRUE(f.doc.FindSection("a"));
    bool found = false;
    EXPECT_EQ(Value(f.doc, "long", &found), std::string(MAX_PATH - 1, 'v'));
    EXPECT_TRUE(found);
    // The cut comes after the trimming, so it may end in a blank.
    EXPECT_EQ(Value(f.doc, "edge", &found), std::string(258, 'e') + " ");
    EXPECT_EQ(Value(f.doc, "long", &found, 4), "vvv");
    EXPECT_EQ(Value(f.doc, "long", &found, 1), "");
    EXPECT_TRUE(found);
}

TEST(IniTextSectionText, BodyUpToTheNextBracketLine) {
    Loaded f("[a]\r\n  x=1\r\n\r\ny=2 \t\r\n\r\n[b]\r\nz=3\r\n[c]\r\n\r\n[d]\nw=4\n[e");
    ASSERT_TRUE(f.ok);
    bool ok = false;
    EXPECT_EQ(SectionText(f.doc, &ok), "");  // no current section
    EXPECT_FALSE(ok);

    ASSERT_TRUE(f.doc.FindSection("a"));
    EXPECT_EQ(SectionText(f.doc, &ok), "  x=1\r\n\r\ny=2");  // blanks at the start remain
    EXPECT_TRUE(ok);
    EXPECT_EQ(SectionText(f.doc, &ok, 6), "  x=1");
    ASSERT_TRUE(f.doc.FindSection("b"));
    EXPECT_EQ(SectionText(f.doc, &ok), "z=3");
    ASSERT_TRUE(f.doc.FindSection("c"));
    EXPECT_EQ(SectionText(f.doc, &ok), "");
    EXPECT_TRUE(ok);
    ASSERT_TRUE(f.doc.FindSection("d"));
    EXPECT_EQ(SectionText(f.doc, &ok), "w=4");  // [e is no header, but ends the body

    std::string big(400, 'x');
    Loaded g("[a]\n" + big);
    ASSERT_TRUE(g.ok);
    ASSERT_TRUE(g.doc.FindSection("a"));
    EXPECT_EQ(SectionText(g.doc, &ok), std::string(MAX_PATH - 1, 'x'));
}

TEST(IniTextScanners, LinesEndsAndBlanks) {
    const char* text = "ab\r\ncd";
    EXPECT_EQ(IniText::NextLine(text), text + 4);
    EXPECT_EQ(IniText::NextLine(text + 4), text + 6);
    EXPECT_EQ(IniText::NextLine(text + 6), text + 6);
    const char* cr = "a\rb";
    EXPECT_EQ(IniText::NextLine(cr), cr + 3);
    const char* lf = "\n\n";
    EXPECT_EQ(IniText::NextLine(lf), lf + 1);

    EXPECT_EQ(IniText::EndOfLine(text), text + 2);
    EXPECT_EQ(IniText::EndOfLine(text + 3), text + 3);
    EXPECT_EQ(IniText::EndOfLine(text + 4), text + 6);
    const char* lfOnly = "xy\nz";
    EXPECT_EQ(IniText::EndOfLine(lfOnly), lfOnly + 2);

    const char* blanks = " \t\r\n\x01\x1F\x7F";
    EXPECT_EQ(IniText::SkipBlanks(blanks), blanks + 6);  // 0x7F is no blank
    const char* high = "\xA0\xFF";
    EXPECT_EQ(IniText::SkipBlanks(high), high);
    const char* only = "  \r\n";
    EXPECT_EQ(IniText::SkipBlanks(only), only + 4);
}

TEST(IniTextReplace, GrowsShrinksAndKeepsTheRest) {
    Loaded f("[autorun]\r\nopen=kelmora.exe\r\nicon=k.ico\r\n[x]\r\nopen=other\r\n");
    ASSERT_TRUE(f.ok);
    ASSERT_TRUE(f.doc.FindSection("autorun"));
    int cursorAt = int(f.doc.cursor - f.doc.data);
    char* before = f.doc.data;

    // Growing past the loaded array reallocates; the cursor moves with it.
    ASSERT_TRUE(f.doc.ReplaceValue("open", "kelmora.exe page.htm -i"));
    EXPECT_NE(f.doc.data, before);
    EXPECT_EQ(f.doc.cursor, f.doc.data + cursorAt);
    EXPECT_EQ(f.Text(), "[autorun]\r\nopen=kelmora.exe page.htm -i\r\nicon=k.ico\r\n[x]\r\nopen=other\r\n");
    // No section search in between: the lookups still see the edited text.
    bool found = false;
    EXPECT_EQ(Value(f.doc, "open", &found), "kelmora.exe page.htm -i");
    EXPECT_EQ(Value(f.doc, "icon", &found), "k.ico");
    EXPECT_EQ(SectionText(f.doc, &found), "open=kelmora.exe page.htm -i\r\nicon=k.ico");

    // The slack takes the next small growth without a new array.
    before = f.doc.data;
    ASSERT_TRUE(f.doc.ReplaceValue("icon", "kelmora.ico"));
    EXPECT_EQ(f.doc.data, before);

    // Blanks after the = go with the old value; those before it stay.
    ASSERT_TRUE(f.doc.FindSection("x"));
    ASSERT_TRUE(f.doc.ReplaceValue("OPEN", ""));
    EXPECT_EQ(f.Text(), "[autorun]\r\nopen=kelmora.exe page.htm -i\r\nicon=kelmora.ico\r\n[x]\r\nopen=\r\n");

    ASSERT_TRUE(f.doc.Save(f.Path().c_str()));
    EXPECT_EQ(f.site.Read("a.inf"), f.Text());
    IniText reloaded;
    ASSERT_TRUE(reloaded.Load(f.Path().c_str()));
    reloaded.FindSection("autorun");
    EXPECT_EQ(Value(reloaded, "icon", &found), "kelmora.ico");
}

TEST(IniTextReplace, ShrinkingTheLastValueLeavesNoOldBytesVisible) {
    // No final newline: the old value's tail stays in the array behind the
    // new length, and a lookup must not see it.
    Loaded f("[a]\nk = long old value\t");
    ASSERT_TRUE(f.ok);
    ASSERT_TRUE(f.doc.FindSection("a"));
    ASSERT_TRUE(f.doc.ReplaceValue("k", "v"));
    EXPECT_EQ(f.Text(), "[a]\nk =v");
    bool found = false;
    EXPECT_EQ(Value(f.doc, "k", &found), "v");
    EXPECT_EQ(SectionText(f.doc, &found), "k =v");

    // Growing the last value of a file loaded without spare room.
    Loaded g("[a]\nk=v");
    ASSERT_TRUE(g.ok);
    ASSERT_TRUE(g.doc.FindSection("a"));
    ASSERT_TRUE(g.doc.ReplaceValue("k", std::string(600, 'w').c_str()));
    EXPECT_EQ(Value(g.doc, "k", &found), std::string(MAX_PATH - 1, 'w'));
    EXPECT_EQ(g.doc.length, 4 + 2 + 600);
    EXPECT_LE(unsigned(g.doc.length) + 1, g.doc.capacity);
}

TEST(IniTextReplace, MissingKeyOrNoSectionChangesNothing) {
    Loaded f("[a]\nk=1\n[b]\nj=2\n");
    ASSERT_TRUE(f.ok);
    std::string text = f.Text();
    EXPECT_FALSE(f.doc.ReplaceValue("k", "x"));  // no current section
    ASSERT_TRUE(f.doc.FindSection("a"));
    EXPECT_FALSE(f.doc.ReplaceValue("j", "x"));  // in another section
    EXPECT_FALSE(f.doc.ReplaceValue("missing", "x"));
    EXPECT_FALSE(f.doc.FindSection("none"));
    EXPECT_FALSE(f.doc.ReplaceValue("k", "x"));
    EXPECT_EQ(f.Text(), text);

    // A key on its own line with the = on the next: that value is replaced.
    Loaded g("[a]\nk\n= old\nz=1\n");
    ASSERT_TRUE(g.ok);
    ASSERT_TRUE(g.doc.FindSection("a"));
    ASSERT_TRUE(g.doc.ReplaceValue("k", "new"));
    EXPECT_EQ(g.Text(), "[a]\nk\n=new\nz=1\n");
}

TEST(IniTextSave, WritesEveryByteAndReplacesTheFile) {
    const char raw[] = "[a]\r\nk=\xE9\xFF\0tail\rno newline";
    std::string bytes(raw, sizeof raw - 1);
    Loaded f(bytes);
    ASSERT_TRUE(f.ok);
    ASSERT_TRUE(f.doc.Save(f.site.Path("copy.inf").c_str()));
    EXPECT_EQ(f.site.Read("copy.inf"), bytes);

    // An existing longer file is replaced, not overwritten in part.
    ASSERT_TRUE(f.site.Write("old.inf", std::string(100, 'z')));
    ASSERT_TRUE(f.doc.Save(f.site.Path("old.inf").c_str()));
    EXPECT_EQ(f.site.Read("old.inf"), bytes);

    IniText empty;
    ASSERT_TRUE(empty.Save(f.site.Path("empty.inf").c_str()));
    EXPECT_EQ(f.site.Read("empty.inf"), "");

    EXPECT_FALSE(f.doc.Save(f.site.Path("no\\such\\dir.inf").c_str()));
    ASSERT_TRUE(f.site.MakeDir("taken"));
    EXPECT_FALSE(f.doc.Save(f.site.Path("taken").c_str()));
    EXPECT_TRUE(f.site.Exists("taken"));
}

TEST(IniTextMemory, CStrOnAnEmptyDocumentAndRelease) {
    IniText doc;
    EXPECT_STREQ(doc.CStr(), "");
    EXPECT_EQ(doc.capacity, 257u);
    EXPECT_EQ(doc.length, 0);
    EXPECT_FALSE(doc.FindSection("a"));
    EXPECT_EQ(doc.cursor, doc.data);

    ASSERT_TRUE(doc.MakeRoom(0));
    ASSERT_TRUE(doc.MakeRoom(-10));
    ASSERT_TRUE(doc.MakeRoom(257));
    EXPECT_EQ(doc.capacity, 257u);
    char* before = doc.data;
    ASSERT_TRUE(doc.MakeRoom(258));
    EXPECT_NE(doc.data, before);
    EXPECT_EQ(doc.capacity, 258u + 256u);
    EXPECT_EQ(doc.cursor, doc.data);  // moved with the text

    // Never overflows: length + n beyond 32 bits is refused, nothing changes.
    Loaded f("[a]\nk=1\n");
    ASSERT_TRUE(f.ok);
    before = f.doc.data;
    EXPECT_FALSE(f.doc.MakeRoom(0x7FFFFFFF));
    EXPECT_FALSE(f.doc.MakeRoom(0x7FFFFFFF - 4));
    EXPECT_EQ(f.doc.data, before);
    EXPECT_EQ(f.doc.capacity, unsigned(f.doc.length) + 1);

    f.doc.Release();
    EXPECT_EQ(f.doc.data, (char*)0);
    EXPECT_EQ(f.doc.cursor, (char*)0);
    EXPECT_EQ(f.doc.length, 0);
    EXPECT_EQ(f.doc.capacity, 0u);
}

}  // namespace
