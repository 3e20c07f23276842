// `ondrelle check`: what Windows and the launcher will do with the disc, and
// everything that would break it.
#ifndef ONDRELLE_PUBLISHER_CHECK_H
#define ONDRELLE_PUBLISHER_CHECK_H

#include "authenticode.h"
#include "autoplay.h"
#include "code_page_names.h"
#include "disc_tree.h"
#include "findings.h"
#include "image_proof.h"
#include "result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace publisher {

struct Outcome {
    enum class Kind { Page, Help, None } kind = Kind::None;
    std::string page;      // Page: pagePath, ANSI
    bool useIE = false;    // Page: Internet Explorer, with the question when it is missing
    char message = 0;      // Help: 'A' to 'D'
    std::string fragment;  // Help: errMsg, ANSI
    std::string why;       // None: one sentence
};

// What Windows and the launcher do with the disc on a Windows whose ANSI
// code page is `codePage`; the ANSI texts are in that code page.
struct Play {
    unsigned codePage = 1252;
    AutoPlay autoplay;
    Outcome outcome;
};


struct CheckResult {
    std::vector<Play> plays;  // one per code page checked, in the order given
    // For a site without autorun.inf: the plays of the disc that ondrelle
    // disc makes of it, with what it adds ("autorun.inf", "kelmora.exe").
    std::vector<Play> discPlays;
    std::vector<std::string> discAdds;
    // For an image: whether it is whole, found before anything else.
    std::optional<ImageProof> image;
    // The signature of the launcher that AutoPlay starts, when it was read.
    std::optional<Signature> signature;
    Findings findings;
    // The first code page's, which the report leads with.
    const AutoPlay& autoplay() const { return plays.front().autoplay; }
    const Outcome& outcome() const { return plays.front().outcome; }
};

// Everything, or what an image read back still has to prove once its bytes
// are known to be the site's: the links are then those already checked.
enum class CheckScope { Everything, WithoutLinks };

// Checks the disc that the tree describes, on Windows in each of the code
// pages. The tree's folder shows the disc's root; it is drive D: for the dry
// run and nothing in it is written. A finding that holds in some of the
// code pages only says in which.
CheckResult CheckDisc(const DiscTree& tree, CheckScope scope = CheckScope::Everything,
                      const CodePages& codePages = kWesternWindows, const Medium& medium = kCd80);

// What happens when the disc goes in, in one sentence, texts in Unicode.
std::string OutcomeSentence(const Play& play);

// The different outcomes' sentences, each with the code pages whose Windows
// give it, in the order of the plays.
std::vector<TextInCodePages> OutcomeGroups(const std::vector<Play>& plays);

struct SiteOptions {
    std::vector<std::string> exclude;  // globs, relative to the root
    const Medium* medium = &kCd80;
    // Ondrelle's launcher: when the root has no autorun.inf, the disc that
    // ondrelle disc makes with it is checked too, and its findings stand.
    std::optional<std::filesystem::path> launcher;
};

// The disc made of a site folder, less what is left out of it.
Result<CheckResult> CheckSiteFolder(const std::filesystem::path& site, const CodePages& codePages = kWesternWindows,
                                    const SiteOptions& options = {});

}  // namespace publisher

#endif
