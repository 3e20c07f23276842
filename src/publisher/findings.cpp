#include "findings.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>

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
    {"link-broken", Severity::Warning},
    {"link-anchor-missing", Severity::Warning},
    {"link-outside-disc", Severity::Warning},
    {"disc-too-large", Severity::Warning},
    {"autorun-cut", Severity::Warning},
    {"name-not-ansi", Severity::Warning},
    {"label-changed", Severity::Warning},
    {"image-no-joliet", Severity::Warning},
    {"link-case-mismatch", Severity::Note},
    {"link-external", Severity::Note},
    {"link-folder", Severity::Note},
    {"page-not-checked", Severity::Note},
    {"left-out", Severity::Note},
};

}  // namespace

Severity SeverityOf(std::string_view id) {
    for (const IdSeverity& known : kIds) {
        if (id == known.id) return known.severity;
    }
    std::fprintf(stderr, "ondrelle: internal error: unknown finding id %.*s\n", int(id.size()), id.data());
    std::abort();
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
    all_.push_back(Finding{SeverityOf(id), std::string(id), std::move(path), std::move(message)});
}

bool Findings::HasErrors() const {
    return std::any_of(all_.begin(), all_.end(), [](const Finding& f) { return f.severity == Severity::Error; });
}

std::vector<Finding> Findings::Sorted() const {
    std::vector<Finding> sorted = all_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) {
        if (a.severity != b.severity) return a.severity < b.severity;
        return a.path < b.path;
    });
    return sorted;
}

}  // namespace publisher
