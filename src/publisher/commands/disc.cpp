// ondrelle disc: the site laid out and checked as the disc, written, read back, and named.
#include "disc.h"

#include "autoplay.h"
#include "check.h"
#include "code_page.h"
#include "code_page_names.h"
#include "disc_tree.h"
#include "image_check.h"
#include "image_reader.h"
#include "image_writer.h"
#include "launcher_lookup.h"
#include "pending_file.h"
#include "progress_meter.h"
#include "report.h"
#include "scratch_folder.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <set>
#include <system_error>
#include <vector>

namespace publisher {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Version control and desktop metadata: nobody wants them on a disc.
bool IsLeftOut(const DiscNode& node) {
    if (node.kind == NodeKind::Folder) return SameNameIgnoringCase(node.name, ".git") || SameNameIgnoringCase(node.name, ".svn");
    return SameNameIgnoringCase(node.name, ".DS_Store") || SameNameIgnoringCase(node.name, "Thumbs.db");
}

void LeaveOut(DiscNode& folder, const std::string& path, std::vector<std::string>& leftOut) {
    auto& children = folder.children;
    for (const DiscNode& child : children) {
        if (IsLeftOut(child)) leftOut.push_back(path + child.name);
    }
    children.erase(std::remove_if(children.begin(), children.end(), IsLeftOut), children.end());
    for (DiscNode& child : children) {
        if (child.kind == NodeKind::Folder) LeaveOut(child, path + child.name + "/", leftOut);
    }
}

const DiscNode* FindChild(const DiscNode& folder, const std::string& name) {
    for (const DiscNode& child : folder.children) {
        if (SameNameIgnoringCase(child.name, name)) return &child;
    }
    return nullptr;
}

// A launcher already in the site's root, under whatever name; "" for none.
std::string LauncherOnSite(const DiscTree& tree) {
    for (const DiscNode& child : tree.root.children) {
        if (child.kind != NodeKind::File || child.name.size() < 4) continue;
        if (!SameNameIgnoringCase(child.name.substr(child.name.size() - 4), ".exe")) continue;
        if (IsLauncherFile(child.origin, child.size)) return child.name;
    }
    return "";
}

// Lays the disc out under `dir` as links to the site, so that the file layer
// sees it exactly as it will be. A folder that lost nothing is one link to
// the site's folder; only the folders in `changed` are made entry by entry.
Result<bool> Mirror(const DiscNode& folder, const fs::path& dir, const std::string& path,
                    const std::set<std::string>& changed) {
    for (const DiscNode& child : folder.children) {
        fs::path target = dir / child.name;
        std::string childPath = path.empty() ? child.name : path + "/" + child.name;
        std::error_code ec;
        if (child.kind == NodeKind::Folder && changed.count(childPath)) {
            fs::create_directory(target, ec);
            if (ec) return Error{"cannot lay out " + target.string() + ": " + ec.message()};
            Result<bool> inner = Mirror(child, target, childPath, changed);
            if (!inner) return inner;
        } else if (child.kind == NodeKind::Folder || child.kind == NodeKind::File) {
            fs::create_symlink(fs::absolute(child.origin), target, ec);
            if (ec) return Error{"cannot lay out " + target.string() + ": " + ec.message()};
        }
    }
    return true;
}

// The folders that lost an entry, and all above them.
std::set<std::string> ChangedFolders(const std::vector<std::string>& leftOut) {
    std::set<std::string> changed;
    for (std::string path : leftOut) {
        for (size_t slash; (slash = path.rfind('/')) != std::string::npos;) {
            path.resize(slash);
            changed.insert(path);
        }
    }
    return changed;
}

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

// The label as autorun.inf can hold it: printable ASCII.
std::string AsciiLabel(const std::string& label) {
    std::string ascii;
    for (size_t at = 0; at < label.size();) {
        unsigned point = 0;
        bool whole = NextCodePoint(label, &at, &point);
        ascii += whole && point >= 0x20 && point < 0x7F ? char(point) : '_';  // one per character
    }
    return ascii;
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

std::string AutorunText(const std::string& launcher, bool ie, const std::string& page, const std::string& label) {
    std::string open = launcher;
    if (ie) open += " -i";
    if (!page.empty()) open += " \"" + page + "\"";
    return "[autorun]\r\nopen=" + open + "\r\nicon=" + launcher + "\r\nlabel=" + label + "\r\n";
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

    Result<DiscTree> read = ReadFolderTree(site);
    if (!read) return Refuse(read.error());
    DiscTree& tree = read.value();
    std::vector<std::string> leftOut;
    LeaveOut(tree.root, "", leftOut);
    Result<ScratchFolder> scratch = ScratchFolder::Create();
    if (!scratch) return Refuse(scratch.error());

    std::vector<std::string> added;
    std::string launcherName = LauncherOnSite(tree);
    if (launcherName.empty()) {
        if (FindChild(tree.root, "kelmora.exe")) {
            return Refuse("the site's kelmora.exe is not Ondrelle's launcher, so the launcher cannot go beside it "
                          "under that name: rename it");
        }
        Result<fs::path> launcher = FindLauncher(request.launcher);
        if (!launcher) return Refuse(launcher.error());
        DiscNode node;
        node.name = launcherName = "kelmora.exe";
        node.size = fs::file_size(launcher.value(), ec);
        node.origin = fs::absolute(launcher.value()).string();  // libisofs wants absolute paths
        tree.root.children.push_back(node);
        added.push_back("kelmora.exe");
    }
    bool ownAutorun = FindChild(tree.root, "autorun.inf") != nullptr;
    const CodePages& codePages = request.codePages ? *request.codePages : kWesternWindows;
    // Explorer reads label= in the reader's code page: in that of the first
    // reader when they are given, else in plain ASCII, which every one reads alike.
    std::string autorunLabel;
    if (request.codePages) {
        Utf8ToAnsi(label, codePages.front(), &autorunLabel);
    } else {
        autorunLabel = AsciiLabel(label);
    }
    if (!ownAutorun) {
        fs::path generated = scratch->path() / "autorun.inf";
        std::ofstream out(generated, std::ios::binary);
        out << AutorunText(launcherName, request.ie, page, autorunLabel);
        out.close();
        if (!out) return Refuse("cannot write " + generated.string());
        DiscNode node;
        node.name = "autorun.inf";
        node.size = fs::file_size(generated, ec);
        node.origin = generated.string();
        tree.root.children.push_back(node);
        added.push_back("autorun.inf");
    } else if (request.ie || request.page) {
        std::cerr << "ondrelle: the site's own autorun.inf is used as it is, so --ie and --page change nothing\n";
    }
    std::sort(tree.root.children.begin(), tree.root.children.end(),
              [](const DiscNode& a, const DiscNode& b) { return a.name < b.name; });

    // The disc as it will be, shown to the file layer without touching the site.
    fs::path layout = scratch->path() / "disc";
    fs::create_directory(layout, ec);
    Result<bool> mirrored = ec ? Result<bool>(Error{"cannot lay out " + layout.string()})
                               : Mirror(tree.root, layout, "", ChangedFolders(leftOut));
    if (!mirrored) return Refuse(mirrored.error());
    tree.folder = layout;

    CheckResult check = CheckDisc(tree, CheckScope::Everything, codePages);
    if (!leftOut.empty()) {
        std::string list;
        for (const std::string& path : leftOut) list += (list.empty() ? "" : ", ") + path;
        check.findings.Add("left-out", "", "Left out of the image: " + list + ".");
    }
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
    std::string report = TextReport(check, request.colour, request.verbose);
    if (check.findings.HasErrors()) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::printf("\nNothing was written: correct the errors above and run ondrelle disc again.\n");
        return 1;
    }
    Content content = Count(tree);
    std::string addedText;
    for (const std::string& name : added) addedText += (addedText.empty() ? ", with " : " and ") + name;
    if (!addedText.empty()) addedText += " added";
    std::string holds = Counted(content.files, "file", "files") + " in " +
                        Counted(content.folders, "folder", "folders") + ", " + Size(content.bytes) + addedText;
    if (request.dryRun) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::printf("\nThe image would hold %s, labelled \"%s\". Nothing was written (--dry-run).\n", holds.c_str(),
                    JolietVolumeId(label).c_str());
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
        std::printf("\nWrote %s (%s): %s, labelled \"%s\". Written in %s, read back and checked in %s.\n",
                    shown.c_str(), Size(written.value()).c_str(), holds.c_str(), JolietVolumeId(label).c_str(),
                    FormatDuration(writing).c_str(), FormatDuration(verifying).c_str());
    }
    return 0;
}

}  // namespace publisher
