// Positioned reads of an image file.
#include "image_file.h"

#include <unistd.h>

#include <cerrno>

namespace publisher {

Fd::~Fd() {
    if (fd_ >= 0) close(fd_);
}

std::size_t ReadUpTo(int fd, void* bytes, std::size_t count, std::uint64_t offset) {
    char* p = static_cast<char*>(bytes);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = pread(fd, p + done, count - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += std::size_t(n);
    }
    return done;
}

}  // namespace publisher
