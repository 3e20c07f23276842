// The check's result for people (text, colour only when asked) and for
// programs (one JSON object; every string is valid UTF-8).
#ifndef ONDRELLE_PUBLISHER_REPORT_H
#define ONDRELLE_PUBLISHER_REPORT_H

#include "check.h"
#include "display_path.h"

#include <string>

namespace publisher {

// Whether an image is whole, in one sentence.
std::string ImageText(const ImageProof& proof);

// What happens when the disc goes in, in one sentence; on Windows of several
// code pages, a line for each group of them that agree.
std::string OutcomeText(const CheckResult& result);

// The outcome, then one entry per problem, errors first: its sentence, then
// where it is, the first few places of many. Notes take a line per id unless
// `verbose`. A summary line ends it.
std::string TextReport(const CheckResult& result, bool colour, bool verbose);

// `path` is PATH as given on the command line.
std::string JsonReport(const CheckResult& result, const std::string& path);

}  // namespace publisher

#endif
