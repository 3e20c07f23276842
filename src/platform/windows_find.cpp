// FindFirstFileA and FindNextFileA: folders listed with Windows wildcards, names shown in the ANSI code page.
#include "code_page.h"
#include "layer_hooks.h"
#include "win32_subset.h"
#include "windows_attributes.h"
#include "windows_handles.h"
#include "windows_paths.h"

#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

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

// The characters of a UTF-8 name, folded as Windows compares names; a byte
// that is not UTF-8 stands for itself.
std::vector<unsigned> FoldedChars(const std::string& utf8) {
    std::vector<unsigned> chars;
    unsigned c;
    for (size_t at = 0; at < utf8.size();) {
        size_t start = at;
        chars.push_back(NextCodePoint(utf8, &at, &c) ? FoldCase(c) : static_cast<unsigned char>(utf8[start]));
    }
    chars.push_back(0);
    return chars;
}

// Windows wildcards, character by character: '*' any run, '?' any one.
bool Matches(const unsigned* pattern, const unsigned* name) {
    for (; *pattern; pattern++, name++) {
        if (*pattern == '*') {
            for (const unsigned* rest = name;; rest++) {
                if (Matches(pattern + 1, rest)) return true;
                if (!*rest) return false;
            }
        }
        if (!*name) return false;
        if (*pattern != '?' && *pattern != *name) return false;
    }
    return !*name;
}

// The pattern as Windows reads it, in Unicode, against the stored name.
bool MatchesPattern(const std::string& pattern, const std::string& utf8Name) {
    if (pattern == "*" || pattern == "*.*") return true;
    return Matches(FoldedChars(pattern).data(), FoldedChars(utf8Name).data());
}

}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    HookLookup();
    // Read in the code page first, as Windows does: the second byte of a
    // character can be a backslash.
    std::string text = pattern ? AnsiToUtf8(pattern) : "";
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
    if (namePattern.empty() || ResolveUnicode(directoryPart, &directory, &atRoot) != kFound ||
        stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
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
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    Remember(h);
    FillFindData(h->find, h->find.names[h->find.next++], data);
    return h;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    HookLookup();
    Handle* h = FromHandle(find, kFind);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (h->find.next >= h->find.names.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    FillFindData(h->find, h->find.names[h->find.next++], data);
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    Handle* h = FromHandle(find, kFind);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Forget(h);
    return TRUE;
}
