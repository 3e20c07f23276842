// Any autorun.inf through ReadAutorun, beside "executables" in a few fixed
// sites: with a root index, with indexes only in subdirectories, with none,
// deep enough that page paths overflow, and too deep for autorun.inf itself.
// Every call must end in one of the reader's two states.
#include "autorun_reader.h"
#include "fuzz_site.h"
#include "globals.h"
#include "standin_control.h"

#include <stdint.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const char kMessageA[] =
    "Note, Ondrelle (<b>kelmora.exe</b>) is a stand-alone utility. It is not an application that "
    "needs to be installed on your computer. This help is being displayed because the file "
    "<b>autorun.inf</b> was not found (see below).";
const char kMessageB[] =
    "This help is being displayed because the file <b>autorun.inf</b> is incorrect (<a "
    "href=\"#autorun\">see below</a>).";
const char kMessageCHead[] = "This help is being displayed because the file <b>";
const char kMessageCTail[] = "</b> was not found.";
const char kMessageD[] =
    "This help is being displayed because neither the file <b>index.htm</b> nor <b>index.html</b> "
    "was found (<a href=\"#HowTo\">see below</a>).";

enum Kind { kRootIndex, kSubIndex, kNoIndex, kDeep, kTooDeep };

struct Site {
    Kind kind;
    std::string dir;     // Windows path of the executable's directory, with backslash
};

std::vector<Site> sites;
std::string masterPath;  // every site's autorun.inf links here

void Must(bool ok, const char* what) {
    if (!ok) FuzzFail(__FILE__, __LINE__, what);
}

void File(const std::string& path) { Must(WriteBytes(path, "<html></html>", 13), "cannot write a page"); }

// A directory whose Windows path, backslash included, is `length` long.
std::string DirOfLength(const std::string& parent, size_t length) {
    Must(MakeDir(parent.substr(0, parent.size() - 1)), "cannot make a deep directory");
    std::string dir = parent;
    Must(WinPath(dir).size() + 2 <= length, "the scratch directory is too deep already");
    while (WinPath(dir).size() < length) {
        // Each name takes its length plus a backslash; never leave room for 1.
        size_t room = length - WinPath(dir).size();
        size_t name = room > 201 ? 150 : room - 1;
        dir += std::string(name, 'd') + "/";
        Must(MakeDir(dir.substr(0, dir.size() - 1)), "cannot make a deep directory");
    }
    Must(WinPath(dir).size() == length, "deep directory has the wrong length");
    return dir;
}

void AddSite(Kind kind, const std::string& posixDir) {
    Must(symlink(masterPath.c_str(), (posixDir + "autorun.inf").c_str()) == 0, "cannot link autorun.inf");
    Site site = {kind, WinPath(posixDir)};
    sites.push_back(site);
}

void MakeSites() {
    const std::string& root = FuzzRoot();
    masterPath = root + "master.inf";
    Must(WriteBytes(masterPath, "", 0), "cannot write autorun.inf");

    std::string a = root + "rootindex/";
    Must(MakeDir(a) && MakeDir(a + "Pages") && MakeDir(a + "docs"), "cannot make site dirs");
    File(a + "index.htm");
    File(a + "page.htm");
    File(a + "Pages/Intro.htm");
    File(a + "a&b.htm");
    AddSite(kRootIndex, a);

    std::string b = root + "subindex/";
    Must(MakeDir(b) && MakeDir(b + "web") && MakeDir(b + "Web2") && MakeDir(b + "docs") &&
             MakeDir(b + ".hidden") && MakeDir(b + "index.htm.d"),
         "cannot make site dirs");
    File(b + "web/index.htm");
    File(b + "Web2/INDEX.HTML");
    File(b + ".hidden/index.htm");
    File(b + "notes.txt");
    File(b + "page.htm");
    AddSite(kSubIndex, b);

    std::string c = root + "noindex/";
    Must(MakeDir(c) && MakeDir(c + "empty"), "cannot make site dirs");
    File(c + "empty.htm");
    AddSite(kNoIndex, c);

    // 240: autorun.inf fits, a page token of more than 19 bytes does not.
    std::string d = DirOfLength(root + "deep/", 240);
    File(d + "index.htm");
    File(d + "p.htm");
    AddSite(kDeep, d);

    // 249: not even autorun.inf fits beside it.
    std::string e = DirOfLength(root + "toodeep/", 249);
    AddSite(kTooDeep, e);
}

