// Bounded text helpers. Every destination comes with its size in bytes; the
// result is always NUL-terminated and nothing is written past `size`.
#ifndef ONDRELLE_TEXT_H
#define ONDRELLE_TEXT_H

// Copies as much of `source` as fits; false when it had to be cut.
bool CopyText(char* dest, int size, const char* source);
// Appends as much of `source` as fits; false when it had to be cut.
bool AppendText(char* dest, int size, const char* source);
// Lower-cases A-Z only; no locale takes part. The second byte of a
// character of two, in the code pages that have them, is left alone.
void LowerAscii(char* text);
char LowerAsciiChar(char c);
// The last backslash that is a character of its own, not the second byte of
// one; null when there is none.
char* LastBackslash(char* text);
// The bytes of the character at `text`: 2 for a lead byte and its second, else 1.
int CharLength(const char* text);

#endif
