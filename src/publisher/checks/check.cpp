// The check: AutoPlay, the launcher's own run on drive D:, then every name, entry and link.
#include "check.h"

#include "autorun_reader.h"
#include "cmd_tokenizer.h"
#include "code_page.h"
#include "code_page_names.h"
#include "display_path.h"
#include "dry_run.h"
#include "launcher_signature.h"
#include "links.h"
#include "names.h"
#include "left_out.h"
#include "scratch_folder.h"
#include "site_disc.h"
#include "text.h"
#include "windows_files.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace publisher {

namespace {

// Drive D: shows the disc while the check runs.
class MappedDisc {
public:
    explicit MappedDisc(const std::filesystem::path& folder) { MapDrive('D', folder.string()); }
    ~MappedDisc() { MapDrive('D', ""); }
    MappedDisc(const MappedDisc&) = delete;
    MappedDisc& operator=(const MappedDisc&) = delete;
};

std::string Shown(const std::string& ansi) { return AnsiToUtf8(ansi); }

// The finding path of a Windows path on D:: the disc's own spelling when the
// file is there, else the path as written.
std::string DiscPath(const DiscTree& tree, const std::string& windowsPath) {
    std::string posix;
    std::string root = tree.folder.string() + "/";
    if (PosixPathOf(windowsPath, &posix) && posix.compare(0, root.size(), root) == 0)
        return DisplayPath(posix.substr(root.size()));
    // Read in the code page before the backslashes are turned: one can be the second byte of a character.
    std::string written = windowsPath.size() > 3 ? Shown(windowsPath.substr(3)) : "";
    std::replace(written.begin(), written.end(), '\\', '/');
    return written;
}

// The token of message C, its markup escapes undone.
std::string PageToken(const std::string& fragment) {
    size_t start = std::strlen(kPageMissingStart), end = std::strlen(kPageMissingEnd);
    std::string html = fragment.substr(start, fragment.size() - start - end), token;
    static const char* const kEscapes[][2] = {{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}};
    for (size_t i = 0; i < html.size();) {
        bool escaped = false;
        for (const auto& escape : kEscapes) {
            if (html.compare(i, std::strlen(escape[0]), escape[0]) == 0) {
                token += escape[1];
                i += std::strlen(escape[0]);
                escaped = true;
                break;
            }
        }
        if (!escaped) token += html[i++];
    }
    return token;
}

// The folder of an ANSI path, with its backslash, found as the launcher finds
// its own: the second byte of a character is no backslash.
std::string FolderOf(std::string windowsPath) {
    char* slash = LastBackslash(&windowsPath[0]);
    return windowsPath.substr(0, slash ? size_t(slash - windowsPath.data()) + 1 : 0);
}

void Nothing(Outcome& outcome, Findings& findings, const char* id, const std::string& path, std::string why,
             const std::string& todo) {
    outcome.kind = Outcome::Kind::None;
    outcome.why = why;
    findings.Add(id, path, why + " " + todo);
}

// The folder at a '/'-separated disc path, as the disc spells it.
const DiscNode* FolderAt(const DiscTree& tree, const std::string& path) {
    const DiscNode* folder = &tree.root;
    for (size_t start = 0; folder && start < path.size();) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        std::string name = path.substr(start, slash - start);
        start = slash + 1;
        auto child = std::find_if(folder->children.begin(), folder->children.end(), [&](const DiscNode& node) {
            return node.kind == NodeKind::Folder && SameNameIgnoringCase(node.name, name);
        });
        folder = child == folder->children.end() ? nullptr : &*child;
    }
    return folder;
}

bool IsStartPageName(const std::string& name) {
    return SameNameIgnoringCase(name, "index.htm") || SameNameIgnoringCase(name, "index.html");
}

// The folders just below `folder` that hold a start page, where the launcher
// looks when none is beside it; with the page's name in each.
std::vector<std::pair<const DiscNode*, std::string>> StartPageFolders(const DiscNode& folder) {
    std::vector<std::pair<const DiscNode*, std::string>> found;
    for (const DiscNode& child : folder.children) {
        if (child.kind != NodeKind::Folder) continue;
        for (const DiscNode& entry : child.children) {
            if (entry.kind == NodeKind::File && IsStartPageName(entry.name)) {
                found.emplace_back(&child, entry.name);
                break;
            }
        }
    }
    return found;
}

