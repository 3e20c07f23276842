// The command line: its options, ondrelle check, and the exit status.
#include "command_line.h"

#include "check.h"
#include "disc.h"
#include "image_check.h"
#include "image_reader.h"
#include "launcher_lookup.h"
#include "left_out.h"
#include "report.h"

#include "code_page.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
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

// A site folder, or an image made by ondrelle disc (or any ISO 9660 image).
Result<CheckResult> CheckPath(const std::string& path, const CodePages& codePages, const SiteOptions& options) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) {
        if (!LooksLikeImage(path)) {
            return Error{path + " is neither a folder nor an ISO 9660 image"};
        }
        if (!options.exclude.empty()) {
            return Error{"--exclude leaves files out of a site folder's disc; " + path +
                         " is an image, which holds what it holds"};
        }
        return CheckImage(path, codePages, *options.medium, isatty(STDERR_FILENO) != 0);
    }
    return CheckSiteFolder(path, codePages, options);
}

// What the publisher asks to leave out, not to hear of, and burn onto.
struct Say {
    std::vector<std::string> exclude, ignore;
    std::string media = "cd-80";
};

void AddSayOptions(CLI::App* command, Say& say) {
    command->add_option("--exclude", say.exclude,
                        "Leave out what matches GLOB, relative to the root, as a shell matches it (*.psd, drafts/, "
                        "**/*.map); repeatable");
    command->add_option("--ignore", say.ignore,
                        "Do not report warnings or notes of this id, nor count them; repeatable. Errors cannot be "
                        "ignored: each means the disc would not work");
    command->add_option("--media", say.media, "The disc to burn: cd-74, cd-80 (default), dvd, dvd-dl or bd");
}

// An error for a glob that leaves nothing out, an id that is no finding's,
// an error's id, and a medium that is none of those known.
Result<const Medium*> CheckSay(const Say& say) {
    for (const std::string& glob : say.exclude) {
        Result<bool> checked = CheckGlob(glob);
        if (!checked) return Error{checked.error()};
    }
    for (const std::string& id : say.ignore) {
        if (!IsFindingId(id)) return Error{"--ignore: no finding has the id \"" + id + "\"; man ondrelle lists them"};
        if (SeverityOf(id) == Severity::Error) {
            return Error{"--ignore " + id + ": an error cannot be ignored, since it means that the disc would not "
                         "work; correct it instead (only warnings and notes can be ignored)"};
        }
    }
    const Medium* medium = FindMedium(say.media);
    if (!medium) return Error{"--media \"" + say.media + "\" is none of cd-74, cd-80, dvd, dvd-dl and bd"};
    return medium;
}

// --code-page's values, each a number or a comma-separated list of them, or
// "all"; in the order given, each once.
Result<CodePages> ParseCodePages(const std::vector<std::string>& texts) {
    CodePages codePages;
    auto add = [&](unsigned codePage) {
        if (std::find(codePages.begin(), codePages.end(), codePage) == codePages.end()) codePages.push_back(codePage);
    };
    for (const std::string& text : texts) {
        if (text == "all") {
            for (unsigned codePage : kAnsiCodePages) add(codePage);
            continue;
        }
        unsigned codePage = 0;
        bool digits = !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
        if (digits) codePage = unsigned(std::stoul(text));
        if (!IsAnsiCodePage(codePage)) {
            return Error{"--code-page: \"" + text +
                         "\" is not an ANSI code page of Windows; give 874, 932, 936, 949, 950, 1250 to 1258, or all"};
        }
        add(codePage);
    }
    return codePages.empty() ? kWesternWindows : codePages;
}

const char kCodePageHelp[] =
    "The ANSI code pages of the readers' Windows, repeatable or comma-separated: 874, 932, 936, 949, 950, "
    "1250 to 1258, or all (default: 1252, Western Europe and the Americas)";

