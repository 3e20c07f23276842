// Small generated sites for the publisher tool's tests, and programs that
// carry a version resource.
#ifndef ONDRELLE_TEST_PUBLISHER_SITE_H
#define ONDRELLE_TEST_PUBLISHER_SITE_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// A fresh folder under TMPDIR, removed with everything in it at the end.
class TempSite {
public:
    TempSite();
    ~TempSite();
    TempSite(const TempSite&) = delete;
    TempSite& operator=(const TempSite&) = delete;

    const std::filesystem::path& root() const { return root_; }
    // `relative` is '/'-separated; folders on the way are made.
    void Write(const std::string& relative, std::string_view bytes) const;
    void Folder(const std::string& relative) const;
    void Link(const std::string& relative, const std::string& target) const;
    void Fifo(const std::string& relative) const;
    // A file of `size` bytes that takes no room.
    void Sparse(const std::string& relative, std::uint64_t size) const;

private:
    std::filesystem::path root_;
};

// A PE file whose version resource has these two strings.
std::string FakeProgram(const std::string& originalFilename, const std::string& productName);
// The launcher as the tool knows it.
inline std::string FakeLauncher() { return FakeProgram("kelmora.exe", "Ondrelle"); }

#endif
