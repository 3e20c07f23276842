// Code page 1252, the ANSI code page of Western-European Windows, against the
// UTF-8 names of the POSIX side: what the A functions see of a name, and how
// Windows compares names regardless of case.
#ifndef ONDRELLE_CODE_PAGE_H
#define ONDRELLE_CODE_PAGE_H

#include <stddef.h>

#include <string>

// The character that a 1252 byte stands for. The five bytes that 1252 leaves
// unassigned stand for the C1 controls of the same value, as on Windows.
unsigned AnsiToUnicode(unsigned char byte);
// The 1252 byte of a character; -1 when it has none.
int UnicodeToAnsi(unsigned codePoint);

// Reads the UTF-8 sequence at text[*at] and steps past it. False, with *at
// one byte further on, for a byte that starts no well-formed sequence
// (overlong forms, surrogates and values past U+10FFFF included).
bool NextCodePoint(const std::string& text, size_t* at, unsigned* codePoint);
void AppendUtf8(std::string* text, unsigned codePoint);
bool IsUtf8(const std::string& text);
// UTF-16 text (no byte order mark) as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian);

enum AnsiForm {
    kAnsiExact,  // every character has a 1252 byte
    kAnsiLossy,  // valid UTF-8, but some character has none and became '?'
    kNotUtf8     // not UTF-8: each byte of a bad sequence became '?'
};
// The name as Windows' A functions return it.
AnsiForm Utf8ToAnsi(const std::string& utf8, std::string* ansi);
std::string AnsiToUtf8(const std::string& ansi);

// The lower-case partner of a letter in the alphabets Windows folds
// (Latin, Greek, Cyrillic); other characters stand for themselves.
unsigned FoldCase(unsigned codePoint);
// Two UTF-8 names that Windows takes for the same file. Bytes that are not
// UTF-8 must match exactly.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);
// The name folded, for use as a key: names that Windows takes for the same
// file give the same key.
std::string FoldedName(const std::string& utf8);

#endif
