// Code page 1252 and UTF-8 to and from each other, and names folded for comparing without case.
#include "code_page.h"

#include <cstdint>

namespace {

// 0x80 to 0x9F; 0xA0 to 0xFF are U+00A0 to U+00FF.
const unsigned short kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

unsigned AnsiToUnicode(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
}

int UnicodeToAnsi(unsigned codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return int(codePoint);
    for (int i = 0; i < 32; i++) {
        if (kHigh[i] == codePoint) return 0x80 + i;
    }
    return -1;
}

bool NextCodePoint(const std::string& text, size_t* at, unsigned* codePoint) {
    size_t i = *at;
    unsigned char lead = static_cast<unsigned char>(text[i]);
    *at = i + 1;
    if (lead < 0x80) {
        *codePoint = lead;
        return true;
    }
    size_t more;
    unsigned value, least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3, value = lead & 0x07, least = 0x10000;
    } else {
        return false;
    }
    if (text.size() - i - 1 < more) return false;
    for (size_t k = 1; k <= more; k++) {
        unsigned char c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return false;
        value = (value << 6) | (c & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    *codePoint = value;
    *at = i + 1 + more;
    return true;
}

void AppendUtf8(std::string* text, unsigned c) {
    if (c < 0x80) {
        *text += char(c);
    } else if (c < 0x800) {
        *text += char(0xC0 | (c >> 6));
        *text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *text += char(0xE0 | (c >> 12));
        *text += char(0x80 | ((c >> 6) & 0x3F));
        *text += char(0x80 | (c & 0x3F));
    } else {
        *text += char(0xF0 | (c >> 18));
        *text += char(0x80 | ((c >> 12) & 0x3F));
        *text += char(0x80 | ((c >> 6) & 0x3F));
        *text += char(0x80 | (c & 0x3F));
    }
}

std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian) {
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned unit = bigEndian ? unsigned(std::uint8_t(bytes[i])) << 8 | std::uint8_t(bytes[i + 1])
                                  : unsigned(std::uint8_t(bytes[i + 1])) << 8 | std::uint8_t(bytes[i]);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            unsigned low = bigEndian ? unsigned(std::uint8_t(bytes[i + 2])) << 8 | std::uint8_t(bytes[i + 3])
                                     : unsigned(std::uint8_t(bytes[i + 3])) << 8 | std::uint8_t(bytes[i + 2]);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(&text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(&text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return text;
}

bool IsUtf8(const std::string& text) {
    unsigned c;
    for (size_t at = 0; at < text.size();) {
        if (!NextCodePoint(text, &at, &c)) return false;
    }
    return true;
}

AnsiForm Utf8ToAnsi(const std::string& utf8, std::string* ansi) {
    AnsiForm form = kAnsiExact;
    ansi->clear();
    unsigned c;
    for (size_t at = 0; at < utf8.size();) {
        if (!NextCodePoint(utf8, &at, &c)) {
            *ansi += '?';
            form = kNotUtf8;
            continue;
        }
        int byte = UnicodeToAnsi(c);
        if (byte < 0 && form == kAnsiExact) form = kAnsiLossy;
        *ansi += byte < 0 ? '?' : char(byte);
    }
    return form;
}

std::string AnsiToUtf8(const std::string& ansi) {
    std::string utf8;
    utf8.reserve(ansi.size());
    for (size_t i = 0; i < ansi.size(); i++) AppendUtf8(&utf8, AnsiToUnicode(static_cast<unsigned char>(ansi[i])));
    return utf8;
}

unsigned FoldCase(unsigned c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c == 0x178) return 0xFF;
    // Latin Extended-A: capitals and small letters alternate, in two runs.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

std::string FoldedName(const std::string& utf8) {
    std::string key;
    key.reserve(utf8.size());
    unsigned c;
    for (size_t at = 0; at < utf8.size();) {
        size_t start = at;
        if (NextCodePoint(utf8, &at, &c)) {
            AppendUtf8(&key, FoldCase(c));
        } else {
            key.append(utf8, start, at - start);
        }
    }
    return key;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a == b || FoldedName(a) == FoldedName(b);
}
