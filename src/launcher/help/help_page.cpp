#include "help_page.h"

#include "byte_buffer.h"
#include "globals.h"
#include "platform.h"
#include "resource.h"
#include "text.h"

bool ShowHelp() {
    ByteBuffer page;
    char path[MAX_PATH];
    // 0 means no temp directory; a count of MAX_PATH or more means the path
    // did not fit and the buffer holds nothing usable.
    DWORD n = GetTempPathA(MAX_PATH, path);
    if (n == 0 || n >= MAX_PATH) return false;
    // Windows 95 returns TMP as written, perhaps without the backslash. A
    // directory too long for "help.htm" fails like a missing one.
    if (LastBackslash(path) != path + n - 1 && !AppendText(path, MAX_PATH, "\\")) return false;
    if (!AppendText(path, MAX_PATH, "help.htm")) return false;

    if (!page.LoadFromResource(MAKEINTRESOURCEA(IDR_HELPPAGE), RT_HTML)) return false;
    if (!page.Replace("[ErrMsg]", errMsg, false)) return false;
    if (!page.SaveToFile(path)) return false;
    // No owner: the launch window is gone by now, or was never made.
    return (INT_PTR)ShellExecuteA(NULL, "open", path, NULL, NULL, SW_SHOWNORMAL) > 32;
}
