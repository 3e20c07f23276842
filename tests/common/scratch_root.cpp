#include "scratch_root.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string madeRoot;

void RemoveRoot() {
    if (!madeRoot.empty() && system(("rm -rf '" + madeRoot + "'").c_str()) != 0) {
        fprintf(stderr, "could not remove %s\n", madeRoot.c_str());
    }
}

}  // namespace

std::string MakeScratchRoot(const char* tag) {
    const char* base = getenv("TMPDIR");
    std::string root = std::string(base && *base ? base : "/tmp") + "/ondrelle-" + tag + "-" +
                       std::to_string(getpid()) + "/";
    // A directory left by an earlier process of the same id is stale.
    if (system(("rm -rf '" + root + "'").c_str()) != 0 || mkdir(root.c_str(), 0755) != 0) return "";
    if (madeRoot.empty()) atexit(RemoveRoot);
    madeRoot = root;
    return root;
}