// The tool's version, then that of the kelmora.exe `disc` would add and where
// it was found.
std::string VersionText() {
    std::string text = "ondrelle " ONDRELLE_VERSION "\n";
    Result<std::filesystem::path> launcher = FindLauncher(std::nullopt);
    if (!launcher) return text + launcher.error();
    return text + "kelmora.exe " + LauncherVersion(launcher.value()) + " at " + launcher->string();
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    CLI::App app{"Ondrelle's publisher tool: what a CD-ROM site will do on Windows, before it is burned.",
                 "ondrelle"};
    app.set_version_flag("--version", VersionText,
                         "Show the version, and that of the kelmora.exe that disc adds, with its path");
    app.require_subcommand(1);
    CLI::App* check = app.add_subcommand(
        "check", "Tell what Windows and kelmora.exe will do with the site, and list every problem.");
    std::string path;
    bool json = false, quiet = false, verbose = false;
    check->add_option("PATH", path,
                      "The site folder, whose root becomes the disc's root D:\\, or a disc image (.iso)")
        ->required();
    check->add_flag("--json", json, "Write one JSON object on standard output");
    check->add_flag("-q,--quiet", quiet, "Write nothing when no finding is an error");
    check->add_flag("-v,--verbose", verbose, "List every place of every cause with its own sentence, and every note, not one line per id");
    std::vector<std::string> checkCodePages, discCodePages;
    check->add_option("--code-page", checkCodePages, kCodePageHelp)->delimiter(',');
    Say checkSay, discSay;
    AddSayOptions(check, checkSay);

    CLI::App* disc = app.add_subcommand(
        "disc", "Write the site as a checked, reproducible CD image, with kelmora.exe and autorun.inf added.");
    DiscRequest request;
    std::string site, image, launcher;
    disc->add_option("SITE", site, "The site folder; its root becomes the disc's root")->required();
    disc->add_option("-o,--output", image, "The image to write (IMAGE.iso)")->required();
    disc->add_option("--label", request.label, "The volume label (default: the site folder's name)");
    disc->add_flag("--ie", request.ie, "Open the site in Internet Explorer (open=kelmora.exe -i)");
    disc->add_option("--page", request.page, "The page to open, relative to the root (default: index.htm)");
    disc->add_option("--launcher", launcher, "kelmora.exe to add (default: the one built or installed with ondrelle)");
    disc->add_option("--date", request.date,
                     "Every time stamp of the image: seconds since 1970 or YYYY-MM-DD[THH:MM:SS] in UTC "
                     "(default: SOURCE_DATE_EPOCH, else the files' own and now)");
    disc->add_option("--sign", request.sign,
                     "Sign the disc's kelmora.exe with this code-signing certificate (PKCS#12, .pfx), so that "
                     "Windows Vista to 11 name the publisher when they ask whether to run it; needs osslsigncode");
    disc->add_option("--sign-password-file", request.signPasswordFile,
                     "The file that holds the certificate's password (default: ONDRELLE_SIGN_PASSWORD)");
    disc->add_option("--sign-name", request.signName, "The signature's description (default: the label)");
    disc->add_option("--sign-url", request.signUrl, "The publisher's address, in the signature");
    disc->add_option("--timestamp", request.timestamp,
                     "An RFC 3161 time-stamp authority's URL, so that the signature holds after the certificate "
                     "expires");
    disc->add_flag("--dry-run", request.dryRun, "Check and say what the image would hold; write nothing");
    disc->add_flag("-q,--quiet", request.quiet, "Write nothing when all went well");
    disc->add_flag("-v,--verbose", request.verbose, "List every place of every cause with its own sentence, and every note, not one line per id");
    disc->add_option("--code-page", discCodePages, kCodePageHelp)->delimiter(',');
    AddSayOptions(disc, discSay);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    Result<CodePages> codePages = ParseCodePages(disc->parsed() ? discCodePages : checkCodePages);
    if (!codePages) {
        std::cerr << "ondrelle: " << codePages.error() << "\n";
        return 2;
    }
    const Say& say = disc->parsed() ? discSay : checkSay;
    Result<const Medium*> medium = CheckSay(say);
    if (!medium) {
        std::cerr << "ondrelle: " << medium.error() << "\n";
        return 2;
    }
    if (disc->parsed()) {
        bool signing = request.signPasswordFile || request.signName || request.signUrl || request.timestamp;
        if (signing && !request.sign) {
            std::cerr << "ondrelle: --sign-password-file, --sign-name, --sign-url and --timestamp go with --sign\n";
            return 2;
        }
        if (!discCodePages.empty()) request.codePages = codePages.value();
        request.exclude = say.exclude;
        request.ignore = say.ignore;
        request.medium = medium.value();
        request.site = site;
        request.image = image;
        if (!launcher.empty()) request.launcher = launcher;
        request.colour = UseColour();
        return RunDisc(request);
    }

    SiteOptions options{say.exclude, medium.value(), std::nullopt};
    // Without autorun.inf, the disc that ondrelle disc would make is checked too.
    Result<std::filesystem::path> ours = FindLauncher(std::nullopt);
    if (ours) options.launcher = ours.value();
    Result<CheckResult> result = CheckPath(path, codePages.value(), options);
    if (!result) {
        std::cerr << "ondrelle: " << result.error() << "\n";
        return 2;
    }
    result->findings = result->findings.Without(say.ignore);
    int status = result->findings.HasErrors() ? 1 : 0;
    if (quiet && status == 0) return 0;
    std::string report = json ? JsonReport(result.value(), path) : TextReport(result.value(), UseColour(), verbose);
    std::fwrite(report.data(), 1, report.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::perror("ondrelle: standard output");
        return 2;
    }
    return status;
}

}  // namespace publisher
