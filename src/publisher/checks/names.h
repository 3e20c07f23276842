// Names as the launcher sees them on a Western-European Windows, in code
// page 1252, and what keeps a name from working on a disc there.
#ifndef ONDRELLE_PUBLISHER_NAMES_H
#define ONDRELLE_PUBLISHER_NAMES_H

#include "disc_tree.h"
#include "findings.h"

namespace publisher {

// Every name rule over every entry of the tree.
void CheckNames(const DiscTree& tree, Findings& findings);

}  // namespace publisher

#endif
