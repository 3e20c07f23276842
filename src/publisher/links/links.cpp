// Every link of the pages and stylesheets resolved as a browser resolves it on the disc, and checked.
#include "links.h"

#include "code_page.h"
#include "code_page_names.h"
#include "display_path.h"
#include "page_encoding.h"

#include <gumbo.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace publisher {

namespace {

constexpr std::uint64_t kPageLimit = 64ull << 20;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = Lower(c);
    return lower;
}

bool EndsWithIgnoringCase(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() && LowerAscii(std::string_view(text).substr(text.size() - tail.size())) == tail;
}

bool IsPage(const DiscNode& node) {
    return node.kind == NodeKind::File && (EndsWithIgnoringCase(node.name, ".htm") ||
                                           EndsWithIgnoringCase(node.name, ".html"));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecoded(std::string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); i++) {
        int high, low;
        if (text[i] == '%' && i + 2 < text.size() && (high = HexValue(text[i + 1])) >= 0 && (low = HexValue(text[i + 2])) >= 0) {
            bytes += char(high * 16 + low);
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

bool IsUrlBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// The URL as a browser's parser takes it: outer blanks gone, tabs and line
// breaks inside dropped, backslashes as slashes.
std::string Cleaned(std::string_view url) {
    size_t start = 0, end = url.size();
    while (start < end && (IsUrlBlank(url[start]) || url[start] == 0)) start++;
    while (end > start && (IsUrlBlank(url[end - 1]) || url[end - 1] == 0)) end--;
    std::string clean;
    for (size_t i = start; i < end; i++) {
        char c = url[i];
        if (c == '\t' || c == '\n' || c == '\r') continue;
        clean += c == '\\' ? '/' : c;
    }
    return clean;
}

// The scheme, lower-cased, or "" for a relative URL.
std::string SchemeOf(const std::string& url) {
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return "";
    auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isAlpha(url[0])) return "";
    for (size_t i = 1; i < colon; i++) {
        char c = url[i];
        if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return "";
    }
    return LowerAscii(std::string_view(url).substr(0, colon));
}

// Where the disc's files are, by folded path, for lookups that ignore case.
struct Entry {
    const DiscNode* node;
    std::string path;  // raw
};

struct Index {
    std::unordered_map<std::string, std::vector<Entry>> byFolded;

    explicit Index(const DiscTree& tree) {
        tree.Walk([&](const DiscNode& node, const std::string& path) {
            byFolded[FoldedName(path)].push_back(Entry{&node, path});
        });
    }

    // The entry Windows opens for `path`: the exact name first.
    const Entry* Find(const std::string& path) const {
        auto found = byFolded.find(FoldedName(path));
        if (found == byFolded.end()) return nullptr;
        for (const Entry& entry : found->second) {
            if (entry.path == path) return &entry;
        }
        return &found->second.front();
    }
};

// A page or a stylesheet, with what it links to.
struct Source {
    const DiscNode* node;
    std::string path;  // raw
    const PageLinks* links = nullptr;  // in the cache; none until read
    std::string failure;  // why it could not be read; its links are then unknown
    bool legacy = false;  // it declares no encoding, and its links read as the reader's language decides
};

// What each page and stylesheet links to, read once: a source with an
// encoding of its own is parsed once, a legacy one once for each legacy
// encoding that a check asks for, from its bytes kept for that.
struct Reading {
    bool done = false;
    std::string failure;
    bool legacy = false;                          // its links depend on the legacy encoding
    std::string bytes;                            // a legacy source's, to read again
    std::map<std::string, PageLinks> byEncoding;  // "" for a source with an encoding of its own
};
// By kind and raw path: a file can be linked both as a page and as a stylesheet.
using SourceCache = std::unordered_map<std::string, Reading>;

Reading& CachedReading(SourceCache& cache, const std::string& path, bool stylesheet) {
    return cache[(stylesheet ? "css\n" : "html\n") + path];
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

// The link as its page writes it.
std::string Quoted(const PageLink& link) {
    if (link.attribute == "url") return "url(\"" + link.url + "\")";
    if (link.attribute == "@import") return "@import \"" + link.url + "\"";
    return link.attribute + "=\"" + link.url + "\"";
}

std::string At(const PageLink& link) { return "Line " + std::to_string(link.line) + ": " + Quoted(link); }

}  // namespace

LinkTarget ResolveLink(std::string_view rawUrl, const std::string& folder) {
    LinkTarget target;
    std::string url = Cleaned(rawUrl);
    std::string scheme = SchemeOf(url);
    if (scheme.size() == 1) {
        target.kind = LinkTarget::Kind::Outside;
        target.why = "a drive-letter path";
        return target;
    }
    if (scheme == "file") {
        target.kind = LinkTarget::Kind::Outside;
        target.why = "a file: URL";
        return target;
    }
    if (scheme == "javascript" || scheme == "data" || scheme == "about" || scheme == "blob" ||
        scheme == "vbscript")
        return target;
    if (!scheme.empty()) {
        target.kind = LinkTarget::Kind::External;
        return target;
    }
    if (url.compare(0, 2, "//") == 0) {
        target.kind = LinkTarget::Kind::Outside;
        target.why = "a network path";
        return target;
    }
    size_t hash = url.find('#');
    if (hash != std::string::npos) {
        target.fragment = PercentDecoded(url.substr(hash + 1));
        url.erase(hash);
    }
    size_t query = url.find('?');
    if (query != std::string::npos) url.erase(query);

    // A file URL's path: from the drive's root, or from the base folder.
    std::string path = PercentDecoded(url);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::vector<std::string> parts;
    if (path.empty() || path[0] != '/') {
        for (size_t start = 0; start <= folder.size() && !folder.empty();) {
            size_t slash = folder.find('/', start);
            if (slash == std::string::npos) slash = folder.size();
            parts.push_back(folder.substr(start, slash - start));
            start = slash + 1;
        }
    }
    size_t above = 0;  // levels above the root that the path has climbed
    for (size_t start = 0; start < path.size();) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        std::string part = path.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (parts.empty()) {
                above++;
            } else {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    target.kind = LinkTarget::Kind::Disc;
    if (above > 0) {
        target.kind = LinkTarget::Kind::Outside;
        target.why = "above the disc's root";
        for (size_t i = 0; i < above; i++) target.path += i == 0 ? ".." : "/..";
    }
    for (const std::string& part : parts) target.path += (target.path.empty() ? "" : "/") + part;
    return target;
}

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsAscii(const PageLinks& links) {
    return std::all_of(links.links.begin(), links.links.end(), [](const PageLink& l) { return IsAscii(l.url); }) &&
           std::all_of(links.anchors.begin(), links.anchors.end(), [](const std::string& a) { return IsAscii(a); }) &&
           (!links.base || IsAscii(*links.base));
}

PageLinks Parse(std::string_view bytes, bool stylesheet, const std::string& encoding) {
    if (!stylesheet) return ExtractLinks(bytes, encoding);
    PageLinks links;
    links.links = StylesheetLinks(DecodeText(bytes, StylesheetEncoding(bytes).value_or(encoding)), 1);
    return links;
}

// Reads a source for the first time, or a legacy one in another encoding.
void ReadInto(const DiscTree& tree, const Source& source, bool stylesheet, const std::string& legacyEncoding,
              Reading& reading) {
    if (reading.done) {
        reading.byEncoding[legacyEncoding] = Parse(reading.bytes, stylesheet, legacyEncoding);
        return;
    }
    reading.done = true;
    if (source.node->size > kPageLimit) {
        reading.failure = std::string("The ") + (stylesheet ? "stylesheet" : "page") + " is larger than 64 MiB";
        return;
    }
    Result<std::string> bytes = tree.Read(*source.node, kPageLimit);
    if (!bytes) {
        reading.failure = bytes.error();
        return;
    }
    std::optional<std::string> own = stylesheet ? StylesheetEncoding(bytes.value()) : PageEncoding(bytes.value());
    PageLinks links = Parse(bytes.value(), stylesheet, legacyEncoding);
    // A legacy source whose links, anchors and base are ASCII reads alike in
    // every legacy encoding: each of them is ASCII's superset, and an ASCII
    // byte that a character of two could take as its second is a letter or
    // sign within the same text, never markup's < > = " ' or a blank.
    reading.legacy = !own && !IsAscii(links);
    reading.byEncoding[reading.legacy ? legacyEncoding : ""] = std::move(links);
    if (reading.legacy) reading.bytes = std::move(bytes.value());
}

// Reads the sources given that the cache lacks, on every core; the results
// follow in the order given, so that the report does not depend on the timing.
void ReadSources(const DiscTree& tree, std::vector<Source>& sources, bool stylesheets,
                 const std::string& legacyEncoding, SourceCache& cache) {
    // The cache's entries are made here, so that each worker writes only its own.
    std::vector<std::pair<const Source*, Reading*>> work;
    for (const Source& source : sources) {
        Reading& reading = CachedReading(cache, source.path, stylesheets);
        if (!reading.done || (reading.legacy && !reading.byEncoding.count(legacyEncoding)))
            work.emplace_back(&source, &reading);
    }
    std::atomic<size_t> next{0};
    auto read = [&] {
        for (size_t i; (i = next++) < work.size();) ReadInto(tree, *work[i].first, stylesheets, legacyEncoding, *work[i].second);
    };
    unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::thread> threads;
    for (unsigned w = 1; w < workers && w < work.size(); w++) threads.emplace_back(read);
    read();
    for (std::thread& thread : threads) thread.join();
    for (Source& source : sources) {
        Reading& reading = CachedReading(cache, source.path, stylesheets);
        source.failure = reading.failure;
        source.legacy = reading.legacy;
        if (reading.failure.empty()) source.links = &reading.byEncoding[reading.legacy ? legacyEncoding : ""];
    }
}

// One check of every link, as browsers read the pages on Windows of one code
// page: its legacy encoding for the sources that declare none, and its ANSI
// code page for a path whose escapes are not UTF-8.
class LinkChecker {
public:
    LinkChecker(const DiscTree& tree, const Index& index, unsigned codePage, SourceCache& cache, Findings& findings)
        : tree_(tree), index_(index), codePage_(codePage), legacyEncoding_(LegacyEncoding(codePage)), cache_(cache),
          findings_(findings) {}

    void Check(std::vector<Source> pages) {
        ReadSources(tree_, pages, false, legacyEncoding_, cache_);
        for (Source& page : pages) {
            if (page.failure.empty()) pageAt_[page.path] = &page;
            if (page.legacy) legacyPages_.push_back(page);
        }
        for (const Source& page : pages) CheckSource(page);
        // The stylesheets that the pages load, and those that they import in turn.
        while (!stylesheets_.empty()) {
            std::vector<Source> round = std::move(stylesheets_);
            stylesheets_.clear();
            ReadSources(tree_, round, true, legacyEncoding_, cache_);
            for (const Source& stylesheet : round) {
                if (stylesheet.legacy) legacyStylesheets_.push_back(stylesheet);
                CheckSource(stylesheet);
            }
        }
        for (const auto& [url, seen] : external_) {
            size_t count = seen.pages.size();
            std::string message = "\"" + url + "\" needs a network" +
                                  (count > 1 ? " (linked from " + std::to_string(count) + " pages)" : "") + ".";
            findings_.AddPlace("link-external", seen.first, seen.line, url, message, message);
        }
    }

    // The sources read in the code page's legacy encoding.
    const std::vector<Source>& LegacyPages() const { return legacyPages_; }
    const std::vector<Source>& LegacyStylesheets() const { return legacyStylesheets_; }
    // True when a path's escapes were read in the ANSI code page.
    bool ReadAnsiPath() const { return readAnsiPath_; }

private:
    struct External {
        std::string first;  // the first page that links to it
        unsigned line = 0;
        std::set<std::string> pages;
    };

    void CheckSource(const Source& source) {
        std::string shown = DisplayPath(source.path);
        if (!source.failure.empty()) {
            findings_.Add("page-not-checked", shown, source.failure + "; its links were not checked.");
            return;
        }
        std::string folder = FolderOf(source.path);
        // A <base> moves every relative link, or takes it off the disc.
        std::optional<LinkTarget> base;
        const PageLinks& links = *source.links;
        if (links.base) {
            base = ResolveLink(*links.base, folder);
            if (base->kind == LinkTarget::Kind::Disc) {
                std::string basePath = Cleaned(*links.base);
                bool isFolder = basePath.empty() || basePath.back() == '/';
                folder = isFolder ? base->path : FolderOf(base->path);
            } else if (base->kind != LinkTarget::Kind::Ignored) {
                std::string href = Cleaned(*links.base);
                findings_.AddPlace("page-base-off-disc", shown, 0, href,
                                   "<base href=\"" + href + "\"> sends every relative link of its pages off the "
                                   "disc, so they do not open what is on it; remove it, or make it relative.",
                                   "<base href=\"" + href + "\"> sends every relative link of the page off the "
                                   "disc; remove it, or make it relative.");
            }
        }
        std::unordered_set<std::string> reported;
        for (const PageLink& link : links.links) {
            std::string clean = Cleaned(link.url);
            if (clean.empty() || !reported.insert(link.attribute + "\n" + link.url).second) continue;
            LinkTarget target;
            if (clean[0] == '#' || clean[0] == '?') {
                // The page itself.
                target.kind = LinkTarget::Kind::Disc;
                target.path = source.path;
                size_t hash = clean.find('#');
                if (hash != std::string::npos) target.fragment = PercentDecoded(clean.substr(hash + 1));
            } else {
                target = ResolveLink(clean, folder);
                bool relative = SchemeOf(clean).empty() && clean.compare(0, 2, "//") != 0;
                if (relative && base && base->kind != LinkTarget::Kind::Disc) target = *base;
            }
            CheckLink(shown, link, clean, target,
                      base && base->kind == LinkTarget::Kind::External && SchemeOf(clean).empty()
                          ? *links.base
                          : clean);
        }
    }

    // `address`: what an external link is counted under, the base's when it
    // took a relative link off the disc.
    void CheckLink(const std::string& shown, const PageLink& link, const std::string& clean, const LinkTarget& target,
                   const std::string& address) {
        switch (target.kind) {
            case LinkTarget::Kind::Ignored:
                return;
            case LinkTarget::Kind::External:
                CountExternal(shown, link, address);
                return;
            case LinkTarget::Kind::Outside:
                ReportOutside(shown, link, clean, target);
                return;
            case LinkTarget::Kind::Disc:
                break;
        }
        const Entry* entry = FindOnDisc(target.path);
        if (link.use == LinkUse::Module) ReportModuleScript(shown, link, target.path);
        if (!entry && !target.path.empty()) {
            ReportBroken(shown, link, target.path);
            return;
        }
        if (entry && entry->path != target.path) ReportCaseMismatch(shown, link, target.path, entry->path);
        const DiscNode* node = entry ? entry->node : &tree_.root;
        if (node->kind == NodeKind::Folder && target.fragment.empty()) {
            ReportFolder(shown, link, entry ? entry->path : "");
            return;
        }
        if (link.use == LinkUse::Stylesheet && node->kind == NodeKind::File && stylesheetsSeen_.insert(entry->path).second) {
            stylesheets_.push_back(Source{node, entry->path, nullptr, {}, false});
        }
        if (link.use == LinkUse::Navigate && !target.fragment.empty() && LowerAscii(target.fragment) != "top") {
            CheckAnchor(shown, link, clean, target.fragment, entry ? entry->path : "");
        }
    }

    void CountExternal(const std::string& shown, const PageLink& link, const std::string& address) {
        External& seen = external_[address];
        if (seen.first.empty()) seen.first = shown, seen.line = link.line;
        seen.pages.insert(shown);
    }

    void ReportOutside(const std::string& shown, const PageLink& link, const std::string& clean,
                       const LinkTarget& target) {
        findings_.AddPlace("link-outside-disc", shown, link.line, clean,
                           "\"" + clean + "\" is " + target.why +
                               ", which does not lead onto the disc wherever it is inserted; link relative "
                               "to the page instead.",
                           At(link) + " is " + target.why +
                               ", which does not lead onto the disc wherever it is inserted; link "
                               "relative to the page instead.",
                           target.path.empty() ? CauseKind::File : CauseKind::AboveRoot, target.path);
    }

    // Escapes that are not UTF-8 are read as the browser reads them, in the ANSI code page.
    const Entry* FindOnDisc(const std::string& path) {
        const Entry* entry = index_.Find(path);
        if (!entry && !IsUtf8(path)) {
            readAnsiPath_ = true;
            entry = index_.Find(AnsiToUtf8(path, codePage_));
        }
        return entry;
    }

    void ReportModuleScript(const std::string& shown, const PageLink& link, const std::string& path) {
        findings_.AddPlace("page-module-script", shown, link.line, path,
                           "Chromium-based browsers, Edge among them, refuse module scripts from a disc, so "
                           "no page that loads " + WindowsForm(path) +
                               " as one runs it there; load it as a classic script, or bundle it.",
                           At(link) + " loads a module script, which Chromium-based browsers, Edge among them, "
                                      "refuse from a disc; load it as a classic script, or bundle it.");
    }

    void ReportBroken(const std::string& shown, const PageLink& link, const std::string& path) {
        std::string folder = MissingFolder(path);
        findings_.AddPlace("link-broken", shown, link.line, path,
                           WindowsForm(path) + " is not on the disc; correct the links to it or add the "
                                               "file.",
                           At(link) + " names " + WindowsForm(path) +
                               ", which is not on the disc; correct the link or add the file.",
                           folder.empty() ? CauseKind::File : CauseKind::Folder, folder);
    }

    void ReportCaseMismatch(const std::string& shown, const PageLink& link, const std::string& path,
                            const std::string& found) {
        findings_.AddPlace("link-case-mismatch", shown, link.line, path,
                           "\"" + DisplayPath(path) + "\" finds " + DisplayPath(found) +
                               " only because Windows ignores case; other readers of the disc do not, so "
                               "write the name as it is.",
                           At(link) + " finds " + DisplayPath(found) +
                               " only because Windows ignores case; other readers of the disc do not, so write "
                               "the name as it is.");
    }

    // `path`: the folder's, "" for the root.
    void ReportFolder(const std::string& shown, const PageLink& link, const std::string& path) {
        findings_.AddPlace("link-folder", shown, link.line, path.empty() ? "/" : path,
                           WindowsForm(path) + " is a folder, which a browser shows as a list of files, not a page.",
                           At(link) + " leads to a folder, which a browser shows as a list of files, not a "
                                      "page.");
    }

    // `path`: the page the link leads to, when it is one that was read.
    void CheckAnchor(const std::string& shown, const PageLink& link, const std::string& clean,
                     const std::string& fragment, const std::string& path) {
        auto targetPage = pageAt_.find(path);
        if (targetPage == pageAt_.end()) return;
        const std::vector<std::string>& anchors = targetPage->second->links->anchors;
        std::string raw = clean.substr(clean.find('#') + 1);  // browsers try it undecoded too
        if (std::find(anchors.begin(), anchors.end(), fragment) != anchors.end() ||
            std::find(anchors.begin(), anchors.end(), raw) != anchors.end()) {
            return;
        }
        std::string page = DisplayPath(targetPage->second->path);
        std::string anchor = DisplayPath(fragment);
        findings_.AddPlace("link-anchor-missing", shown, link.line, targetPage->second->path + "#" + fragment,
                           page + " has no anchor \"" + anchor + "\" (as id= or name=); add it or correct the "
                                  "links to it.",
                           At(link) + ": " + page + " has no anchor \"" + anchor +
                               "\" (as id= or name=); add it or correct the link.",
                           CauseKind::Anchors, targetPage->second->path);
    }

    // The highest folder on the way to a missing file that is not on the
    // disc either; "" when the file's folder is.
    std::string MissingFolder(const std::string& path) const {
        for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            const Entry* folder = index_.Find(path.substr(0, slash));
            if (!folder) return path.substr(0, slash);
            if (folder->node->kind != NodeKind::Folder) return "";
        }
        return "";
    }

    const DiscTree& tree_;
    const Index& index_;
    unsigned codePage_;
    std::string legacyEncoding_;
    SourceCache& cache_;
    Findings& findings_;
    std::vector<Source> legacyPages_, legacyStylesheets_;
    bool readAnsiPath_ = false;
    std::unordered_map<std::string, const Source*> pageAt_;
    std::vector<Source> stylesheets_;
    std::unordered_set<std::string> stylesheetsSeen_;
    // External URLs once each, with the pages that link to them.
    std::map<std::string, External> external_;
};

}  // namespace

