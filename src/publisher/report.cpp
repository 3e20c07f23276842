#include "report.h"

#include "code_page.h"
#include "names.h"

#include <nlohmann/json.hpp>

namespace publisher {

namespace {

std::string Shown(const std::string& ansi) { return AnsiToUtf8(ansi); }

const char* Browser(const Outcome& outcome) { return outcome.useIE ? "ie" : "default"; }

}  // namespace

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

std::string TextReport(const CheckResult& result, bool colour) {
    struct Group {
        Severity severity;
        const char* title;
        const char* colour;
    };
    const Group groups[] = {{Severity::Error, "error", "\033[1;31m"},
                            {Severity::Warning, "warning", "\033[1;33m"},
                            {Severity::Note, "note", "\033[1;36m"}};
    std::string text = OutcomeSentence(result) + "\n";
    std::vector<Finding> sorted = result.findings.Sorted();
    for (const Group& group : groups) {
        size_t count = 0;
        for (const Finding& f : sorted) count += f.severity == group.severity;
        if (count == 0) continue;
        text += "\n";
        if (colour) text += group.colour;
        text += std::to_string(count) + " " + group.title + (count > 1 ? "s" : "");
        if (colour) text += "\033[0m";
        text += "\n";
        for (const Finding& f : sorted) {
            if (f.severity != group.severity) continue;
            text += "  " + f.id + "  " + (f.path.empty() ? "(the disc)" : f.path) + "\n      " + f.message + "\n";
        }
    }
    if (!result.findings.HasErrors()) text += sorted.empty() ? "\nNo findings.\n" : "\nNo errors.\n";
    return text;
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
        findings.push_back(Json{{"severity", SeverityName(f.severity)},
                                {"id", f.id},
                                {"path", DisplayPath(f.path)},
                                {"message", DisplayPath(f.message)}});
    }
    report["findings"] = std::move(findings);
    return report.dump(2) + "\n";
}

}  // namespace publisher
