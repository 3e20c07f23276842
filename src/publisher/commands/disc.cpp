// ondrelle disc: the site laid out and checked as the disc, written, read back, and named.
#include "disc.h"

#include "authenticode.h"
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
#include <fstream>
#include <iostream>
#include <iterator>
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

namespace {

// The request's paths, date, label and page, as the image takes them.
struct Plan {
    fs::path site, image;
    std::optional<std::int64_t> date;
    std::string label;
    std::string page;  // with backslashes
    CodePages codePages;  // the readers', else a Western Windows
};

// --page as autorun.inf holds it: with backslashes, in plain ASCII.
Result<std::string> PageToken(std::string page) {
    std::replace(page.begin(), page.end(), '/', '\\');
    for (char c : page) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '"') {
            return Error{"--page must be plain ASCII without quotation marks, as autorun.inf holds it: "
                         "rename the page"};
        }
    }
    if (page.empty()) return Error{"--page is empty"};
    return page;
}

// Where the request cannot run, why, as it says to the publisher.
Result<Plan> PlanOf(const DiscRequest& request) {
    Plan plan;
    std::error_code ec;
    plan.site = fs::canonical(request.site, ec);
    if (ec) return Error{"cannot read " + request.site.string() + ": " + ec.message()};
    if (!fs::is_directory(plan.site)) return Error{request.site.string() + " is not a folder: give the site's folder"};
    plan.image = fs::weakly_canonical(fs::absolute(request.image), ec);
    if (ec || plan.image.filename().empty()) return Error{"cannot write " + request.image.string()};
    std::string siteText = plan.site.string() + "/";
    if (plan.image.string().compare(0, siteText.size(), siteText) == 0) {
        return Error{"the image " + request.image.string() + " would be inside the site " + request.site.string() +
                     ", and so on the disc itself: write it somewhere else"};
    }
    if (!fs::is_directory(plan.image.parent_path(), ec)) {
        return Error{"cannot write " + request.image.string() + ": the folder " + plan.image.parent_path().string() +
                     " does not exist"};
    }
    if (fs::is_directory(plan.image, ec)) return Error{request.image.string() + " is a folder"};

    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (request.date || (epoch && *epoch)) {
        Result<std::int64_t> parsed = ParseDate(request.date ? *request.date : std::string(epoch));
        if (!parsed) return Error{(request.date ? "--date: " : "SOURCE_DATE_EPOCH: ") + parsed.error()};
        plan.date = parsed.value();
    }
    plan.codePages = request.codePages ? *request.codePages : kWesternWindows;
    plan.label = request.label ? *request.label : plan.site.filename().string();
    if (plan.label.empty()) plan.label = "DISC";
    if (request.page) {
        Result<std::string> page = PageToken(*request.page);
        if (!page) return Error{page.error()};
        plan.page = page.value();
    }
    return plan;
}

