// A scratch directory per fuzzing process, made once and removed at exit,
// and the check that turns a broken invariant into a crash libFuzzer keeps.
#ifndef ONDRELLE_FUZZ_SITE_H
#define ONDRELLE_FUZZ_SITE_H

#include <string>

// Prints what broke and traps, so that the input is saved as a crash.
#define FUZZ_CHECK(cond, what)                    \
    do {                                          \
        if (!(cond)) FuzzFail(__FILE__, __LINE__, what); \
    } while (0)

[[noreturn]] void FuzzFail(const char* file, int line, const char* what);

// POSIX path of this process's scratch directory, with a trailing slash.
const std::string& FuzzRoot();
// Windows path (Z:\...) of a POSIX path.
std::string WinPath(const std::string& posixPath);
bool WriteBytes(const std::string& posixPath, const void* bytes, size_t size);
bool ReadBytes(const std::string& posixPath, std::string* bytes);
bool MakeDir(const std::string& posixPath);

#endif
