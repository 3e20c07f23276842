#include "cmd_tokenizer.h"

#include "integers.h"
#include "text.h"

#include <limits.h>
#include <string.h>

namespace {

// Where the cursor goes after an unclosed quote: the line is used up.
const char kExhausted[] = "";

bool IsBlank(unsigned char c) { return c >= 0x01 && c <= 0x20; }

}  // namespace

CmdTokenizer::CmdTokenizer() : cursor(line), option(0), count(0) {
    line[0] = 0;
    token[0] = 0;
}

void CmdTokenizer::SetLine(const char* text) {
    CopyText(line, MAX_PATH, text ? text : "");
    Reset();
}

void CmdTokenizer::Reset() {
    token[0] = 0;
    option = 0;
    count = 0;
    cursor = line;
}

bool CmdTokenizer::Next() {
    token[0] = 0;
    option = 0;
    const char* p = cursor;
    while (IsBlank(BYTE(*p))) p++;
    // The cursor stays put, so every later call ends here as well.
    if (!*p) return false;

    if (*p == '-') {
        p++;
        BYTE c = BYTE(*p);
        if (c == 0 || IsBlank(c) || c == '"') {
            option = 1;
        } else {
            option = c;
            p++;
        }
    } else {
        count++;
    }

    const char* start = p;
    const char* end;
    if (*p == '"') {
        start = p + 1;
        end = strchr(start, '"');
        if (end) {
            cursor = end + 1;
        } else {
            end = start + strlen(start);
            cursor = kExhausted;
        }
    } else {
        end = p;
        while (*end && !IsBlank(BYTE(*end))) end++;
        cursor = end;
    }

    // A token is a piece of line, so it always fits; the bound says so.
    size_t n = MinInt(int(end - start), MAX_PATH - 1);
    if (n) memcpy(token, start, n);
    token[n] = 0;
    return true;
}

int CmdTokenizer::GetInt(int low, int high, int defaultValue) const {
    if (token[0] < '0' || token[0] > '9') return defaultValue;
    // A run beyond the 32-bit range stays at INT_MAX instead of wrapping.
    int value = 0;
    for (const char* p = token; *p >= '0' && *p <= '9'; p++) {
        int digit = *p - '0';
        value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
    }
    return BoundInt(value, low, high);
}
