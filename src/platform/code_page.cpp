// The ANSI code pages and UTF-8 to and from each other, and names folded for comparing without case.
#include "code_page.h"

#include <iconv.h>

#include <cstdint>

namespace {

// Where Windows' tables differ from glibc's iconv; generated.
struct CodePageRun {
    std::uint16_t first;
    std::uint16_t count;
    std::uint16_t target;
    std::uint8_t step;
};
struct CodePageDifferences {
    unsigned codePage;
    std::uint16_t defaultChar;
    const CodePageRun* toAnsi;
    size_t toAnsiCount;
    const CodePageRun* toUnicode;
    size_t toUnicodeCount;
};
#include "code_page_differences.inc"

const char* const kNames[14] = {"Thai",     "Japanese", "Simplified Chinese", "Korean",  "Traditional Chinese",
                                "Central European", "Cyrillic", "Western", "Greek", "Turkish", "Hebrew",
                                "Arabic",   "Baltic",   "Vietnamese"};

// 0x80 to 0x9F of 1252; 0xA0 to 0xFF are U+00A0 to U+00FF.
const unsigned short kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned ansiCodePage = 1252;

int IndexOf(unsigned codePage) {
    for (int i = 0; i < 14; i++) {
        if (kAnsiCodePages[i] == codePage) return i;
    }
    return -1;
}

// The run that holds `code`, applied; false when none does.
bool Look(const CodePageRun* runs, size_t count, unsigned code, unsigned* target) {
    size_t low = 0, high = count;
    while (low < high) {
        size_t middle = (low + high) / 2;
        if (unsigned(runs[middle].first) + runs[middle].count <= code) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == count || runs[low].first > code) return false;
    *target = runs[low].target + (code - runs[low].first) * runs[low].step;
    return true;
}

// glibc's converters, one pair per code page and thread: iconv keeps state.
class Converters {
public:
    Converters() {
        for (int i = 0; i < 28; i++) handles_[i] = iconv_t(-1);
    }
    ~Converters() {
        for (int i = 0; i < 28; i++) {
            if (handles_[i] != iconv_t(-1)) iconv_close(handles_[i]);
        }
    }
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;

    // The whole of `in` converted into `out` (size *length, then the bytes
    // written); false when iconv refuses any of it.
    bool Convert(int index, bool toAnsi, const char* in, size_t inLength, char* out, size_t* length) {
        iconv_t& handle = handles_[index * 2 + (toAnsi ? 1 : 0)];
        if (handle == iconv_t(-1)) {
            std::string name = "CP" + std::to_string(kAnsiCodePages[index]);
            handle = toAnsi ? iconv_open(name.c_str(), "UTF-32LE") : iconv_open("UTF-32LE", name.c_str());
            if (handle == iconv_t(-1)) return false;
        }
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
        char* from = const_cast<char*>(in);
        char* to = out;
        size_t fromLeft = inLength, toLeft = *length;
        if (iconv(handle, &from, &fromLeft, &to, &toLeft) == size_t(-1) || fromLeft != 0) return false;
        if (iconv(handle, nullptr, nullptr, &to, &toLeft) == size_t(-1)) return false;
        *length -= toLeft;
        return true;
    }

private:
    iconv_t handles_[28];
};

thread_local Converters converters;

// The bytes of a character of the BMP (one, or lead << 8 | trail), as
// Windows gives them, best fit included.
unsigned CharToAnsi(int index, unsigned c) {
    if (c < 0x80) return c;
    if (c >= 0xD800 && c < 0xE000) return '?';
    const CodePageDifferences& table = kDifferences[index];
    unsigned bytes;
    if (Look(table.toAnsi, table.toAnsiCount, c, &bytes)) return bytes;
    unsigned char in[4] = {std::uint8_t(c), std::uint8_t(c >> 8), 0, 0};
    char out[8];
    size_t length = sizeof out;
    if (!converters.Convert(index, true, reinterpret_cast<const char*>(in), 4, out, &length) || length == 0 ||
        length > 2)
        return '?';
    return length == 1 ? std::uint8_t(out[0]) : unsigned(std::uint8_t(out[0])) << 8 | std::uint8_t(out[1]);
}

// The character of one byte, or of a lead byte and its trail.
unsigned AnsiToChar(int index, unsigned code) {
    if (code < 0x80) return code;
    const CodePageDifferences& table = kDifferences[index];
    unsigned c;
    if (Look(table.toUnicode, table.toUnicodeCount, code, &c)) return c;
    char in[2] = {char(code > 0xFF ? code >> 8 : code), char(code & 0xFF)};
    unsigned char out[8];
    size_t length = sizeof out;
    if (!converters.Convert(index, false, in, code > 0xFF ? 2 : 1, reinterpret_cast<char*>(out), &length) ||
        length != 4)
        return table.defaultChar;
    return unsigned(out[0]) | unsigned(out[1]) << 8 | unsigned(out[2]) << 16 | unsigned(out[3]) << 24;
}

}  // namespace

