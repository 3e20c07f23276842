// `ondrelle check`: what Windows and the launcher will do with the disc, and
// everything that would break it.
#ifndef ONDRELLE_PUBLISHER_CHECK_H
#define ONDRELLE_PUBLISHER_CHECK_H

#include "autoplay.h"
#include "disc_tree.h"
#include "findings.h"
#include "result.h"

#include <filesystem>
#include <string>

namespace publisher {

struct Outcome {
    enum class Kind { Page, Help, None } kind = Kind::None;
    std::string page;      // Page: pagePath, ANSI
    bool useIE = false;    // Page: Internet Explorer, with the question when it is missing
    char message = 0;      // Help: 'A' to 'D'
    std::string fragment;  // Help: errMsg, ANSI
    std::string why;       // None: one sentence
};

struct CheckResult {
    AutoPlay autoplay;
    Outcome outcome;
    Findings findings;
};

// Everything, or what an image read back still has to prove once its bytes
// are known to be the site's: the links are then those already checked.
enum class CheckScope { Everything, WithoutLinks };

// Checks the disc that the tree describes. The tree's folder shows the
// disc's root; it is drive D: for the dry run and nothing in it is written.
CheckResult CheckDisc(const DiscTree& tree, CheckScope scope = CheckScope::Everything);

// The disc made of a site folder.
Result<CheckResult> CheckSiteFolder(const std::filesystem::path& site);

}  // namespace publisher

#endif
