// A file that appears under its name only when it is complete. It is written
// as a hidden temporary file beside its final place, flushed to the disk and
// renamed into place by Commit. Until then nothing exists under the final
// name: a failed, interrupted or killed run leaves it absent (or as it was).
#ifndef ONDRELLE_PUBLISHER_PENDING_FILE_H
#define ONDRELLE_PUBLISHER_PENDING_FILE_H

#include "result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace publisher {

class PendingFile {
public:
    // Makes the temporary file; an error names the folder and the reason.
    static Result<PendingFile> Create(const std::filesystem::path& finalPath);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    PendingFile(const PendingFile&) = delete;
    ~PendingFile();  // removes the temporary file unless committed

    // Writes all bytes; an error says why (a full disk, say). The disk starts
    // taking them as they come, so that Flush has little left to wait for.
    Result<bool> Write(const void* bytes, std::size_t count);
    // Makes sure the bytes are on the disk: a full disk may show only here.
    Result<bool> Flush();
    // Flushes, renames into place and flushes the folder.
    Result<bool> Commit();

    const std::filesystem::path& temporaryPath() const { return temporary_; }

private:
    PendingFile(std::filesystem::path finalPath, std::filesystem::path temporary, int fd);
    void Discard();

    std::filesystem::path final_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    std::uint64_t written_ = 0, handedToDisk_ = 0;
};

}  // namespace publisher

#endif
