// What a check found: each finding has a stable id, a severity that the id
// decides, the path it is about and a sentence that says what to do.
#ifndef ONDRELLE_PUBLISHER_FINDINGS_H
#define ONDRELLE_PUBLISHER_FINDINGS_H

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
};

// Every id there is, with its severity; an id not in the table is a bug.
Severity SeverityOf(std::string_view id);
const char* SeverityName(Severity severity);

class Findings {
public:
    void Add(std::string_view id, std::string path, std::string message);
    bool HasErrors() const;
    // Errors, then warnings, then notes; by path within each, stable.
    std::vector<Finding> Sorted() const;
    const std::vector<Finding>& All() const { return all_; }

private:
    std::vector<Finding> all_;
};

}  // namespace publisher

#endif
