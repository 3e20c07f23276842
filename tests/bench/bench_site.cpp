#include "bench_site.h"

#include "scratch_root.h"

#include <stdio.h>
#include <stdlib.h>

void BenchFail(const char* what) {
    fprintf(stderr, "bench: %s\n", what);
    exit(1);
}

const std::string& BenchRoot() {
    static std::string root;
    if (root.empty()) {
        root = MakeScratchRoot("bench");
        if (root.empty()) BenchFail("cannot make the scratch directory");
    }
    return root;
}
