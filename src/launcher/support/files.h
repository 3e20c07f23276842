// The executable's own directory and existence tests.
#ifndef ONDRELLE_FILES_H
#define ONDRELLE_FILES_H

// Fills `dest` (MAX_PATH bytes) with the executable's directory, its
// trailing backslash kept, followed by `name`. False, with `dest` empty, when
// the module path cannot be had or the joined path does not fit in
// MAX_PATH - 1 characters; callers take that as "not found".
bool ModulePath(char* dest, const char* name);

// True for an existing file or directory.
bool FileExists(const char* path);

// Replaces the file with `count` bytes in one write. A file that was created
// but not written whole is deleted; one that could not be created is left alone.
bool WriteWholeFile(const char* path, const void* bytes, int count);

#endif
