// Plain models of the INI scanning rules and of the tokenizer, written over
// std::string, against which the fuzz targets compare the product.
#ifndef ONDRELLE_FUZZ_MODELS_H
#define ONDRELLE_FUZZ_MODELS_H

#include <limits.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace model {

inline bool IsBlank(unsigned char c) { return c >= 0x01 && c <= 0x20; }
inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

// An INI document as the rules describe it: whole text plus cursor offset.
struct IniModel {
    std::string full;
    long cursor;  // -1: none

    std::string Scan() const { return full.substr(0, strlen(full.c_str())); }

    static size_t NextLine(const std::string& t, size_t p) {
        size_t lf = t.find('\n', p);
        return lf == std::string::npos ? t.size() : lf + 1;
    }
    static size_t EndOfLine(const std::string& t, size_t p) {
        size_t end = t.find_first_of("\r\n", p);
        return end == std::string::npos ? t.size() : end;
    }
    static bool NameAt(const std::string& t, size_t p, const std::string& name) {
        if (p + name.size() > t.size()) return false;
        for (size_t i = 0; i < name.size(); i++) {
            if (Lower(t[p + i]) != Lower(name[i])) return false;
        }
        return true;
    }

    bool FindSection(const std::string& name) {
        std::string t = Scan();
        size_t p = 0;
        for (;;) {
            if (p < t.size() && t[p] == '[' && NameAt(t, p + 1, name) && p + 1 + name.size() < t.size() &&
                t[p + 1 + name.size()] == ']') {
                cursor = long(NextLine(t, p));
                return true;
            }
            p = NextLine(t, p);
            if (p >= t.size()) {
                cursor = long(t.size());
                return false;
            }
        }
    }

    bool FindKey(const std::string& key, size_t* start, size_t* length) const {
        if (cursor < 0) return false;
        std::string t = Scan();
        for (size_t p = size_t(cursor); p < t.size() && t[p] != '['; p = NextLine(t, p)) {
            if (!NameAt(t, p, key)) continue;
            size_t q = p + key.size();
            while (q < t.size() && IsBlank((unsigned char)t[q])) q++;
            if (q < t.size() && t[q] == '=') {
                *start = q + 1;
                *length = EndOfLine(t, q + 1) - (q + 1);
                return true;
            }
        }
        return false;
    }

    static std::string Cut(std::string s, int size) {
        if (s.size() >= size_t(size)) s.resize(size_t(size) - 1);
        return s;
    }

    bool GetValue(const std::string& key, int size, std::string* value) const {
        size_t start, length;
        value->clear();
        if (!FindKey(key, &start, &length)) return false;
        std::string v = full.substr(start, length);
        size_t b = 0, e = v.size();
        while (b < e && IsBlank((unsigned char)v[b])) b++;
        while (e > b && IsBlank((unsigned char)v[e - 1])) e--;
        *value = Cut(v.substr(b, e - b), size);
        return true;
    }

    bool GetSectionText(int size, std::string* body) const {
        body->clear();
        if (cursor < 0) return false;
        std::string t = Scan();
        size_t p = size_t(cursor);
        while (p < t.size() && t[p] != '[') p = NextLine(t, p);
        size_t end = p < t.size() ? p : t.size();
        while (end > size_t(cursor) && IsBlank((unsigned char)t[end - 1])) end--;
        *body = Cut(t.substr(size_t(cursor), end - size_t(cursor)), size);
        return true;
    }

    bool ReplaceValue(const std::string& key, const std::string& value) {
        size_t start, length;
        if (!FindKey(key, &start, &length)) return false;
        full = full.substr(0, start) + value + full.substr(start + length);
        return true;
    }
};

struct Token {
    std::string text;
    unsigned char option;
    int count;
};

// The tokens of a line (at most 259 bytes), with option byte and count.
inline std::vector<Token> ModelTokens(const std::string& line) {
    std::vector<Token> tokens;
    size_t pos = 0;
    int count = 0;
    for (;;) {
        size_t p = pos;
        while (p < line.size() && IsBlank((unsigned char)line[p])) p++;
        if (p == line.size()) return tokens;
        Token t;
        t.option = 0;
        if (line[p] == '-') {
            p++;
            unsigned char c = p < line.size() ? (unsigned char)line[p] : 0;
            if (c == 0 || IsBlank(c) || c == '"') {
                t.option = 1;
            } else {
                t.option = c;
                p++;
            }
        } else {
            count++;
        }
        t.count = count;
        if (p < line.size() && line[p] == '"') {
            size_t close = line.find('"', p + 1);
            if (close == std::string::npos) {
                t.text = line.substr(p + 1);
                tokens.push_back(t);
                return tokens;
            }
            t.text = line.substr(p + 1, close - p - 1);
            pos = close + 1;
        } else {
            size_t end = p;
            while (end < line.size() && !IsBlank((unsigned char)line[end])) end++;
            t.text = line.substr(p, end - p);
            pos = end;
        }
        tokens.push_back(t);
    }
}

inline int ModelGetInt(const std::string& token, int low, int high, int defaultValue) {
    if (token.empty() || token[0] < '0' || token[0] > '9') return defaultValue;
    int64_t value = 0;
    for (size_t i = 0; i < token.size() && token[i] >= '0' && token[i] <= '9'; i++) {
        value = value * 10 + (token[i] - '0');
        if (value > INT_MAX) value = INT_MAX;
    }
    if (value > high) value = high;
    if (value < low) value = low;
    return int(value);
}

}  // namespace model

#endif
