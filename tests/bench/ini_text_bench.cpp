// GetValue for the last key of a 64 MiB [autorun] section of short lines,
// beside memchr passes over the same bytes: one call for a byte that is not
// there (the memory's pace), and one call per line (the least any line
// scanner does).
#include "bench_site.h"
#include "ini_text.h"
#include "standin_control.h"

#include <benchmark/benchmark.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const size_t kFileBytes = size_t(64) << 20;

// Loaded once and shared: making and reading the file is not measured.
IniText& BigDocument() {
    static IniText* doc = NULL;
    if (doc) return *doc;
    std::string text = "[autorun]\r\n";
    text.reserve(kFileBytes);
    const std::string last = "open=kelmora.exe page.htm -i\r\n";
    char line[32];
    for (unsigned i = 0; text.size() + 16 + last.size() <= kFileBytes; i++) {
        int n = snprintf(line, sizeof line, "k%u=v%u\r\n", i % 100000, i % 7);
        text.append(line, size_t(n));
    }
    text.append(kFileBytes - last.size() - text.size(), '\n');
    text += last;
    std::string path = BenchRoot() + "big.inf";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(text.data(), 1, text.size(), f) != text.size() || fclose(f) != 0) {
        BenchFail("cannot write the 64 MiB file");
    }
    doc = new IniText();
    if (!doc->Load(WindowsPathOf(path).c_str()) || size_t(doc->length) != kFileBytes ||
        !doc->FindSection("autorun")) {
        BenchFail("cannot load the 64 MiB file");
    }
    return *doc;
}

void BM_GetValueLastKey(benchmark::State& state) {
    IniText& doc = BigDocument();
    char value[MAX_PATH];
    for (auto _ : state) {
        bool found = doc.GetValue("open", value, MAX_PATH);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(value);
    }
    if (strcmp(value, "kelmora.exe page.htm -i") != 0) state.SkipWithError("wrong value");
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.length);
}

void BM_MemchrWhole(benchmark::State& state) {
    IniText& doc = BigDocument();
    for (auto _ : state) {
        const void* hit = memchr(doc.data, 0x01, size_t(doc.length));
        benchmark::DoNotOptimize(hit);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.length);
}

void BM_MemchrPerLine(benchmark::State& state) {
    IniText& doc = BigDocument();
    const char* end = doc.data + doc.length;
    for (auto _ : state) {
        long lines = 0;
        for (const char* p = doc.data; p < end; lines++) {
            const char* lf = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
            p = lf ? lf + 1 : end;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.length);
}

}  // namespace

BENCHMARK(BM_GetValueLastKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrPerLine)->Unit(benchmark::kMillisecond);
