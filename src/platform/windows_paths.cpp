// Files, directories, the temp path and the module path, with Windows
// semantics over POSIX: drive letters map to folders (Z: is the POSIX root),
// backslashes separate, each component is looked up regardless of case, and
// names cross between ANSI (1252) and UTF-8, as under Wine.
#include "windows_files.h"

#include "code_page.h"
#include "win32_subset.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#ifdef ONDRELLE_FAULT_HOOKS
// The tests' build: counters and injected faults (tests/standin).
#include "fault_hooks.h"
#else
// The shipped layer counts nothing and injects nothing.
namespace {
inline void HookLookup() {}
inline void HookCreateFile() {}
inline void HookHandleOpened() {}
inline void HookHandleClosed() {}
inline size_t HookReadSize(size_t want) { return want; }
inline size_t HookWriteSize(size_t want) { return want; }
inline DWORD HookFileSize(DWORD size) { return size; }
inline bool HookTempPathAsGiven() { return false; }
}  // namespace

bool AllocationRefused() { return false; }
#endif

namespace {

DWORD lastError = 0;
std::string moduleOverride;
// Lower-case drive letter -> POSIX folder with a trailing slash.
std::map<char, std::string> drives = {{'z', "/"}};
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

std::vector<Handle*> openHandles;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Characters that Windows refuses in a name; '?' is also what an
// unmappable character reads as, so such a name can never be opened.
bool IsValidComponent(const std::string& ansi) {
    for (size_t i = 0; i < ansi.size(); i++) {
        unsigned char c = static_cast<unsigned char>(ansi[i]);
        if (c < 0x20 || strchr("<>:\"|?*", c)) return false;
    }
    return true;
}

enum Resolution { kFound, kLastMissing, kNotFound };

// Turns a Windows path into the POSIX path of the existing file, matching
// each component regardless of case. When only the last component is
// missing, it is kept as written, so that it can be created. `atRoot` tells
// whether the path is a drive's root.
Resolution Resolve(const char* winPath, std::string* posix, bool* atRoot = NULL) {
    if (atRoot) *atRoot = false;
    if (!winPath || !*winPath) return kNotFound;
    const char* p = winPath;
    std::string current;
    size_t floor;  // ".." never climbs above the drive's folder
    if (IsDriveLetter(p[0]) && p[1] == ':') {
        std::map<char, std::string>::const_iterator drive = drives.find(AsciiLower(p[0]));
        if (drive == drives.end()) return kNotFound;
        current = drive->second;
        p += 2;
    } else if (IsSeparator(p[0])) {
        current = drives.count('z') ? drives['z'] : "/";
    } else {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) return kNotFound;
        current = cwd;
        if (current.back() != '/') current += '/';
    }
    floor = IsSeparator(p[0]) || p > winPath ? current.size() : 1;

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
            if (current.size() > floor) {
                current.pop_back();
                current.erase(current.rfind('/') + 1);
            }
            continue;
        }
        if (!IsValidComponent(part)) return kNotFound;
        std::string name = AnsiToUtf8(part);
        struct stat st;
        std::string found;
        if (lstat((current + name).c_str(), &st) == 0) {
            found = name;
        } else if (DIR* dir = opendir(current.c_str())) {
            std::string folded = FoldedName(name);
            while (struct dirent* entry = readdir(dir)) {
                if (FoldedName(entry->d_name) == folded) {
                    found = entry->d_name;
                    break;
                }
            }
            closedir(dir);
        }
        if (found.empty()) {
            if (!last) return kNotFound;
            *posix = current + name;
            return kLastMissing;
        }
        current += found;
        if (!last) {
            if (stat(current.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kNotFound;
            current += '/';
        }
    }
    if (atRoot) *atRoot = current.size() <= floor && current.back() == '/';
    *posix = current;
    return kFound;
}

DWORD AttributesOf(const std::string& posix, const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    // A drive's root ends in a slash: it has no name, so it is never hidden.
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

void Forget(Handle* h) {
    for (size_t i = 0; i < openHandles.size(); i++) {
        if (openHandles[i] == h) openHandles.erase(openHandles.begin() + long(i));
    }
    delete h;
    HookHandleClosed();
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
    std::string ansi;
    Utf8ToAnsi(name, &ansi);
    size_t n = ansi.size() < MAX_PATH - 1 ? ansi.size() : MAX_PATH - 1;
    memcpy(data->cFileName, ansi.data(), n);
    data->cFileName[n] = 0;
}

unsigned char FoldAnsi(unsigned char c) {
    int folded = UnicodeToAnsi(FoldCase(AnsiToUnicode(c)));
    return folded < 0 ? c : static_cast<unsigned char>(folded);
}

// Windows wildcards over ANSI names: '*' any run, '?' any one character.
bool Matches(const char* pattern, const char* name) {
    for (; *pattern; pattern++, name++) {
        if (*pattern == '*') {
            for (const char* rest = name;; rest++) {
                if (Matches(pattern + 1, rest)) return true;
                if (!*rest) return false;
            }
        }
        if (!*name) return false;
        if (*pattern != '?' && FoldAnsi(static_cast<unsigned char>(*pattern)) !=
                                   FoldAnsi(static_cast<unsigned char>(*name)))
            return false;
    }
    return !*name;
}

bool MatchesPattern(const std::string& pattern, const std::string& utf8Name) {
    if (pattern == "*" || pattern == "*.*") return true;
    std::string ansi;
    Utf8ToAnsi(utf8Name, &ansi);
    return Matches(pattern.c_str(), ansi.c_str());
}

}  // namespace

