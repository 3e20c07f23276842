// Files, directories, the temp path and the module path, with Windows
// semantics over POSIX: Z: is the POSIX root, backslashes separate, and each
// component is looked up case-insensitively (ASCII), as Wine does it.
#include "standin.h"
#include "standin_control.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

namespace {

DWORD lastError = 0;
std::string moduleOverride;
long fileSystemCalls = 0;
long createFileCalls = 0;
bool tempPathAsGiven = false;
int refuseAfter = -1;
long readLimit = -1;
long writeLimit = -1;
bool sizeOverridden = false;
DWORD sizeOverride = 0;
// Attributes set with SetFileAttributesA that POSIX cannot hold.
std::map<std::string, DWORD> storedAttributes;

struct FileHandle {
    int fd;
    DWORD access;
    DWORD share;
    dev_t dev;
    ino_t ino;
};

struct FindHandle {
    std::string directory;  // POSIX, with trailing slash
    std::vector<std::string> names;
    size_t next;
};

enum HandleKind { kFile, kFind };

struct Handle {
    HandleKind kind;
    FileHandle file;
    FindHandle find;
};

std::vector<Handle*> openHandles;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool SameNameIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; i++) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return i == a.size() && b[i] == 0;
}

enum Resolution { kFound, kLastMissing, kNotFound };

