#include "text.h"

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

void LowerAscii(char* text) {
    for (; *text; text++) *text = LowerAsciiChar(*text);
}