// True when open= names a page after the program: then the launcher does
// not search.
bool NamesAPage(const AutorunFile& autorun) {
    if (!autorun.open) return false;
    CmdTokenizer tokens;
    tokens.SetLine(autorun.open->c_str());
    while (tokens.Next()) {
        if (tokens.option == 0 && tokens.count == 2) return true;
    }
    return false;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

// A note when the search took one of several folders.
void CheckStartPageGuess(const DiscTree& tree, const std::string& launcher, const std::string& launcherFolder,
                         const LauncherRun& run, Findings& findings) {
    std::string launcherWindows = launcher.substr(0, launcher.rfind('\\') + 1);
    const DiscNode* folder = FolderAt(tree, launcherFolder);
    if (!folder) return;
    std::vector<std::pair<const DiscNode*, std::string>> candidates = StartPageFolders(*folder);
    // A page beside the launcher was no choice among folders.
    if (!run.page || candidates.size() < 2 || SameNameIgnoringCase(Shown(FolderOf(run.pagePath)), launcherWindows))
        return;
    std::string chosenFolder = Shown(FolderOf(run.pagePath));
    chosenFolder = chosenFolder.substr(0, chosenFolder.size() - 1);  // without its backslash
    size_t slash = chosenFolder.rfind('\\');
    std::string chosen = slash == std::string::npos ? "" : chosenFolder.substr(slash + 1);
    std::vector<std::string> others;
    std::string example, chosenPath;
    for (const auto& [candidate, page] : candidates) {
        if (SameNameIgnoringCase(candidate->name, chosen)) {
            chosenPath = JoinPath(launcherFolder, candidate->name + "/" + page);
            continue;
        }
        if (example.empty()) example = DisplayPath(candidate->name) + "\\" + page;
        others.push_back(DisplayPath(candidate->name));
    }
    if (chosenPath.empty()) return;
    std::string list;
    for (size_t i = 0; i < others.size() && i < 3; i++) list += (i > 0 ? ", " : "") + others[i];
    if (others.size() > 3) list += " and " + std::to_string(others.size() - 3) + " more";
    findings.Add("start-page-guessed", DisplayPath(chosenPath),
                 "No start page is beside " + launcher + ", so the launcher opens " + Shown(run.pagePath) +
                     ", from the first of " + std::to_string(candidates.size()) +
                     " folders that hold one, by name; the others are " + list +
                     ". If that is not the page for every reader, choose one: ondrelle disc --page " + example +
                     ", or open=kelmora.exe " + example + " in autorun.inf.");
}

// The names the launcher itself must open: the folders that its search
// looks into (each '/'-separated from the root, with the code pages whose
// Windows searched it). One finding per name, for all the code pages that
// cannot hold it.
void CheckStartPageNames(const DiscTree& tree, const std::vector<TextInCodePages>& searches, Findings& findings) {
    for (const TextInCodePages& search : searches) {
        const DiscNode* folder = FolderAt(tree, search.text);
        if (!folder) continue;
        for (const auto& [candidate, page] : StartPageFolders(*folder)) {
            // How the name shows, and in which of the code pages.
            std::vector<TextInCodePages> forms;
            CodePages lacking;
            for (unsigned codePage : search.codePages) {
                std::string ansi;
                if (Utf8ToAnsi(candidate->name, codePage, &ansi) != kAnsiLossy) continue;
                lacking.push_back(codePage);
                AddTextIn(forms, AnsiToUtf8(ansi, codePage), codePage);
            }
            if (lacking.empty()) continue;
            std::string seen;
            for (size_t i = 0; i < forms.size(); i++) {
                seen += (i == 0 ? "" : i + 1 == forms.size() ? " or " : ", ") + ("\"" + forms[i].text + "\"");
                if (forms.size() > 1) seen += " in " + CodePageNumbers(forms[i].codePages);
            }
            // One code page of 1252 is the Western Windows that the check knew first.
            std::string outside = lacking == kWesternWindows ? "code page 1252" : CodePageList(lacking);
            findings.Add("name-not-ansi", DisplayPath(JoinPath(search.text, candidate->name)),
                         "The name has characters outside " + outside + ", so the launcher sees it as " + seen +
                             " and cannot open the " + page + " in it; rename it.");
        }
    }
}

// The launcher's own run, on the Windows of the current code page. The
// folder where it searched for its start page, if it did, goes to `searched`.
void RunLauncher(const DiscTree& tree, Play& play, Findings& findings, std::optional<std::string>& searched) {
    const std::string& program = *play.autoplay.program;
    std::string folder = FolderOf(program);
    std::string inf = folder + "autorun.inf";
    std::string infPath = DiscPath(tree, inf);
    AutorunFile own = ReadAutorunFile(inf, false);
    if (own.cut && infPath != "autorun.inf") {
        findings.Add("autorun-cut", infPath,
                     "The open= value is longer than 259 bytes; the launcher reads only the first 259.");
    }

    LauncherRun run = DryRun(program);
    if (!NamesAPage(own)) {
        std::string programPath = DiscPath(tree, program);
        size_t slash = programPath.rfind('/');
        searched = slash == std::string::npos ? "" : programPath.substr(0, slash);
        CheckStartPageGuess(tree, Shown(program), *searched, run, findings);
    }
    Outcome& outcome = play.outcome;
    if (run.page) {
        outcome.kind = Outcome::Kind::Page;
        outcome.page = run.pagePath;
        outcome.useIE = run.useIE;
        return;
    }
    outcome.kind = Outcome::Kind::Help;
    outcome.message = run.message;
    outcome.fragment = run.fragment;
    std::string launcher = Shown(program);
    std::string why;
    switch (run.message) {
        case 'A':
            why = "There is no autorun.inf beside " + launcher +
                  ", so the launcher shows its help page with message A; put one there, or start the launcher "
                  "from the folder that has one.";
            break;
        case 'B':
            why = "The launcher finds no open= line it accepts in " + Shown(inf) +
                  " (no [autorun] section or open= key, a third plain token, or an option other than -i), so it "
                  "shows its help page with message B; correct that line.";
            if (own.encoding != Encoding::Ansi) {
                findings.Add("autorun-encoding", infPath,
                             std::string("The file starts with a ") +
                                 (own.encoding == Encoding::Utf8Bom ? "UTF-8" : "UTF-16") +
                                 " byte order mark: Windows reads it, but the launcher then finds no "
                                 "[autorun] section; save it as plain text (ANSI).");
            }
            break;
        case 'C':
            why = "The page \"" + Shown(PageToken(run.fragment)) + "\" that open= names is not beside " + launcher +
                  ", so the launcher shows its help page with message C; correct the page token or add the page.";
            break;
        default:
            why = "Neither index.htm nor index.html is beside " + launcher +
                  " or in a folder just below it, so the launcher shows its help page with message D; add one, or "
                  "name the page in open=.";
            break;
    }
    findings.Add("launcher-help", infPath, why);
}

// What Windows AutoPlay and then the launcher do, on the Windows of the
// current code page.
void PlayDisc(const DiscTree& tree, Play& play, Findings& findings, std::optional<std::string>& searched) {
    AutoPlay& autoplay = play.autoplay;
    autoplay = ReadAutoPlay();
    Outcome& outcome = play.outcome;
    if (autoplay.autorun.cut) {
        findings.Add("autorun-cut", "autorun.inf",
                     "The open= value is longer than 259 bytes; Windows and the launcher read only the first "
                     "259. Shorten it.");
    }
    if (!autoplay.autorun.found) {
        Nothing(outcome, findings, "autorun-missing", "autorun.inf",
                "There is no autorun.inf in the disc's root, so Windows starts nothing.",
                "Add one with the lines [autorun] and open=kelmora.exe, and kelmora.exe beside it.");
    } else if (!autoplay.autorun.open || autoplay.autorun.open->empty()) {
        Nothing(outcome, findings, "autorun-no-open", "autorun.inf",
                autoplay.autorun.open ? "The open= value of autorun.inf is empty, so Windows starts nothing."
                                      : "autorun.inf has no open= value in an [autorun] section, so Windows "
                                        "starts nothing.",
                "Write open=kelmora.exe under [autorun].");
    } else if (!autoplay.starts) {
        Nothing(outcome, findings, "autorun-no-open", "autorun.inf",
                "The open= value of autorun.inf starts with an option, not a program, so Windows starts "
                "nothing.",
                "Begin it with the launcher's name: open=kelmora.exe.");
    } else if (!autoplay.exists) {
        Nothing(outcome, findings, "program-missing", DiscPath(tree, *autoplay.program),
                Shown(*autoplay.program) + ", which open= names, is not on the disc, so Windows starts nothing.",
                "Put kelmora.exe there, or correct open=.");
    } else if (!autoplay.launcher) {
        Nothing(outcome, findings, "program-not-launcher", DiscPath(tree, *autoplay.program),
                Shown(*autoplay.program) +
                    " is not Ondrelle's launcher (its version resource says otherwise), so what it does "
                    "cannot be checked.",
                "Name kelmora.exe in open= to have the site opened.");
    } else {
        RunLauncher(tree, play, findings, searched);
    }
}

// A warning when the readers' Windows do not all do the same with the disc.
void CheckOutcomesAgree(const std::vector<Play>& plays, Findings& findings) {
    std::vector<TextInCodePages> outcomes = OutcomeGroups(plays);
    if (outcomes.size() < 2) return;
    std::string text = "The disc does not do the same on every Windows.";
    for (const TextInCodePages& group : outcomes) text += " In " + CodePageList(group.codePages) + ": " + group.text;
    findings.Add("outcome-differs", "",
                 text + " A reader's Windows decides which; names in plain ASCII, or in the one code page of all "
                        "the readers, do the same everywhere.");
}

}  // namespace

