// Another program run to its end: its arguments as a list, never through a
// shell, what it is given on standard input through a pipe (a password is
// never an argument, which every user of the machine can read), and what it
// says on standard output and error, together.
#ifndef ONDRELLE_PUBLISHER_CHILD_PROCESS_H
#define ONDRELLE_PUBLISHER_CHILD_PROCESS_H

#include "result.h"

#include <string>
#include <vector>

namespace publisher {

struct ProgramRun {
    int status = -1;     // the exit status; -1 when a signal ended it
    std::string output;  // standard output and standard error, as they came
};

// Runs `arguments` (the program first, found on PATH); an error when it
// cannot be started, and then `*missing` says whether it is not installed,
// and when it has not ended within `seconds`, when it is ended.
Result<ProgramRun> RunProgram(const std::vector<std::string>& arguments, const std::string& input = "",
                              bool* missing = nullptr, int seconds = 120);

}  // namespace publisher

#endif
