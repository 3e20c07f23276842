#include "stylesheet.h"

#include "code_page.h"

#include <string.h>

namespace publisher {

namespace {

constexpr unsigned kReplacement = 0xFFFD;
constexpr size_t kNone = size_t(-1);

// Characters are ints so that -1 can stand for the end of the text.
bool IsNewline(int c) { return c == '\n' || c == '\r' || c == '\f'; }
bool IsWhitespace(int c) { return IsNewline(c) || c == ' ' || c == '\t'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }
// NUL stands for U+FFFD, and each byte of a non-ASCII character for a character past U+007F: all start names.
bool IsNameStart(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80 || c == 0; }
bool IsNameChar(int c) { return IsNameStart(c) || IsDigit(c) || c == '-'; }
bool IsNonPrintable(int c) { return (c >= 1 && c <= 8) || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F; }

int HexValue(int c) {
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

// Line numbers of positions asked for in increasing order, counted as the text is read.
class LineCounter {
public:
    LineCounter(std::string_view css, unsigned firstLine) : css_(css), line_(firstLine) {}

    unsigned At(size_t pos) {
        for (; counted_ < pos; counted_++) {
            char c = css_[counted_];
            if (c == '\r' || c == '\f' || (c == '\n' && (counted_ == 0 || css_[counted_ - 1] != '\r'))) line_++;
        }
        return line_;
    }

private:
    std::string_view css_;
    size_t counted_ = 0;
    unsigned line_;
};

// Follows the rules just far enough to tell a fetched URL from one that is not: the URLs in at-rule preludes are
// conditions or names (@namespace, @supports), except the one @import reads, and @import counts only before every
// rule other than @charset and @layer statements, at the top level.
class Reader {
public:
    Reader(std::string_view css, unsigned firstLine) : tokens_(css), lines_(css, firstLine) {}
    std::vector<StyleReference> Run();

private:
    enum class AtRule { Import, Charset, Layer, Other };
    enum class UrlStep { None, Open, HaveString };

    void Add(const std::string& url, unsigned line, bool import);
    void EndUrlFunction();
    void EndAtRule(bool withBlock);
    bool AtStatementStart(size_t depth) const {
        return depth == 0 ? !topQualified_ : open_.back() == '}' && statementStart_;
    }

    Tokenizer tokens_;
    LineCounter lines_;
    std::vector<StyleReference> found_;
    std::string open_;  // what closes each open block or function, innermost last: ) ] }, and i for image-set(

    bool topQualified_ = false;  // reading a top-level rule's selector (or a style attribute's declarations)
    bool statementStart_ = true;  // in a {} block, where a declaration or nested rule may start
    bool importsAllowed_ = true;
    size_t preludeDepth_ = kNone;  // depth of the at-rule whose prelude is being read
    AtRule atRule_ = AtRule::Other;
    bool importExpected_ = false;  // next token is the first of an @import's prelude
    bool importFound_ = false;
    std::string importUrl_;
    unsigned importLine_ = 0;

    UrlStep urlStep_ = UrlStep::None;  // url( "string" ), the function form
    bool urlForImport_ = false;
    std::string urlValue_;
    unsigned urlLine_ = 0;
};

void Reader::Add(const std::string& url, unsigned line, bool import) {
    if (url.empty()) return;  // url() and url(""): browsers fetch nothing
    StyleReference reference;
    reference.url = url;
    reference.line = line;
    reference.import = import;
    found_.push_back(std::move(reference));
}

void Reader::EndUrlFunction() {
    urlStep_ = UrlStep::None;
    if (!urlForImport_) {
        Add(urlValue_, urlLine_, false);
    } else if (!urlValue_.empty()) {
        importUrl_ = urlValue_;
        importLine_ = urlLine_;
        importFound_ = true;
    }
}

void Reader::EndAtRule(bool withBlock) {
    if (preludeDepth_ == 0) {
        if (atRule_ == AtRule::Import) {
            if (importFound_ && !withBlock) Add(importUrl_, importLine_, true);
        } else if (atRule_ == AtRule::Other || (atRule_ == AtRule::Layer && withBlock)) {
            importsAllowed_ = false;
        }
    }
    preludeDepth_ = kNone;
    importExpected_ = importFound_ = false;
}

std::vector<StyleReference> Reader::Run() {
    for (Token token; (token = tokens_.Next()) != Token::End;) {
        if (token == Token::Whitespace) continue;
        size_t depth = open_.size();
        bool inPrelude = preludeDepth_ != kNone;
        bool importFirst = importExpected_;
        importExpected_ = false;

        if (urlStep_ != UrlStep::None) {
            if (token == Token::String && urlStep_ == UrlStep::Open) {
                urlValue_ = tokens_.value();
                urlLine_ = lines_.At(tokens_.start());
                urlStep_ = UrlStep::HaveString;
            } else if (token == Token::CloseParen && urlStep_ == UrlStep::HaveString) {
                EndUrlFunction();
            } else {
                urlStep_ = UrlStep::None;  // url("a" b) and url(x("a")) are not URLs
            }
        }

        switch (token) {
        case Token::AtKeyword:
            if (inPrelude || !AtStatementStart(depth)) break;
            preludeDepth_ = depth;
            atRule_ = AtRule::Other;
            if (depth == 0 && tokens_.name() == Name::Import) atRule_ = AtRule::Import;
            if (depth == 0 && tokens_.name() == Name::Charset) atRule_ = AtRule::Charset;
            if (depth == 0 && tokens_.name() == Name::Layer) atRule_ = AtRule::Layer;
            importExpected_ = atRule_ == AtRule::Import && importsAllowed_;
            statementStart_ = false;
            continue;
        case Token::Cdx:
            if (depth == 0 && !inPrelude && !topQualified_) continue;  // <!-- and --> between top-level rules
            break;
        case Token::Semicolon:
            if (inPrelude && depth == preludeDepth_) {
                EndAtRule(false);
                statementStart_ = true;
                continue;
            }
            if (depth > 0 && open_.back() == '}') {
                statementStart_ = true;
                continue;
            }
            break;  // a top-level selector runs on to its {
        case Token::OpenCurly:
            if (inPrelude && depth == preludeDepth_) {
                EndAtRule(true);
            } else if (depth == 0) {  // a top-level rule's block
                importsAllowed_ = false;
                topQualified_ = false;
            }
            open_ += '}';
            statementStart_ = true;
            continue;
        case Token::CloseCurly:
            if (depth == 0 || open_.back() != '}') break;
            if (inPrelude && depth == preludeDepth_) EndAtRule(false);
            open_.pop_back();
            statementStart_ = true;
            continue;
        case Token::OpenParen:
            open_ += ')';
            break;
        case Token::OpenSquare:
            open_ += ']';
            break;
        case Token::Function:
            if (tokens_.name() == Name::Url && (importFirst || !inPrelude)) {
                urlStep_ = UrlStep::Open;
                urlForImport_ = importFirst;
            }
            open_ += tokens_.name() == Name::ImageSet ? 'i' : ')';
            break;
        case Token::CloseParen:
            if (depth > 0 && (open_.back() == ')' || open_.back() == 'i')) open_.pop_back();
            break;
        case Token::CloseSquare:
            if (depth > 0 && open_.back() == ']') open_.pop_back();
            break;
        case Token::Url:
        case Token::String:
            if (importFirst) {
                importUrl_ = tokens_.value();
                importLine_ = lines_.At(tokens_.start());
                importFound_ = !importUrl_.empty();
            } else if (!inPrelude && (token == Token::Url || (depth > 0 && open_.back() == 'i'))) {
                Add(tokens_.value(), lines_.At(tokens_.start()), false);
            }
            break;
        default:
            break;
        }
        if (depth == 0 && !inPrelude) topQualified_ = true;
        statementStart_ = false;
    }
    if (urlStep_ == UrlStep::HaveString) EndUrlFunction();  // the end of the text closes every block
    if (preludeDepth_ == 0) EndAtRule(false);
    return std::move(found_);
}

}  // namespace

std::vector<StyleReference> StyleReferences(std::string_view css, unsigned firstLine) {
    // Every reference needs a url( or an @: most style attributes have neither.
    if (css.empty() || (!memchr(css.data(), '(', css.size()) && !memchr(css.data(), '@', css.size()))) return {};
    return Reader(css, firstLine).Run();
}

}  // namespace publisher
