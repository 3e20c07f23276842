// The findings grouped by cause, and each cause's sentence.
#include "problems.h"

#include "code_page.h"
#include "code_page_names.h"
#include "display_path.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace publisher {

namespace {

std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    for (size_t start = 0; start <= path.size();) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

std::string Joined(const std::vector<std::string>& parts, size_t from, size_t to) {
    std::string path;
    for (size_t i = from; i < to; i++) path += (i == from ? "" : "/") + parts[i];
    return path;
}

// "libs/x.html" as Windows writes it below a folder: "libs\x.html".
std::string Backslashed(const std::string& raw) {
    std::string shown = DisplayPath(raw);
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}

// Where links leave the disc: the folder (or file) right above the root
// that "../../libs/x/y.html" reaches, "../../libs".
std::string AboveRootHead(const std::string& path) {
    size_t at = 0;
    while (path.compare(at, 3, "../") == 0) at += 3;
    size_t slash = path.find('/', at);
    return slash == std::string::npos ? path : path.substr(0, slash);
}

std::string CauseOf(const Finding& f) {
    switch (f.causeKind) {
        case CauseKind::File: return f.target;
        case CauseKind::AboveRoot: return AboveRootHead(f.cause);
        default: return f.cause;
    }
}

// What a place adds to its cause: its target, or above the root the path it reaches.
const std::string& TargetOf(const Finding& f) { return f.causeKind == CauseKind::AboveRoot ? f.cause : f.target; }

std::string CodePagesKey(const std::vector<unsigned>& codePages) {
    std::string key;
    for (unsigned codePage : codePages) key += std::to_string(codePage) + ',';
    return key;
}

// Windows finds names regardless of case, so a missing file is one however
// its links write it; only a mismatch of case is about how they write it.
// A page's missing anchors are first grouped one by one, so that the same
// anchor missed in sibling folders can be joined before the rest are
// grouped by page.
std::string KeyOf(const Finding& f) {
    std::string cause = f.id == "link-case-mismatch" ? CauseOf(f) : FoldedName(CauseOf(f));
    if (f.causeKind == CauseKind::Anchors) cause += '\n' + f.target.substr(f.target.find('#') + 1);
    return f.id + '\n' + char('0' + int(f.causeKind)) + '\n' + cause + '\n' + CodePagesKey(f.codePages);
}

// The targets and pages of a problem's places.
void Tally(Problem& problem) {
    std::unordered_set<std::string> targets;
    std::unordered_set<std::string_view> paths;
    problem.targets.clear();
    for (const Finding* place : problem.places) {
        const std::string& target = TargetOf(*place);
        std::string folded = problem.id == "link-case-mismatch" ? target : FoldedName(target);
        if (!target.empty() && targets.insert(folded).second) problem.targets.push_back(target);
        paths.insert(place->path);
    }
    problem.pages = paths.size();
}

// What follows `prefix` + "/" in each path below it, as shown there.
std::vector<std::string> Below(const std::vector<std::string>& paths, const std::string& prefix) {
    std::vector<std::string> shown;
    for (const std::string& path : paths) {
        if (path.size() > prefix.size()) shown.push_back(Backslashed(path.substr(prefix.size() + 1)));
    }
    return shown;
}

std::vector<std::string> QuotedAnchors(const Problem& problem) {
    std::vector<std::string> anchors;
    std::unordered_set<std::string> seen;
    for (const std::string& target : problem.targets) {
        std::string anchor = "\"" + DisplayPath(target.substr(target.find('#') + 1)) + "\"";
        if (seen.insert(anchor).second) anchors.push_back(anchor);
    }
    return anchors;
}

std::string MissingAnchors(const std::vector<std::string>& anchors) {
    if (anchors.size() == 1) return "has no anchor " + anchors.front() + " (as id= or name=)";
    return "has none of the " + Counted(anchors.size(), "anchor", "anchors") + " that links name (" +
           FirstFew(anchors) + ") as id= or name=";
}

std::string SiblingsSentence(const Problem& problem) {
    const std::string& first = problem.folders.front();
    size_t slash = first.rfind('/');
    std::string parent = slash == std::string::npos ? "" : first.substr(0, slash);
    std::vector<std::string> names;
    for (const std::string& folder : problem.folders) names.push_back(Backslashed(folder.substr(parent.size() + !parent.empty())) + "\\");
    std::string where = Counted(problem.folders.size(), "folder", "folders") + " of " +
                        (parent.empty() ? "D:\\" : WindowsForm(parent) + "\\") + " (" + FirstFew(names) + ")";
    std::string shared = ", or correct the links, which such folders often share through a template.";
    if (problem.id == "link-anchor-missing") {
        std::vector<std::string> anchors = QuotedAnchors(problem);
        return Backslashed(problem.cause) + " in " + where + " " + MissingAnchors(anchors) + "; add " +
               (anchors.size() == 1 ? "it" : "them") + " to each" + shared;
    }
    std::vector<std::string> below = Below(problem.targets, first + "/" + problem.cause);
    if (!below.empty()) {
        return "The folder " + Backslashed(problem.cause) + "\\ is not on the disc in " + where + ", and links name " +
               Counted(problem.targets.size(), "file", "files") + " in them; add it to each" + shared;
    }
    return Backslashed(problem.cause) + " is not on the disc in " + where + "; add it to each" + shared;
}

std::string Sentence(const Problem& problem) {
    const Finding& first = *problem.places.front();
    switch (problem.kind) {
        case CauseKind::Folder: {
            std::vector<std::string> files = Below(problem.targets, problem.cause);
            return WindowsForm(problem.cause) + "\\ is not on the disc, and links name " +
                   Counted(files.size(), "file", "files") + " in it (" + FirstFew(files) +
                   "); add the folder, or correct the links to it.";
        }
        case CauseKind::AboveRoot: {
            std::vector<std::string> files = Below(problem.targets, problem.cause);
            std::string name = Backslashed(problem.cause.substr(problem.cause.rfind('/') + 1));
            // A link to a folder above the root itself, "../..", names no folder of its own.
            bool folder = !files.empty() || name == "..";
            std::string mend = name == ".." ? "Make the disc of that folder"
                                            : "Make the disc of a folder that holds " + name + (folder ? "\\" : "") +
                                                  " as well";
            return WindowsForm(problem.cause) + (folder ? "\\" : "") + " is above the disc's root" +
                   (files.empty() ? ", where links lead"
                                  : ", and links lead to " + Counted(files.size(), "file", "files") + " in it (" +
                                        FirstFew(files) + ")") +
                   ": the site was probably copied out of a larger tree. " + mend + ", or link to it on the web.";
        }
        case CauseKind::Anchors: {
            std::vector<std::string> anchors = QuotedAnchors(problem);
            if (anchors.size() == 1) return first.problem.empty() ? first.message : first.problem;
            return DisplayPath(problem.cause) + " " + MissingAnchors(anchors) +
                   "; add them, or correct the links to them.";
        }
        case CauseKind::Siblings:
            return SiblingsSentence(problem);
        case CauseKind::File:
            break;
    }
    return first.problem.empty() ? first.message : first.problem;
}

// Several problems of one id that miss the same path below sibling folders,
// as one: a manual per language whose pages share a template.
Problem Siblings(const std::vector<Problem*>& members, size_t varying, const std::string& rest) {
    const Problem& first = *members.front();
    Problem siblings{first.severity, first.id, CauseKind::Siblings, rest, {}, {}, first.codePages, "", {}, 0};
    for (const Problem* member : members) {
        siblings.folders.push_back(Joined(Parts(member->cause), 0, varying + 1));
        siblings.places.insert(siblings.places.end(), member->places.begin(), member->places.end());
    }
    std::sort(siblings.places.begin(), siblings.places.end());  // the order found: they are one array's
    Tally(siblings);
    return siblings;
}

bool CanHaveSiblings(const Problem& problem) {
    return (problem.id == "link-broken" && (problem.kind == CauseKind::File || problem.kind == CauseKind::Folder)) ||
           (problem.id == "link-anchor-missing" && problem.kind == CauseKind::Anchors);
}

// Joins the problems that miss one path below several folders of one
// parent; each problem joins the largest such group it is in.
void JoinSiblings(std::vector<Problem>& problems) {
    struct Group {
        std::string rest;
        size_t varying;
        std::vector<size_t> members;
    };
    std::map<std::string, Group> groups;
    for (size_t i = 0; i < problems.size(); i++) {
        const Problem& problem = problems[i];
        if (!CanHaveSiblings(problem)) continue;
        std::vector<std::string> parts = Parts(problem.cause);
        // Pages miss the same only when they miss the same anchor.
        std::string anchors = problem.kind == CauseKind::Anchors ? QuotedAnchors(problem).front() : "";
        for (size_t varying = 0; varying + 1 < parts.size(); varying++) {
            std::string parent = Joined(parts, 0, varying), rest = Joined(parts, varying + 1, parts.size());
            std::string key = problem.id + '\n' + char('0' + int(problem.kind)) + '\n' +
                              CodePagesKey(problem.codePages) + '\n' + parent + '\n' + rest + '\n' + anchors;
            Group& group = groups.emplace(key, Group{rest, varying, {}}).first->second;
            group.members.push_back(i);
        }
    }
    std::vector<const Group*> largest;
    for (const auto& [key, group] : groups) {
        if (group.members.size() > 1) largest.push_back(&group);
    }
    std::stable_sort(largest.begin(), largest.end(),
                     [](const Group* a, const Group* b) { return a->members.size() > b->members.size(); });
    std::vector<bool> joined(problems.size(), false);
    std::vector<Problem> merged;
    for (const Group* group : largest) {
        std::vector<Problem*> members;
        for (size_t i : group->members) {
            if (!joined[i]) members.push_back(&problems[i]);
        }
        if (members.size() < 2) continue;
        for (size_t i : group->members) joined[i] = true;
        merged.push_back(Siblings(members, group->varying, group->rest));
    }
    for (size_t i = 0; i < problems.size(); i++) {
        if (!joined[i]) merged.push_back(std::move(problems[i]));
    }
    problems = std::move(merged);
}

// The anchors of one page as one problem, and the anchors that the same
// sibling folders miss as one.
void JoinAnchors(std::vector<Problem>& problems) {
    std::vector<Problem> joined;
    std::unordered_map<std::string, size_t> at;
    for (Problem& problem : problems) {
        if (problem.id != "link-anchor-missing") {
            joined.push_back(std::move(problem));
            continue;
        }
        std::string key = char('0' + int(problem.kind)) + FoldedName(problem.cause) + '\n' + CodePagesKey(problem.codePages);
        for (const std::string& folder : problem.folders) key += '\n' + FoldedName(folder);
        auto [found, fresh] = at.emplace(key, joined.size());
        if (fresh) {
            joined.push_back(std::move(problem));
            continue;
        }
        Problem& into = joined[found->second];
        into.places.insert(into.places.end(), problem.places.begin(), problem.places.end());
        std::sort(into.places.begin(), into.places.end());
        Tally(into);
    }
    problems = std::move(joined);
}

}  // namespace

