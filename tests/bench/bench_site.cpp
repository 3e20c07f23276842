#include "bench_site.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string root;

void RemoveRoot() {
    if (!root.empty() && system(("rm -rf '" + root + "'").c_str()) != 0) {
        fprintf(stderr, "bench: could not remove %s\n", root.c_str());
    }
}

}  // namespace

void BenchFail(const char* what) {
    fprintf(stderr, "bench: %s\n", what);
    exit(1);
}

const std::string& BenchRoot() {
    if (root.empty()) {
        const char* base = getenv("TMPDIR");
        root = std::string(base && *base ? base : "/tmp") + "/ondrelle-bench-" +
               std::to_string(getpid()) + "/";
        if (mkdir(root.c_str(), 0755) != 0) BenchFail("cannot make the scratch directory");
        atexit(RemoveRoot);
    }
    return root;
}