namespace {

// One check, and the code pages it holds for.
struct Variant {
    CodePageFindings found;
    std::vector<Source> legacyPages, legacyStylesheets;  // read in its code page's legacy encoding
    bool readAnsiPath = false;

    std::string Encoding() const { return LegacyEncoding(found.codePages.front()); }
    bool DependsOnCodePage() const { return !legacyPages.empty() || !legacyStylesheets.empty() || readAnsiPath; }
};

// True when a check in `encoding` would read every legacy source of the
// variant's check as it did, and so find what it found.
bool ReadsAlike(const Variant& variant, const std::string& encoding, SourceCache& cache) {
    if (variant.readAnsiPath) return false;
    for (bool stylesheets : {false, true}) {
        for (const Source& source : stylesheets ? variant.legacyStylesheets : variant.legacyPages) {
            Reading& reading = CachedReading(cache, source.path, stylesheets);
            if (!(reading.byEncoding[encoding] == reading.byEncoding[variant.Encoding()])) return false;
        }
    }
    return true;
}

// The legacy sources of a check read in another encoding, in parallel; those
// read in it already are not read again.
void ReadAgain(const DiscTree& tree, const Variant& variant, const std::string& encoding, SourceCache& cache) {
    std::vector<Source> pages = variant.legacyPages, stylesheets = variant.legacyStylesheets;
    ReadSources(tree, pages, false, encoding, cache);
    ReadSources(tree, stylesheets, true, encoding, cache);
}

// A page that declares no encoding and whose links read otherwise in the
// code pages checked: one warning, with the code pages in which its links
// all lead onto the disc, when there are such.
void CheckUndeclaredPages(const std::vector<Variant>& variants, SourceCache& cache, Findings& findings) {
    std::set<std::string> pages;
    for (const Variant& variant : variants) {
        for (const Source& page : variant.legacyPages) pages.insert(page.path);
    }
    for (const std::string& page : pages) {
        Reading& reading = CachedReading(cache, page, false);
        const PageLinks& first = reading.byEncoding[variants.front().Encoding()];
        bool differ = std::any_of(variants.begin() + 1, variants.end(), [&](const Variant& v) {
            return !(reading.byEncoding[v.Encoding()] == first);
        });
        if (!differ) continue;
        std::string shown = DisplayPath(page);
        CodePages whole;
        std::string encoding;
        for (const Variant& variant : variants) {
            const std::vector<Finding>& found = variant.found.findings.All();
            bool broken = std::any_of(found.begin(), found.end(),
                                      [&](const Finding& f) { return f.path == shown && f.id == "link-broken"; });
            if (broken) continue;
            whole.insert(whole.end(), variant.found.codePages.begin(), variant.found.codePages.end());
            if (encoding.empty()) encoding = variant.Encoding();
        }
        std::string message =
            "The page declares no encoding and is not UTF-8, so each reader's browser reads it in the legacy "
            "encoding of its language, and its links read differently in the code pages checked";
        message += whole.empty() ? ". Declare the encoding it is written in (<meta charset=\"...\">)"
                                 : "; they all lead onto the disc in " + CodePageList(whole) + ", read as " +
                                       encoding + ". Declare it: <meta charset=\"" + encoding + "\">";
        findings.Add("page-encoding-undeclared", shown, message + ", or save the page as UTF-8.");
    }
}

}  // namespace