const char* CauseKindName(CauseKind kind) {
    switch (kind) {
        case CauseKind::File: return "file";
        case CauseKind::Folder: return "folder";
        case CauseKind::AboveRoot: return "above-root";
        case CauseKind::Anchors: return "anchors";
        case CauseKind::Siblings: return "siblings";
    }
    return "file";
}

std::vector<Problem> ProblemsOf(const Findings& findings) {
    std::vector<Problem> problems;
    std::unordered_map<std::string, std::size_t> shared;  // what groups places -> problem
    for (const Finding& f : findings.All()) {
        if (!f.target.empty() || f.causeKind != CauseKind::File) {
            auto [at, fresh] = shared.emplace(KeyOf(f), problems.size());
            if (!fresh) {
                problems[at->second].places.push_back(&f);
                continue;
            }
        }
        problems.push_back(Problem{f.severity, f.id, f.causeKind, CauseOf(f), {}, {}, f.codePages, "", {&f}, 0});
    }
    for (Problem& problem : problems) Tally(problem);
    JoinSiblings(problems);
    JoinAnchors(problems);
    for (Problem& problem : problems) {
        problem.message = Sentence(problem);
        // Where it holds, as a place's own sentence says it already.
        if (problem.codePages.empty()) continue;
        std::string where = "In " + CodePageList(problem.codePages) + ": ";
        if (problem.message.compare(0, where.size(), where) != 0) problem.message = where + problem.message;
    }
    std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) {
        if (a.severity != b.severity) return a.severity < b.severity;
        if (a.id != b.id) return RankOf(a.id) < RankOf(b.id);
        return a.places.front()->path < b.places.front()->path;
    });
    return problems;
}

}  // namespace publisher
