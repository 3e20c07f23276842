// GetFileAttributesA and SetFileAttributesA, with what POSIX cannot hold kept aside.
#include "windows_attributes.h"

#include "layer_hooks.h"
#include "windows_paths.h"

#include <map>

namespace {

// Attributes set with SetFileAttributesA that POSIX cannot hold.
std::map<std::string, DWORD> storedAttributes;

}  // namespace

DWORD AttributesOf(const std::string& posix, const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    // A drive's root ends in a slash: it has no name, so it is never hidden.
    std::string name = posix.substr(posix.rfind('/') + 1);
    if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
    std::map<std::string, DWORD>::const_iterator stored = storedAttributes.find(posix);
    if (stored != storedAttributes.end()) attributes |= stored->second;
    return attributes;
}

void ForgetAttributes(const std::string& posix) { storedAttributes.erase(posix); }

DWORD GetFileAttributesA(LPCSTR path) {
    HookLookup();
    std::string posix;
    struct stat st;
    if (Resolve(path, &posix) != kFound || stat(posix.c_str(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(posix, st);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    std::string posix;
    if (Resolve(path, &posix) != kFound) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    storedAttributes[posix] =
        attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    return TRUE;
}
