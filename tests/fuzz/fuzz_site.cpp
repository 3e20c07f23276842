#include "fuzz_site.h"

#include "scratch_root.h"
#include "windows_files.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string root;
}  // namespace

void FuzzFail(const char* file, int line, const char* what) {
    fprintf(stderr, "\nFUZZ CHECK FAILED at %s:%d: %s\n", file, line, what);
    fflush(stderr);
    __builtin_trap();
}

const std::string& FuzzRoot() {
    if (root.empty()) {
        root = MakeScratchRoot("fuzz");
        if (root.empty()) FuzzFail(__FILE__, __LINE__, "cannot make the scratch directory");
    }
    return root;
}

std::string WinPath(const std::string& posixPath) { return WindowsPathOf(posixPath); }

bool WriteBytes(const std::string& posixPath, const void* bytes, size_t size) {
    int fd = open(posixPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = size == 0 || write(fd, bytes, size) == ssize_t(size);
    return close(fd) == 0 && ok;
}

bool ReadBytes(const std::string& posixPath, std::string* bytes) {
    bytes->clear();
    int fd = open(posixPath.c_str(), O_RDONLY);
    if (fd < 0) return false;
    char chunk[65536];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0) bytes->append(chunk, size_t(n));
    close(fd);
    return n == 0;
}

bool MakeDir(const std::string& posixPath) { return mkdir(posixPath.c_str(), 0755) == 0; }
