// A file written beside its place and renamed into it only when complete and on the disk.
#include "pending_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace publisher {

namespace fs = std::filesystem;

namespace {

// The temporary file of the one pending file, for the signal handler: an
// interrupted run removes it, so that nothing is left behind but on SIGKILL.
char pendingPath[4096];
struct sigaction previous[3];
const int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int signal) {
    if (pendingPath[0]) unlink(pendingPath);
    // Die of the same signal, so that the caller sees how the run ended.
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void Watch(const fs::path& temporary) {
    const std::string& text = temporary.native();
    if (text.size() >= sizeof pendingPath) return;  // left behind at worst, never cut
    std::memcpy(pendingPath, text.c_str(), text.size() + 1);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; i++) sigaction(kSignals[i], &action, &previous[i]);
}

void Unwatch() {
    if (!pendingPath[0]) return;
    for (int i = 0; i < 3; i++) sigaction(kSignals[i], &previous[i], nullptr);
    pendingPath[0] = 0;
}

std::string Reason(int error) { return std::strerror(error); }

constexpr std::uint64_t kHandOver = 8 << 20;

}  // namespace

PendingFile::PendingFile(fs::path finalPath, fs::path temporary, int fd)
    : final_(std::move(finalPath)), temporary_(std::move(temporary)), fd_(fd) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : final_(std::move(other.final_)),
      temporary_(std::move(other.temporary_)),
      fd_(other.fd_),
      written_(other.written_),
      handedToDisk_(other.handedToDisk_) {
    other.fd_ = -1;
    other.temporary_.clear();
}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        Unwatch();
        temporary_.clear();
    }
}

Result<PendingFile> PendingFile::Create(const fs::path& finalPath) {
    fs::path folder = finalPath.parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ("." + finalPath.filename().string() + ".partial-XXXXXX")).string();
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return Error{"cannot write in " + folder.string() + ": " + Reason(errno)};
    }
    fchmod(fd, 0644);
    Watch(pattern);
    return PendingFile(finalPath, pattern, fd);
}

Result<bool> PendingFile::Write(const void* bytes, std::size_t count) {
    const char* p = static_cast<const char*>(bytes);
    while (count > 0) {
        ssize_t n = write(fd_, p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int error = n < 0 ? errno : ENOSPC;
            return Error{"cannot write " + final_.string() + ": " + Reason(error)};
        }
        p += n;
        count -= std::size_t(n);
        written_ += std::uint64_t(n);
    }
    // Starts the disk on what has piled up, without waiting for it; errors
    // show in Flush.
    if (written_ - handedToDisk_ >= kHandOver) {
        sync_file_range(fd_, off64_t(handedToDisk_), off64_t(written_ - handedToDisk_), SYNC_FILE_RANGE_WRITE);
        handedToDisk_ = written_;
    }
    return true;
}

Result<bool> PendingFile::Flush() {
    if (fsync(fd_) != 0) return Error{"cannot write " + final_.string() + ": " + Reason(errno)};
    return true;
}

Result<bool> PendingFile::Commit() {
    Result<bool> flushed = Flush();
    if (!flushed) return flushed;
    int failed = close(fd_);
    fd_ = -1;
    if (failed != 0) return Error{"cannot write " + final_.string() + ": " + Reason(errno)};
    if (rename(temporary_.c_str(), final_.c_str()) != 0) {
        return Error{"cannot rename the finished image to " + final_.string() + ": " + Reason(errno)};
    }
    temporary_.clear();
    Unwatch();
    fs::path folder = final_.parent_path();
    if (folder.empty()) folder = ".";
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

}  // namespace publisher
