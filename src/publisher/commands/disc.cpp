// ondrelle disc: the site laid out and checked as the disc, written, read back, and named.
#include "disc.h"

#include "autoplay.h"
#include "check.h"
#include "code_page.h"
#include "code_page_names.h"
#include "disc_tree.h"
#include "image_check.h"
#include "image_proof.h"
#include "image_reader.h"
#include "image_writer.h"
#include "launcher_lookup.h"
#include "left_out.h"
#include "pending_file.h"
#include "progress_meter.h"
#include "report.h"
#include "scratch_folder.h"
#include "site_disc.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <system_error>
#include <vector>

namespace publisher {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct Content {
    std::uint64_t files = 0, folders = 0, bytes = 0;
};

Content Count(const DiscTree& tree) {
    Content content;
    tree.Walk([&content](const DiscNode& node, const std::string&) {
        content.folders += node.kind == NodeKind::Folder;
        content.files += node.kind == NodeKind::File;
        if (node.kind == NodeKind::File) content.bytes += node.size;
    });
    return content;
}

std::string Size(std::uint64_t bytes) {
    char text[32];
    if (bytes < 1000000) {
        std::snprintf(text, sizeof text, "%llu KB", (unsigned long long)((bytes + 999) / 1000));
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    }
    return text;
}

int Refuse(const std::string& message) {
    std::cerr << "ondrelle: " << message << "\n";
    return 2;
}

int Fail(const std::string& message) {
    std::cerr << "ondrelle: " << message << "\n";
    return 1;
}

bool SameOutcome(const Outcome& a, const Outcome& b) {
    return a.kind == b.kind && a.page == b.page && a.useIE == b.useIE && a.message == b.message;
}

bool SameOutcomes(const CheckResult& a, const CheckResult& b) {
    if (a.plays.size() != b.plays.size()) return false;
    for (size_t i = 0; i < a.plays.size(); i++) {
        if (a.plays[i].codePage != b.plays[i].codePage || !SameOutcome(a.plays[i].outcome, b.plays[i].outcome))
            return false;
    }
    return true;
}

// "12% of an 80-minute CD-R": how much of the medium the image takes, rounded up.
std::string ShareOf(std::uint64_t bytes, const Medium& medium) {
    return std::to_string((bytes * 100 + medium.bytes - 1) / medium.bytes) + "% of " + medium.what;
}

// What autorun.inf's label= says on Windows in each code page, when that is
// not the label: the bytes are read in the reader's code page.
void CheckLabelLine(const std::string& label, const std::string& bytes, unsigned written, const CodePages& codePages,
                    Findings& findings) {
    std::vector<TextInCodePages> shown;  // what Explorer shows, and where
    for (unsigned codePage : codePages) {
        std::string read = AnsiToUtf8(bytes, codePage);
        if (read != label) AddTextIn(shown, read, codePage);
    }
    if (shown.empty()) return;
    std::string where;
    for (size_t i = 0; i < shown.size(); i++) {
        where += (i == 0 ? "" : i + 1 == shown.size() ? " and " : ", ") +
                 ("\"" + shown[i].text + "\" in " + CodePageList(shown[i].codePages));
    }
    findings.Add("label-changed", "autorun.inf",
                 "autorun.inf holds the label in " + CodePageList({written}) +
                     ", and Explorer shows its label= line as " + where +
                     "; give a label that every reader's code page holds with --label.");
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

Result<std::int64_t> ParseDate(const std::string& text) {
    const Error wrong{"the date \"" + text + "\" is neither seconds since 1970 nor YYYY-MM-DD[THH:MM:SS[Z]]"};
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        if (text.size() > 12) return wrong;
        std::int64_t seconds = std::stoll(text);
        if (seconds > 253402300799) return wrong;  // after 9999, which ISO 9660 cannot hold
        return seconds;
    }
    std::tm parts{};
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday, &used) != 3) {
        return wrong;
    }
    const char* rest = text.c_str() + used;
    if (*rest == 'T') {
        int more = 0;
        if (std::sscanf(rest, "T%2d:%2d:%2d%n", &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &more) != 3) {
            return wrong;
        }
        rest += more;
        if (*rest == 'Z') rest++;
    }
    if (*rest || parts.tm_year < 1970 || parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 ||
        parts.tm_mday > 31 || parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 60) {
        return wrong;
    }
    int day = parts.tm_mday, month = parts.tm_mon;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    time_t seconds = timegm(&parts);
    std::tm back{};
    gmtime_r(&seconds, &back);
    if (back.tm_mday != day || back.tm_mon != month - 1) return wrong;  // 31 February, say
    return std::int64_t(seconds);
}