// --- Error codes ------------------------------------------------------------

DWORD GetLastError(void) { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

// --- Drives and paths -------------------------------------------------------

void MapDrive(char letter, const std::string& posixFolder) {
    char key = AsciiLower(letter);
    if (posixFolder.empty()) {
        drives.erase(key);
        return;
    }
    drives[key] = posixFolder.back() == '/' ? posixFolder : posixFolder + "/";
}

std::string WindowsPathOf(const std::string& posixPath) {
    std::string ansi;
    Utf8ToAnsi(posixPath, &ansi);
    std::string result = "Z:";
    for (size_t i = 0; i < ansi.size(); i++) result += ansi[i] == '/' ? '\\' : ansi[i];
    if (result == "Z:") result += '\\';
    return result;
}

bool PosixPathOf(const std::string& windowsPath, std::string* posixPath) {
    return Resolve(windowsPath.c_str(), posixPath) == kFound;
}

void SetModulePath(const std::string& windowsPath) { moduleOverride = windowsPath; }

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
        path = WindowsPathOf(buffer);
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
    if (path[0] == '/') path = WindowsPathOf(path);
    if (!HookTempPathAsGiven() && path[path.size() - 1] != '\\') path += '\\';
    // Windows: the length without the NUL when it fits, else the size needed.
    if (path.size() + 1 > size) return DWORD(path.size() + 1);
    memcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
}

// --- Attributes and enumeration ---------------------------------------------

DWORD GetFileAttributesA(LPCSTR path) {
    HookLookup();
    std::string posix;
    struct stat st;
    if (Resolve(path, &posix) != kFound || stat(posix.c_str(), &st) != 0) {
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
    HookLookup();
    std::string text = pattern ? pattern : "";
    size_t cut = text.find_last_of("\\/");
    std::string directoryPart = cut == std::string::npos ? "." : text.substr(0, cut + 1);
    std::string namePattern = cut == std::string::npos ? text : text.substr(cut + 1);
    if (cut == std::string::npos && text.size() >= 2 && text[1] == ':') {
        directoryPart = text.substr(0, 2);  // "D:*"
        namePattern = text.substr(2);
    }
    std::string directory;
    bool atRoot = false;
    struct stat st;
    if (namePattern.empty() || Resolve(directoryPart.c_str(), &directory, &atRoot) != kFound ||
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
    if (!atRoot) {
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
    HookHandleOpened();
    FillFindData(h->find, h->find.names[h->find.next++], data);
    return h;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    HookLookup();
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
    Forget(h);
    return TRUE;
}

// --- Files ------------------------------------------------------------------

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD creation,
                   DWORD, HANDLE) {
    HookCreateFile();
    std::string posix;
    Resolution resolution = Resolve(path, &posix);
    if (resolution == kNotFound) {
        lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    bool exists = resolution == kFound && stat(posix.c_str(), &st) == 0;
    // A FIFO, socket or device has no place on a disc, and opening one could
    // block: it is refused like a directory.
    if (exists && !S_ISREG(st.st_mode)) {
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
    // Non-blocking, in case a FIFO took the file's place since the test above.
    int fd = open(posix.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        lastError = errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    Handle* h = new Handle();
    h->kind = kFile;
    h->file.fd = fd;
    h->file.access = access;
    h->file.share = share;
    h->file.dev = st.st_dev;
    h->file.ino = st.st_ino;
    openHandles.push_back(h);
    HookHandleOpened();
    lastError = exists && creation == CREATE_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return h;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
    Handle* h = FromHandle(file, kFile);
    if (read) *read = 0;
    if (!h || !(h->file.access & GENERIC_READ)) {
        lastError = h ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
        return FALSE;
    }
    size_t want = HookReadSize(toRead);
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
    size_t want = HookWriteSize(toWrite);
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
    return HookFileSize(DWORD(uint64_t(st.st_size) & 0xFFFFFFFFu));
}

BOOL CloseHandle(HANDLE handle) {
    Handle* h = FromHandle(handle, kFile);
    if (!h) {
        lastError = ERROR_INVALID_HANDLE;
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
