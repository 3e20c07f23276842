// Windows file semantics over POSIX for the native build: drive letters
// mapped to folders, backslashes, names looked up regardless of case, hidden
// dot names, attributes, sharing, and ANSI (code page 1252) names, converted
// to and from the UTF-8 names of the POSIX side as Wine does under a UTF-8
// locale. A name with no 1252 form reads with '?' for what cannot be
// shown, as from Windows' A functions, and so cannot be opened.
// The Win32 calls themselves are declared in win32_subset.h.
#ifndef ONDRELLE_WINDOWS_FILES_H
#define ONDRELLE_WINDOWS_FILES_H

#include <string>

// Drive `letter` shows the POSIX folder `posixFolder`; an empty folder
// removes the drive. Z: is the POSIX root unless mapped otherwise.
void MapDrive(char letter, const std::string& posixFolder);

// GetModuleFileNameA reports this Windows path (ANSI); empty restores the
// running program's own path.
void SetModulePath(const std::string& windowsPath);

// The Windows path (ANSI, on drive Z:) of a POSIX path.
std::string WindowsPathOf(const std::string& posixPath);

// The POSIX path of an existing file or folder named by a Windows path,
// found as CreateFileA would find it; false when there is none.
bool PosixPathOf(const std::string& windowsPath, std::string* posixPath);

#endif
