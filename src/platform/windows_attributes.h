// Attributes as Windows reports them for POSIX files: folders, hidden dot
// names, and what SetFileAttributesA stored.
#ifndef ONDRELLE_WINDOWS_ATTRIBUTES_H
#define ONDRELLE_WINDOWS_ATTRIBUTES_H

#include "win32_subset.h"

#include <sys/stat.h>

#include <string>

DWORD AttributesOf(const std::string& posix, const struct stat& st);
// The file is gone: what was stored for it goes too.
void ForgetAttributes(const std::string& posix);

#endif
