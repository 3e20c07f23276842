// The command tokenizer: one table of lines and the tokens they give, then
// the states around it and the bounded number reader.
#include "cmd_tokenizer.h"

#include "text.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <stdio.h>

#include <string>

namespace {

// Bytes outside the printable ASCII range appear as \xNN.
std::string Show(const char* text) {
    std::string out;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        if (*p < 0x20 || *p >= 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", *p);
            out += hex;
        } else {
            out += char(*p);
        }
    }
    return out;
}

// Every token of a line as `<text>#count`, an option with its letter in
// front (`-i<>#2`), a dash without a letter as `-{1}`. Also checks that the
// line, once used up, stays used up.
std::string Tokens(const char* line) {
    CmdTokenizer t;
    t.SetLine(line);
    std::string out;
    for (int i = 0; i < MAX_PATH && t.Next(); i++) {
        if (!out.empty()) out += ' ';
        if (t.option == 1) {
            out += "-{1}";
        } else if (t.option) {
            char letter[2] = {char(t.option), 0};
            out += "-" + Show(letter);
        }
        out += "<" + Show(t.token) + ">#" + std::to_string(t.count);
    }
    int count = t.count;
    for (int i = 0; i < 3; i++) {
        if (t.Next() || t.count != count || t.token[0] || t.option) return out + " !then not exhausted";
    }
    return out;
}

struct TokenCase {
    const char* line;
    const char* tokens;
};

const TokenCase kTokenCases[] = {
    {"kelmora.exe page.htm -i", "<kelmora.exe>#1 <page.htm>#2 -i<>#2"},
    {"kelmora.exe", "<kelmora.exe>#1"},
    {"", ""},
    {" \t\r\n \x01\x1F ", ""},
    {"  a\t\tb   c  ", "<a>#1 <b>#2 <c>#3"},
    {"\x01" "a\x1F" "b", "<a>#1 <b>#2"},
    // Quotes.
    {"k \"my page.htm\" -i", "<k>#1 <my page.htm>#2 -i<>#2"},
    {"\"\" x", "<>#1 <x>#2"},
    {"\"\"", "<>#1"},
    {"\"ab\"cd", "<ab>#1 <cd>#2"},
    {"\"a\"\"b\"", "<a>#1 <b>#2"},
    {"ab\"cd ef\"", "<ab\"cd>#1 <ef\">#2"},
    {"a \"unclosed  rest -i ", "<a>#1 <unclosed  rest -i >#2"},
    {"\"", "<>#1"},
    {"\"-i\"", "<-i>#1"},
    // Dashes.
    {"x -", "<x>#1 -{1}<>#1"},
    {"- word", "-{1}<>#0 <word>#1"},
    {"-\tword", "-{1}<>#0 <word>#1"},
    {"-\"quoted text\" p", "-{1}<quoted text>#0 <p>#1"},
    {"--", "--<>#0"},
    {"--x", "--<x>#0"},
    {"-x5", "-x<5>#0"},
    {"-x 5", "-x<>#0 <5>#1"},
    {"-x\"y z\"", "-x<y z>#0"},
    {"-I -i", "-I<>#0 -i<>#0"},
    {"a-b -", "<a-b>#1 -{1}<>#1"},
    // Bytes 0x80 to 0xFF are token bytes and option letters, never blanks.
    {"\xE9t\xE9 -\xC9 \xA0x\xFF", "<\\xE9t\\xE9>#1 -\\xC9<>#1 <\\xA0x\\xFF>#2"},
    {"-\xFF" "abc", "-\\xFF<abc>#0"},
};

TEST(CmdTokenizer, TableOfLines) {
    for (size_t i = 0; i < sizeof kTokenCases / sizeof kTokenCases[0]; i++) {
        const TokenCase& c = kTokenCases[i];
        EXPECT_EQ(Tokens(c.line), c.tokens) << "line: [" << Show(c.line) << "]";
    }
}

