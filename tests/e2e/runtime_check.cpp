// kelmora.exe's own heap and string functions, linked as the exe links them (no C runtime)
// and run under Wine. Built with -fno-builtin, so that every call below reaches them rather
// than the compiler's constant folding. Prints the line of each failed check; the exit code
// is the number of failures.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

namespace {

int failures;

void Check(bool ok, int line) {
    if (ok) return;
    failures++;
    char text[64];
    int n = wsprintfA(text, "runtime_check.cpp:%d: check failed\r\n", line);
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, DWORD(n), &written, NULL);
}

#define CHECK(condition) Check(condition, __LINE__)

// What the byte buffer relies on: realloc keeps the bytes, a failing one keeps the block.
void Heap() {
    char* block = static_cast<char*>(realloc(NULL, 16));
    CHECK(block != NULL);
    if (!block) return;
    memcpy(block, "0123456789abcdef", 16);
    // Large enough that the heap has to move it.
    char* grown = static_cast<char*>(realloc(block, 1 << 20));
    CHECK(grown != NULL && memcmp(grown, "0123456789abcdef", 16) == 0);
    if (grown) block = grown;
    // No 32-bit process without /LARGEADDRESSAWARE has room for this.
    CHECK(realloc(block, 0x7FFFFFF0u) == NULL && memcmp(block, "0123456789abcdef", 16) == 0);
    free(block);
    free(NULL);
}

void Bytes() {
    char text[] = "0123456789";
    memmove(text + 2, text, 5);  // the destination overlaps the end of the source
    CHECK(memcmp(text, "0101234789", 11) == 0);
    memmove(text, text + 3, 5);  // and the start
    CHECK(memcmp(text, "1234734789", 11) == 0);

    // Bytes 0x80 to 0xFF are ordinary characters and sort after ASCII, as C requires.
    CHECK(strcmp("\xC9t", "zt") > 0 && strcmp("a\x80", "a\x7F") > 0 && strcmp("ab", "abc") < 0);
    CHECK(strcmp("abc", "abc") == 0 && strcmp("abd", "abc") > 0);

    const char* path = "C:\\disc\\a.htm";
    CHECK(strrchr(path, '\\') == path + 7 && strchr(path, 0) == path + 13);
    const char* page = "aa[Err[ErrMsg]";
    CHECK(strstr(page, "[ErrMsg]") == page + 6 && strstr(page, "[ErrMsgs") == NULL);
    CHECK(strstr(page, "") == page);
}

}  // namespace

extern "C" void RuntimeCheckStart() {
    Heap();
    Bytes();
    ExitProcess(UINT(failures));
}
