// An image file read by position: a descriptor closed when it goes, and
// reads that retry until they have what was asked or the file ends.
#ifndef ONDRELLE_PUBLISHER_IMAGE_FILE_H
#define ONDRELLE_PUBLISHER_IMAGE_FILE_H

#include <cstddef>
#include <cstdint>

namespace publisher {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Up to `count` bytes at `offset`; fewer only at the end of the file or on an error.
std::size_t ReadUpTo(int fd, void* bytes, std::size_t count, std::uint64_t offset);

// Exactly `count` bytes at `offset`; false on a short read.
inline bool ReadAt(int fd, void* bytes, std::size_t count, std::uint64_t offset) {
    return ReadUpTo(fd, bytes, count, offset) == count;
}

}  // namespace publisher

#endif
