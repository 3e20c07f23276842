// Bounded text helpers. Every destination comes with its size in bytes; the
// result is always NUL-terminated and nothing is written past `size`.
#ifndef ONDRELLE_TEXT_H
#define ONDRELLE_TEXT_H

// Copies as much of `source` as fits; false when it had to be cut.
bool CopyText(char* dest, int size, const char* source);
// Appends as much of `source` as fits; false when it had to be cut.
bool AppendText(char* dest, int size, const char* source);
// Lower-cases A-Z only; no locale takes part.
void LowerAscii(char* text);
char LowerAsciiChar(char c);

#endif
