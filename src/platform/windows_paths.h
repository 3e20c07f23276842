// How the file layer finds a Windows path on the POSIX side: drive letters
// mapped to folders, each component matched regardless of case.
#ifndef ONDRELLE_WINDOWS_PATHS_H
#define ONDRELLE_WINDOWS_PATHS_H

#include <string>

enum Resolution { kFound, kLastMissing, kNotFound };

// Turns a Windows path into the POSIX path of the existing file, matching
// each component regardless of case. When only the last component is
// missing, it is kept as written, so that it can be created. `atRoot` tells
// whether the path is a drive's root. The path is ANSI, in AnsiCodePage().
Resolution Resolve(const char* winPath, std::string* posix, bool* atRoot = 0);
// The same for a path already read as Windows reads an ANSI one, in UTF-8.
Resolution ResolveUnicode(const std::string& path, std::string* posix, bool* atRoot = 0);

#endif
