// Names as the launcher sees them on a Western-European Windows, in code
// page 1252, and what keeps a name from working on a disc there.
#ifndef ONDRELLE_PUBLISHER_NAMES_H
#define ONDRELLE_PUBLISHER_NAMES_H

#include "disc_tree.h"
#include "findings.h"

#include <string>

namespace publisher {

// A name or path for people and JSON: UTF-8 as it is; bytes that are not
// UTF-8 are shown as their 1252 characters, so the result is always UTF-8.
std::string DisplayPath(const std::string& raw);

// Every name rule over every entry of the tree.
void CheckNames(const DiscTree& tree, Findings& findings);

}  // namespace publisher

#endif
