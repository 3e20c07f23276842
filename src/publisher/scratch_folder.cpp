#include "scratch_folder.h"

#include <cerrno>
#include <cstring>
#include <stdlib.h>
#include <system_error>

namespace publisher {

namespace fs = std::filesystem;

Result<ScratchFolder> ScratchFolder::Create() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
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