const unsigned kAnsiCodePages[14] = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

bool IsAnsiCodePage(unsigned codePage) { return IndexOf(codePage) >= 0; }

const char* CodePageName(unsigned codePage) {
    int index = IndexOf(codePage);
    return index < 0 ? "" : kNames[index];
}

void SetAnsiCodePage(unsigned codePage) {
    if (IsAnsiCodePage(codePage)) ansiCodePage = codePage;
}

unsigned AnsiCodePage() { return ansiCodePage; }

bool IsLeadByteOf(unsigned codePage, unsigned char byte) {
    switch (codePage) {
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
    }
}

unsigned Windows1252ToUnicode(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHigh1252[byte - 0x80] : byte;
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

AnsiForm Utf8ToAnsi(const std::string& utf8, unsigned codePage, std::string* ansi) {
    AnsiForm form = kAnsiExact;
    ansi->clear();
    int index = IndexOf(codePage);
    if (index < 0) index = IndexOf(1252);
    unsigned c;
    for (size_t at = 0; at < utf8.size();) {
        if (!NextCodePoint(utf8, &at, &c)) {
            *ansi += '?';
            form = kNotUtf8;
            continue;
        }
        if (c < 0x80) {
            *ansi += char(c);
            continue;
        }
        if (c > 0xFFFF) {
            *ansi += "??";
            if (form == kAnsiExact) form = kAnsiLossy;
            continue;
        }
        unsigned bytes = CharToAnsi(index, c);
        if (form == kAnsiExact && AnsiToChar(index, bytes) != c) form = kAnsiLossy;
        if (bytes > 0xFF) *ansi += char(bytes >> 8);
        *ansi += char(bytes & 0xFF);
    }
    return form;
}

std::string AnsiToUtf8(const std::string& ansi, unsigned codePage) {
    int index = IndexOf(codePage);
    if (index < 0) index = IndexOf(1252);
    std::string utf8;
    utf8.reserve(ansi.size());
    for (size_t i = 0; i < ansi.size(); i++) {
        unsigned char byte = static_cast<unsigned char>(ansi[i]);
        if (byte < 0x80) {
            utf8 += char(byte);
            continue;
        }
        unsigned code = byte;
        if (IsLeadByteOf(kAnsiCodePages[index], byte)) {
            // A lead byte at the very end has no character.
            if (i + 1 == ansi.size()) {
                AppendUtf8(&utf8, kDifferences[index].defaultChar);
                break;
            }
            code = unsigned(byte) << 8 | static_cast<unsigned char>(ansi[++i]);
        }
        AppendUtf8(&utf8, AnsiToChar(index, code));
    }
    return utf8;
}

AnsiForm Utf8ToAnsi(const std::string& utf8, std::string* ansi) { return Utf8ToAnsi(utf8, ansiCodePage, ansi); }

std::string AnsiToUtf8(const std::string& ansi) { return AnsiToUtf8(ansi, ansiCodePage); }

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
