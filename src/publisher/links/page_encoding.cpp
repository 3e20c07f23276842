// A page's encoding from its byte order mark, its declaration or the reader's language, and its text.
#include "page_encoding.h"

#include "code_page.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace publisher {

namespace {

struct Label {
    const char* label;
    const char* encoding;
};

// The Encoding Standard's labels of the encodings that browsers read, each
// encoding with its own; "replacement" stands for those they refuse.
const Label kLabels[] = {
    {"unicode-1-1-utf-8", "UTF-8"}, {"unicode11utf8", "UTF-8"}, {"unicode20utf8", "UTF-8"}, {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"}, {"x-unicode20utf8", "UTF-8"},
    {"866", "IBM866"}, {"cp866", "IBM866"}, {"csibm866", "IBM866"}, {"ibm866", "IBM866"},
    {"csisolatin2", "ISO-8859-2"}, {"iso-8859-2", "ISO-8859-2"}, {"iso-ir-101", "ISO-8859-2"},
    {"iso8859-2", "ISO-8859-2"}, {"iso88592", "ISO-8859-2"}, {"iso_8859-2", "ISO-8859-2"},
    {"iso_8859-2:1987", "ISO-8859-2"}, {"l2", "ISO-8859-2"}, {"latin2", "ISO-8859-2"},
    {"csisolatin3", "ISO-8859-3"}, {"iso-8859-3", "ISO-8859-3"}, {"iso-ir-109", "ISO-8859-3"},
    {"iso8859-3", "ISO-8859-3"}, {"iso88593", "ISO-8859-3"}, {"iso_8859-3", "ISO-8859-3"},
    {"iso_8859-3:1988", "ISO-8859-3"}, {"l3", "ISO-8859-3"}, {"latin3", "ISO-8859-3"},
    {"csisolatin4", "ISO-8859-4"}, {"iso-8859-4", "ISO-8859-4"}, {"iso-ir-110", "ISO-8859-4"},
    {"iso8859-4", "ISO-8859-4"}, {"iso88594", "ISO-8859-4"}, {"iso_8859-4", "ISO-8859-4"},
    {"iso_8859-4:1988", "ISO-8859-4"}, {"l4", "ISO-8859-4"}, {"latin4", "ISO-8859-4"},
    {"csisolatincyrillic", "ISO-8859-5"}, {"cyrillic", "ISO-8859-5"}, {"iso-8859-5", "ISO-8859-5"},
    {"iso-ir-144", "ISO-8859-5"}, {"iso8859-5", "ISO-8859-5"}, {"iso88595", "ISO-8859-5"},
    {"iso_8859-5", "ISO-8859-5"}, {"iso_8859-5:1988", "ISO-8859-5"},
    {"arabic", "ISO-8859-6"}, {"asmo-708", "ISO-8859-6"}, {"csiso88596e", "ISO-8859-6"},
    {"csiso88596i", "ISO-8859-6"}, {"csisolatinarabic", "ISO-8859-6"}, {"ecma-114", "ISO-8859-6"},
    {"iso-8859-6", "ISO-8859-6"}, {"iso-8859-6-e", "ISO-8859-6"}, {"iso-8859-6-i", "ISO-8859-6"},
    {"iso-ir-127", "ISO-8859-6"}, {"iso8859-6", "ISO-8859-6"}, {"iso88596", "ISO-8859-6"},
    {"iso_8859-6", "ISO-8859-6"}, {"iso_8859-6:1987", "ISO-8859-6"},
    {"csisolatingreek", "ISO-8859-7"}, {"ecma-118", "ISO-8859-7"}, {"elot_928", "ISO-8859-7"},
    {"greek", "ISO-8859-7"}, {"greek8", "ISO-8859-7"}, {"iso-8859-7", "ISO-8859-7"}, {"iso-ir-126", "ISO-8859-7"},
    {"iso8859-7", "ISO-8859-7"}, {"iso88597", "ISO-8859-7"}, {"iso_8859-7", "ISO-8859-7"},
    {"iso_8859-7:1987", "ISO-8859-7"}, {"sun_eu_greek", "ISO-8859-7"},
    {"csiso88598e", "ISO-8859-8"}, {"csisolatinhebrew", "ISO-8859-8"}, {"hebrew", "ISO-8859-8"},
    {"iso-8859-8", "ISO-8859-8"}, {"iso-8859-8-e", "ISO-8859-8"}, {"iso-ir-138", "ISO-8859-8"},
    {"iso8859-8", "ISO-8859-8"}, {"iso88598", "ISO-8859-8"}, {"iso_8859-8", "ISO-8859-8"},
    {"iso_8859-8:1988", "ISO-8859-8"}, {"visual", "ISO-8859-8"},
    {"csiso88598i", "ISO-8859-8-I"}, {"iso-8859-8-i", "ISO-8859-8-I"}, {"logical", "ISO-8859-8-I"},
    {"csisolatin6", "ISO-8859-10"}, {"iso-8859-10", "ISO-8859-10"}, {"iso-ir-157", "ISO-8859-10"},
    {"iso8859-10", "ISO-8859-10"}, {"iso885910", "ISO-8859-10"}, {"l6", "ISO-8859-10"}, {"latin6", "ISO-8859-10"},
    {"iso-8859-13", "ISO-8859-13"}, {"iso8859-13", "ISO-8859-13"}, {"iso885913", "ISO-8859-13"},
    {"iso-8859-14", "ISO-8859-14"}, {"iso8859-14", "ISO-8859-14"}, {"iso885914", "ISO-8859-14"},
    {"csisolatin9", "ISO-8859-15"}, {"iso-8859-15", "ISO-8859-15"}, {"iso8859-15", "ISO-8859-15"},
    {"iso885915", "ISO-8859-15"}, {"iso_8859-15", "ISO-8859-15"}, {"l9", "ISO-8859-15"},
    {"iso-8859-16", "ISO-8859-16"},
    {"cskoi8r", "KOI8-R"}, {"koi", "KOI8-R"}, {"koi8", "KOI8-R"}, {"koi8-r", "KOI8-R"}, {"koi8_r", "KOI8-R"},
    {"koi8-ru", "KOI8-U"}, {"koi8-u", "KOI8-U"},
    {"csmacintosh", "macintosh"}, {"mac", "macintosh"}, {"macintosh", "macintosh"}, {"x-mac-roman", "macintosh"},
    {"dos-874", "windows-874"}, {"iso-8859-11", "windows-874"}, {"iso8859-11", "windows-874"},
    {"iso885911", "windows-874"}, {"tis-620", "windows-874"}, {"windows-874", "windows-874"},
    {"cp1250", "windows-1250"}, {"windows-1250", "windows-1250"}, {"x-cp1250", "windows-1250"},
    {"cp1251", "windows-1251"}, {"windows-1251", "windows-1251"}, {"x-cp1251", "windows-1251"},
    {"ansi_x3.4-1968", "windows-1252"}, {"ascii", "windows-1252"}, {"cp1252", "windows-1252"},
    {"cp819", "windows-1252"}, {"csisolatin1", "windows-1252"}, {"ibm819", "windows-1252"},
    {"iso-8859-1", "windows-1252"}, {"iso-ir-100", "windows-1252"}, {"iso8859-1", "windows-1252"},
    {"iso88591", "windows-1252"}, {"iso_8859-1", "windows-1252"}, {"iso_8859-1:1987", "windows-1252"},
    {"l1", "windows-1252"}, {"latin1", "windows-1252"}, {"us-ascii", "windows-1252"},
    {"windows-1252", "windows-1252"}, {"x-cp1252", "windows-1252"},
    {"cp1253", "windows-1253"}, {"windows-1253", "windows-1253"}, {"x-cp1253", "windows-1253"},
    {"cp1254", "windows-1254"}, {"csisolatin5", "windows-1254"}, {"iso-8859-9", "windows-1254"},
    {"iso-ir-148", "windows-1254"}, {"iso8859-9", "windows-1254"}, {"iso88599", "windows-1254"},
    {"iso_8859-9", "windows-1254"}, {"iso_8859-9:1989", "windows-1254"}, {"l5", "windows-1254"},
    {"latin5", "windows-1254"}, {"windows-1254", "windows-1254"}, {"x-cp1254", "windows-1254"},
    {"cp1255", "windows-1255"}, {"windows-1255", "windows-1255"}, {"x-cp1255", "windows-1255"},
    {"cp1256", "windows-1256"}, {"windows-1256", "windows-1256"}, {"x-cp1256", "windows-1256"},
    {"cp1257", "windows-1257"}, {"windows-1257", "windows-1257"}, {"x-cp1257", "windows-1257"},
    {"cp1258", "windows-1258"}, {"windows-1258", "windows-1258"}, {"x-cp1258", "windows-1258"},
    {"x-mac-cyrillic", "x-mac-cyrillic"}, {"x-mac-ukrainian", "x-mac-cyrillic"},
    {"chinese", "GBK"}, {"csgb2312", "GBK"}, {"csiso58gb231280", "GBK"}, {"gb2312", "GBK"}, {"gb_2312", "GBK"},
    {"gb_2312-80", "GBK"}, {"gbk", "GBK"}, {"iso-ir-58", "GBK"}, {"x-gbk", "GBK"},
    {"gb18030", "gb18030"},
    {"big5", "Big5"}, {"big5-hkscs", "Big5"}, {"cn-big5", "Big5"}, {"csbig5", "Big5"}, {"x-x-big5", "Big5"},
    {"cseucpkdfmtjapanese", "EUC-JP"}, {"euc-jp", "EUC-JP"}, {"x-euc-jp", "EUC-JP"},
    {"csiso2022jp", "ISO-2022-JP"}, {"iso-2022-jp", "ISO-2022-JP"},
    {"csshiftjis", "Shift_JIS"}, {"ms932", "Shift_JIS"}, {"ms_kanji", "Shift_JIS"}, {"shift-jis", "Shift_JIS"},
    {"shift_jis", "Shift_JIS"}, {"sjis", "Shift_JIS"}, {"windows-31j", "Shift_JIS"}, {"x-sjis", "Shift_JIS"},
    {"cseuckr", "EUC-KR"}, {"csksc56011987", "EUC-KR"}, {"euc-kr", "EUC-KR"}, {"iso-ir-149", "EUC-KR"},
    {"korean", "EUC-KR"}, {"ks_c_5601-1987", "EUC-KR"}, {"ks_c_5601-1989", "EUC-KR"}, {"ksc5601", "EUC-KR"},
    {"ksc_5601", "EUC-KR"}, {"windows-949", "EUC-KR"},
    {"csiso2022kr", "replacement"}, {"hz-gb-2312", "replacement"}, {"iso-2022-cn", "replacement"},
    {"iso-2022-cn-ext", "replacement"}, {"iso-2022-kr", "replacement"}, {"replacement", "replacement"},
    {"unicodefffe", "UTF-16BE"}, {"utf-16be", "UTF-16BE"},
    {"csunicode", "UTF-16LE"}, {"iso-10646-ucs-2", "UTF-16LE"}, {"ucs-2", "UTF-16LE"}, {"unicode", "UTF-16LE"},
    {"unicodefeff", "UTF-16LE"}, {"utf-16", "UTF-16LE"}, {"utf-16le", "UTF-16LE"},
    {"x-user-defined", "x-user-defined"},
};

// glibc's names, where they are not the standard's own. The standard's
// encodings are Windows' code pages where the two differ: its Shift_JIS is
// 932, its EUC-KR 949, its GBK the decoder of gb18030.
const Label kIconvNames[] = {
    {"ISO-8859-8-I", "ISO-8859-8"}, {"macintosh", "MACINTOSH"}, {"x-mac-cyrillic", "MAC-CYRILLIC"},
    {"windows-874", "CP874"}, {"GBK", "GB18030"}, {"gb18030", "GB18030"}, {"Big5", "BIG5-HKSCS"},
    {"Shift_JIS", "CP932"}, {"EUC-KR", "CP949"},
};

bool IsSpace(char c) { return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' '; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

bool StartsWithIgnoringCase(std::string_view text, size_t at, std::string_view start) {
    if (text.size() - at < start.size() || at > text.size()) return false;
    for (size_t i = 0; i < start.size(); i++) {
        if (Lower(text[at + i]) != start[i]) return false;
    }
    return true;
}

// The HTML standard's "extract a character encoding from a meta element",
// on the value of content=.
std::optional<std::string> CharsetInContent(std::string_view content) {
    for (size_t at = 0;;) {
        size_t found = std::string::npos;
        for (size_t i = at; i + 7 <= content.size(); i++) {
            if (StartsWithIgnoringCase(content, i, "charset")) {
                found = i;
                break;
            }
        }
        if (found == std::string::npos) return std::nullopt;
        at = found + 7;
        while (at < content.size() && IsSpace(content[at])) at++;
        if (at == content.size() || content[at] != '=') continue;
        at++;
        while (at < content.size() && IsSpace(content[at])) at++;
        if (at == content.size()) return std::nullopt;
        if (content[at] == '"' || content[at] == '\'') {
            size_t close = content.find(content[at], at + 1);
            if (close == std::string::npos) return std::nullopt;
            return std::string(content.substr(at + 1, close - at - 1));
        }
        size_t end = at;
        while (end < content.size() && !IsSpace(content[end]) && content[end] != ';') end++;
        return std::string(content.substr(at, end - at));
    }
}

// The prescan's reader of one attribute, lower-cased; none at the tag's end
// or the text's.
class AttributeReader {
public:
    AttributeReader(std::string_view text, size_t& at) : text_(text), at_(at) {}

    bool Next(std::string& name, std::string& value) {
        name.clear();
        value.clear();
        while (More() && (IsSpace(Here()) || Here() == '/')) at_++;
        if (!More() || Here() == '>') return false;
        for (;; at_++) {
            if (!More()) return false;
            char c = Here();
            if (c == '=' && !name.empty()) {
                at_++;
                return Value(value);
            }
            if (IsSpace(c)) break;
            if (c == '/' || c == '>') return true;
            name += Lower(c);
        }
        while (More() && IsSpace(Here())) at_++;
        if (!More()) return false;
        if (Here() != '=') return true;
        at_++;
        return Value(value);
    }

private:
    bool More() const { return at_ < text_.size(); }
    char Here() const { return text_[at_]; }

    bool Value(std::string& value) {
        while (More() && IsSpace(Here())) at_++;
        if (!More()) return false;
        char c = Here();
        if (c == '"' || c == '\'') {
            for (at_++; More(); at_++) {
                if (Here() == c) {
                    at_++;
                    return true;
                }
                value += Lower(Here());
            }
            return false;
        }
        if (c == '>') return true;
        for (; More(); at_++) {
            if (IsSpace(Here()) || Here() == '>') return true;
            value += Lower(Here());
        }
        return false;
    }

    std::string_view text_;
    size_t& at_;
};

// What one <meta> declares, as the prescan reads its attributes.
std::optional<std::string> MetaEncoding(std::string_view text, size_t& at) {
    std::string name, value, seen;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    std::optional<std::string> charset;
    AttributeReader attributes(text, at);
    while (attributes.Next(name, value)) {
        if (seen.find("\n" + name + "\n") != std::string::npos) continue;
        seen += "\n" + name + "\n";
        if (name == "http-equiv") {
            if (value == "content-type") gotPragma = true;
        } else if (name == "content") {
            if (!charset) {
                std::optional<std::string> inContent = CharsetInContent(value);
                if (inContent) {
                    charset = EncodingForLabel(*inContent);
                    if (!charset) charset = "";  // a label that is none: the meta counts for nothing
                    needPragma = true;
                }
            }
        } else if (name == "charset") {
            charset = EncodingForLabel(value);
            if (!charset) charset = "";
            needPragma = false;
        }
    }
    if (!needPragma || (*needPragma && !gotPragma) || !charset || charset->empty()) return std::nullopt;
    if (*charset == "UTF-16BE" || *charset == "UTF-16LE") return std::string("UTF-8");
    if (*charset == "x-user-defined") return std::string("windows-1252");
    return charset;
}

// The HTML standard's prescan of the first 1,024 bytes for a declared encoding.
std::optional<std::string> Prescan(std::string_view bytes) {
    std::string_view text = bytes.substr(0, 1024);
    for (size_t at = 0; at < text.size(); at++) {
        if (text.compare(at, 4, "<!--") == 0) {
            size_t end = text.find("-->", at + 2);
            if (end == std::string::npos) return std::nullopt;
            at = end + 2;
        } else if (StartsWithIgnoringCase(text, at, "<meta") && at + 5 < text.size() &&
                   (IsSpace(text[at + 5]) || text[at + 5] == '/')) {
            at += 5;
            if (std::optional<std::string> found = MetaEncoding(text, at)) return found;
            if (at >= text.size()) return std::nullopt;
        } else if (text[at] == '<' && at + 1 < text.size() &&
                   (std::isalpha(static_cast<unsigned char>(text[at + 1])) ||
                    (text[at + 1] == '/' && at + 2 < text.size() &&
                     std::isalpha(static_cast<unsigned char>(text[at + 2]))))) {
            while (at < text.size() && !IsSpace(text[at]) && text[at] != '>') at++;
            std::string name, value;
            AttributeReader attributes(text, at);
            while (attributes.Next(name, value)) {
            }
            if (at >= text.size()) return std::nullopt;
        } else if (text.compare(at, 2, "<!") == 0 || text.compare(at, 2, "</") == 0 ||
                   text.compare(at, 2, "<?") == 0) {
            size_t end = text.find('>', at);
            if (end == std::string::npos) return std::nullopt;
            at = end;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ByteOrderMark(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string("UTF-8");
    if (bytes.substr(0, 2) == "\xFE\xFF") return std::string("UTF-16BE");
    if (bytes.substr(0, 2) == "\xFF\xFE") return std::string("UTF-16LE");
    return std::nullopt;
}

const char* IconvName(const std::string& encoding) {
    for (const Label& name : kIconvNames) {
        if (encoding == name.label) return name.encoding;
    }
    return encoding.c_str();
}

// iconv over the whole text; a byte it cannot read becomes U+FFFD and the
// next one is tried, as the standard's decoders give an ASCII byte after a
// bad lead byte back to the text.
std::string Iconv(std::string_view bytes, const std::string& encoding) {
    iconv_t handle = iconv_open("UTF-8", IconvName(encoding));
    if (handle == iconv_t(-1)) return std::string(bytes.size() ? 1 : 0, '?');
    std::string text(bytes.size() * 3 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* out = &text[0];
    size_t outLeft = text.size();
    while (inLeft > 0) {
        if (iconv(handle, &in, &inLeft, &out, &outLeft) != size_t(-1)) break;
        if (errno == E2BIG) {
            size_t used = size_t(out - text.data());
            text.resize(text.size() * 2);
            out = &text[used];
            outLeft = text.size() - used;
            continue;
        }
        if (outLeft < 3) {
            size_t used = size_t(out - text.data());
            text.resize(text.size() + 16);
            out = &text[used];
            outLeft = text.size() - used;
        }
        std::memcpy(out, "\xEF\xBF\xBD", 3);
        out += 3;
        outLeft -= 3;
        in++;
        inLeft--;
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
    }
    iconv(handle, nullptr, nullptr, &out, &outLeft);
    iconv_close(handle);
    text.resize(size_t(out - text.data()));
    return text;
}

}  // namespace

std::optional<std::string> EncodingForLabel(std::string_view label) {
    while (!label.empty() && IsSpace(label.front())) label.remove_prefix(1);
    while (!label.empty() && IsSpace(label.back())) label.remove_suffix(1);
    std::string lower(label);
    for (char& c : lower) c = Lower(c);
    for (const Label& known : kLabels) {
        if (lower == known.label) return std::string(known.encoding);
    }
    return std::nullopt;
}

std::optional<std::string> PageEncoding(std::string_view bytes) {
    if (std::optional<std::string> mark = ByteOrderMark(bytes)) return mark;
    if (std::optional<std::string> declared = Prescan(bytes)) return declared;
    if (IsUtf8(std::string(bytes))) return std::string("UTF-8");
    return std::nullopt;
}

std::optional<std::string> StylesheetEncoding(std::string_view bytes) {
    if (std::optional<std::string> mark = ByteOrderMark(bytes)) return mark;
    // Exactly these bytes, as CSS Syntax asks: @charset "label";
    if (bytes.substr(0, 10) == "@charset \"") {
        size_t close = bytes.find("\";", 10);
        if (close != std::string_view::npos && close < 1024) {
            std::optional<std::string> declared = EncodingForLabel(bytes.substr(10, close - 10));
            if (declared && (*declared == "UTF-16BE" || *declared == "UTF-16LE")) return std::string("UTF-8");
            if (declared) return declared;
        }
    }
    if (IsUtf8(std::string(bytes))) return std::string("UTF-8");
    return std::nullopt;
}

std::string LegacyEncoding(unsigned codePage) {
    switch (codePage) {
        case 932: return "Shift_JIS";
        case 936: return "GBK";
        case 949: return "EUC-KR";
        case 950: return "Big5";
        default: return "windows-" + std::to_string(IsAnsiCodePage(codePage) ? codePage : 1252);
    }
}

std::string DecodeText(std::string_view bytes, const std::string& encoding) {
    if (encoding == "UTF-8") {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        std::string text(bytes);
        return IsUtf8(text) ? text : Iconv(bytes, "UTF-8");
    }
    if (encoding == "UTF-16LE" || encoding == "UTF-16BE") {
        bool big = encoding == "UTF-16BE";
        if (bytes.substr(0, 2) == (big ? "\xFE\xFF" : "\xFF\xFE")) bytes.remove_prefix(2);
        return Utf16ToUtf8(std::string(bytes), big);
    }
    if (encoding == "replacement") return bytes.empty() ? "" : "\xEF\xBF\xBD";
    if (encoding == "windows-1252" || encoding == "x-user-defined") {
        // Windows' own table: the five bytes that 1252 leaves unassigned are C1 controls.
        std::string text;
        text.reserve(bytes.size());
        for (char c : bytes) {
            unsigned char byte = static_cast<unsigned char>(c);
            AppendUtf8(&text, encoding == "x-user-defined" && byte >= 0x80 ? 0xF700 + byte
                                                                            : Windows1252ToUnicode(byte));
        }
        return text;
    }
    return Iconv(bytes, encoding);
}

}  // namespace publisher
