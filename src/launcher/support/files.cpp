#include "files.h"

#include "platform.h"
#include "text.h"


bool ModulePath(char* dest, const char* name) {
    DWORD n = GetModuleFileNameA(NULL, dest, MAX_PATH);
    // A result of MAX_PATH means the name was cut (and, on XP, not terminated).
    if (n == 0 || n >= MAX_PATH) {
        dest[0] = 0;
        return false;
    }
    dest[n] = 0;
    char* lastSlash = LastBackslash(dest);
    if (lastSlash) {
        lastSlash[1] = 0;
    } else {
        dest[0] = 0;
    }
    if (!AppendText(dest, MAX_PATH, name)) {
        dest[0] = 0;
        return false;
    }
    return true;
}

bool FileExists(const char* path) {
    return path[0] != 0 && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const char* path, const void* bytes, int count) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    // Nothing to write leaves an empty file; no write from a null block.
    if (count > 0) {
        DWORD written = 0;
        ok = WriteFile(file, bytes, DWORD(count), &written, NULL) && written == DWORD(count);
    }
    CloseHandle(file);
    if (!ok) DeleteFileA(path);
    return ok;
}