void CheckLinks(const DiscTree& tree, Findings& findings, const CodePages& codePages) {
    std::vector<Source> pages;
    tree.Walk([&](const DiscNode& node, const std::string& path) {
        if (IsPage(node)) pages.push_back(Source{&node, path, nullptr, {}, false});
    });
    Index index(tree);
    SourceCache cache;
    std::vector<Variant> variants;
    auto check = [&](unsigned codePage) {
        Variant variant{{{codePage}, {}}, {}, {}, false};
        LinkChecker checker(tree, index, codePage, cache, variant.found.findings);
        checker.Check(pages);
        variant.legacyPages = checker.LegacyPages();
        variant.legacyStylesheets = checker.LegacyStylesheets();
        variant.readAnsiPath = checker.ReadAnsiPath();
        variants.push_back(std::move(variant));
    };
    const CodePages& each = codePages.empty() ? kWesternWindows : codePages;
    check(each.front());
    // Only the legacy sources and paths read in the ANSI code page depend on
    // it; without them the first check holds for every code page.
    if (each.size() > 1 && variants.front().DependsOnCodePage()) {
        for (size_t i = 1; i < each.size(); i++) {
            std::string encoding = LegacyEncoding(each[i]);
            for (const Variant& variant : variants) ReadAgain(tree, variant, encoding, cache);
            auto alike = std::find_if(variants.begin(), variants.end(),
                                      [&](const Variant& v) { return ReadsAlike(v, encoding, cache); });
            if (alike != variants.end()) {
                alike->found.codePages.push_back(each[i]);
            } else {
                check(each[i]);
            }
        }
    }
    Findings undeclared;
    if (variants.size() > 1) CheckUndeclaredPages(variants, cache, undeclared);
    std::vector<CodePageFindings> runs;
    for (Variant& variant : variants) runs.push_back(std::move(variant.found));
    Findings merged = MergeCodePages(runs);
    for (const Finding& finding : merged.All()) findings.Add(finding);
    for (const Finding& finding : undeclared.All()) findings.Add(finding);
}

}  // namespace publisher
