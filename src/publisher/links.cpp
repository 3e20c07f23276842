#include "links.h"

#include "code_page.h"
#include "names.h"

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

struct Collector {
    PageLinks page;

    void Attribute(const GumboElement& element, const char* name) {
        if (const GumboAttribute* a = gumbo_get_attribute(&element.attributes, name)) {
            page.links.push_back(PageLink{a->value, name, element.start_pos.line});
        }
    }

    void Element(const GumboElement& element) {
        switch (element.tag) {
            case GUMBO_TAG_A:
                Attribute(element, "href");
                if (const GumboAttribute* a = gumbo_get_attribute(&element.attributes, "name"))
                    page.anchors.push_back(a->value);
                break;
            case GUMBO_TAG_AREA:
            case GUMBO_TAG_LINK:
                Attribute(element, "href");
                break;
            case GUMBO_TAG_IMG:
            case GUMBO_TAG_FRAME:
            case GUMBO_TAG_IFRAME:
            case GUMBO_TAG_SCRIPT:
            case GUMBO_TAG_EMBED:
                Attribute(element, "src");
                break;
            case GUMBO_TAG_INPUT:
                if (const GumboAttribute* type = gumbo_get_attribute(&element.attributes, "type")) {
                    if (LowerAscii(type->value) == "image") Attribute(element, "src");
                }
                break;
            case GUMBO_TAG_BODY:
            case GUMBO_TAG_TD:
                Attribute(element, "background");
                break;
            case GUMBO_TAG_BASE:
                if (!page.base) {
                    if (const GumboAttribute* a = gumbo_get_attribute(&element.attributes, "href"))
                        page.base = a->value;
                }
                break;
            default:
                break;
        }
        if (const GumboAttribute* id = gumbo_get_attribute(&element.attributes, "id")) page.anchors.push_back(id->value);
    }
};

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

struct PageInfo {
    const DiscNode* node;
    std::string path;  // raw
    PageLinks links;
};

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string WindowsForm(const std::string& path) {
    std::string shown = "D:\\" + DisplayPath(path);
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}

std::string Quoted(const PageLink& link) { return link.attribute + "=\"" + link.url + "\""; }

std::string At(const PageLink& link) { return "Line " + std::to_string(link.line) + ": " + Quoted(link); }

}  // namespace

std::string DecodePage(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    else if (bytes.substr(0, 2) == "\xFF\xFE") return Utf16ToUtf8(std::string(bytes.substr(2)), false);
    else if (bytes.substr(0, 2) == "\xFE\xFF") return Utf16ToUtf8(std::string(bytes.substr(2)), true);
    std::string text(bytes);
    return IsUtf8(text) ? text : AnsiToUtf8(text);
}

PageLinks ExtractLinks(std::string_view bytes) {
    std::string text = DecodePage(bytes);
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;  // the parse errors are not wanted, only the tree
    std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&options, text.data(), text.size()),
        [](GumboOutput* o) { gumbo_destroy_output(&kGumboDefaultOptions, o); });
    Collector collector;
    if (!output) return collector.page;
    // Depth first without recursion: tag soup can nest deep.
    std::vector<const GumboNode*> pending{output->root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) continue;
        const GumboElement& element = node->v.element;
        collector.Element(element);
        for (unsigned i = element.children.length; i-- > 0;) {
            pending.push_back(static_cast<const GumboNode*>(element.children.data[i]));
        }
    }
    return collector.page;
}

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
    for (size_t start = 0; start < path.size();) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        std::string part = path.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (parts.empty()) {
                target.kind = LinkTarget::Kind::Outside;
                target.why = "above the disc's root";
                return target;
            }
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    target.kind = LinkTarget::Kind::Disc;
    for (const std::string& part : parts) target.path += (target.path.empty() ? "" : "/") + part;
    return target;
}

