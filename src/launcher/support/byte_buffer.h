// A growable block of bytes: loads a resource or a file, edits it as 8-bit
// text and saves it. Storage comes from realloc and goes back with free.
#ifndef ONDRELLE_BYTE_BUFFER_H
#define ONDRELLE_BYTE_BUFFER_H

#include "platform.h"

class ByteBuffer {
public:
    // Content and capacity never pass this: doubling from 512 stops at 2^30.
    static const int kMaxCapacity = 1 << 30;

    char* data;    // null while there is no storage
    int capacity;  // 0, or 512 * 2^k
    int length;    // content bytes; not kept NUL-terminated

    ByteBuffer() : data(0), capacity(0), length(0) {}
    ~ByteBuffer() { Release(); }

    // Ensures capacity >= length + extra. False, with nothing changed, when
    // the size is out of range or memory cannot be had.
    bool MakeRoom(int extra);
    void Release();
    // A negative n counts as 0. Bytes added by growing are uninitialised.
    bool SetLength(int n);
    // The source must not lie in this buffer's storage.
    bool Assign(const void* bytes, int count);
    bool AssignString(const char* text);
    // The text must not lie in this buffer's storage. On failure the content
    // stays as it was.
    bool Append(const char* text);
    bool AppendCRLF();
    bool AppendLine(const char* text);
    // Replaces the first occurrence, or all of them left to right without
    // rescanning inserted text. The search stops at the first NUL byte. On
    // failure the content stays as it was.
    bool Replace(const char* pattern, const char* replacement, bool all);

    // Integer identifiers or names. False leaves the buffer without storage.
    bool LoadFromResource(LPCSTR name, LPCSTR type);
    bool LoadFromFile(const char* path);
    // A file that was not written whole is deleted.
    bool SaveToFile(const char* path) const;

    // The content followed by a NUL; never null. Valid until the next change.
    const char* CStr();

private:
    ByteBuffer(const ByteBuffer&);
    ByteBuffer& operator=(const ByteBuffer&);
};

#endif
