// `ondrelle disc`: from a site folder to a checked, reproducible CD image.
// The launcher and autorun.inf are added to the image, never to the site;
// the disc is checked exactly as it will be before anything is written, and
// the image is read back and checked again before it takes its name.
#ifndef ONDRELLE_PUBLISHER_DISC_H
#define ONDRELLE_PUBLISHER_DISC_H

#include "disc_tree.h"
#include "result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace publisher {

struct DiscRequest {
    std::filesystem::path site;
    std::filesystem::path image;
    std::optional<std::string> label;     // default: the site folder's name
    bool ie = false;                      // open=kelmora.exe -i
    std::optional<std::string> page;      // the page token of the generated autorun.inf
    std::optional<std::filesystem::path> launcher;
    std::optional<std::string> date;      // seconds since 1970, or YYYY-MM-DD[THH:MM:SS[Z]] in UTC
    // --code-page: the readers' Windows, and the code page of the first for
    // the label; none: a Western Windows, and a label in ASCII.
    std::optional<std::vector<unsigned>> codePages;
    std::vector<std::string> exclude;  // globs of what is left out, relative to the root
    const Medium* medium = &kCd80;
    std::vector<std::string> ignore;   // ids of warnings and notes not to report
    // --sign: the PKCS#12 certificate that signs the disc's launcher, its
    // password's file (else ONDRELLE_SIGN_PASSWORD), the description
    // (default: the label), the publisher's address and a time-stamp authority.
    std::optional<std::filesystem::path> sign, signPasswordFile;
    std::optional<std::string> signName, signUrl, timestamp;
    bool dryRun = false;
    bool quiet = false;
    bool verbose = false;  // every note, not one line per id
    bool colour = false;
};

// Seconds since 1970 from --date's forms; an error says what was expected.
Result<std::int64_t> ParseDate(const std::string& text);

// Runs the command; the exit status: 0 written (or would be), 1 the check
// found an error or the image could not be made, 2 the request cannot run.
int RunDisc(const DiscRequest& request);

}  // namespace publisher

#endif
