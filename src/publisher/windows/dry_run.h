// The launcher's own decision, run natively: ReadAutorun, FindStartPage, the
// tokenizer and the INI document, as the program at a given path on a
// mapped drive. No second model of the launcher: only its outputs are read.
#ifndef ONDRELLE_PUBLISHER_DRY_RUN_H
#define ONDRELLE_PUBLISHER_DRY_RUN_H

#include <string>

namespace publisher {

struct LauncherRun {
    bool page = false;      // true: pagePath and useIE; false: errMsg
    std::string pagePath;   // ANSI, exactly as the launcher computed it
    bool useIE = false;
    char message = 0;       // 'A' to 'D' when the help page is shown
    std::string fragment;   // errMsg, ANSI
};

// Runs the reader with GetModuleFileNameA reporting `modulePath` (ANSI).
LauncherRun DryRun(const std::string& modulePath);

// Which of the launcher's messages errMsg holds; 0 for none of them.
char MessageOf(const std::string& errMsg);

}  // namespace publisher

#endif
