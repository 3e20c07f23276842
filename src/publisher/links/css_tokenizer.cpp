// The CSS tokenizer: comments, strings, escapes, names, numbers and url().
#include "css_tokenizer.h"

#include "code_page.h"

namespace publisher {
namespace css {

namespace {

constexpr unsigned kReplacement = 0xFFFD;

}  // namespace

// The character at pos_, stepping past it; U+FFFD for NUL and for each byte that starts no UTF-8 sequence.
unsigned Tokenizer::NextCharacter() {
    unsigned char lead = static_cast<unsigned char>(css_[pos_]);
    if (lead < 0x80) {
        pos_++;
        return lead ? lead : kReplacement;
    }
    std::string sequence(css_.substr(pos_, 4));  // short enough to stay in the string's own buffer
    size_t at = 0;
    unsigned c;
    bool ok = NextCodePoint(sequence, &at, &c);
    pos_ += at;
    return ok ? c : kReplacement;
}

// pos_ is just past a backslash that is no line continuation.
unsigned Tokenizer::ConsumeEscape() {
    if (pos_ >= css_.size()) return kReplacement;
    if (HexValue(At(pos_)) < 0) return NextCharacter();
    unsigned c = 0;
    for (int digits = 0, digit; digits < 6 && (digit = HexValue(At(pos_))) >= 0; digits++, pos_++) c = c * 16 + digit;
    if (At(pos_) == '\r' && At(pos_ + 1) == '\n') {
        pos_ += 2;
    } else if (IsWhitespace(At(pos_))) {
        pos_++;
    }
    return c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF ? kReplacement : c;
}

void Tokenizer::Append(unsigned c) {
    if (c < 0x80) {
        value_ += char(c);
    } else {
        AppendUtf8(&value_, c);
    }
}

Name Tokenizer::ConsumeName() {
    char lower[18];  // room for the longest name that matters, -webkit-image-set
    size_t length = 0;
    bool matchable = true;
    for (;;) {
        unsigned c;
        if (IsNameChar(At(pos_))) {
            c = static_cast<unsigned char>(css_[pos_++]);
        } else if (ValidEscape(pos_)) {
            pos_++;
            c = ConsumeEscape();
        } else {
            break;
        }
        if (c == 0 || c >= 0x80 || length == sizeof lower) {
            matchable = false;
        } else {
            lower[length++] = c >= 'A' && c <= 'Z' ? char(c + 32) : char(c);
        }
    }
    if (!matchable) return Name::Other;
    std::string_view name(lower, length);
    if (name == "url") return Name::Url;
    if (name == "image-set" || name == "-webkit-image-set") return Name::ImageSet;
    if (name == "import") return Name::Import;
    if (name == "charset") return Name::Charset;
    if (name == "layer") return Name::Layer;
    return Name::Other;
}

// Numbers matter only for where they end: 1url( is a dimension, not a function.
void Tokenizer::ConsumeNumber() {
    if (At(pos_) == '+' || At(pos_) == '-') pos_++;
    while (IsDigit(At(pos_))) pos_++;
    if (At(pos_) == '.' && IsDigit(At(pos_ + 1))) {
        pos_ += 2;
        while (IsDigit(At(pos_))) pos_++;
    }
    if (At(pos_) == 'e' || At(pos_) == 'E') {
        size_t at = pos_ + 1;
        if (At(at) == '+' || At(at) == '-') at++;
        if (IsDigit(At(at))) {
            pos_ = at;
            while (IsDigit(At(pos_))) pos_++;
        }
    }
    if (StartsName(pos_)) {
        ConsumeName();
    } else if (At(pos_) == '%') {
        pos_++;
    }
}

// pos_ is past the opening quote.
Token Tokenizer::ConsumeString(int quote) {
    value_.clear();
    for (;;) {
        int c = At(pos_);
        if (c < 0) return Token::String;
        if (c == quote) {
            pos_++;
            return Token::String;
        }
        if (IsNewline(c)) return Token::BadString;
        if (c == '\\') {
            int next = At(pos_ + 1);
            if (next < 0) {
                pos_++;
            } else if (IsNewline(next)) {
                pos_ += next == '\r' && At(pos_ + 2) == '\n' ? 3 : 2;
            } else {
                pos_++;
                Append(ConsumeEscape());
            }
        } else if (c > 0 && c < 0x80) {
            value_ += char(c);
            pos_++;
        } else {
            Append(NextCharacter());
        }
    }
}

Token Tokenizer::ConsumeIdentLike() {
    name_ = ConsumeName();
    if (At(pos_) != '(') return Token::Other;
    pos_++;
    if (name_ != Name::Url) return Token::Function;
    while (IsWhitespace(At(pos_))) pos_++;
    // url( with a quoted string is an ordinary function; the string is its argument.
    if (At(pos_) == '"' || At(pos_) == '\'') return Token::Function;
    return ConsumeUrl();
}

// pos_ is past url( and its whitespace.
Token Tokenizer::ConsumeUrl() {
    value_.clear();
    for (;;) {
        int c = At(pos_);
        if (c < 0) return Token::Url;
        if (c == ')') {
            pos_++;
            return Token::Url;
        }
        if (IsWhitespace(c)) {
            while (IsWhitespace(At(pos_))) pos_++;
            if (At(pos_) < 0) return Token::Url;
            if (At(pos_) == ')') {
                pos_++;
                return Token::Url;
            }
            break;
        }
        if (c == '"' || c == '\'' || c == '(' || IsNonPrintable(c)) break;
        if (c == '\\') {
            if (!ValidEscape(pos_)) break;
            pos_++;
            Append(ConsumeEscape());
        } else if (c > 0 && c < 0x80) {
            value_ += char(c);
            pos_++;
        } else {
            Append(NextCharacter());
        }
    }
    // A bad url runs to its closing parenthesis; an escaped one does not close it.
    for (;;) {
        if (pos_ >= css_.size()) return Token::BadUrl;
        if (css_[pos_] == ')') {
            pos_++;
            return Token::BadUrl;
        }
        if (ValidEscape(pos_)) {
            pos_++;
            ConsumeEscape();
        } else {
            pos_++;
        }
    }
}

Token Tokenizer::Next() {
    while (At(pos_) == '/' && At(pos_ + 1) == '*') {
        size_t end = css_.find("*/", pos_ + 2);
        pos_ = end == std::string_view::npos ? css_.size() : end + 2;
    }
    start_ = pos_;
    int c = At(pos_);
    if (c < 0) return Token::End;
    if (IsWhitespace(c)) {
        while (IsWhitespace(At(++pos_))) {
        }
        return Token::Whitespace;
    }
    if (IsDigit(c) || ((c == '+' || c == '-' || c == '.') && StartsNumber(pos_))) {
        ConsumeNumber();
        return Token::Other;
    }
    if (c == '-' && At(pos_ + 1) == '-' && At(pos_ + 2) == '>') {
        pos_ += 3;
        return Token::Cdx;
    }
    if (StartsName(pos_)) return ConsumeIdentLike();
    pos_++;
    switch (c) {
    case '"':
    case '\'':
        return ConsumeString(c);
    case '#':
        if (IsNameChar(At(pos_)) || ValidEscape(pos_)) ConsumeName();
        return Token::Other;
    case '@':
        if (!StartsName(pos_)) return Token::Other;
        name_ = ConsumeName();
        return Token::AtKeyword;
    case '<':
        if (css_.substr(pos_, 3) != "!--") return Token::Other;
        pos_ += 3;
        return Token::Cdx;
    case ';': return Token::Semicolon;
    case '(': return Token::OpenParen;
    case ')': return Token::CloseParen;
    case '[': return Token::OpenSquare;
    case ']': return Token::CloseSquare;
    case '{': return Token::OpenCurly;
    case '}': return Token::CloseCurly;
    default: return Token::Other;
    }
}

}  // namespace css
}  // namespace publisher
