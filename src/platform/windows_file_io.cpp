// Files opened, read, written, sized, closed and deleted, and folders made and removed.
#include "layer_hooks.h"
#include "win32_subset.h"
#include "windows_attributes.h"
#include "windows_handles.h"
#include "windows_paths.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD creation,
                   DWORD, HANDLE) {
    HookCreateFile();
    std::string posix;
    Resolution resolution = Resolve(path, &posix);
    if (resolution == kNotFound) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    bool exists = resolution == kFound && stat(posix.c_str(), &st) == 0;
    // A FIFO, socket or device has no place on a disc, and opening one could
    // block: it is refused like a directory.
    if (exists && !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!exists && creation == OPEN_EXISTING) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (exists && creation == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    // The sharing test comes before CREATE_ALWAYS truncates anything.
    if (exists && !SharingAllows(st.st_dev, st.st_ino, access, share)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    int flags = (access & GENERIC_READ) && (access & GENERIC_WRITE) ? O_RDWR
                : (access & GENERIC_WRITE)                           ? O_WRONLY
                                                                     : O_RDONLY;
    if (creation == CREATE_ALWAYS) flags |= O_CREAT | O_TRUNC;
    if (creation == CREATE_NEW) flags |= O_CREAT | O_EXCL;
    // Non-blocking, in case a FIFO took the file's place since the test above.
    int fd = open(posix.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    Handle* h = new Handle();
    h->kind = kFile;
    h->file.fd = fd;
    h->file.access = access;
    h->file.share = share;
    h->file.dev = st.st_dev;
    h->file.ino = st.st_ino;
    Remember(h);
    SetLastError(exists && creation == CREATE_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
    Handle* h = FromHandle(file, kFile);
    if (read) *read = 0;
    if (!h || !(h->file.access & GENERIC_READ)) {
        SetLastError(h ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    size_t want = HookReadSize(toRead);
    size_t done = 0;
    while (done < want) {
        ssize_t n = ::read(h->file.fd, static_cast<char*>(buffer) + done, want - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    if (read) *read = DWORD(done);
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void*) {
    Handle* h = FromHandle(file, kFile);
    if (written) *written = 0;
    if (!h || !(h->file.access & GENERIC_WRITE)) {
        SetLastError(h ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    size_t want = HookWriteSize(toWrite);
    size_t done = 0;
    while (done < want) {
        ssize_t n = ::write(h->file.fd, static_cast<const char*>(buffer) + done, want - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        done += size_t(n);
    }
    if (written) *written = DWORD(done);
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    Handle* h = FromHandle(file, kFile);
    struct stat st;
    if (!h || fstat(h->file.fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh) *sizeHigh = DWORD(uint64_t(st.st_size) >> 32);
    return HookFileSize(DWORD(uint64_t(st.st_size) & 0xFFFFFFFFu));
}

BOOL CloseHandle(HANDLE handle) {
    Handle* h = FromHandle(handle, kFile);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(h->file.fd);
    Forget(h);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
    std::string posix;
    struct stat st;
    if (Resolve(path, &posix) != kFound || lstat(posix.c_str(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (OpenWithoutDeleteSharing(st.st_dev, st.st_ino)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (unlink(posix.c_str()) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    ForgetAttributes(posix);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    std::string posix;
    Resolution resolution = Resolve(path, &posix);
    if (resolution == kFound) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (resolution == kNotFound || mkdir(posix.c_str(), 0755) != 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    std::string posix;
    if (Resolve(path, &posix) != kFound) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (rmdir(posix.c_str()) != 0) {
        SetLastError(errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    ForgetAttributes(posix);
    return TRUE;
}