std::string OutcomeSentence(const Play& play) {
    const Outcome& outcome = play.outcome;
    auto shown = [&](const std::string& ansi) { return AnsiToUtf8(ansi, play.codePage); };
    switch (outcome.kind) {
        case Outcome::Kind::Page:
            return "Windows starts " + shown(*play.autoplay.program) + ", which opens " + shown(outcome.page) +
                   (outcome.useIE ? " in Internet Explorer, asking whether to use the default browser when "
                                    "Internet Explorer is missing."
                                  : " in the default browser.");
        case Outcome::Kind::Help:
            return "Windows starts " + shown(*play.autoplay.program) + ", which shows its help page with message " +
                   std::string(1, outcome.message ? outcome.message : '?') + ".";
        case Outcome::Kind::None:
            break;
    }
    return outcome.why;
}

std::vector<TextInCodePages> OutcomeGroups(const std::vector<Play>& plays) {
    std::vector<TextInCodePages> groups;
    for (const Play& play : plays) AddTextIn(groups, OutcomeSentence(play), play.codePage);
    return groups;
}

CheckResult CheckDisc(const DiscTree& tree, CheckScope scope, const CodePages& codePages, const Medium& medium) {
    CheckResult result;
    std::vector<CodePageFindings> runs;
    std::vector<TextInCodePages> searches;  // where the launcher looked for its start page
    Findings signing;
    const CodePages& readers = codePages.empty() ? kWesternWindows : codePages;
    {
        MappedDisc disc(tree.folder);
        unsigned before = AnsiCodePage();
        for (unsigned codePage : readers) {
            SetAnsiCodePage(codePage);
            Play play;
            play.codePage = codePage;
            CodePageFindings run{{codePage}, {}};
            std::optional<std::string> searched;
            PlayDisc(tree, play, run.findings, searched);
            result.plays.push_back(std::move(play));
            runs.push_back(std::move(run));
            if (searched) AddTextIn(searches, *searched, codePage);
        }
        SetAnsiCodePage(before);
        const AutoPlay& autoplay = result.autoplay();
        std::string program;
        if (autoplay.launcher && PosixPathOf(*autoplay.program, &program)) {
            result.signature = CheckLauncherSignature(program, Shown(*autoplay.program),
                                                      DiscPath(tree, *autoplay.program), signing);
        }
    }
    result.findings = MergeCodePages(runs);
    for (const Finding& finding : signing.All()) result.findings.Add(finding);
    CheckStartPageNames(tree, searches, result.findings);
    CheckOutcomesAgree(result.plays, result.findings);
    CheckNames(tree, result.findings);
    CheckTree(tree, result.findings, medium);
    if (scope == CheckScope::Everything) CheckLinks(tree, result.findings, readers);
    return result;
}

