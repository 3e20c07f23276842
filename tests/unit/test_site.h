// Scratch directories for tests that touch the file system. They work the
// same against the native stand-in and against the real API under Wine.
#ifndef ONDRELLE_TEST_SITE_H
#define ONDRELLE_TEST_SITE_H

#include "platform.h"

#include <string>

// A fresh directory under the temp path, removed with its content at the end.
class TestSite {
public:
    TestSite();
    ~TestSite();
    // Windows path of the directory itself, with a trailing backslash.
    const std::string& Root() const { return root; }
    std::string Path(const std::string& relative) const { return root + relative; }
    bool MakeDir(const std::string& relative) const;
    // Nested directories whose full path, trailing backslash included, is
    // exactly `length` characters long; returns the relative path.
    std::string MakeDirOfLength(size_t length) const;
    bool Write(const std::string& relative, const std::string& bytes) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    // Places "the executable" in this directory (or at `relative` in it).
    void PlaceExecutable(const std::string& relative = "kelmora.exe") const;

private:
    std::string root;
    TestSite(const TestSite&);
    TestSite& operator=(const TestSite&);
};

// Makes GetModuleFileNameA(NULL, ...) report `windowsPath`; empty restores it.
void SetTestModulePath(const std::string& windowsPath);

// Removes a directory tree given as a Windows path.
void RemoveTree(const std::string& path);

// TMP, which GetTempPathA reads first, set for this process until destroyed.
class TempVariable {
public:
    explicit TempVariable(const std::string& value);
    ~TempVariable();
    void Change(const std::string& value);

private:
    std::string previous;
    bool had;
    TempVariable(const TempVariable&);
    TempVariable& operator=(const TempVariable&);
};

#endif
