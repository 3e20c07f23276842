// The report: the outcome, one entry per problem in text, every occurrence and problem in JSON.
#include "report.h"

#include "code_page.h"
#include "display_path.h"

#include <nlohmann/json.hpp>

#include <string_view>
#include <unordered_set>
#include <vector>

namespace publisher {

namespace {

std::string Shown(const std::string& ansi) { return AnsiToUtf8(ansi); }

const char* Browser(const Outcome& outcome) { return outcome.useIE ? "ie" : "default"; }

// 1234567 as "1,234,567".
std::string Number(std::size_t n) {
    std::string digits = std::to_string(n), grouped;
    for (std::size_t i = 0; i < digits.size(); i++) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// "warning[link-broken]: the problem's sentence", as compilers head theirs.
std::string Headline(const Problem& problem, bool colour) {
    static const char* const kColours[] = {"\033[1;31m", "\033[1;33m", "\033[1;36m"};
    std::string severity = SeverityName(problem.severity);
    if (colour) severity = kColours[int(problem.severity)] + severity + "\033[0m";
    return severity + "[" + problem.id + "]: " + problem.message;
}

std::string Place(const Finding& place) {
    return place.line > 0 ? place.path + ":" + std::to_string(place.line) : place.path;
}

// Where the problem is: its one place, or how many links on how many pages,
// the first few pages with a line each, and how many more.
std::string Places(const Problem& problem) {
    constexpr std::size_t kShown = 3;
    const Finding& first = *problem.places.front();
    if (problem.places.size() == 1) return first.path.empty() ? "" : "  --> " + Place(first) + "\n";
    std::string text = "  --> " + Counted(problem.places.size(), "link", "links") + " on " +
                       Counted(problem.pages, "page", "pages") + ": ";
    std::unordered_set<std::string_view> shown;
    for (const Finding* place : problem.places) {
        if (shown.size() == kShown) break;
        if (!shown.insert(place->path).second) continue;
        text += (shown.size() > 1 ? ", " : "") + Place(*place);
    }
    if (problem.pages > shown.size()) text += " and " + Counted(problem.pages - shown.size(), "more page", "more pages");
    return text + "\n";
}

}  // namespace

std::string Counted(std::uint64_t n, const char* one, const char* many) {
    return Number(std::size_t(n)) + " " + (n == 1 ? one : many);
}

std::string OutcomeSentence(const CheckResult& result) {
    const Outcome& outcome = result.outcome;
    switch (outcome.kind) {
        case Outcome::Kind::Page:
            return "Windows starts " + Shown(*result.autoplay.program) + ", which opens " + Shown(outcome.page) +
                   (outcome.useIE ? " in Internet Explorer, asking whether to use the default browser when "
                                    "Internet Explorer is missing."
                                  : " in the default browser.");
        case Outcome::Kind::Help:
            return "Windows starts " + Shown(*result.autoplay.program) +
                   ", which shows its help page with message " + std::string(1, outcome.message ? outcome.message : '?') +
                   ".";
        case Outcome::Kind::None:
            break;
    }
    return outcome.why;
}

std::string TextReport(const CheckResult& result, bool colour, bool verbose) {
    std::string text = OutcomeSentence(result) + "\n";
    std::vector<Problem> problems = result.findings.Problems();
    std::size_t counts[3] = {0, 0, 0};
    for (const Problem& problem : problems) counts[int(problem.severity)]++;
    for (std::size_t i = 0; i < problems.size(); i++) {
        const Problem& problem = problems[i];
        bool folded = problem.severity == Severity::Note && !verbose;
        // A blank line before each problem; folded notes stand together.
        if (!(folded && i > 0 && problems[i - 1].severity == Severity::Note)) text += "\n";
        if (folded) {
            // Notes are folded to one line per id: the first, and how many more.
            std::size_t more = 0;
            while (i + 1 < problems.size() && problems[i + 1].id == problem.id) more++, i++;
            text += Headline(problem, colour);
            const Finding& first = *problem.places.front();
            if (problem.target.empty() && !first.path.empty()) text += " --> " + Place(first);
            if (more > 0) text += " " + Counted(more, "more note", "more notes") + " like it; --verbose lists them.";
            text += "\n";
            continue;
        }
        text += Headline(problem, colour) + "\n" + Places(problem);
    }
    if (problems.empty()) return text + "\nNo findings.\n";
    std::vector<std::string> parts;
    if (counts[0] > 0) parts.push_back(Counted(counts[0], "error", "errors"));
    if (counts[1] > 0) parts.push_back(Counted(counts[1], "warning", "warnings"));
    if (counts[2] > 0) parts.push_back(Counted(counts[2], "note", "notes"));
    std::string summary;
    for (std::size_t i = 0; i < parts.size(); i++) {
        summary += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    }
    return text + "\n" + (counts[0] == 0 ? "No errors: " + summary : summary) + ".\n";
}

std::string JsonReport(const CheckResult& result, const std::string& path) {
    using Json = nlohmann::ordered_json;
    const AutoPlay& autoplay = result.autoplay;
    const Outcome& outcome = result.outcome;
    Json report;
    report["path"] = DisplayPath(path);
    Json& play = report["autoplay"];
    play["open"] = autoplay.autorun.open ? Json(Shown(*autoplay.autorun.open)) : Json(nullptr);
    play["program"] = autoplay.program ? Json(Shown(*autoplay.program)) : Json(nullptr);
    play["launcher"] = autoplay.launcher;
    Json& out = report["outcome"];
    switch (outcome.kind) {
        case Outcome::Kind::Page:
            out["kind"] = "page";
            out["page"] = Shown(outcome.page);
            out["browser"] = Browser(outcome);
            break;
        case Outcome::Kind::Help:
            out["kind"] = "help";
            out["message"] = std::string(1, outcome.message ? outcome.message : '?');
            out["fragment"] = Shown(outcome.fragment);
            break;
        case Outcome::Kind::None:
            out["kind"] = "none";
            out["why"] = outcome.why;
            break;
    }
    Json findings = Json::array();
    for (const Finding& f : result.findings.Sorted()) {
        Json finding{{"severity", SeverityName(f.severity)},
                     {"id", f.id},
                     {"path", DisplayPath(f.path)},
                     {"message", DisplayPath(f.message)}};
        if (!f.target.empty()) finding["target"] = DisplayPath(f.target);
        if (f.line > 0) finding["line"] = f.line;
        findings.push_back(std::move(finding));
    }
    report["findings"] = std::move(findings);
    // The same findings, one entry per problem with all its places.
    Json problems = Json::array();
    for (const Problem& p : result.findings.Problems()) {
        Json problem{{"severity", SeverityName(p.severity)}, {"id", p.id}};
        if (!p.target.empty()) problem["target"] = DisplayPath(p.target);
        problem["message"] = DisplayPath(p.message);
        problem["pages"] = p.pages;
        Json places = Json::array();
        for (const Finding* f : p.places) {
            Json place{{"path", DisplayPath(f->path)}};
            if (f->line > 0) place["line"] = f->line;
            places.push_back(std::move(place));
        }
        problem["places"] = std::move(places);
        problems.push_back(std::move(problem));
    }
    report["problems"] = std::move(problems);
    return report.dump(2) + "\n";
}

}  // namespace publisher
