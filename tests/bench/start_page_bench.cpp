// FindStartPage over 10,000 subdirectories and no root index, with one
// index.htm in a subdirectory half-way through the names. Reports the time
// and the file-system calls (attribute probes and enumeration steps) per
// subdirectory; the least a search can do is one entry and two probes.
// The names are lower case: the file layer finds a name in another case only by
// reading the whole directory, which Windows does not, and that would swamp
// the search's own cost.
#include "bench_site.h"
#include "standin_control.h"
#include "start_page.h"

#include <benchmark/benchmark.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

namespace {

const int kSubdirs = 10000;

const std::string& WideSite() {
    static std::string site;
    if (!site.empty()) return site;
    std::string dir = BenchRoot() + "wide/";
    if (mkdir(dir.c_str(), 0755) != 0) BenchFail("cannot make the site");
    char name[32];
    for (int i = 0; i < kSubdirs; i++) {
        snprintf(name, sizeof name, "dir%05d", i);
        if (mkdir((dir + name).c_str(), 0755) != 0) BenchFail("cannot make a subdirectory");
    }
    FILE* f = fopen((dir + "dir05000/index.htm").c_str(), "wb");
    if (!f || fclose(f) != 0) BenchFail("cannot write the index");
    site = WindowsPathOf(dir);
    return site;
}

void BM_FindStartPage10000(benchmark::State& state) {
    const std::string& site = WideSite();
    SetModulePath(site + "kelmora.exe");
    char page[MAX_PATH];
    long before = Standin_FileSystemCalls();
    for (auto _ : state) {
        FindStartPage(page);
        benchmark::DoNotOptimize(page);
    }
    long calls = Standin_FileSystemCalls() - before;
    SetModulePath("");
    std::string expected = site + "dir05000\\index.htm";
    for (size_t i = 0; i < expected.size(); i++) {
        if (expected[i] >= 'A' && expected[i] <= 'Z') expected[i] = char(expected[i] + 32);
    }
    if (expected != page) state.SkipWithError("wrong start page");
    state.counters["subdirs"] = kSubdirs;
    state.counters["time_per_subdir"] =
        benchmark::Counter(kSubdirs, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["fs_calls_per_subdir"] = double(calls) / double(state.iterations()) / kSubdirs;
}

}  // namespace

BENCHMARK(BM_FindStartPage10000)->Unit(benchmark::kMillisecond);