// Turns a Windows path into the POSIX path of the existing file, matching
// each component case-insensitively. When only the last component is
// missing, it is kept as written, so that it can be created.
Resolution Resolve(const char* winPath, std::string* posix) {
    if (!winPath || !*winPath) return kNotFound;
    const char* p = winPath;
    std::string current;
    if (((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':') {
        if (AsciiLower(p[0]) != 'z') return kNotFound;
        p += 2;
        current = "/";
    } else if (IsSeparator(p[0])) {
        current = "/";
    } else {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) return kNotFound;
        current = cwd;
        if (current.back() != '/') current += '/';
    }

    std::vector<std::string> parts;
    while (*p) {
        while (IsSeparator(*p)) p++;
        const char* start = p;
        while (*p && !IsSeparator(*p)) p++;
        if (p > start) parts.push_back(std::string(start, p));
    }

    for (size_t i = 0; i < parts.size(); i++) {
        const std::string& part = parts[i];
        bool last = i + 1 == parts.size();
        if (part == ".") continue;
        if (part == "..") {
            if (current.size() > 1) {
                current.pop_back();
                current.erase(current.rfind('/') + 1);
            }
            continue;
        }
        struct stat st;
        std::string exact = current + part;
        std::string found;
        if (lstat(exact.c_str(), &st) == 0) {
            found = part;
        } else if (DIR* dir = opendir(current.c_str())) {
            while (struct dirent* entry = readdir(dir)) {
                if (SameNameIgnoringCase(part, entry->d_name)) {
                    found = entry->d_name;
                    break;
                }
            }
            closedir(dir);
        }
        if (found.empty()) {
            if (!last) return kNotFound;
            *posix = current + part;
            return kLastMissing;
        }
        current += found;
        if (!last) {
            if (stat(current.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kNotFound;
            current += '/';
        }
    }
    *posix = current;
    return kFound;
}

DWORD AttributesOf(const std::string& posix, const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    std::string name = posix.substr(posix.rfind('/') + 1);
    if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
    std::map<std::string, DWORD>::const_iterator stored = storedAttributes.find(posix);
    if (stored != storedAttributes.end()) attributes |= stored->second;
    return attributes;
}

Handle* FromHandle(HANDLE h, HandleKind kind) {
    for (size_t i = 0; i < openHandles.size(); i++) {
        if (openHandles[i] == h && openHandles[i]->kind == kind) return openHandles[i];
    }
    return NULL;
}

// Windows refuses an open that conflicts with the sharing of an open handle.
bool SharingAllows(dev_t dev, ino_t ino, DWORD access, DWORD share) {
    for (size_t i = 0; i < openHandles.size(); i++) {
        const Handle* h = openHandles[i];
        if (h->kind != kFile || h->file.dev != dev || h->file.ino != ino) continue;
        if ((access & GENERIC_READ) && !(h->file.share & FILE_SHARE_READ)) return false;
        if ((access & GENERIC_WRITE) && !(h->file.share & FILE_SHARE_WRITE)) return false;
        if ((h->file.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return false;
        if ((h->file.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return false;
    }
    return true;
}

bool OpenWithoutDeleteSharing(dev_t dev, ino_t ino) {
    for (size_t i = 0; i < openHandles.size(); i++) {
        const Handle* h = openHandles[i];
        if (h->kind == kFile && h->file.dev == dev && h->file.ino == ino &&
            !(h->file.share & FILE_SHARE_DELETE))
            return true;
    }
    return false;
}

void FillFindData(const FindHandle& find, const std::string& name, LPWIN32_FIND_DATAA data) {
    memset(data, 0, sizeof *data);
    std::string full = find.directory + name;
    struct stat st;
    if (name == "." || name == "..") {
        data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    } else if (stat(full.c_str(), &st) == 0) {
        data->dwFileAttributes = AttributesOf(full, st);
        data->nFileSizeLow = DWORD(uint64_t(st.st_size) & 0xFFFFFFFFu);
        data->nFileSizeHigh = DWORD(uint64_t(st.st_size) >> 32);
    } else {
        data->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    }
    size_t n = name.size() < MAX_PATH - 1 ? name.size() : MAX_PATH - 1;
    memcpy(data->cFileName, name.data(), n);
    data->cFileName[n] = 0;
}

bool MatchesPattern(const std::string& pattern, const std::string& name) {
    if (pattern == "*" || pattern == "*.*") return true;
    return fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

}  // namespace

// --- Error codes ------------------------------------------------------------

DWORD GetLastError(void) { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

// --- Paths ------------------------------------------------------------------

std::string Standin_ToWindowsPath(const std::string& posixPath) {
    std::string result = "Z:";
    for (size_t i = 0; i < posixPath.size(); i++) {
        result += posixPath[i] == '/' ? '\\' : posixPath[i];
    }
    if (result == "Z:") result += '\\';
    return result;
}

void Standin_SetModulePath(const char* windowsPath) {
    moduleOverride = windowsPath ? windowsPath : "";
}

DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size) {
    std::string path = moduleOverride;
    if (path.empty()) {
        char buffer[4096];
        ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n <= 0) {
            lastError = ERROR_FILE_NOT_FOUND;
            return 0;
        }
        buffer[n] = 0;
        path = Standin_ToWindowsPath(buffer);
    }
    if (size == 0) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    // As on Vista and later: a cut name is still terminated and the size returned.
    if (path.size() < size) {
        memcpy(fileName, path.c_str(), path.size() + 1);
        lastError = ERROR_SUCCESS;
        return DWORD(path.size());
    }
    memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = 0;
    lastError = ERROR_INSUFFICIENT_BUFFER;
    return size;
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    const char* names[] = {"TMP", "TEMP", "TMPDIR"};
    std::string path;
    for (size_t i = 0; i < 3 && path.empty(); i++) {
        const char* value = getenv(names[i]);
        if (value && *value) path = value;
    }
    if (path.empty()) path = "/tmp";
    if (path[0] == '/') path = Standin_ToWindowsPath(path);
    if (!tempPathAsGiven && path[path.size() - 1] != '\\') path += '\\';
    // Windows: the length without the NUL when it fits, else the size needed.
    if (path.size() + 1 > size) return DWORD(path.size() + 1);
    memcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
}

// --- Attributes and enumeration ---------------------------------------------

long Standin_FileSystemCalls() { return fileSystemCalls; }
long Standin_CreateFileCalls() { return createFileCalls; }
void Standin_TempPathAsGiven(bool asGiven) { tempPathAsGiven = asGiven; }

DWORD GetFileAttributesA(LPCSTR path) {
    fileSystemCalls++;
    std::string posix;
    if (Resolve(path, &posix) != kFound) {
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat st;
    if (stat(posix.c_str(), &st) != 0) {
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(posix, st);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    std::string posix;
    if (Resolve(path, &posix) != kFound) {
        lastError = ERROR_FILE_NOT_FOUND;
        return FALSE;
    }
    storedAttributes[posix] =
        attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    return TRUE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    fileSystemCalls++;
    std::string text = pattern ? pattern : "";
    size_t cut = text.find_last_of("\\/");
    std::string directoryPart = cut == std::string::npos ? "." : text.substr(0, cut + 1);
    std::string namePattern = cut == std::string::npos ? text : text.substr(cut + 1);
    if (cut != std::string::npos && directoryPart.size() == 3 && directoryPart[1] == ':') {
        directoryPart = directoryPart.substr(0, 2) + "\\.";  // Z:\ itself
    }
    std::string directory;
    struct stat st;
    if (namePattern.empty() || Resolve(directoryPart.c_str(), &directory) != kFound ||
        stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (directory.back() != '/') directory += '/';

    Handle* h = new Handle();
    h->kind = kFind;
    h->find.directory = directory;
    h->find.next = 0;
    // A drive's root has no "." and ".." entries; every other directory has.
    if (directory != "/") {
        if (MatchesPattern(namePattern, ".")) h->find.names.push_back(".");
        if (MatchesPattern(namePattern, "..")) h->find.names.push_back("..");
    }
    if (DIR* dir = opendir(directory.c_str())) {
        while (struct dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (MatchesPattern(namePattern, name)) h->find.names.push_back(name);
        }
        closedir(dir);
    }
    if (h->find.names.empty()) {
        delete h;
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    openHandles.push_back(h);
    FillFindData(h->find, h->find.names[h->find.next++], data);
    return h;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    fileSystemCalls++;
    Handle* h = FromHandle(find, kFind);
    if (!h) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (h->find.next >= h->find.names.size()) {
        lastError = ERROR_NO_MORE_FILES;
        return FALSE;
    }
    FillFindData(h->find, h->find.names[h->find.next++], data);
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    Handle* h = FromHandle(find, kFind);
    if (!h) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    for (size_t i = 0; i < openHandles.size(); i++) {
        if (openHandles[i] == h) openHandles.erase(openHandles.begin() + long(i));
    }
    delete h;
    return TRUE;
}

int Standin_OpenHandles() { return int(openHandles.size()); }

// --- Files ------------------------------------------------------------------

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD creation,
                   DWORD, HANDLE) {
    createFileCalls++;
    std::string posix;
    Resolution resolution = Resolve(path, &posix);
    if (resolution == kNotFound) {
        lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    bool exists = resolution == kFound && stat(posix.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    if (!exists && creation == OPEN_EXISTING) {
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (exists && creation == CREATE_NEW) {
        lastError = ERROR_FILE_EXISTS;
        return INVALID_HANDLE_VALUE;
    }
    // The sharing test comes before CREATE_ALWAYS truncates anything.
    if (exists && !SharingAllows(st.st_dev, st.st_ino, access, share)) {
        lastError = ERROR_SHARING_VIOLATION;
        return INVALID_HANDLE_VALUE;
    }
    int flags = (access & GENERIC_READ) && (access & GENERIC_WRITE) ? O_RDWR
                : (access & GENERIC_WRITE)                           ? O_WRONLY
                                                                     : O_RDONLY;
    if (creation == CREATE_ALWAYS) flags |= O_CREAT | O_TRUNC;
    if (creation == CREATE_NEW) flags |= O_CREAT | O_EXCL;
    int fd = open(posix.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        lastError = errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    fstat(fd, &st);
    Handle* h = new Handle();
    h->kind = kFile;
    h->file.fd = fd;
    h->file.access = access;
    h->file.share = share;
    h->file.dev = st.st_dev;
    h->file.ino = st.st_ino;
    openHandles.push_back(h);
    lastError = exists && creation == CREATE_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return h;
}

void Standin_LimitNextRead(long maxBytes) { readLimit = maxBytes; }
void Standin_LimitNextWrite(long maxBytes) { writeLimit = maxBytes; }
void Standin_OverrideNextFileSize(DWORD size) {
    sizeOverridden = true;
    sizeOverride = size;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
    Handle* h = FromHandle(file, kFile);
    if (read) *read = 0;
    if (!h || !(h->file.access & GENERIC_READ)) {
        lastError = h ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
        return FALSE;
    }
    size_t want = toRead;
    if (readLimit >= 0 && size_t(readLimit) < want) want = size_t(readLimit);
    readLimit = -1;
    size_t done = 0;
    while (done < want) {
        ssize_t n = ::read(h->file.fd, static_cast<char*>(buffer) + done, want - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            lastError = ERROR_ACCESS_DENIED;
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
        lastError = h ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
        return FALSE;
    }
    size_t want = toWrite;
    if (writeLimit >= 0 && size_t(writeLimit) < want) want = size_t(writeLimit);
    writeLimit = -1;
    size_t done = 0;
    while (done < want) {
        ssize_t n = ::write(h->file.fd, static_cast<const char*>(buffer) + done, want - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lastError = ERROR_ACCESS_DENIED;
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
        lastError = ERROR_INVALID_HANDLE;
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh) *sizeHigh = DWORD(uint64_t(st.st_size) >> 32);
    if (sizeOverridden) {
        sizeOverridden = false;
        return sizeOverride;
    }
    return DWORD(uint64_t(st.st_size) & 0xFFFFFFFFu);
}

BOOL CloseHandle(HANDLE handle) {
    Handle* h = FromHandle(handle, kFile);
    if (!h) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    close(h->file.fd);
    for (size_t i = 0; i < openHandles.size(); i++) {
        if (openHandles[i] == h) openHandles.erase(openHandles.begin() + long(i));
    }
    delete h;
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
    std::string posix;
    struct stat st;
    if (Resolve(path, &posix) != kFound || lstat(posix.c_str(), &st) != 0) {
        lastError = ERROR_FILE_NOT_FOUND;
        return FALSE;
    }
    if (S_ISDIR(st.st_mode)) {
        lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (OpenWithoutDeleteSharing(st.st_dev, st.st_ino)) {
        lastError = ERROR_SHARING_VIOLATION;
        return FALSE;
    }
    if (unlink(posix.c_str()) != 0) {
        lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    storedAttributes.erase(posix);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    std::string posix;
    Resolution resolution = Resolve(path, &posix);
    if (resolution == kFound) {
        lastError = ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    if (resolution == kNotFound || mkdir(posix.c_str(), 0755) != 0) {
        lastError = ERROR_PATH_NOT_FOUND;
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    std::string posix;
    if (Resolve(path, &posix) != kFound) {
        lastError = ERROR_FILE_NOT_FOUND;
        return FALSE;
    }
    if (rmdir(posix.c_str()) != 0) {
        lastError = errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED;
        return FALSE;
    }
    storedAttributes.erase(posix);
    return TRUE;
}

// --- Memory -----------------------------------------------------------------

void Standin_RefuseAllocationAfter(int okCount) { refuseAfter = okCount; }

bool AllocationRefused() {
    if (refuseAfter < 0) return false;
    if (refuseAfter == 0) return true;
    refuseAfter--;
    return false;
}
