// The string table of a program's version resource: how the tool knows
// Ondrelle's launcher by what it says of itself, whatever the file is called.
// The file comes from the disc, so every offset in it is checked.
#ifndef ONDRELLE_PUBLISHER_VERSION_INFO_H
#define ONDRELLE_PUBLISHER_VERSION_INFO_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace publisher {

// Fills `out` with `size` bytes at `offset`; false when they cannot be had.
using ReadAt = std::function<bool(std::uint64_t offset, std::size_t size, std::string& out)>;

// Key -> value (UTF-8) of the first string table of the RT_VERSION
// resource; empty when the file is no PE file or has none. Reads the
// headers and the resource section only, each bounded.
std::map<std::string, std::string> ReadVersionStrings(std::uint64_t fileSize, const ReadAt& readAt);
std::map<std::string, std::string> VersionStringsOf(std::string_view image);
// The same of the file at `path`, of `size` bytes.
std::map<std::string, std::string> VersionStringsOfFile(const std::string& path, std::uint64_t size);

// True when the strings are those of kelmora.exe of Ondrelle.
bool IsOndrelleLauncher(const std::map<std::string, std::string>& strings);

}  // namespace publisher

#endif
