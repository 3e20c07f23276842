// What the disc leaves out of a site: version control and desktop metadata,
// which nobody wants on a disc, and what the publisher excludes with globs
// as a shell writes them, relative to the root: "*.psd" (in the root),
// "drafts/" (a folder), "**/*.map" (at any depth).
#ifndef ONDRELLE_PUBLISHER_LEFT_OUT_H
#define ONDRELLE_PUBLISHER_LEFT_OUT_H

#include "disc_tree.h"
#include "findings.h"
#include "result.h"

#include <string>
#include <string_view>
#include <vector>

namespace publisher {

// An error when the glob can match nothing below the root ("", "/", "..").
Result<bool> CheckGlob(const std::string& glob);

// True when `path` ('/'-separated from the root) matches the glob; a glob
// that ends in '/' matches folders only.
bool MatchesGlob(std::string_view glob, std::string_view path, bool folder);

// Takes out of the tree what is left out, with all it holds; the paths
// taken, raw, in the order of the tree.
std::vector<std::string> LeaveOut(DiscNode& root, const std::vector<std::string>& globs);

// The note that lists them, when there are any.
void AddLeftOutNote(const std::vector<std::string>& leftOut, Findings& findings);

}  // namespace publisher

#endif
