// A program's version resource, read from its PE sections with every offset bounded.
#include "version_info.h"

#include "code_page.h"

#include <algorithm>
#include <fstream>

namespace publisher {

namespace {

constexpr std::size_t kHeaderBytes = 64 * 1024;
constexpr std::size_t kSectionBytes = 16 * 1024 * 1024;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kMaxEntries = 4096;

bool U16(std::string_view b, std::uint64_t at, std::uint32_t& v) {
    if (at > b.size() || b.size() - at < 2) return false;
    v = std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
    return true;
}

bool U32(std::string_view b, std::uint64_t at, std::uint32_t& v) {
    std::uint32_t low, high;
    if (!U16(b, at, low) || !U16(b, at + 2, high)) return false;
    v = low | high << 16;
    return true;
}

std::uint64_t Align4(std::uint64_t at) { return (at + 3) & ~std::uint64_t(3); }

// UTF-16 units from `at` up to a NUL or `end`; `at` then stands past the NUL.
std::string Utf16Text(std::string_view b, std::uint64_t& at, std::uint64_t end) {
    std::string text;
    std::uint32_t unit;
    while (at + 2 <= end && U16(b, at, unit)) {
        at += 2;
        if (unit == 0) break;
        std::uint32_t low;
        if (unit >= 0xD800 && unit < 0xDC00 && at + 2 <= end && U16(b, at, low) && low >= 0xDC00 &&
            low < 0xE000) {
            at += 2;
            AppendUtf8(&text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            AppendUtf8(&text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
        }
    }
    return text;
}

struct Block {
    std::string key;
    std::uint64_t value = 0;     // start of the value
    std::uint64_t children = 0;  // start of the first child
    std::uint64_t end = 0;       // end of the block
};

// The block at `at` of a version resource `b`, within `limit`.
bool ReadBlock(std::string_view b, std::uint64_t at, std::uint64_t limit, Block& block) {
    std::uint32_t length, valueLength, type;
    if (!U16(b, at, length) || !U16(b, at + 2, valueLength) || !U16(b, at + 4, type)) return false;
    if (length < 6 || at + length > limit) return false;
    block.end = at + length;
    std::uint64_t p = at + 6;
    block.key = Utf16Text(b, p, block.end);
    block.value = std::min(Align4(p), block.end);
    std::uint64_t valueBytes = type == 1 ? std::uint64_t(valueLength) * 2 : valueLength;
    block.children = std::min(Align4(block.value + valueBytes), block.end);
    return true;
}

std::map<std::string, std::string> StringsOf(std::string_view b) {
    std::map<std::string, std::string> strings;
    Block root;
    if (!ReadBlock(b, 0, b.size(), root) || root.key != "VS_VERSION_INFO") return strings;
    Block info;
    for (std::uint64_t at = root.children; at < root.end; at = Align4(info.end)) {
        if (!ReadBlock(b, at, root.end, info)) break;
        if (info.key != "StringFileInfo") continue;
        Block table;
        if (!ReadBlock(b, info.children, info.end, table)) break;
        Block entry;
        for (std::uint64_t e = table.children; e < table.end; e = Align4(entry.end)) {
            if (!ReadBlock(b, e, table.end, entry)) break;
            std::uint64_t p = entry.value;
            strings.emplace(entry.key, Utf16Text(b, p, entry.end));
        }
        break;  // the first string table
    }
    return strings;
}

// The entry of a resource directory with this id, or the first one when `id`
// is 0; its offset field (high bit: a subdirectory).
bool FindEntry(std::string_view s, std::uint64_t dir, std::uint32_t id, std::uint32_t& offset) {
    std::uint32_t named, ids;
    if (!U16(s, dir + 12, named) || !U16(s, dir + 14, ids) || named + ids > kMaxEntries) return false;
    for (std::uint32_t i = 0; i < named + ids; i++) {
        std::uint32_t name;
        if (!U32(s, dir + 16 + 8 * i, name) || !U32(s, dir + 20 + 8 * i, offset)) return false;
        if (id == 0 || (!(name & 0x80000000u) && name == id)) return true;
    }
    return false;
}

}  // namespace

std::map<std::string, std::string> ReadVersionStrings(std::uint64_t fileSize, const ReadAt& readAt) {
    std::map<std::string, std::string> none;
    std::string h;
    if (!readAt(0, std::size_t(std::min<std::uint64_t>(fileSize, kHeaderBytes)), h)) return none;
    std::uint32_t peAt, sections, optionalSize, magic;
    if (h.compare(0, 2, "MZ") != 0 || !U32(h, 0x3C, peAt) || h.size() < 4 || peAt > h.size() - 4 ||
        h.compare(peAt, 4, std::string("PE\0\0", 4)) != 0)
        return none;
    std::uint64_t coff = std::uint64_t(peAt) + 4, optional = coff + 20;
    if (!U16(h, coff + 2, sections) || !U16(h, coff + 16, optionalSize) || !U16(h, optional, magic)) return none;
    std::uint64_t directories = magic == 0x10B ? optional + 96 : magic == 0x20B ? optional + 112 : 0;
    std::uint32_t count, rsrcRva;
    if (!directories || !U32(h, directories - 4, count) || count < 3 || !U32(h, directories + 16, rsrcRva) ||
        rsrcRva == 0)
        return none;

    std::string s;
    std::uint32_t base = 0;
    for (std::uint32_t i = 0; i < sections && i < 96; i++) {
        std::uint64_t at = optional + optionalSize + 40 * std::uint64_t(i);
        std::uint32_t virtualSize, address, rawSize, rawAt;
        if (!U32(h, at + 8, virtualSize) || !U32(h, at + 12, address) || !U32(h, at + 16, rawSize) ||
            !U32(h, at + 20, rawAt))
            return none;
        if (rsrcRva < address || rsrcRva - address >= std::max(virtualSize, rawSize)) continue;
        if (rawAt >= fileSize) return none;
        std::uint64_t n = std::min<std::uint64_t>({rawSize, fileSize - rawAt, kSectionBytes});
        if (!readAt(rawAt, std::size_t(n), s)) return none;
        base = address;
        break;
    }
    if (s.empty()) return none;

    // Offsets in the directory count from its start; data entries give RVAs.
    std::uint64_t root = rsrcRva - base, at = root;
    std::uint32_t offset = 0;
    // Type, then name, then language: two subdirectories, then the data entry.
    for (int level = 0; level < 3; level++) {
        if (!FindEntry(s, at, level == 0 ? kRtVersion : 0, offset)) return none;
        if (bool(offset & 0x80000000u) != (level < 2)) return none;
        at = root + (offset & 0x7FFFFFFFu);
    }
    std::uint32_t dataRva, dataSize;
    if (!U32(s, at, dataRva) || !U32(s, at + 4, dataSize) || dataRva < base)
        return none;
    std::uint64_t dataAt = dataRva - base;
    if (dataAt >= s.size()) return none;
    std::uint64_t n = std::min<std::uint64_t>(dataSize, s.size() - dataAt);
    return StringsOf(std::string_view(s).substr(dataAt, n));
}

std::map<std::string, std::string> VersionStringsOf(std::string_view image) {
    return ReadVersionStrings(image.size(), [image](std::uint64_t offset, std::size_t size, std::string& out) {
        if (offset > image.size() || image.size() - offset < size) return false;
        out.assign(image.substr(offset, size));
        return true;
    });
}

std::map<std::string, std::string> VersionStringsOfFile(const std::string& path, std::uint64_t size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return ReadVersionStrings(size, [&in](std::uint64_t offset, std::size_t n, std::string& out) {
        out.assign(n, '\0');
        in.clear();
        in.seekg(std::streamoff(offset));
        in.read(out.data(), std::streamsize(n));
        return std::size_t(in.gcount()) == n;
    });
}

bool IsOndrelleLauncher(const std::map<std::string, std::string>& strings) {
    auto name = strings.find("OriginalFilename");
    auto product = strings.find("ProductName");
    if (name == strings.end() || product == strings.end()) return false;
    std::string lower = name->second;
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    return lower == "kelmora.exe" && product->second == "Ondrelle";
}

}  // namespace publisher
