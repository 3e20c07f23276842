// What a check found: each finding has a stable id, a severity that the id
// decides, the path it is about and a sentence that says what to do.
#ifndef ONDRELLE_PUBLISHER_FINDINGS_H
#define ONDRELLE_PUBLISHER_FINDINGS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace publisher {

enum class Severity { Error, Warning, Note };

// What many findings can have as their one cause: a file (a link's target,
// or the place itself), a folder that is missing, a folder above the disc's
// root that links lead to, a page's missing anchors, or one of these missed
// alike in sibling folders.
enum class CauseKind { File, Folder, AboveRoot, Anchors, Siblings };

struct Finding {
    Severity severity;
    std::string id;
    std::string path;  // relative to the disc's root, '/'-separated, UTF-8; "" for the disc
    std::string message;
    // What many places can share, a link's target or an address; "" when the
    // finding stands alone.
    std::string target;
    unsigned line = 0;    // in `path`; 0 for none
    std::string problem;  // the sentence for every place of this id and target
    // The code pages checked in which it holds, when not in all of them.
    std::vector<unsigned> codePages;
    // What its places have in common beyond the target: the cause that a
    // publisher mends. File: the target itself.
    CauseKind causeKind = CauseKind::File;
    std::string cause;  // Folder: the missing folder; AboveRoot: "../libs"; Anchors: the page
};

// Every id there is, with its severity; an id not in the table is a bug.
Severity SeverityOf(std::string_view id);
bool IsFindingId(std::string_view id);
// Where the id stands in the report among those of its severity.
std::size_t RankOf(std::string_view id);
const char* SeverityName(Severity severity);

class Findings {
public:
    void Add(std::string_view id, std::string path, std::string message);
    // A place of a problem that others may share: the same id and target.
    void AddPlace(std::string_view id, std::string path, unsigned line, std::string target, std::string problem,
                  std::string message, CauseKind causeKind = CauseKind::File, std::string cause = "");
    void Add(Finding finding);
    bool HasErrors() const;
    // Errors, then warnings, then notes; by path within each, stable.
    std::vector<Finding> Sorted() const;
    // The findings without those of these ids.
    Findings Without(const std::vector<std::string>& ids) const;
    const std::vector<Finding>& All() const { return all_; }

private:
    std::vector<Finding> all_;
};

// What one run of a check found, on Windows in some of the code pages checked.
struct CodePageFindings {
    std::vector<unsigned> codePages;
    Findings findings;
};

// The runs of one check over all the code pages checked, as one: a finding
// that every run made stands as it is; one that only some made lists their
// code pages and says so before its sentences.
Findings MergeCodePages(const std::vector<CodePageFindings>& runs);

}  // namespace publisher

#endif
