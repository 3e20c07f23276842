// The report: the outcome, one entry per problem in text, every occurrence and problem in JSON.
#include "report.h"

#include "code_page.h"
#include "code_page_names.h"
#include "display_path.h"
#include "problems.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace publisher {

namespace {

const char* Browser(const Outcome& outcome) { return outcome.useIE ? "ie" : "default"; }

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

// Every place on a line of its own, with its own sentence.
std::string EveryPlace(const Problem& problem) {
    std::string text;
    for (const Finding* place : problem.places) {
        if (problem.places.size() == 1 && place->path.empty()) break;
        text += "  --> " + (place->path.empty() ? "" : place->path + ": ") + place->message + "\n";
    }
    return text;
}

// Per id, as linters end: how many causes, and how many occurrences they
// have, in columns.
std::string CountsPerId(const std::vector<Problem>& problems) {
    struct Count {
        std::string id;
        std::size_t causes = 0, occurrences = 0;
    };
    std::vector<Count> counts;
    for (const Problem& problem : problems) {
        if (counts.empty() || counts.back().id != problem.id) counts.push_back(Count{problem.id});
        counts.back().causes++;
        counts.back().occurrences += problem.places.size();
    }
    std::size_t causesWidth = 0, occurrencesWidth = 0;
    for (const Count& count : counts) {
        causesWidth = std::max(causesWidth, Counted(count.causes, "", "").size());
        occurrencesWidth = std::max(occurrencesWidth, Counted(count.occurrences, "", "").size());
    }
    auto column = [](std::size_t n, std::size_t width, const char* one, const char* many, std::size_t nounWidth) {
        std::string number = Counted(n, "", "");
        std::string noun = n == 1 ? one : many;
        return std::string(width - number.size(), ' ') + number + noun + std::string(nounWidth - noun.size(), ' ');
    };
    std::string text;
    for (const Count& count : counts) {
        text += column(count.causes, causesWidth, "cause", "causes", 6) + "  " +
                column(count.occurrences, occurrencesWidth, "occurrence", "occurrences", 11) + "  " + count.id + "\n";
    }
    return text;
}

using Json = nlohmann::ordered_json;

Json Shown(const std::vector<std::string>& paths) {
    Json shown = Json::array();
    for (const std::string& path : paths) shown.push_back(DisplayPath(path));
    return shown;
}

// One code page's outcome: the page and browser, the help page's message and
// fragment, or why nothing starts; ANSI texts decoded from its code page.
Json OutcomeJson(const Play& play) {
    const Outcome& outcome = play.outcome;
    Json out;
    switch (outcome.kind) {
        case Outcome::Kind::Page:
            out["kind"] = "page";
            out["page"] = AnsiToUtf8(outcome.page, play.codePage);
            out["browser"] = Browser(outcome);
            break;
        case Outcome::Kind::Help:
            out["kind"] = "help";
            out["message"] = std::string(1, outcome.message ? outcome.message : '?');
            out["fragment"] = AnsiToUtf8(outcome.fragment, play.codePage);
            break;
        case Outcome::Kind::None:
            out["kind"] = "none";
            out["why"] = outcome.why;
            break;
    }
    return out;
}

// Each code page's outcome, with its number.
Json OutcomesJson(const std::vector<Play>& plays) {
    Json outcomes = Json::array();
    for (const Play& each : plays) {
        Json outcome{{"code_page", each.codePage}};
        outcome.update(OutcomeJson(each));
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

}  // namespace

namespace {

std::string PlaysText(const std::vector<Play>& plays) {
    // On a Western Windows alone, the sentence says it all.
    if (plays.size() == 1 && plays.front().codePage == 1252) return OutcomeSentence(plays.front());
    std::string text;
    for (const TextInCodePages& group : OutcomeGroups(plays)) {
        text += (text.empty() ? "On Windows in " : "\nIn ") + CodePageList(group.codePages) + ": " + group.text;
    }
    return text;
}

}  // namespace

std::string OutcomeText(const CheckResult& result) {
    if (result.discPlays.empty()) return PlaysText(result.plays);
    bool launcher = std::find(result.discAdds.begin(), result.discAdds.end(), "kelmora.exe") != result.discAdds.end();
    std::string made = PlaysText(result.discPlays);
    if (made.compare(0, 3, "On ") == 0) made[0] = 'o';
    return std::string("There is no autorun.inf in the root. With the autorun.inf ") +
           (launcher ? "and kelmora.exe " : "") + "that ondrelle disc adds, " + made;
}

std::string ImageText(const ImageProof& proof) {
    if (!proof.whole()) {
        return "The image is damaged (" + Counted(proof.damage.size(), "image-damaged error", "image-damaged errors") +
               " below): " + (proof.damage.front().path.empty() ? "" : DisplayPath(proof.damage.front().path) + ": ") +
               proof.damage.front().what;
    }
    if (!proof.checksums) {
        return "The image's length, extents and trees are sound; it records no MD5 checksums, so its content is "
               "not proven.";
    }
    return "The image is whole: its length, its extents, its two trees and the MD5 checksums of its session and of "
           "its " + Counted(proof.filesProven, "file", "files") + " agree.";
}

std::string TextReport(const CheckResult& result, bool colour, bool verbose) {
    std::string text = (result.image ? ImageText(*result.image) + "\n" : "") + OutcomeText(result) + "\n";
    std::vector<Problem> problems = ProblemsOf(result.findings);
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
            if (problem.targets.empty() && !first.path.empty()) text += " --> " + Place(first);
            if (more > 0) text += " " + Counted(more, "more note", "more notes") + " like it; --verbose lists them.";
            text += "\n";
            continue;
        }
        text += Headline(problem, colour) + "\n" + (verbose ? EveryPlace(problem) : Places(problem));
    }
    if (problems.empty()) return text + "\nNo findings.\n";
    text += "\n" + CountsPerId(problems);  // the summary line right below
    std::vector<std::string> parts;
    if (counts[0] > 0) parts.push_back(Counted(counts[0], "error", "errors"));
    if (counts[1] > 0) parts.push_back(Counted(counts[1], "warning", "warnings"));
    if (counts[2] > 0) parts.push_back(Counted(counts[2], "note", "notes"));
    std::string summary = FirstFew(parts, parts.size());
    return text + (counts[0] == 0 ? "No errors: " + summary : summary) + ".\n";
}

