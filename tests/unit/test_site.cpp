#include "test_site.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {
int siteCounter = 0;

unsigned long ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return (unsigned long)getpid();
#endif
}
}  // namespace

TestSite::TestSite() {
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, temp);
    std::string base = (n > 0 && n < MAX_PATH) ? std::string(temp, n) : std::string();
    for (int attempt = 0; attempt < 1000; attempt++) {
        char name[64];
        snprintf(name, sizeof name, "ondrelle-test-%lu-%d\\", ProcessId(),
                 ++siteCounter);
        std::string candidate = base + name;
        if (CreateDirectoryA(candidate.c_str(), NULL)) {
            root = candidate;
            return;
        }
    }
}

TestSite::~TestSite() {
    SetTestModulePath("");
    if (!root.empty()) RemoveTree(root);
}

bool TestSite::MakeDir(const std::string& relative) const {
    return CreateDirectoryA(Path(relative).c_str(), NULL) != 0;
}

bool TestSite::Write(const std::string& relative, const std::string& bytes) const {
    HANDLE file = CreateFileA(Path(relative).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, NULL) && written == bytes.size());
    CloseHandle(file);
    return ok;
}

std::string TestSite::Read(const std::string& relative) const {
    HANDLE file = CreateFileA(Path(relative).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, NULL), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, NULL);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

bool TestSite::Exists(const std::string& relative) const {
    return GetFileAttributesA(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void TestSite::PlaceExecutable(const std::string& relative) const { SetTestModulePath(Path(relative)); }

void RemoveTree(const std::string& path) {
    std::string dir = path;
    if (!dir.empty() && dir[dir.size() - 1] != '\\') dir += '\\';
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(dir + name);
            } else {
                SetFileAttributesA((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((dir + name).c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(dir.c_str());
}

std::string TestSite::MakeDirOfLength(size_t length) const {
    std::string relative;
    size_t have = root.size();
    while (have < length) {
        size_t part = length - have - 1;  // characters before the backslash
        if (part > 150) part = 100;       // keep each name well under NAME_MAX
        relative += std::string(part, 'p');
        EXPECT_TRUE(MakeDir(relative)) << relative.size();
        relative += "\\";
        have += part + 1;
    }
    return relative;
}

namespace {

// Null removes the variable.
void SetTmp(const char* value) {
#ifdef _WIN32
    SetEnvironmentVariableA("TMP", value);
#else
    if (value) {
        setenv("TMP", value, 1);
    } else {
        unsetenv("TMP");
    }
#endif
}

}  // namespace

TempVariable::TempVariable(const std::string& value) {
#ifdef _WIN32
    char old[32768];
    DWORD n = GetEnvironmentVariableA("TMP", old, sizeof old);
    had = n > 0 && n < sizeof old;
#else
    const char* old = getenv("TMP");
    had = old != NULL;
#endif
    if (had) previous = old;
    Change(value);
}

TempVariable::~TempVariable() { SetTmp(had ? previous.c_str() : NULL); }

void TempVariable::Change(const std::string& value) { SetTmp(value.c_str()); }
