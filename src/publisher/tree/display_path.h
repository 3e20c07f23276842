// Names, paths and counts for people and JSON. Names and paths: UTF-8 as
// they are; bytes that are not UTF-8 are shown as their 1252 characters, so
// the result is always UTF-8.
#ifndef ONDRELLE_PUBLISHER_DISPLAY_PATH_H
#define ONDRELLE_PUBLISHER_DISPLAY_PATH_H

#include <cstdint>
#include <string>
#include <vector>

namespace publisher {

std::string DisplayPath(const std::string& raw);

// A '/'-separated path from the disc's root as Windows writes it on drive D:,
// "D:\\folder\\page.htm", shown as DisplayPath shows it.
std::string WindowsForm(const std::string& raw);

// "1 file", "1,234 files": a count, its thousands grouped, with its noun.
std::string Counted(std::uint64_t n, const char* one, const char* many);

// "a, b and c", or the first `shown` and how many more: "a, b, c and 5 more".
std::string FirstFew(const std::vector<std::string>& items, std::size_t shown = 3);

}  // namespace publisher

#endif
