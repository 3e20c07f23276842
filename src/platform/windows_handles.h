// The file layer's open handles, of files and of directory searches, and the
// sharing rules that Windows holds them to.
#ifndef ONDRELLE_WINDOWS_HANDLES_H
#define ONDRELLE_WINDOWS_HANDLES_H

#include "win32_subset.h"

#include <sys/types.h>

#include <string>
#include <vector>

struct FileHandle {
    int fd;
    DWORD access;
    DWORD share;
    dev_t dev;
    ino_t ino;
};

struct FindHandle {
    std::string directory;          // POSIX, with trailing slash
    std::vector<std::string> names;  // POSIX (UTF-8) names
    size_t next;
};

enum HandleKind { kFile, kFind };

struct Handle {
    HandleKind kind;
    FileHandle file;
    FindHandle find;
};

// Takes a new handle into the table.
void Remember(Handle* h);
// The open handle of this kind, or null.
Handle* FromHandle(HANDLE h, HandleKind kind);
// Drops the handle from the table and frees it.
void Forget(Handle* h);
// Windows refuses an open that conflicts with the sharing of an open handle.
bool SharingAllows(dev_t dev, ino_t ino, DWORD access, DWORD share);
bool OpenWithoutDeleteSharing(dev_t dev, ino_t ino);

#endif
