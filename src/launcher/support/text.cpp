#include "text.h"

#include "platform.h"

#include <string.h>

bool CopyText(char* dest, int size, const char* source) {
    if (size <= 0) return false;
    dest[0] = 0;
    return AppendText(dest, size, source);
}

bool AppendText(char* dest, int size, const char* source) {
    if (size <= 0) return false;
    size_t used = strlen(dest);
    size_t room = size_t(size) - 1 - used;
    size_t n = strlen(source);
    bool fits = n <= room;
    if (!fits) n = room;
    if (n) memcpy(dest + used, source, n);
    dest[used + n] = 0;
    return fits;
}

char LowerAsciiChar(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }

// True when `text` starts a character of two bytes whose second is there;
// that second byte can be anything from 0x40 up, 'A' to 'Z' and '\\' among
// them, and belongs to the character.
static bool StartsPair(const char* text) { return IsDBCSLeadByte(BYTE(*text)) && text[1]; }

void LowerAscii(char* text) {
    for (; *text; text++) {
        if (StartsPair(text)) {
            text++;
        } else {
            *text = LowerAsciiChar(*text);
        }
    }
}

char* LastBackslash(char* text) {
    char* last = 0;
    for (; *text; text++) {
        if (*text == '\\') {
            last = text;
        } else if (StartsPair(text)) {
            text++;
        }
    }
    return last;
}

int CharLength(const char* text) { return StartsPair(text) ? 2 : 1; }