// The certificate's password: from its file, or from the environment, never
// from the command line, where every user of the machine can read it.
Result<std::string> SigningPassword(const DiscRequest& request) {
    if (request.signPasswordFile) {
        std::ifstream in(*request.signPasswordFile, std::ios::binary);
        if (!in.is_open()) return Error{"cannot read the password file " + request.signPasswordFile->string()};
        std::string password((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // One line, as an editor or echo leaves it.
        if (!password.empty() && password.back() == '\n') password.pop_back();
        if (!password.empty() && password.back() == '\r') password.pop_back();
        return password;
    }
    const char* named = std::getenv("ONDRELLE_SIGN_PASSWORD");
    if (named) return std::string(named);
    return Error{"--sign needs the certificate's password: give it in a file with --sign-password-file FILE, or "
                 "in the environment variable ONDRELLE_SIGN_PASSWORD"};
}

// Signs the copy of the launcher that goes onto the disc; the site's file,
// or the installed one, stays as it is.
Result<bool> SignLauncher(SiteDisc& disc, const DiscRequest& request, const Plan& plan, const fs::path& scratch) {
    Result<std::string> password = SigningPassword(request);
    if (!password) return Error{password.error()};
    DiscNode* launcher = nullptr;
    for (DiscNode& child : disc.tree.root.children) {
        if (child.name == disc.launcherName) launcher = &child;
    }
    if (!launcher) return Error{"there is no launcher in the disc's root to sign"};
    fs::path folder = scratch / "signed";
    std::error_code ec;
    fs::create_directory(folder, ec);
    if (ec) return Error{"cannot make " + folder.string() + ": " + ec.message()};
    // The image's date is the signing time too, so that the same site gives
    // the same image; a time stamp is the authority's own, and never the same.
    SigningRequest signing{*request.sign, password.value(), request.signName ? *request.signName : plan.label,
                           request.signUrl.value_or(""), request.timestamp.value_or(""), plan.date};
    fs::path copy = folder / launcher->name;
    Result<Signature> signature = SignProgram(launcher->origin, copy, signing);
    if (!signature) return Error{signature.error()};
    return ReplaceInRoot(disc, launcher->name, copy);
}

// The site as the disc: left-outs gone, the launcher (signed, when asked)
// and autorun.inf added, shown to the file layer under the scratch folder.
Result<SiteDisc> LayOutDisc(const DiscRequest& request, const Plan& plan, const fs::path& scratch,
                            std::string* autorunLabel) {
    Result<SiteDisc> read = ReadSiteDisc(plan.site, request.exclude);
    if (!read) return Error{read.error()};
    SiteDisc& disc = read.value();
    const CodePages& codePages = plan.codePages;
    // Explorer reads label= in the reader's code page: in that of the first
    // reader when they are given, else in plain ASCII, which every one reads alike.
    Additions additions{{}, request.ie, plan.page, ""};
    if (request.codePages) {
        Utf8ToAnsi(plan.label, codePages.front(), &additions.label);
    } else {
        additions.label = AsciiLabel(plan.label);
    }
    if (disc.launcherName.empty()) {
        Result<fs::path> launcher = FindLauncher(request.launcher);
        if (!launcher) return Error{launcher.error()};
        additions.launcher = launcher.value();
    }
    Result<bool> added = AddToRoot(disc, additions, scratch);
    if (added && request.sign) added = SignLauncher(disc, request, plan, scratch);
    if (added) added = ShowAsDisc(disc, scratch / "disc");
    if (!added) return Error{added.error()};
    *autorunLabel = additions.label;
    return std::move(read.value());
}

// The check of the disc before anything is written, with what the label
// becomes where Explorer shows it.
CheckResult CheckBeforeWriting(const SiteDisc& disc, const DiscRequest& request, const Plan& plan,
                               const std::string& autorunLabel) {
    const CodePages& codePages = plan.codePages;
    CheckResult check = CheckDisc(disc.tree, CheckScope::Everything, codePages, *request.medium);
    AddLeftOutNote(disc.leftOut, check.findings);
    const std::string& label = plan.label;
    if (JolietVolumeId(label) != label) {
        check.findings.Add("label-changed", "",
                           "Explorer shows only the label's first 16 characters, \"" + JolietVolumeId(label) +
                               "\"; give a shorter one with --label.");
    }
    if (!disc.ownAutorun && request.codePages) {
        CheckLabelLine(label, autorunLabel, codePages.front(), codePages, check.findings);
    } else if (!disc.ownAutorun && autorunLabel != label) {
        check.findings.Add("label-changed", "autorun.inf",
                           "autorun.inf holds plain ASCII, so its label= line reads \"" + autorunLabel +
                               "\"; give an ASCII one with --label.");
    }
    check.findings = check.findings.Without(request.ignore);
    return check;
}

// "5,001 files in 51 folders, 210.4 MB, with kelmora.exe and autorun.inf added".
std::string Holds(const SiteDisc& disc) {
    Content content = Count(disc.tree);
    std::string addedText;
    for (const std::string& name : disc.added) addedText += (addedText.empty() ? ", with " : " and ") + name;
    if (!addedText.empty()) addedText += " added";
    return Counted(content.files, "file", "files") + " in " + Counted(content.folders, "folder", "folders") + ", " +
           Size(content.bytes) + addedText;
}

struct Timing {
    double writing = 0, verifying = 0;
};

// Read back before the image takes its name: a bad image never gets it.
// Once its bytes are the site's, its links are those checked before; what is
// left to prove is that it is whole, how Windows reads its names and plays it.
Result<bool> ReadBack(const PendingFile& pending, const DiscTree& tree, const CheckResult& check,
                      const DiscRequest& request, const Plan& plan) {
    Result<ImageTree> readBack = ReadImageTree(pending.temporaryPath());
    if (!readBack) return Error{readBack.error()};
    Result<std::uint64_t> verified = VerifyImage(tree, readBack.value(), pending.temporaryPath(), !request.quiet);
    if (!verified) return Error{verified.error()};
    // Its checksums as a reader of the copy will prove them.
    Result<ImageProof> proof = ProveImage(pending.temporaryPath(), !request.quiet);
    if (!proof) return Error{proof.error()};
    if (!proof->whole() || !proof->checksums) {
        return Error{"the image, read back, is not whole: " +
                     (proof->whole() ? std::string("it records no checksums") : ImageText(proof.value()))};
    }
    Result<CheckResult> again = CheckImageTree(readBack.value(), CheckScope::WithoutLinks, plan.codePages);
    if (!again) return Error{again.error()};
    if (!SameOutcomes(again.value(), check) || again->findings.HasErrors()) {
        return Error{"the image, read back, does not do what the site does: " + OutcomeText(again.value())};
    }
    return true;
}

// Writes the image under a temporary name, proves it, and gives it its name.
Result<std::uint64_t> WriteAndProve(const SiteDisc& disc, const CheckResult& check, const DiscRequest& request,
                                    const Plan& plan, Timing& timing) {
    std::string shown = request.image.string();
    const std::string nothing = "; nothing was written under " + shown;
    Result<PendingFile> pending = PendingFile::Create(plan.image);
    if (!pending) return Error{pending.error()};
    Clock::time_point started = Clock::now();
    ImageSettings settings{plan.label, plan.date, !request.quiet};
    Result<std::uint64_t> written = WriteImage(disc.tree, settings, pending.value(), shown);
    if (!written) return Error{written.error() + nothing};
    timing.writing = Since(started);

    started = Clock::now();
    Result<bool> proven = ReadBack(pending.value(), disc.tree, check, request, plan);
    if (!proven) return Error{proven.error() + nothing};
    timing.verifying = Since(started);
    // The disk has been taking the image while it was read back; what is
    // left of that wait belongs to writing.
    started = Clock::now();
    Result<bool> flushed = pending->Flush();
    if (!flushed) return Error{flushed.error() + nothing};
    timing.writing += Since(started);
    Result<bool> committed = pending->Commit();
    if (!committed) return Error{committed.error()};
    return written;
}

}  // namespace

int RunDisc(const DiscRequest& request) {
    Result<Plan> plan = PlanOf(request);
    if (!plan) return Refuse(plan.error());
    Result<ScratchFolder> scratch = ScratchFolder::Create();
    if (!scratch) return Refuse(scratch.error());
    std::string autorunLabel;
    Result<SiteDisc> disc = LayOutDisc(request, plan.value(), scratch->path(), &autorunLabel);
    if (!disc) return Refuse(disc.error());
    if (disc->ownAutorun && (request.ie || request.page)) {
        std::cerr << "ondrelle: the site's own autorun.inf is used as it is, so --ie and --page change nothing\n";
    }

    CheckResult check = CheckBeforeWriting(disc.value(), request, plan.value(), autorunLabel);
    std::string report = TextReport(check, request.colour, request.verbose);
    if (check.findings.HasErrors()) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::printf("\nNothing was written: correct the errors above and run ondrelle disc again.\n");
        return 1;
    }
    std::string label = JolietVolumeId(plan->label);
    if (request.dryRun) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::printf("\nThe image would hold %s (%s), labelled \"%s\". Nothing was written (--dry-run).\n",
                    Holds(disc.value()).c_str(), ShareOf(Count(disc->tree).bytes, *request.medium).c_str(),
                    label.c_str());
        return 0;
    }

    Timing timing;
    Result<std::uint64_t> written = WriteAndProve(disc.value(), check, request, plan.value(), timing);
    if (!written) return Fail(written.error());
    if (!request.quiet) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::printf("\nWrote %s (%s, %s): %s, labelled \"%s\". Written in %s, read back and checked in %s.\n",
                    request.image.string().c_str(), Size(written.value()).c_str(),
                    ShareOf(written.value(), *request.medium).c_str(), Holds(disc.value()).c_str(), label.c_str(),
                    FormatDuration(timing.writing).c_str(), FormatDuration(timing.verifying).c_str());
    }
    return 0;
}

}  // namespace publisher
