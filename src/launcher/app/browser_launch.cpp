#include "browser_launch.h"

#include "files.h"
#include "globals.h"
#include "run_launcher.h"
#include "text.h"

namespace {

const char kIEFullPath[] = "C:\\Program Files\\Internet Explorer\\Iexplore.exe";
const char kIEName[] = "Iexplore.exe";

const char kQuestion[] =
    "This CD was designed to be displayed by Microsoft Internet Explorer,\n"
    "which was not found on your computer.  Other Web browsers may not\n"
    "display this CD correctly.  Try your default Web browser?";
const char kQuestionCaption[] = "Internet Explorer Not Found";

#define SUPPORT_ADDRESS "support@brindlecote.example"
const char kErrorFormat[] =
    "<font color=\"#FF0000\"><b>Error #%d: Can't AutoPlay CD.</b></font> Please report this error to "
    "Brindlecote (<a href=\"mailto:" SUPPORT_ADDRESS "\">" SUPPORT_ADDRESS "</a>).";
// "%d" becomes at most 11 characters ("-2147483648").
static_assert(sizeof kErrorFormat - 2 + 11 <= kErrMsgSize, "the error fragment must fit in errMsg");

// Anything above 32 is success; the shell's value is an error number otherwise.
const INT_PTR kShellSuccess = 33;

INT_PTR OpenWithIE(HWND window) {
    // The quotes keep a path with blanks one argument. A page path has at
    // most MAX_PATH - 1 characters, so the quoted text always fits whole.
    char parameters[MAX_PATH + 2];
    CopyText(parameters, sizeof parameters, "\"");
    AppendText(parameters, sizeof parameters, LaunchState.pagePath);
    AppendText(parameters, sizeof parameters, "\"");
    return (INT_PTR)ShellExecuteA(window, "open", GetIEPath(), parameters, NULL, SW_SHOWNORMAL);
}

}  // namespace

const char* GetIEPath() { return FileExists(kIEFullPath) ? kIEFullPath : kIEName; }

void LaunchPage(HWND window) {
    INT_PTR result = kShellSuccess;
    bool useDefault = LaunchState.useIE == 0;
    if (!useDefault) {
        result = OpenWithIE(window);
        // Only a missing Internet Explorer is worth a question; Cancel opens
        // nothing and reports nothing.
        if (result == SE_ERR_FNF) {
            useDefault = MessageBoxA(window, kQuestion, kQuestionCaption,
                                     MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDCANCEL;
            result = kShellSuccess;
        }
    }
    if (useDefault) {
        result = (INT_PTR)ShellExecuteA(window, "open", LaunchState.pagePath, NULL, NULL, SW_SHOWNORMAL);
    }
    if (result <= 32) wsprintfA(errMsg, kErrorFormat, int(result));
    CloseLaunchWindow();
}
