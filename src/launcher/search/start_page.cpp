#include "start_page.h"

#include "files.h"
#include "platform.h"
#include "text.h"

#include <string.h>

namespace {

// Joins base, name and tail into dest (MAX_PATH bytes), lower-cased. False,
// with dest empty, when the path would not fit: a cut path could name some
// other file that happens to exist.
bool JoinLower(char* dest, const char* base, const char* name, const char* tail) {
    if (!CopyText(dest, MAX_PATH, base) || !AppendText(dest, MAX_PATH, name) ||
        !AppendText(dest, MAX_PATH, tail)) {
        dest[0] = 0;
        return false;
    }
    LowerAscii(dest);
    return true;
}

// Takes the candidate when it is the smallest existing one so far. The
// comparison comes first: it costs no file-system call. strcmp compares the
// bytes as unsigned, so 0x80 and above sort after ASCII.
void Consider(char* dest, const char* candidate) {
    if ((dest[0] == 0 || strcmp(candidate, dest) < 0) && FileExists(candidate)) {
        CopyText(dest, MAX_PATH, candidate);
    }
}

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

}  // namespace

void FindStartPage(char* dest) {
    char base[MAX_PATH];
    char candidate[MAX_PATH];
    dest[0] = 0;
    // Without the executable's directory there is nothing to search.
    if (!ModulePath(base, "")) return;

    // index.htm, then index.html, beside the executable win over everything.
    if (JoinLower(dest, base, "index.htm", "")) {
        if (FileExists(dest)) return;
        if (AppendText(dest, MAX_PATH, "l") && FileExists(dest)) return;
    }
    dest[0] = 0;

    if (!CopyText(candidate, MAX_PATH, base) || !AppendText(candidate, MAX_PATH, "*")) return;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(candidate, &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (IsDotEntry(entry.cFileName)) continue;
        // A candidate that does not fit is skipped whole; index.html only
        // when it alone is one byte too long.
        if (!JoinLower(candidate, base, entry.cFileName, "\\index.htm")) continue;
        Consider(dest, candidate);
        if (AppendText(candidate, MAX_PATH, "l")) Consider(dest, candidate);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}
