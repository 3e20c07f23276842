// CSS tokens as CSS Syntax Level 3 reads them, with only what the stylesheet
// reader needs of them.
#ifndef ONDRELLE_PUBLISHER_CSS_TOKENIZER_H
#define ONDRELLE_PUBLISHER_CSS_TOKENIZER_H

#include <cstddef>
#include <string>
#include <string_view>

namespace publisher {
namespace css {

// Characters are ints so that -1 can stand for the end of the text.
inline bool IsNewline(int c) { return c == '\n' || c == '\r' || c == '\f'; }
inline bool IsWhitespace(int c) { return IsNewline(c) || c == ' ' || c == '\t'; }
inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }
// NUL stands for U+FFFD, and each byte of a non-ASCII character for a character past U+007F: all start names.
inline bool IsNameStart(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80 || c == 0; }
inline bool IsNameChar(int c) { return IsNameStart(c) || IsDigit(c) || c == '-'; }
inline bool IsNonPrintable(int c) { return (c >= 1 && c <= 8) || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F; }

inline int HexValue(int c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The names that matter here, of functions and at-rules, matched regardless of ASCII case.
enum class Name { Other, Url, ImageSet, Import, Charset, Layer };

enum class Token {
    End, Whitespace, String, BadString, Url, BadUrl, Function, AtKeyword, Cdx, Semicolon,
    OpenParen, CloseParen, OpenSquare, CloseSquare, OpenCurly, CloseCurly, Other
};

// CSS tokens, with only what the references need of them: the name of a function or at-keyword and the value of
// a string or url token. Comments are skipped; newlines are read in all their forms rather than rewritten first.
class Tokenizer {
public:
    explicit Tokenizer(std::string_view css) : css_(css) {}

    Token Next();
    size_t start() const { return start_; }
    Name name() const { return name_; }
    const std::string& value() const { return value_; }

private:
    int At(size_t at) const { return at < css_.size() ? static_cast<unsigned char>(css_[at]) : -1; }
    bool ValidEscape(size_t at) const { return At(at) == '\\' && !IsNewline(At(at + 1)); }
    bool StartsName(size_t at) const {
        if (At(at) == '-') return IsNameStart(At(at + 1)) || At(at + 1) == '-' || ValidEscape(at + 1);
        return IsNameStart(At(at)) || ValidEscape(at);
    }
    bool StartsNumber(size_t at) const {
        if (At(at) == '+' || At(at) == '-') at++;
        if (At(at) == '.') at++;
        return IsDigit(At(at));
    }

    unsigned NextCharacter();
    unsigned ConsumeEscape();
    void Append(unsigned c);
    Name ConsumeName();
    void ConsumeNumber();
    Token ConsumeString(int quote);
    Token ConsumeIdentLike();
    Token ConsumeUrl();

    std::string_view css_;
    size_t pos_ = 0;
    size_t start_ = 0;
    Name name_ = Name::Other;
    std::string value_;  // reused, so that a long sheet allocates it about once
};

}  // namespace css
}  // namespace publisher

#endif