int RunDisc(const DiscRequest& request) {
    std::error_code ec;
    fs::path site = fs::canonical(request.site, ec);
    if (ec) return Refuse("cannot read " + request.site.string() + ": " + ec.message());
    if (!fs::is_directory(site)) return Refuse(request.site.string() + " is not a folder: give the site's folder");
    fs::path image = fs::weakly_canonical(fs::absolute(request.image), ec);
    if (ec || image.filename().empty()) return Refuse("cannot write " + request.image.string());
    std::string siteText = site.string() + "/";
    if (image.string().compare(0, siteText.size(), siteText) == 0) {
        return Refuse("the image " + request.image.string() + " would be inside the site " + request.site.string() +
                      ", and so on the disc itself: write it somewhere else");
    }
    if (!fs::is_directory(image.parent_path(), ec)) {
        return Refuse("cannot write " + request.image.string() + ": the folder " + image.parent_path().string() +
                      " does not exist");
    }
    if (fs::is_directory(image, ec)) return Refuse(request.image.string() + " is a folder");

    std::optional<std::int64_t> date;
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (request.date || (epoch && *epoch)) {
        Result<std::int64_t> parsed = ParseDate(request.date ? *request.date : std::string(epoch));
        if (!parsed) return Refuse((request.date ? "--date: " : "SOURCE_DATE_EPOCH: ") + parsed.error());
        date = parsed.value();
    }
    std::string label = request.label ? *request.label : site.filename().string();
    if (label.empty()) label = "DISC";
    std::string page;
    if (request.page) {
        page = *request.page;
        std::replace(page.begin(), page.end(), '/', '\\');
        for (char c : page) {
            unsigned char u = static_cast<unsigned char>(c);
            if (u < 0x20 || u >= 0x7F || c == '"') {
                return Refuse("--page must be plain ASCII without quotation marks, as autorun.inf holds it: "
                              "rename the page");
            }
        }
        if (page.empty()) return Refuse("--page is empty");
    }

    Result<SiteDisc> read = ReadSiteDisc(site, request.exclude);
    if (!read) return Refuse(read.error());
    SiteDisc& disc = read.value();
    Result<ScratchFolder> scratch = ScratchFolder::Create();
    if (!scratch) return Refuse(scratch.error());
    const CodePages& codePages = request.codePages ? *request.codePages : kWesternWindows;
    // Explorer reads label= in the reader's code page: in that of the first
    // reader when they are given, else in plain ASCII, which every one reads alike.
    Additions additions{{}, request.ie, page, ""};
    if (request.codePages) {
        Utf8ToAnsi(label, codePages.front(), &additions.label);
    } else {
        additions.label = AsciiLabel(label);
    }
    if (disc.launcherName.empty()) {
        Result<fs::path> launcher = FindLauncher(request.launcher);
        if (!launcher) return Refuse(launcher.error());
        additions.launcher = launcher.value();
    }
    Result<bool> added = AddToRoot(disc, additions, scratch->path());
    if (added) added = ShowAsDisc(disc, scratch->path() / "disc");
    if (!added) return Refuse(added.error());
    if (disc.ownAutorun && (request.ie || request.page)) {
        std::cerr << "ondrelle: the site's own autorun.inf is used as it is, so --ie and --page change nothing\n";
    }
    const DiscTree& tree = disc.tree;
    const std::string& autorunLabel = additions.label;
    bool ownAutorun = disc.ownAutorun;

    CheckResult check = CheckDisc(tree, CheckScope::Everything, codePages, *request.medium);
    AddLeftOutNote(disc.leftOut, check.findings);
    if (JolietVolumeId(label) != label) {
        check.findings.Add("label-changed", "",
                           "Explorer shows only the label's first 16 characters, \"" + JolietVolumeId(label) +
                               "\"; give a shorter one with --label.");
    }
    if (!ownAutorun && request.codePages) {
        CheckLabelLine(label, autorunLabel, codePages.front(), codePages, check.findings);
    } else if (!ownAutorun && autorunLabel != label) {
        check.findings.Add("label-changed", "autorun.inf",
                           "autorun.inf holds plain ASCII, so its label= line reads \"" + autorunLabel +
                               "\"; give an ASCII one with --label.");
    }
    check.findings = check.findings.Without(request.ignore);
    std::string report = TextReport(check, request.colour, request.verbose);
    if (check.findings.HasErrors()) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::printf("\nNothing was written: correct the errors above and run ondrelle disc again.\n");
        return 1;
    }
    Content content = Count(tree);
    std::string addedText;
    for (const std::string& name : disc.added) addedText += (addedText.empty() ? ", with " : " and ") + name;
    if (!addedText.empty()) addedText += " added";
    std::string holds = Counted(content.files, "file", "files") + " in " +
                        Counted(content.folders, "folder", "folders") + ", " + Size(content.bytes) + addedText;
    if (request.dryRun) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::printf("\nThe image would hold %s (%s), labelled \"%s\". Nothing was written (--dry-run).\n",
                    holds.c_str(), ShareOf(content.bytes, *request.medium).c_str(), JolietVolumeId(label).c_str());
        return 0;
    }

    Result<PendingFile> pending = PendingFile::Create(image);
    if (!pending) return Fail(pending.error());
    Clock::time_point started = Clock::now();
    ImageSettings settings{label, date, !request.quiet};
    std::string shown = request.image.string();
    Result<std::uint64_t> written = WriteImage(tree, settings, pending.value(), shown);
    if (!written) return Fail(written.error() + "; nothing was written under " + shown);
    double writing = Since(started);

    // Read back before the image takes its name: a bad image never gets it.
    // Once its bytes are the site's, its links are those checked above; what
    // is left to prove is how Windows reads its names and plays it.
    started = Clock::now();
    Result<ImageTree> readBack = ReadImageTree(pending->temporaryPath());
    if (!readBack) return Fail(readBack.error() + "; nothing was written under " + shown);
    Result<std::uint64_t> verified = VerifyImage(tree, readBack.value(), pending->temporaryPath(), !request.quiet);
    if (!verified) return Fail(verified.error() + "; nothing was written under " + shown);
    // Its checksums as a reader of the copy will prove them.
    Result<ImageProof> proof = ProveImage(pending->temporaryPath(), !request.quiet);
    if (!proof) return Fail(proof.error() + "; nothing was written under " + shown);
    if (!proof->whole() || !proof->checksums) {
        return Fail("the image, read back, is not whole: " +
                    (proof->whole() ? std::string("it records no checksums") : ImageText(proof.value())) +
                    " Nothing was written under " + shown);
    }
    Result<CheckResult> again = CheckImageTree(readBack.value(), CheckScope::WithoutLinks, codePages);
    if (!again) return Fail(again.error() + "; nothing was written under " + shown);
    if (!SameOutcomes(again.value(), check) || again->findings.HasErrors()) {
        return Fail("the image, read back, does not do what the site does: " + OutcomeText(again.value()) +
                    " Nothing was written under " + shown);
    }
    double verifying = Since(started);
    // The disk has been taking the image while it was read back; what is
    // left of that wait belongs to writing.
    started = Clock::now();
    Result<bool> flushed = pending->Flush();
    if (!flushed) return Fail(flushed.error() + "; nothing was written under " + shown);
    writing += Since(started);
    Result<bool> committed = pending->Commit();
    if (!committed) return Fail(committed.error());

    if (!request.quiet) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::printf("\nWrote %s (%s, %s): %s, labelled \"%s\". Written in %s, read back and checked in %s.\n",
                    shown.c_str(), Size(written.value()).c_str(), ShareOf(written.value(), *request.medium).c_str(),
                    holds.c_str(), JolietVolumeId(label).c_str(),
                    FormatDuration(writing).c_str(), FormatDuration(verifying).c_str());
    }
    return 0;
}

}  // namespace publisher