Result<CheckResult> CheckSiteFolder(const std::filesystem::path& site, const CodePages& codePages,
                                    const SiteOptions& options) {
    Result<SiteDisc> read = ReadSiteDisc(site, options.exclude);
    if (!read) return Error{read.error()};
    SiteDisc& asItStands = read.value();
    Result<ScratchFolder> scratch = ScratchFolder::Create();
    if (!scratch) return Error{scratch.error()};
    // The folder as it stands starts nothing without autorun.inf; then what
    // the disc made of it does, and everything it holds, is the rest of the
    // report. A site whose root holds what disc refuses is checked as it stands.
    std::optional<SiteDisc> made;
    if (options.launcher && !asItStands.ownAutorun) {
        made = asItStands;
        std::string label = site.filename().empty() ? site.parent_path().filename().string() : site.filename().string();
        Additions additions{*options.launcher, false, "", AsciiLabel(label.empty() ? "DISC" : label)};
        Result<bool> added = AddToRoot(*made, additions, scratch->path());
        if (added) added = ShowAsDisc(*made, scratch->path() / "disc");
        if (!added) made.reset();
    }
    Result<bool> shown = ShowAsDisc(asItStands, scratch->path() / "site");
    if (!shown) return Error{shown.error()};
    if (!made) {
        CheckResult result = CheckDisc(asItStands.tree, CheckScope::Everything, codePages, *options.medium);
        AddLeftOutNote(asItStands.leftOut, result.findings);
        return result;
    }
    CheckResult result = CheckDisc(asItStands.tree, CheckScope::WithoutLinks, codePages, *options.medium);
    CheckResult disc = CheckDisc(made->tree, CheckScope::Everything, codePages, *options.medium);
    Findings findings;
    for (const Finding& f : result.findings.All()) {
        if (f.id == "autorun-missing") findings.Add(f);
    }
    for (const Finding& f : disc.findings.All()) findings.Add(f);
    AddLeftOutNote(made->leftOut, findings);
    result.findings = std::move(findings);
    result.discPlays = std::move(disc.plays);
    result.discAdds = made->added;
    result.signature = std::move(disc.signature);
    return result;
}

}  // namespace publisher