std::string JsonReport(const CheckResult& result, const std::string& path) {
    const Play& first = result.plays.front();
    const AutoPlay& autoplay = first.autoplay;
    auto shown = [&](const std::string& ansi) { return AnsiToUtf8(ansi, first.codePage); };
    Json report;
    report["path"] = DisplayPath(path);
    Json& play = report["autoplay"];
    play["open"] = autoplay.autorun.open ? Json(shown(*autoplay.autorun.open)) : Json(nullptr);
    play["program"] = autoplay.program ? Json(shown(*autoplay.program)) : Json(nullptr);
    play["launcher"] = autoplay.launcher;
    if (result.image) {
        const ImageProof& proof = *result.image;
        Json damage = Json::array();
        for (const ImageDamage& d : proof.damage) damage.push_back({{"path", DisplayPath(d.path)}, {"what", d.what}});
        report["image"] = {{"whole", proof.whole()},       {"checksums", proof.checksums},
                           {"size", proof.size},           {"volume_size", proof.volumeSize},
                           {"files_proven", proof.filesProven}, {"damage", std::move(damage)}};
    }
    if (result.signature) {
        const Signature& s = *result.signature;
        auto moment = [](std::int64_t seconds) { return seconds ? Json(MomentOf(seconds)) : Json(nullptr); };
        report["signature"] = {{"signed", s.present},
                               {"signer", s.present ? Json(s.signer) : Json(nullptr)},
                               {"issuer", s.present ? Json(s.issuer) : Json(nullptr)},
                               {"matches", s.matches},
                               {"verified", s.verified},
                               {"timestamp", s.timestamp ? moment(*s.timestamp) : Json(nullptr)},
                               {"expires", s.present ? moment(s.notAfter) : Json(nullptr)}};
    }
    report["outcome"] = OutcomeJson(first);
    report["outcomes"] = OutcomesJson(result.plays);
    if (!result.discPlays.empty()) {
        // What the disc that ondrelle disc makes of the folder does.
        report["disc_outcome"] = OutcomeJson(result.discPlays.front());
        report["disc_outcomes"] = OutcomesJson(result.discPlays);
    }
    Json findings = Json::array();
    for (const Finding& f : result.findings.Sorted()) {
        Json finding{{"severity", SeverityName(f.severity)},
                     {"id", f.id},
                     {"path", DisplayPath(f.path)},
                     {"message", DisplayPath(f.message)}};
        if (!f.target.empty()) finding["target"] = DisplayPath(f.target);
        if (f.line > 0) finding["line"] = f.line;
        if (!f.codePages.empty()) finding["code_pages"] = f.codePages;
        findings.push_back(std::move(finding));
    }
    report["findings"] = std::move(findings);
    // The same findings, one entry per cause with all its places.
    Json problems = Json::array();
    for (const Problem& p : ProblemsOf(result.findings)) {
        Json problem{{"severity", SeverityName(p.severity)}, {"id", p.id}, {"kind", CauseKindName(p.kind)}};
        if (!p.cause.empty()) problem["cause"] = DisplayPath(p.cause);
        if (!p.folders.empty()) problem["folders"] = Shown(p.folders);
        problem["targets"] = Shown(p.targets);
        if (!p.codePages.empty()) problem["code_pages"] = p.codePages;
        problem["message"] = DisplayPath(p.message);
        problem["pages"] = p.pages;
        Json places = Json::array();
        for (const Finding* f : p.places) {
            Json place{{"path", DisplayPath(f->path)}};
            if (f->line > 0) place["line"] = f->line;
            if (p.targets.size() > 1) place["target"] = DisplayPath(f->target);
            places.push_back(std::move(place));
        }
        problem["places"] = std::move(places);
        problems.push_back(std::move(problem));
    }
    report["problems"] = std::move(problems);
    return report.dump(2) + "\n";
}

}  // namespace publisher
