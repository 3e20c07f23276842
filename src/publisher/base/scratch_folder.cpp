// A private scratch folder under TMPDIR, else in memory or /tmp, removed with everything in it.
#include "scratch_folder.h"

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <stdlib.h>
#include <system_error>
#include <unistd.h>

namespace publisher {

namespace fs = std::filesystem;

namespace {

// TMPDIR when set; else memory, where the thousands of small entries of a
// disc's layout cost a fraction of what they cost on a disk.
fs::path ScratchBase() {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && *tmpdir) return tmpdir;
    if (access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
    return "/tmp";
}

}  // namespace

Result<ScratchFolder> ScratchFolder::Create() {
    fs::path base = ScratchBase();
    std::string pattern = (base / "ondrelle-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        return Error{"cannot make a folder in " + base.string() + ": " + std::strerror(errno)};
    }
    return ScratchFolder(pattern);
}

ScratchFolder::~ScratchFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace publisher
