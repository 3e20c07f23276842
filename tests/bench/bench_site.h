// A scratch directory for the benchmarks, made on first use and removed at
// exit.
#ifndef ONDRELLE_BENCH_SITE_H
#define ONDRELLE_BENCH_SITE_H

#include <string>

// POSIX path of this process's scratch directory, with a trailing slash.
const std::string& BenchRoot();
// Stops the run with a message: a benchmark without its data measures nothing.
[[noreturn]] void BenchFail(const char* what);

#endif
