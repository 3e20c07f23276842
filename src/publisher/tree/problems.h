// The findings grouped by cause: what a publisher mends once, however many
// links show it and however they spell it.
#ifndef ONDRELLE_PUBLISHER_PROBLEMS_H
#define ONDRELLE_PUBLISHER_PROBLEMS_H

#include "findings.h"

#include <cstddef>
#include <string>
#include <vector>

namespace publisher {

// One cause with every place that shows it. Paths are raw, '/'-separated.
struct Problem {
    Severity severity;
    std::string id;
    CauseKind kind = CauseKind::File;
    // File: the target, "" for a finding that stands alone; Folder: the
    // missing folder; AboveRoot: where the links leave the disc, "../libs";
    // Anchors: the page; Siblings: the path that each of `folders` misses.
    std::string cause;
    std::vector<std::string> targets;  // distinct, in the order found
    std::vector<std::string> folders;  // Siblings: the folders that miss the same
    std::vector<unsigned> codePages;   // as its places have them
    std::string message;               // the cause's own sentence
    std::vector<const Finding*> places;  // in the order found
    std::size_t pages = 0;               // distinct paths among the places
};

const char* CauseKindName(CauseKind kind);  // "file", "folder", "above-root", "anchors", "siblings"

// Errors, then warnings, then notes; by id, then where each is first found.
// The problems point into `findings`.
std::vector<Problem> ProblemsOf(const Findings& findings);

}  // namespace publisher

#endif
