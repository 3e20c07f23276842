// A private folder in the temporary directory, removed with everything in it
// when the object goes. Where the tool lays out a disc for the dry run
// without touching the site.
#ifndef ONDRELLE_PUBLISHER_SCRATCH_FOLDER_H
#define ONDRELLE_PUBLISHER_SCRATCH_FOLDER_H

#include "result.h"

#include <filesystem>

namespace publisher {

class ScratchFolder {
public:
    static Result<ScratchFolder> Create();
    ScratchFolder(ScratchFolder&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    ScratchFolder& operator=(ScratchFolder&&) = delete;
    ScratchFolder(const ScratchFolder&) = delete;
    ~ScratchFolder();

    const std::filesystem::path& path() const { return path_; }

private:
    explicit ScratchFolder(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path path_;
};

}  // namespace publisher

#endif
