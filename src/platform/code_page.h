// The ANSI code pages of Windows against the UTF-8 names of the POSIX side:
// what the A functions see of a name in each of them, and how Windows
// compares names regardless of case.
#ifndef ONDRELLE_CODE_PAGE_H
#define ONDRELLE_CODE_PAGE_H

#include <stddef.h>

#include <string>

// The fourteen ANSI code pages of Windows, in ascending order: 874, 932,
// 936, 949, 950 and 1250 to 1258.
extern const unsigned kAnsiCodePages[14];
bool IsAnsiCodePage(unsigned codePage);
// "Japanese" for 932, "Western" for 1252; "" for a number that is none.
const char* CodePageName(unsigned codePage);

// The code page that the A functions of the file layer use, as GetACP()
// gives it on Windows: 1252 until set. Only an ANSI code page can be set.
void SetAnsiCodePage(unsigned codePage);
unsigned AnsiCodePage();

// True for a byte that starts a character of two bytes: in 932, 936, 949
// and 950 only.
bool IsLeadByteOf(unsigned codePage, unsigned char byte);

// The character that a 1252 byte stands for. The five bytes that 1252 leaves
// unassigned stand for the C1 controls of the same value, as on Windows.
unsigned Windows1252ToUnicode(unsigned char byte);

// Reads the UTF-8 sequence at text[*at] and steps past it. False, with *at
// one byte further on, for a byte that starts no well-formed sequence
// (overlong forms, surrogates and values past U+10FFFF included).
bool NextCodePoint(const std::string& text, size_t* at, unsigned* codePoint);
void AppendUtf8(std::string* text, unsigned codePoint);
bool IsUtf8(const std::string& text);
// UTF-16 text (no byte order mark) as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian);

enum AnsiForm {
    kAnsiExact,  // every character has bytes of its own in the code page
    kAnsiLossy,  // valid UTF-8, but some character took Windows' best fit or became '?'
    kNotUtf8     // not UTF-8: each byte of a bad sequence became '?'
};
// The name as Windows' A functions return it in the code page: a character
// that the code page lacks takes Windows' best fit where there is one
// (é reads as e in 932), else '?'; one beyond 16 bits is
// two '?', one for each half of its UTF-16 pair.
AnsiForm Utf8ToAnsi(const std::string& utf8, unsigned codePage, std::string* ansi);
// The ANSI text as Windows reads it in the code page, as UTF-8: bytes with
// no character read as the code page's default character.
std::string AnsiToUtf8(const std::string& ansi, unsigned codePage);
// The same in AnsiCodePage().
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
