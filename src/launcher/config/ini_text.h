// An INI file kept in memory exactly as its bytes stand on disk. Lookups scan
// those bytes in place from the current section; nothing is parsed at load.
#ifndef ONDRELLE_INI_TEXT_H
#define ONDRELLE_INI_TEXT_H

#include "platform.h"

class IniText {
public:
    char* data;         // the file's bytes and room for a NUL; null when empty
    char* cursor;       // first byte of the current section's body; null: none
    int length;         // text bytes, NUL not counted
    unsigned capacity;  // bytes at data; 0 when there is no array

    IniText() : data(0), cursor(0), length(0), capacity(0) {}
    ~IniText() { Release(); }

    void Release();
    // False, with the document empty, when the file cannot be opened, its size
    // cannot be held, memory cannot be had or the read falls short.
    bool Load(const char* fileName);
    // Writes the `length` text bytes; a file written short is deleted.
    bool Save(const char* fileName) const;

    // Moves the cursor to the body of the first [name] section; to the end of
    // the text when there is none, so that key lookups then fail.
    bool FindSection(const char* name);
    // The raw value span after the first '=' up to the line end, blanks kept.
    bool FindKey(const char* key, const char** value, int* valueLength) const;
    // The trimmed value, cut to size - 1 bytes; dest is always terminated.
    bool GetValue(const char* key, char* dest, int size) const;
    // The current section's body without trailing blanks, cut to size - 1.
    bool GetSectionText(char* dest, int size) const;
    // Replaces the value span of an existing key. False when the key is
    // missing or memory cannot be had; the text is then unchanged.
    bool ReplaceValue(const char* key, const char* value);

    // Ensures room for n more bytes plus slack. False, with nothing changed,
    // when the size cannot be held or memory cannot be had.
    bool MakeRoom(int n);
    // The text, NUL-terminated; an empty text when memory cannot be had.
    const char* CStr();

    // Line scanners over terminated text.
    static const char* NextLine(const char* p);
    static const char* EndOfLine(const char* p);
    static const char* SkipBlanks(const char* p);

private:
    IniText(const IniText&);
    IniText& operator=(const IniText&);
};

#endif
