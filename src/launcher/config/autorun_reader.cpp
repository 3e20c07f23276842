#include "autorun_reader.h"

#include "cmd_tokenizer.h"
#include "files.h"
#include "globals.h"
#include "ini_text.h"
#include "platform.h"
#include "start_page.h"
#include "text.h"

#include <string.h>

const char kMissingInf[] =
    "Note, Ondrelle (<b>kelmora.exe</b>) is a stand-alone utility. It is not an application "
    "that needs to be installed on your computer. This help is being displayed because the "
    "file <b>autorun.inf</b> was not found (see below).";
const char kIncorrectInf[] =
    "This help is being displayed because the file <b>autorun.inf</b> is incorrect "
    "(<a href=\"#autorun\">see below</a>).";
const char kPageMissingStart[] = "This help is being displayed because the file <b>";
const char kPageMissingEnd[] = "</b> was not found.";
const char kNoIndex[] =
    "This help is being displayed because neither the file <b>index.htm</b> nor "
    "<b>index.html</b> was found (<a href=\"#HowTo\">see below</a>).";

namespace {

// The token comes from a file on the disc and ends up in a local HTML page,
// so its markup characters are escaped. A token too long for errMsg is cut
// before the first character whose text would not fit, never inside an
// entity or a character of two bytes, so the closing text always follows.
void SetPageMissing(const char* token) {
    const int room = kErrMsgSize - 1 - int(sizeof kPageMissingEnd - 1);
    CopyText(errMsg, kErrMsgSize, kPageMissingStart);
    int used = int(sizeof kPageMissingStart - 1);
    // A character of two bytes is kept whole or cut whole.
    for (const char* p = token; *p; p += CharLength(p)) {
        char unit[3] = {p[0], CharLength(p) == 2 ? p[1] : char(0), 0};
        const char* text = unit;
        switch (*p) {
            case '&': text = "&amp;"; break;
            case '<': text = "&lt;"; break;
            case '>': text = "&gt;"; break;
            case '"': text = "&quot;"; break;
        }
        int n = int(strlen(text));
        if (used + n > room) break;
        AppendText(errMsg, kErrMsgSize, text);
        used += n;
    }
    AppendText(errMsg, kErrMsgSize, kPageMissingEnd);
}

}  // namespace

void ReadAutorun() {
    IniText ini;
    CmdTokenizer tokens;
    char buffer[MAX_PATH];  // the path of autorun.inf, then the open= value
    memset(&LaunchState, 0, sizeof LaunchState);

    // A path that does not fit reads as a missing file: a cut one could name
    // some other file.
    if (!ModulePath(buffer, "autorun.inf") || !ini.Load(buffer)) {
        CopyText(errMsg, kErrMsgSize, kMissingInf);
        goto failure;
    }
    ini.FindSection("autorun");  // when missing, the key lookup fails below
    if (!ini.GetValue("open", buffer, MAX_PATH)) {
        CopyText(errMsg, kErrMsgSize, kIncorrectInf);
        goto failure;
    }

    tokens.SetLine(buffer);
    while (tokens.Next()) {
        if (tokens.option == 'i') {
            LaunchState.useIE = 1;
        } else if (tokens.option != 0) {
            CopyText(errMsg, kErrMsgSize, kIncorrectInf);
            goto failure;
        } else if (tokens.count == 2) {
            // Joined as written; a joined path that does not fit is a page not found.
            if (!ModulePath(LaunchState.pagePath, tokens.token) || !FileExists(LaunchState.pagePath)) {
                SetPageMissing(tokens.token);
                goto failure;
            }
        } else if (tokens.count > 2) {
            CopyText(errMsg, kErrMsgSize, kIncorrectInf);
            goto failure;
        }
        // count 1 is the program's own name, whatever it says.
    }

    if (LaunchState.pagePath[0] == 0) {
        FindStartPage(LaunchState.pagePath);
        if (LaunchState.pagePath[0] == 0) {
            CopyText(errMsg, kErrMsgSize, kNoIndex);
            goto failure;
        }
    }
    ini.Release();
    return;

failure:
    // Neither a page already set nor an earlier -i may survive a failure.
    memset(&LaunchState, 0, sizeof LaunchState);
    ini.Release();
}