bool AllZero(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; i++) {
        if (b[i]) return false;
    }
    return true;
}

bool StartsWithIgnoringCase(const char* text, const std::string& head) {
    for (size_t i = 0; i < head.size(); i++) {
        char a = text[i], b = head[i];
        if (a >= 'A' && a <= 'Z') a = char(a + 32);
        if (b >= 'A' && b <= 'Z') b = char(b + 32);
        if (a != b) return false;
    }
    return true;
}

// Undoes the four entities; false when the text holds a raw & < > " that
// is not part of one (an entity cut in half included).
bool Unescape(const std::string& html, std::string* text) {
    static const char* const kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;"};
    static const char kChars[] = "&<>\"";
    text->clear();
    for (size_t i = 0; i < html.size();) {
        char c = html[i];
        if (c == '<' || c == '>' || c == '"') return false;
        if (c != '&') {
            *text += c;
            i++;
            continue;
        }
        size_t e = 0;
        while (e < 4 && html.compare(i, strlen(kEntities[e]), kEntities[e]) != 0) e++;
        if (e == 4) return false;
        *text += kChars[e];
        i += strlen(kEntities[e]);
    }
    return true;
}

void CheckOutcome(const Site& site) {
    FUZZ_CHECK(Standin_OpenHandles() == 0, "a handle stayed open");
    FUZZ_CHECK(memchr(errMsg, 0, sizeof errMsg) != NULL, "errMsg not terminated within 512 bytes");
    if (errMsg[0] == 0) {
        FUZZ_CHECK(site.kind != kTooDeep, "success although autorun.inf cannot be named");
        FUZZ_CHECK(memchr(LaunchState.pagePath, 0, MAX_PATH) != NULL, "pagePath not terminated");
        FUZZ_CHECK(LaunchState.pagePath[0] != 0, "success with an empty pagePath");
        FUZZ_CHECK(GetFileAttributesA(LaunchState.pagePath) != INVALID_FILE_ATTRIBUTES,
                   "pagePath names no existing path");
        FUZZ_CHECK(StartsWithIgnoringCase(LaunchState.pagePath, site.dir), "pagePath outside the site");
        FUZZ_CHECK(LaunchState.useIE <= 1, "useIE neither 0 nor 1");
        return;
    }
    FUZZ_CHECK(AllZero(&LaunchState, sizeof LaunchState), "LaunchState not all zero after a failure");
    std::string msg = errMsg;
    if (msg == kMessageA) {
        FUZZ_CHECK(site.kind == kTooDeep, "message A although autorun.inf is there");
        return;
    }
    FUZZ_CHECK(site.kind != kTooDeep, "not message A although autorun.inf cannot be named");
    if (msg == kMessageB) return;
    if (msg == kMessageD) {
        FUZZ_CHECK(site.kind == kNoIndex, "message D although an index exists");
        return;
    }
    size_t head = strlen(kMessageCHead), tail = strlen(kMessageCTail);
    FUZZ_CHECK(msg.size() >= head + tail && msg.compare(0, head, kMessageCHead) == 0 &&
                   msg.compare(msg.size() - tail, tail, kMessageCTail) == 0,
               "errMsg is none of the four messages");
    std::string html = msg.substr(head, msg.size() - head - tail), token;
    FUZZ_CHECK(Unescape(html, &token), "message C token not escaped, or cut inside an entity");
    FUZZ_CHECK(token.size() <= MAX_PATH - 1, "message C token longer than a token can be");
    // An uncut token that fits beside the executable names nothing there.
    if (msg.size() < 400 && site.dir.size() + token.size() <= MAX_PATH - 1) {
        FUZZ_CHECK(GetFileAttributesA((site.dir + token).c_str()) == INVALID_FILE_ATTRIBUTES,
                   "message C for a page that exists");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeSites();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteBytes(masterPath, data, size)) FuzzFail(__FILE__, __LINE__, "cannot write autorun.inf");
    for (size_t i = 0; i < sites.size(); i++) {
        Standin_SetModulePath((sites[i].dir + "kelmora.exe").c_str());
        // What the run sequence leaves: errMsg empty; LaunchState whatever.
        memset(errMsg, 'Z', sizeof errMsg);
        errMsg[0] = 0;
        memset(&LaunchState, 0xA5, sizeof LaunchState);
        ReadAutorun();
        CheckOutcome(sites[i]);
    }
    Standin_SetModulePath("");
    return 0;
}
