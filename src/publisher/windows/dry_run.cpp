// The launcher's autorun reader and start page search, run natively on the mapped drive.
#include "dry_run.h"

#include "autorun_reader.h"
#include "globals.h"
#include "windows_files.h"

#include <cstring>

namespace publisher {

char MessageOf(const std::string& text) {
    if (text == kMissingInf) return 'A';
    if (text == kIncorrectInf) return 'B';
    if (text == kNoIndex) return 'D';
    std::string start = kPageMissingStart, end = kPageMissingEnd;
    if (text.size() >= start.size() + end.size() && text.compare(0, start.size(), start) == 0 &&
        text.compare(text.size() - end.size(), end.size(), end) == 0)
        return 'C';
    return 0;
}

LauncherRun DryRun(const std::string& modulePath) {
    SetModulePath(modulePath);
    // As the run sequence leaves them.
    std::memset(errMsg, 0, sizeof errMsg);
    std::memset(&LaunchState, 0, sizeof LaunchState);
    ReadAutorun();
    SetModulePath("");

    LauncherRun run;
    if (errMsg[0] == 0) {
        run.page = true;
        run.pagePath = LaunchState.pagePath;
        run.useIE = LaunchState.useIE != 0;
    } else {
        run.fragment = errMsg;
        run.message = MessageOf(run.fragment);
    }
    return run;
}

}  // namespace publisher
