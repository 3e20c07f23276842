// Names and paths for people and JSON: UTF-8 as they are; bytes that are
// not UTF-8 are shown as their 1252 characters, so the result is always UTF-8.
#ifndef ONDRELLE_PUBLISHER_DISPLAY_PATH_H
#define ONDRELLE_PUBLISHER_DISPLAY_PATH_H

#include <string>

namespace publisher {

std::string DisplayPath(const std::string& raw);

}  // namespace publisher

#endif
