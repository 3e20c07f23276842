#include "command_line.h"

#include "check.h"
#include "report.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace publisher {

namespace {

// Colour only on a terminal, and never when NO_COLOR is set.
bool UseColour() {
    const char* noColour = std::getenv("NO_COLOR");
    return isatty(STDOUT_FILENO) && !(noColour && *noColour);
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    CLI::App app{"Ondrelle's publisher tool: what a CD-ROM site will do on Windows, before it is burned.",
                 "ondrelle"};
    app.set_version_flag("--version", "ondrelle " ONDRELLE_VERSION);
    app.require_subcommand(1);
    CLI::App* check = app.add_subcommand(
        "check", "Tell what Windows and kelmora.exe will do with the site, and list every problem.");
    std::string path;
    bool json = false, quiet = false;
    check->add_option("PATH", path, "The site folder; its root becomes the disc's root D:\\")->required();
    check->add_flag("--json", json, "Write one JSON object on standard output");
    check->add_flag("-q,--quiet", quiet, "Write nothing when no finding is an error");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    Result<CheckResult> result = CheckSiteFolder(path);
    if (!result) {
        std::cerr << "ondrelle: " << result.error() << "\n";
        return 2;
    }
    int status = result->findings.HasErrors() ? 1 : 0;
    if (quiet && status == 0) return 0;
    std::string report = json ? JsonReport(result.value(), path) : TextReport(result.value(), UseColour());
    std::fwrite(report.data(), 1, report.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::perror("ondrelle: standard output");
        return 2;
    }
    return status;
}

}  // namespace publisher
