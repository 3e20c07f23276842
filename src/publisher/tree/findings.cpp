// The findings: each id with its severity, and the same findings grouped into problems.
#include "findings.h"

#include "code_page_names.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <iterator>
#include <map>

namespace publisher {

namespace {

struct IdSeverity {
    const char* id;
    Severity severity;
};

// Documented in README.md's findings table; keep the two alike.
const IdSeverity kIds[] = {
    {"autorun-missing", Severity::Error},
    {"autorun-encoding", Severity::Error},
    {"autorun-no-open", Severity::Error},
    {"program-missing", Severity::Error},
    {"program-not-launcher", Severity::Error},
    {"launcher-help", Severity::Error},
    {"name-too-long", Severity::Error},
    {"path-too-long", Severity::Error},
    {"name-case-collision", Severity::Error},
    {"name-reserved", Severity::Error},
    {"name-invalid", Severity::Error},
    {"name-trailing-dot-or-space", Severity::Error},
    {"file-too-large", Severity::Error},
    {"symlink-outside", Severity::Error},
    {"symlink-broken", Severity::Error},
    {"special-file", Severity::Error},
    {"image-damaged", Severity::Error},
    {"link-broken", Severity::Warning},
    {"link-anchor-missing", Severity::Warning},
    {"link-outside-disc", Severity::Warning},
    {"disc-too-large", Severity::Warning},
    {"autorun-cut", Severity::Warning},
    {"name-not-ansi", Severity::Warning},
    {"outcome-differs", Severity::Warning},
    {"label-changed", Severity::Warning},
    {"image-no-joliet", Severity::Warning},
    {"page-module-script", Severity::Warning},
    {"page-base-off-disc", Severity::Warning},
    {"page-encoding-undeclared", Severity::Warning},
    {"launcher-unsigned", Severity::Warning},
    {"signature-mismatch", Severity::Warning},
    {"signature-untrusted", Severity::Warning},
    {"signature-expires", Severity::Warning},
    {"link-case-mismatch", Severity::Note},
    {"link-external", Severity::Note},
    {"link-folder", Severity::Note},
    {"page-not-checked", Severity::Note},
    {"image-unproven", Severity::Note},
    {"launcher-signed", Severity::Note},
    {"signature-unread", Severity::Note},
    {"left-out", Severity::Note},
    {"start-page-guessed", Severity::Note},
};

}  // namespace

Severity SeverityOf(std::string_view id) {
    for (const IdSeverity& known : kIds) {
        if (id == known.id) return known.severity;
    }
    std::fprintf(stderr, "ondrelle: internal error: unknown finding id %.*s\n", int(id.size()), id.data());
    std::abort();
}

bool IsFindingId(std::string_view id) {
    return std::any_of(std::begin(kIds), std::end(kIds), [&](const IdSeverity& known) { return id == known.id; });
}

std::size_t RankOf(std::string_view id) {
    return std::size_t(std::find_if(std::begin(kIds), std::end(kIds), [&](const IdSeverity& k) { return id == k.id; }) -
                       std::begin(kIds));
}

const char* SeverityName(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Note: return "note";
    }
    return "note";
}

void Findings::Add(std::string_view id, std::string path, std::string message) {
    all_.push_back(Finding{SeverityOf(id), std::string(id), std::move(path), std::move(message), "", 0, "", {},
                           CauseKind::File, ""});
}

void Findings::Add(Finding finding) { all_.push_back(std::move(finding)); }

void Findings::AddPlace(std::string_view id, std::string path, unsigned line, std::string target,
                        std::string problem, std::string message, CauseKind causeKind, std::string cause) {
    all_.push_back(Finding{SeverityOf(id), std::string(id), std::move(path), std::move(message), std::move(target),
                           line, std::move(problem), {}, causeKind, std::move(cause)});
}

bool Findings::HasErrors() const {
    return std::any_of(all_.begin(), all_.end(), [](const Finding& f) { return f.severity == Severity::Error; });
}

Findings Findings::Without(const std::vector<std::string>& ids) const {
    Findings kept;
    for (const Finding& f : all_) {
        if (std::find(ids.begin(), ids.end(), f.id) == ids.end()) kept.Add(f);
    }
    return kept;
}

std::vector<Finding> Findings::Sorted() const {
    std::vector<Finding> sorted = all_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) {
        if (a.severity != b.severity) return a.severity < b.severity;
        return a.path < b.path;
    });
    return sorted;
}

Findings MergeCodePages(const std::vector<CodePageFindings>& runs) {
    if (runs.size() == 1) return runs.front().findings;
    std::size_t all = 0;
    for (const CodePageFindings& run : runs) all += run.codePages.size();
    struct Seen {
        const Finding* first;
        std::vector<unsigned> codePages;
    };
    std::vector<Seen> seen;
    std::map<std::string, std::size_t> index;
    for (const CodePageFindings& run : runs) {
        for (const Finding& f : run.findings.All()) {
            std::string key = f.id + '\n' + f.path + '\n' + std::to_string(f.line) + '\n' + f.target + '\n' +
                              f.message + '\n' + f.problem;
            auto [at, fresh] = index.emplace(key, seen.size());
            if (fresh) seen.push_back(Seen{&f, {}});
            std::vector<unsigned>& where = seen[at->second].codePages;
            // Once per run, though a run may find it twice.
            if (where.empty() || where.back() != run.codePages.back())
                where.insert(where.end(), run.codePages.begin(), run.codePages.end());
        }
    }
    Findings merged;
    for (const Seen& s : seen) {
        Finding f = *s.first;
        if (s.codePages.size() < all) {
            std::string where = "In " + CodePageList(s.codePages) + ": ";
            f.message = where + f.message;
            if (!f.problem.empty()) f.problem = where + f.problem;
            f.codePages = s.codePages;
        }
        merged.Add(std::move(f));
    }
    return merged;
}

}  // namespace publisher