TEST(CmdTokenizer, ConstructedEmptyAndResetReadsTheLineAgain) {
    CmdTokenizer t;
    EXPECT_EQ(t.cursor, t.line);
    EXPECT_STREQ(t.line, "");
    EXPECT_FALSE(t.Next());
    EXPECT_EQ(t.count, 0);

    // An unclosed quote uses the line up; Reset starts it over with count 0.
    t.SetLine("a \"b c");
    ASSERT_TRUE(t.Next());
    ASSERT_TRUE(t.Next());
    EXPECT_STREQ(t.token, "b c");
    EXPECT_FALSE(t.Next());
    EXPECT_EQ(t.count, 2);
    t.Reset();
    EXPECT_EQ(t.count, 0);
    EXPECT_STREQ(t.token, "");
    ASSERT_TRUE(t.Next());
    EXPECT_STREQ(t.token, "a");
    EXPECT_EQ(t.count, 1);

    // SetLine leaves the old line's state behind.
    ASSERT_TRUE(t.Next());
    t.SetLine("-i");
    EXPECT_EQ(t.count, 0);
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(t.option, 'i');
}

TEST(CmdTokenizer, LongLinesKeepTheirFirst259Bytes) {
    CmdTokenizer t;
    std::string fits(MAX_PATH - 1, 'a');
    t.SetLine(fits.c_str());
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(std::string(t.token), fits);

    std::string longer = std::string(MAX_PATH - 2, 'b') + "cd" + std::string(500, 'e');
    t.SetLine(longer.c_str());
    EXPECT_EQ(std::string(t.line), longer.substr(0, MAX_PATH - 1));
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(std::string(t.token), std::string(MAX_PATH - 2, 'b') + "c");
    EXPECT_FALSE(t.Next());

    // An unclosed quote spanning the whole cut line.
    std::string quoted = "\"" + std::string(400, 'q');
    t.SetLine(quoted.c_str());
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(std::string(t.token), std::string(MAX_PATH - 2, 'q'));
}

struct IntCase {
    const char* token;
    int low, high, defaultValue;
    int expected;
};

const IntCase kIntCases[] = {
    {"12abc", 0, 100, -1, 12},
    {"12abc", 0, 10, -1, 10},
    {"007", 0, 100, -1, 7},
    {"0", 1, 100, -1, 1},
    {"5", 20, 10, -1, 20},  // crossed bounds: the lowest value wins
    // No leading digit: the default, even outside the bounds.
    {"", 0, 10, 99, 99},
    {"abc", 0, 10, -7, -7},
    {"-5", 0, 10, -50, -50},
    {"+5", 0, 10, 42, 42},
    {" 5", 0, 10, 42, 42},
    // Beyond the signed 32-bit range: INT_MAX, then bounded.
    {"2147483647", INT_MIN, INT_MAX, -1, INT_MAX},
    {"2147483648", INT_MIN, INT_MAX, -1, INT_MAX},
    {"4294967301", INT_MIN, INT_MAX, -1, INT_MAX},  // 2^32 + 5 must not wrap to 5
    {"99999999999999999999999", 0, 1000, -1, 1000},
    {"2147483648x", 0, 3, -1, 3},
};

TEST(CmdTokenizer, GetIntReadsLeadingDigitsBounded) {
    for (size_t i = 0; i < sizeof kIntCases / sizeof kIntCases[0]; i++) {
        const IntCase& c = kIntCases[i];
        CmdTokenizer t;
        CopyText(t.token, MAX_PATH, c.token);
        EXPECT_EQ(t.GetInt(c.low, c.high, c.defaultValue), c.expected)
            << "token [" << c.token << "] in [" << c.low << ", " << c.high << "] default " << c.defaultValue;
    }

    // As the reader would see it: an option's argument.
    CmdTokenizer t;
    t.SetLine("-w640px");
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(t.GetInt(0, 10000, 0), 640);
}

}  // namespace
