// A scratch directory per process for the fuzzers and benchmarks, removed at
// exit. Made under TMPDIR (default /tmp).
#ifndef ONDRELLE_SCRATCH_ROOT_H
#define ONDRELLE_SCRATCH_ROOT_H

#include <string>

// POSIX path "<TMPDIR>/ondrelle-<tag>-<pid>/", freshly made; empty when it
// cannot be made.
std::string MakeScratchRoot(const char* tag);

#endif
