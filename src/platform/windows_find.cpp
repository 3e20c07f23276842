// FindFirstFileA and FindNextFileA: folders listed with Windows wildcards over ANSI names.
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
