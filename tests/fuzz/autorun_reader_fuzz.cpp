// Any autorun.inf through ReadAutorun, beside "executables" in a few fixed
// sites: with a root index, with indexes only in subdirectories, with none,
// deep enough that page paths overflow, and too deep for autorun.inf itself.
// Every call must end in one of the reader's two states, and in the one that
// the rules, applied through plain models of the document and the tokenizer,
// give for that file in that site.
#include "autorun_reader.h"
#include "fuzz_models.h"
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
    std::string dir;        // Windows path of the executable's directory, with backslash
    std::string startPage;  // what the start page search must find there
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

std::string LowerAscii(std::string s) {
    for (size_t i = 0; i < s.size(); i++) s[i] = model::Lower(s[i]);
    return s;
}

void AddSite(Kind kind, const std::string& posixDir, const char* startPage) {
    Must(symlink(masterPath.c_str(), (posixDir + "autorun.inf").c_str()) == 0, "cannot link autorun.inf");
    Site site = {kind, WinPath(posixDir), ""};
    if (startPage) site.startPage = LowerAscii(site.dir + startPage);
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
    AddSite(kRootIndex, a, "index.htm");

    std::string b = root + "subindex/";
    Must(MakeDir(b) && MakeDir(b + "web") && MakeDir(b + "Web2") && MakeDir(b + "docs") &&
             MakeDir(b + "zhidden") && MakeDir(b + ".cache") && MakeDir(b + "index.htm.d"),
         "cannot make site dirs");
    Must(SetFileAttributesA(WinPath(b + "zhidden").c_str(), FILE_ATTRIBUTE_HIDDEN) != 0, "cannot hide");
    File(b + "web/index.htm");
    File(b + "Web2/INDEX.HTML");
    File(b + "zhidden/index.htm");
    File(b + "notes.txt");
    File(b + "page.htm");
    AddSite(kSubIndex, b, "web2\\index.html");

    std::string c = root + "noindex/";
    Must(MakeDir(c) && MakeDir(c + "empty"), "cannot make site dirs");
    File(c + "empty.htm");
    AddSite(kNoIndex, c, NULL);

    // 240: autorun.inf fits, a page token of more than 19 bytes does not.
    std::string d = DirOfLength(root + "deep/", 240);
    File(d + "index.htm");
    File(d + "p.htm");
    AddSite(kDeep, d, "index.htm");

    // 249: not even autorun.inf fits beside it.
    std::string e = DirOfLength(root + "toodeep/", 249);
    AddSite(kTooDeep, e, NULL);
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

// What the reader must leave: errMsg, and on success the page and useIE.
struct Outcome {
    std::string message;
    std::string page;
    int useIE;
};

// The token for message C: escaped, and cut before the first character
// whose text would not fit.
std::string EscapedToken(const std::string& token) {
    const size_t room = kErrMsgSize - 1 - strlen(kMessageCHead) - strlen(kMessageCTail);
    std::string html;
    for (size_t i = 0; i < token.size(); i++) {
        char c = token[i];
        std::string piece = c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;"
                                                                                           : std::string(1, c);
        if (html.size() + piece.size() > room) break;
        html += piece;
    }
    return html;
}

Outcome Expected(const Site& site, const std::string& file) {
    Outcome fail = {"", "", 0};
    if (site.kind == kTooDeep) {
        fail.message = kMessageA;
        return fail;
    }
    model::IniModel ini = {file, -1};
    ini.FindSection("autorun");
    std::string value;
    fail.message = kMessageB;
    if (!ini.GetValue("open", MAX_PATH, &value)) return fail;
    Outcome ok = {"", "", 0};
    std::vector<model::Token> tokens = model::ModelTokens(value);
    for (size_t i = 0; i < tokens.size(); i++) {
        const model::Token& t = tokens[i];
        if (t.option == 'i') {
            ok.useIE = 1;
        } else if (t.option != 0 || t.count > 2) {
            return fail;
        } else if (t.count == 2) {
            ok.page = site.dir + t.text;
            if (ok.page.size() > MAX_PATH - 1 || GetFileAttributesA(ok.page.c_str()) == INVALID_FILE_ATTRIBUTES) {
                fail.message = kMessageCHead + EscapedToken(t.text) + kMessageCTail;
                return fail;
            }
        }
    }
    if (ok.page.empty()) ok.page = site.startPage;
    fail.message = kMessageD;
    return ok.page.empty() ? fail : ok;
}

// The message alone: one of the four, C well escaped and within bounds.
void CheckMessage(const Site& site) {
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
}

void CheckOutcome(const Site& site, const std::string& file) {
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
    } else {
        FUZZ_CHECK(AllZero(&LaunchState, sizeof LaunchState), "LaunchState not all zero after a failure");
        CheckMessage(site);
    }
    Outcome expected = Expected(site, file);
    FUZZ_CHECK(expected.message == errMsg, "errMsg is not the message the rules give");
    if (expected.message.empty()) {
        FUZZ_CHECK(expected.page == LaunchState.pagePath, "pagePath is not the page the rules give");
        FUZZ_CHECK(expected.useIE == LaunchState.useIE, "useIE is not what the rules give");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeSites();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string file(reinterpret_cast<const char*>(data), size);
    if (!WriteBytes(masterPath, data, size)) FuzzFail(__FILE__, __LINE__, "cannot write autorun.inf");
    for (size_t i = 0; i < sites.size(); i++) {
        SetModulePath(sites[i].dir + "kelmora.exe");
        // What the run sequence leaves: errMsg empty; LaunchState whatever.
        memset(errMsg, 'Z', sizeof errMsg);
        errMsg[0] = 0;
        memset(&LaunchState, 0xA5, sizeof LaunchState);
        ReadAutorun();
        CheckOutcome(sites[i], file);
    }
    SetModulePath("");
    return 0;
}
