#include "site.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

TempSite::TempSite() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/ondrelle-site-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data())) root_ = fs::path(name.data());
    EXPECT_FALSE(root_.empty());
}

TempSite::~TempSite() {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
}

void TempSite::Write(const std::string& relative, std::string_view bytes) const {
    fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    EXPECT_TRUE(out.good()) << relative;
}

void TempSite::Folder(const std::string& relative) const { fs::create_directories(root_ / relative); }

void TempSite::Link(const std::string& relative, const std::string& target) const {
    fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    EXPECT_EQ(symlink(target.c_str(), path.c_str()), 0) << relative;
}

void TempSite::Fifo(const std::string& relative) const {
    EXPECT_EQ(mkfifo((root_ / relative).c_str(), 0644), 0) << relative;
}

void TempSite::Sparse(const std::string& relative, std::uint64_t size) const {
    Write(relative, "");
    EXPECT_EQ(truncate((root_ / relative).c_str(), off_t(size)), 0) << relative;
}

namespace {

void Put16(std::string& b, size_t at, unsigned v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void Put32(std::string& b, size_t at, unsigned v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

void Pad4(std::string& b) { b.resize((b.size() + 3) & ~size_t(3), '\0'); }

std::string Utf16(const std::string& ascii) {
    std::string units;
    for (char c : ascii) units += std::string{c, '\0'};
    return units + std::string(2, '\0');
}

// A version block: header, key, value, children, each part 32-bit aligned.
std::string VersionBlock(const std::string& key, const std::string& value, unsigned valueLength, unsigned type,
                         const std::string& children) {
    std::string b(6, '\0');
    b += Utf16(key);
    Pad4(b);
    b += value;
    Pad4(b);
    b += children;
    Put16(b, 0, unsigned(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, type);
    return b;
}

std::string StringEntry(const std::string& key, const std::string& value) {
    std::string block = VersionBlock(key, Utf16(value), unsigned(value.size() + 1), 1, "");
    Pad4(block);
    return block;
}

}  // namespace

std::string FakeProgram(const std::string& originalFilename, const std::string& productName) {
    std::string strings = StringEntry("OriginalFilename", originalFilename) + StringEntry("ProductName", productName);
    std::string table = VersionBlock("040904E4", "", 0, 1, strings);
    std::string info = VersionBlock("StringFileInfo", "", 0, 1, table);
    std::string fixed(52, '\0');
    Put32(fixed, 0, 0xFEEF04BD);
    std::string version = VersionBlock("VS_VERSION_INFO", fixed, 52, 0, info);

    // The resource section: type 16, name 1, language 1033, then the data.
    const unsigned rva = 0x1000;
    std::string rsrc(0x58, '\0');
    auto directory = [&rsrc](size_t at, unsigned id, unsigned offset) {
        Put16(rsrc, at + 14, 1);
        Put32(rsrc, at + 16, id);
        Put32(rsrc, at + 20, offset);
    };
    directory(0x00, 16, 0x80000018);
    directory(0x18, 1, 0x80000030);
    directory(0x30, 1033, 0x48);
    Put32(rsrc, 0x48, rva + 0x58);
    Put32(rsrc, 0x4C, unsigned(version.size()));
    rsrc += version;

    std::string image(0x200, '\0');
    image[0] = 'M', image[1] = 'Z';
    Put32(image, 0x3C, 0x40);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    Put16(image, 0x44, 0x14C);  // i386
    Put16(image, 0x46, 1);      // one section
    Put16(image, 0x54, 0xE0);   // optional header size
    const size_t optional = 0x58;
    Put16(image, optional, 0x10B);
    Put32(image, optional + 92, 16);
    Put32(image, optional + 96 + 16, rva);
    Put32(image, optional + 96 + 20, unsigned(rsrc.size()));
    const size_t section = optional + 0xE0;
    image.replace(section, 5, ".rsrc");
    Put32(image, section + 8, unsigned(rsrc.size()));
    Put32(image, section + 12, rva);
    Put32(image, section + 16, unsigned(rsrc.size()));
    Put32(image, section + 20, 0x200);
    return image + rsrc;
}
