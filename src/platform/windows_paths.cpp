// Drives, paths and the Windows names of POSIX files; the module path, the
// temp path, the code page's lead bytes and the last error, as the launcher
// asks for them.
#include "windows_files.h"

#include "code_page.h"
#include "layer_hooks.h"
#include "win32_subset.h"
#include "windows_paths.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#ifndef ONDRELLE_FAULT_HOOKS
bool AllocationRefused() { return false; }
#endif

namespace {

DWORD lastError = 0;
std::string moduleOverride;
// Lower-case drive letter -> POSIX folder with a trailing slash.
std::map<char, std::string> drives = {{'z', "/"}};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Characters that Windows refuses in a name; '?' is also what an
// unmappable character reads as, so such a name can never be opened.
bool IsValidComponent(const std::string& name) {
    for (size_t i = 0; i < name.size(); i++) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || strchr("<>:\"|?*", c)) return false;
    }
    return true;
}

}  // namespace

Resolution Resolve(const char* winPath, std::string* posix, bool* atRoot) {
    // Windows reads the whole path in the code page before it looks at a
    // separator: the second byte of a character can be a backslash.
    return ResolveUnicode(winPath ? AnsiToUtf8(winPath) : std::string(), posix, atRoot);
}

Resolution ResolveUnicode(const std::string& path, std::string* posix, bool* atRoot) {
    if (atRoot) *atRoot = false;
    if (path.empty()) return kNotFound;
    const char* winPath = path.c_str();
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
        struct stat st;
        std::string found;
        if (lstat((current + part).c_str(), &st) == 0) {
            found = part;
        } else if (DIR* dir = opendir(current.c_str())) {
            std::string folded = FoldedName(part);
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
            *posix = current + part;
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

BOOL IsDBCSLeadByte(BYTE byte) { return IsLeadByteOf(AnsiCodePage(), byte); }

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
