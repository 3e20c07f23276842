// kelmora.exe's own small C runtime: the heap functions and the byte-string
// functions that the code and the compiler call, so that the executable needs
// no msvcrt.dll (which the first Windows 95 release lacks). Built with
// -fno-builtin and without loop-to-call rewriting, so that none of these turns
// into a call to itself. The unit tests keep their usual runtime.
// There is no abort: the launcher allocates only with new (std::nothrow), and a
// throwing new that something called would fail to link.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <new>

// The tag of new (std::nothrow), which libstdc++ would otherwise bring.
const std::nothrow_t std::nothrow = std::nothrow_t();

// Zero bytes still get a block of their own, so that null always means failure.
void* malloc(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }

// HeapReAlloc that fails returns null and leaves the block as it was, which is
// what the byte buffer relies on.
void* realloc(void* block, size_t size) {
    if (!block) return malloc(size);
    return HeapReAlloc(GetProcessHeap(), 0, block, size ? size : 1);
}

// HeapFree of a null pointer is undefined; free(NULL) is not.
void free(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

void* memcpy(void* dest, const void* source, size_t n) {
    char* d = static_cast<char*>(dest);
    const char* s = static_cast<const char*>(source);
    while (n--) *d++ = *s++;
    return dest;
}

void* memmove(void* dest, const void* source, size_t n) {
    char* d = static_cast<char*>(dest);
    const char* s = static_cast<const char*>(source);
    if (d <= s) {
        while (n--) *d++ = *s++;
    } else {
        while (n--) d[n] = s[n];
    }
    return dest;
}

void* memset(void* dest, int value, size_t n) {
    unsigned char* d = static_cast<unsigned char*>(dest);
    while (n--) *d++ = (unsigned char)value;
    return dest;
}

int memcmp(const void* a, const void* b, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(a);
    const unsigned char* q = static_cast<const unsigned char*>(b);
    for (; n; n--, p++, q++) {
        if (*p != *q) return *p - *q;
    }
    return 0;
}

size_t strlen(const char* s) {
    const char* p = s;
    while (*p) p++;
    return size_t(p - s);
}

// Bytes compare as unsigned, as C requires: 0x80 to 0xFF sort after ASCII.
int strcmp(const char* a, const char* b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    while (*p && *p == *q) p++, q++;
    return *p - *q;
}

int strncmp(const char* a, const char* b, size_t n) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (; n; n--, p++, q++) {
        if (*p != *q || !*p) return *p - *q;
    }
    return 0;
}

// The terminator counts as part of the string: strchr(s, 0) finds it.
char* strchr(const char* s, int c) {
    for (;; s++) {
        if (*s == char(c)) return const_cast<char*>(s);
        if (!*s) return NULL;
    }
}

char* strrchr(const char* s, int c) {
    const char* found = NULL;
    for (;; s++) {
        if (*s == char(c)) found = s;
        if (!*s) return const_cast<char*>(found);
    }
}

char* strstr(const char* haystack, const char* needle) {
    size_t n = strlen(needle);
    for (; *haystack; haystack++) {
        if (strncmp(haystack, needle, n) == 0) return const_cast<char*>(haystack);
    }
    return n ? NULL : const_cast<char*>(haystack);
}
