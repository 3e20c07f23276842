// Which URLs of a stylesheet a browser fetches: the rules read just far enough to tell.
#include "stylesheet.h"

#include "css_tokenizer.h"

#include <cstring>

namespace publisher {

namespace {

using css::Name;
using css::Token;
using css::Tokenizer;

constexpr size_t kNone = size_t(-1);

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
    void StepUrlFunction(Token token);
    bool StartAtRule(size_t depth, bool inPrelude);
    void OpenBlock(size_t depth, bool inPrelude);
    // At-rules, statements and blocks; true when the token did no more than start or end one. `depth` and
    // `inPrelude` are as they were before the token.
    bool ReadStatementToken(Token token, size_t depth, bool inPrelude);
    // Brackets, functions, URLs and strings: what the rules' preludes, selectors and declarations hold.
    void ReadComponent(Token token, size_t depth, bool inPrelude, bool importFirst);
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

// url( "string" ): the function form, which holds a URL only as its one string.
void Reader::StepUrlFunction(Token token) {
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

bool Reader::StartAtRule(size_t depth, bool inPrelude) {
    if (inPrelude || !AtStatementStart(depth)) return false;
    preludeDepth_ = depth;
    atRule_ = AtRule::Other;
    if (depth == 0 && tokens_.name() == Name::Import) atRule_ = AtRule::Import;
    if (depth == 0 && tokens_.name() == Name::Charset) atRule_ = AtRule::Charset;
    if (depth == 0 && tokens_.name() == Name::Layer) atRule_ = AtRule::Layer;
    importExpected_ = atRule_ == AtRule::Import && importsAllowed_;
    statementStart_ = false;
    return true;
}

void Reader::OpenBlock(size_t depth, bool inPrelude) {
    if (inPrelude && depth == preludeDepth_) {
        EndAtRule(true);
    } else if (depth == 0) {  // a top-level rule's block
        importsAllowed_ = false;
        topQualified_ = false;
    }
    open_ += '}';
    statementStart_ = true;
}

bool Reader::ReadStatementToken(Token token, size_t depth, bool inPrelude) {
    switch (token) {
    case Token::AtKeyword:
        return StartAtRule(depth, inPrelude);
    case Token::Cdx:
        return depth == 0 && !inPrelude && !topQualified_;  // <!-- and --> between top-level rules
    case Token::Semicolon:
        if (inPrelude && depth == preludeDepth_) {
            EndAtRule(false);
        } else if (depth == 0 || open_.back() != '}') {
            return false;  // a top-level selector runs on to its {
        }
        statementStart_ = true;
        return true;
    case Token::OpenCurly:
        OpenBlock(depth, inPrelude);
        return true;
    case Token::CloseCurly:
        if (depth == 0 || open_.back() != '}') return false;
        if (inPrelude && depth == preludeDepth_) EndAtRule(false);
        open_.pop_back();
        statementStart_ = true;
        return true;
    default:
        return false;
    }
}

void Reader::ReadComponent(Token token, size_t depth, bool inPrelude, bool importFirst) {
    switch (token) {
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
}

std::vector<StyleReference> Reader::Run() {
    for (Token token; (token = tokens_.Next()) != Token::End;) {
        if (token == Token::Whitespace) continue;
        size_t depth = open_.size();
        bool inPrelude = preludeDepth_ != kNone;
        bool importFirst = importExpected_;
        importExpected_ = false;
        if (urlStep_ != UrlStep::None) StepUrlFunction(token);
        if (ReadStatementToken(token, depth, inPrelude)) continue;
        ReadComponent(token, depth, inPrelude, importFirst);
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
    if (css.empty() || (!std::memchr(css.data(), '(', css.size()) && !std::memchr(css.data(), '@', css.size()))) return {};
    return Reader(css, firstLine).Run();
}

}  // namespace publisher