void CheckLinks(const DiscTree& tree, Findings& findings) {
    Index index(tree);
    std::vector<PageInfo> pages;
    tree.Walk([&](const DiscNode& node, const std::string& path) {
        if (IsPage(node)) pages.push_back(PageInfo{&node, path, {}});
    });
    // Each page is read and parsed once, on every core; the findings follow in
    // page order, so the report does not depend on the timing.
    std::vector<std::string> failures(pages.size());
    std::atomic<size_t> next{0};
    auto parse = [&] {
        for (size_t i; (i = next++) < pages.size();) {
            PageInfo& page = pages[i];
            if (page.node->size > kPageLimit) {
                failures[i] = "The page is larger than 64 MiB";
                continue;
            }
            Result<std::string> bytes = tree.Read(*page.node, kPageLimit);
            if (!bytes) {
                failures[i] = bytes.error();
                continue;
            }
            page.links = ExtractLinks(bytes.value());
        }
    };
    unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::thread> threads;
    for (unsigned w = 1; w < workers && w < pages.size(); w++) threads.emplace_back(parse);
    parse();
    for (std::thread& thread : threads) thread.join();

    std::unordered_map<std::string, const PageInfo*> pageAt;
    std::vector<PageInfo*> parsed;
    for (size_t i = 0; i < pages.size(); i++) {
        if (!failures[i].empty()) {
            findings.Add("page-not-checked", DisplayPath(pages[i].path), failures[i] + "; its links were not checked.");
            continue;
        }
        parsed.push_back(&pages[i]);
        pageAt[pages[i].path] = &pages[i];
    }

    // External URLs once each, with the number of pages that link to them.
    std::map<std::string, std::pair<std::string, std::set<std::string>>> external;
    for (const PageInfo* page : parsed) {
        std::string shown = DisplayPath(page->path);
        std::string folder = FolderOf(page->path);
        // A <base> moves every relative link, or takes it off the disc.
        std::optional<LinkTarget> base;
        if (page->links.base) {
            base = ResolveLink(*page->links.base, folder);
            if (base->kind == LinkTarget::Kind::Disc) {
                std::string basePath = Cleaned(*page->links.base);
                bool isFolder = basePath.empty() || basePath.back() == '/';
                folder = isFolder ? base->path : FolderOf(base->path);
            }
        }
        std::unordered_set<std::string> reported;
        for (const PageLink& link : page->links.links) {
            std::string clean = Cleaned(link.url);
            if (clean.empty() || !reported.insert(link.attribute + "\n" + link.url).second) continue;
            LinkTarget target;
            if (clean[0] == '#' || clean[0] == '?') {
                // The page itself.
                target.kind = LinkTarget::Kind::Disc;
                target.path = page->path;
                size_t hash = clean.find('#');
                if (hash != std::string::npos) target.fragment = PercentDecoded(clean.substr(hash + 1));
            } else {
                target = ResolveLink(clean, folder);
                bool relative = SchemeOf(clean).empty() && clean.compare(0, 2, "//") != 0;
                if (relative && base && base->kind != LinkTarget::Kind::Disc) target = *base;
            }
            switch (target.kind) {
                case LinkTarget::Kind::Ignored:
                    continue;
                case LinkTarget::Kind::External: {
                    std::string url = base && base->kind == LinkTarget::Kind::External && SchemeOf(clean).empty()
                                          ? *page->links.base
                                          : clean;
                    auto& seen = external[url];
                    if (seen.first.empty()) seen.first = shown;
                    seen.second.insert(shown);
                    continue;
                }
                case LinkTarget::Kind::Outside:
                    findings.Add("link-outside-disc", shown,
                                 At(link) + " is " + target.why +
                                     ", which does not lead onto the disc wherever it is inserted; link "
                                     "relative to the page instead.");
                    continue;
                case LinkTarget::Kind::Disc:
                    break;
            }
            const Entry* entry = index.Find(target.path);
            if (!entry && !IsUtf8(target.path)) entry = index.Find(AnsiToUtf8(target.path));
            if (!entry && !target.path.empty()) {
                findings.Add("link-broken", shown,
                             At(link) + " names " + WindowsForm(target.path) +
                                 ", which is not on the disc; correct the link or add the file.");
                continue;
            }
            if (entry && entry->path != target.path) {
                findings.Add("link-case-mismatch", shown,
                             At(link) + " finds " + DisplayPath(entry->path) +
                                 " only because Windows ignores case; other readers of the disc do not, so write "
                                 "the name as it is.");
            }
            const DiscNode* node = entry ? entry->node : &tree.root;
            if (node->kind == NodeKind::Folder && target.fragment.empty()) {
                findings.Add("link-folder", shown,
                             At(link) + " leads to a folder, which a browser shows as a list of files, not a page.");
                continue;
            }
            if (target.fragment.empty() || LowerAscii(target.fragment) == "top") continue;
            auto targetPage = pageAt.find(entry ? entry->path : "");
            if (targetPage == pageAt.end()) continue;
            const std::vector<std::string>& anchors = targetPage->second->links.anchors;
            std::string raw = clean.substr(clean.find('#') + 1);  // browsers try it undecoded too
            if (std::find(anchors.begin(), anchors.end(), target.fragment) == anchors.end() &&
                std::find(anchors.begin(), anchors.end(), raw) == anchors.end()) {
                findings.Add("link-anchor-missing", shown,
                             At(link) + ": " + DisplayPath(targetPage->second->path) + " has no anchor \"" +
                                 DisplayPath(target.fragment) + "\" (as id= or name=); add it or correct the link.");
            }
        }
    }
    for (const auto& [url, seen] : external) {
        size_t count = seen.second.size();
        findings.Add("link-external", seen.first,
                     "\"" + url + "\" needs a network" +
                         (count > 1 ? " (linked from " + std::to_string(count) + " pages)" : "") + ".");
    }
}

}  // namespace publisher
