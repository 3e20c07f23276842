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
};

// The places of one problem: one finding that stands alone, or every
// finding with the same id and target.
struct Problem {
    Severity severity;
    std::string id;
    std::string target;
    std::string message;                  // the problem's own sentence
    std::vector<const Finding*> places;   // in the order found
    std::size_t pages = 0;                // distinct paths among the places
};

// Every id there is, with its severity; an id not in the table is a bug.
Severity SeverityOf(std::string_view id);
const char* SeverityName(Severity severity);

class Findings {
public:
    void Add(std::string_view id, std::string path, std::string message);
    // A place of a problem that others may share: the same id and target.
    void AddPlace(std::string_view id, std::string path, unsigned line, std::string target, std::string problem,
                  std::string message);
    bool HasErrors() const;
    // Errors, then warnings, then notes; by path within each, stable.
    std::vector<Finding> Sorted() const;
    // Errors, then warnings, then notes; by id, then where each is first found.
    // The problems point into this object.
    std::vector<Problem> Problems() const;
    const std::vector<Finding>& All() const { return all_; }

private:
    std::vector<Finding> all_;
};

}  // namespace publisher

#endif
