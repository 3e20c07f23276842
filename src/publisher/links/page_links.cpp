// Reads the links of a page out of gumbo's tree, element by element, as a browser loads them.
#include "page_links.h"

#include "page_encoding.h"
#include "stylesheet.h"

#include <gumbo.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace publisher {

namespace {

// gumbo allocates many small blocks for a page and frees them all when it is
// done with it. A bump arena per thread, emptied after each page, does that
// for a fraction of what malloc and free cost.
class Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena() {
        for (Chunk& chunk : chunks_) std::free(chunk.bytes);
    }

    void* Allocate(std::size_t size) {
        size = (size + kAlign - 1) & ~(kAlign - 1);
        if (size > left_ && !NextChunk(size)) return nullptr;  // gumbo gives up on the page
        char* block = next_;
        next_ += size;
        left_ -= size;
        return block;
    }

    // Everything allocated is free again. What a huge page took beyond kKept
    // goes back to the system.
    void Empty() {
        std::size_t keep = 0, kept = 0;
        while (keep < chunks_.size() && (keep == 0 || kept + chunks_[keep].size <= kKept)) kept += chunks_[keep++].size;
        for (std::size_t i = keep; i < chunks_.size(); i++) std::free(chunks_[i].bytes);
        chunks_.resize(keep);
        current_ = 0;
        if (!chunks_.empty()) Start(0);
    }

    static void* GumboAllocate(void* arena, std::size_t size) { return static_cast<Arena*>(arena)->Allocate(size); }
    static void GumboFree(void*, void*) {}

private:
    // The next chunk with room for `size`, or a new one, twice as large as
    // the last.
    bool NextChunk(std::size_t size) {
        for (std::size_t i = chunks_.empty() ? 0 : current_ + 1; i < chunks_.size(); i++) {
            if (chunks_[i].size >= size) {
                Start(current_ = i);
                return true;
            }
        }
        std::size_t grown = std::max(chunks_.empty() ? kFirst : std::min(chunks_.back().size * 2, kLargest), size);
        char* bytes = static_cast<char*>(std::malloc(grown));
        if (!bytes) return false;
        chunks_.push_back(Chunk{bytes, grown});
        Start(current_ = chunks_.size() - 1);
        return true;
    }

    void Start(std::size_t chunk) {
        next_ = chunks_[chunk].bytes;
        left_ = chunks_[chunk].size;
    }

    static constexpr std::size_t kAlign = alignof(std::max_align_t);
    static constexpr std::size_t kFirst = 1 << 20, kLargest = 64 << 20, kKept = 64 << 20;
    struct Chunk {
        char* bytes;
        std::size_t size;
    };
    std::vector<Chunk> chunks_;
    std::size_t current_ = 0;
    char* next_ = nullptr;
    std::size_t left_ = 0;  // in the current chunk
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Lower(x) == Lower(y);
           });
}

bool IsHtmlBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// The blank-separated words of an attribute such as rel, lower-cased.
bool HasWord(std::string_view value, std::string_view word) {
    for (std::size_t at = 0; at < value.size();) {
        while (at < value.size() && IsHtmlBlank(value[at])) at++;
        std::size_t end = at;
        while (end < value.size() && !IsHtmlBlank(value[end])) end++;
        if (end > at && SameIgnoringCase(value.substr(at, end - at), word)) return true;
        at = end;
    }
    return false;
}

// What a <link> loads: stylesheets, icons, manifests and preloads; the other
// relations (canonical, next, author, search...) only describe the page.
std::optional<LinkUse> LinkRelUse(std::string_view rel) {
    if (HasWord(rel, "stylesheet")) return LinkUse::Stylesheet;
    if (HasWord(rel, "modulepreload")) return LinkUse::Module;
    for (const char* fetched : {"icon", "apple-touch-icon", "apple-touch-icon-precomposed", "mask-icon",
                                "manifest", "preload", "prefetch"}) {
        if (HasWord(rel, fetched)) return LinkUse::Fetch;
    }
    return std::nullopt;
}

std::string_view TagName(const GumboElement& element) {
    GumboStringPiece name = element.original_tag;
    gumbo_tag_from_original_text(&name);
    return std::string_view(name.data ? name.data : "", name.data ? name.length : 0);
}

struct Collector {
    PageLinks page;

    const GumboAttribute* Get(const GumboElement& element, const char* name) {
        return gumbo_get_attribute(&element.attributes, name);
    }

    void Add(const GumboElement& element, const char* name, LinkUse use) {
        if (const GumboAttribute* a = Get(element, name)) {
            page.links.push_back(PageLink{a->value, name, element.start_pos.line, use});
        }
    }

    void AddSrcset(const GumboElement& element) {
        if (const GumboAttribute* a = Get(element, "srcset")) {
            for (std::string& url : SrcsetUrls(a->value)) {
                page.links.push_back(PageLink{std::move(url), "srcset", element.start_pos.line, LinkUse::Fetch});
            }
        }
    }

    // A style= attribute holds declarations only: an @import there is not one.
    void AddStyle(std::string_view css, unsigned line, bool declarations) {
        for (PageLink& link : StylesheetLinks(css, line)) {
            if (!(declarations && link.use == LinkUse::Stylesheet)) page.links.push_back(std::move(link));
        }
    }

    // SVG names its links href, or xlink:href in older files.
    void AddSvgHref(const GumboElement& element, LinkUse use) {
        const GumboAttribute* a = Get(element, "href");
        if (!a) a = Get(element, "xlink:href");
        if (a) page.links.push_back(PageLink{a->value, a->name, element.start_pos.line, use});
    }

    void Html(const GumboElement& element) {
        switch (element.tag) {
            case GUMBO_TAG_A:
                Add(element, "href", LinkUse::Navigate);
                if (const GumboAttribute* a = Get(element, "name")) page.anchors.push_back(a->value);
                break;
            case GUMBO_TAG_AREA:
                Add(element, "href", LinkUse::Navigate);
                break;
            case GUMBO_TAG_LINK:
                if (const GumboAttribute* rel = Get(element, "rel")) {
                    if (std::optional<LinkUse> use = LinkRelUse(rel->value)) Add(element, "href", *use);
                }
                break;
            case GUMBO_TAG_IMG:
                Add(element, "src", LinkUse::Fetch);
                AddSrcset(element);
                break;
            case GUMBO_TAG_SOURCE:
                Add(element, "src", LinkUse::Fetch);
                AddSrcset(element);
                break;
            case GUMBO_TAG_VIDEO:
                Add(element, "src", LinkUse::Fetch);
                Add(element, "poster", LinkUse::Fetch);
                break;
            case GUMBO_TAG_AUDIO:
            case GUMBO_TAG_TRACK:
            case GUMBO_TAG_FRAME:
            case GUMBO_TAG_IFRAME:
            case GUMBO_TAG_EMBED:
                Add(element, "src", LinkUse::Fetch);
                break;
            case GUMBO_TAG_OBJECT:
                Add(element, "data", LinkUse::Fetch);
                break;
            case GUMBO_TAG_SCRIPT: {
                const GumboAttribute* type = Get(element, "type");
                Add(element, "src", type && SameIgnoringCase(type->value, "module") ? LinkUse::Module : LinkUse::Fetch);
                break;
            }
            case GUMBO_TAG_INPUT:
                if (const GumboAttribute* type = Get(element, "type")) {
                    if (SameIgnoringCase(type->value, "image")) Add(element, "src", LinkUse::Fetch);
                }
                break;
            case GUMBO_TAG_BODY:
            case GUMBO_TAG_TABLE:
            case GUMBO_TAG_TR:
            case GUMBO_TAG_TD:
            case GUMBO_TAG_TH:
                Add(element, "background", LinkUse::Fetch);
                break;
            case GUMBO_TAG_BASE:
                if (!page.base) {
                    if (const GumboAttribute* a = Get(element, "href")) page.base = a->value;
                }
                break;
            case GUMBO_TAG_META: {
                const GumboAttribute* equiv = Get(element, "http-equiv");
                const GumboAttribute* content = Get(element, "content");
                if (equiv && content && SameIgnoringCase(equiv->value, "refresh")) {
                    if (std::optional<std::string> url = RefreshUrl(content->value)) {
                        page.links.push_back(PageLink{*url, "refresh", element.start_pos.line, LinkUse::Navigate});
                    }
                }
                break;
            }
            case GUMBO_TAG_STYLE:
                for (unsigned i = 0; i < element.children.length; i++) {
                    auto* text = static_cast<const GumboNode*>(element.children.data[i]);
                    if (text->type == GUMBO_NODE_TEXT) AddStyle(text->v.text.text, text->v.text.start_pos.line, false);
                }
                break;
            default:
                break;
        }
    }

    void Svg(const GumboElement& element) {
        std::string_view name = TagName(element);
        if (element.tag == GUMBO_TAG_A) {
            AddSvgHref(element, LinkUse::Navigate);
        } else if (element.tag == GUMBO_TAG_IMAGE || SameIgnoringCase(name, "use") ||
                   SameIgnoringCase(name, "feImage") || element.tag == GUMBO_TAG_SCRIPT) {
            AddSvgHref(element, LinkUse::Fetch);
        }
    }

    void Element(const GumboElement& element) {
        if (element.tag_namespace == GUMBO_NAMESPACE_HTML) {
            Html(element);
        } else if (element.tag_namespace == GUMBO_NAMESPACE_SVG) {
            Svg(element);
        }
        if (const GumboAttribute* style = Get(element, "style")) AddStyle(style->value, style->value_start.line, true);
        if (const GumboAttribute* id = Get(element, "id")) page.anchors.push_back(id->value);
    }
};

// Inert content: what a browser parses but never loads or shows as part of
// the page.
bool IsInert(const GumboNode& node) {
    return node.type == GUMBO_NODE_TEMPLATE ||
           (node.v.element.tag == GUMBO_TAG_NOSCRIPT && node.v.element.tag_namespace == GUMBO_NAMESPACE_HTML);
}

}  // namespace

PageLinks ExtractLinks(std::string_view bytes, const std::string& legacyEncoding) {
    static thread_local Arena arena;
    std::string text = DecodeText(bytes, PageEncoding(bytes).value_or(legacyEncoding));
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;  // the parse errors are not wanted, only the tree
    options.allocator = Arena::GumboAllocate;
    options.deallocator = Arena::GumboFree;
    options.userdata = &arena;
    struct Emptied {
        ~Emptied() { arena.Empty(); }
    } emptied;  // the tree lives in the arena, and goes with it
    const GumboOutput* output = gumbo_parse_with_options(&options, text.data(), text.size());
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
        if (IsInert(*node)) continue;
        for (unsigned i = element.children.length; i-- > 0;) {
            pending.push_back(static_cast<const GumboNode*>(element.children.data[i]));
        }
    }
    return std::move(collector.page);
}

std::vector<PageLink> StylesheetLinks(std::string_view css, unsigned firstLine) {
    std::vector<PageLink> links;
    for (StyleReference& reference : StyleReferences(css, firstLine)) {
        links.push_back(PageLink{std::move(reference.url), reference.import ? "@import" : "url", reference.line,
                                 reference.import ? LinkUse::Stylesheet : LinkUse::Fetch});
    }
    return links;
}

std::vector<std::string> SrcsetUrls(std::string_view srcset) {
    // The candidates are split at commas; a URL runs to the next blank, and
    // its descriptors ("2x", "640w") to a comma outside parentheses.
    std::vector<std::string> urls;
    std::size_t at = 0;
    while (at < srcset.size()) {
        while (at < srcset.size() && (IsHtmlBlank(srcset[at]) || srcset[at] == ',')) at++;
        std::size_t start = at;
        while (at < srcset.size() && !IsHtmlBlank(srcset[at])) at++;
        std::string_view url = srcset.substr(start, at - start);
        if (url.empty()) break;
        bool descriptors = true;
        if (url.back() == ',') {
            while (!url.empty() && url.back() == ',') url.remove_suffix(1);
            descriptors = false;
        }
        if (!url.empty()) urls.emplace_back(url);
        for (int depth = 0; descriptors && at < srcset.size(); at++) {
            char c = srcset[at];
            if (c == '(') depth++;
            if (c == ')' && depth > 0) depth--;
            if (c == ',' && depth == 0) break;
        }
    }
    return urls;
}

std::optional<std::string> RefreshUrl(std::string_view content) {
    std::size_t at = 0;
    auto skipBlanks = [&] {
        while (at < content.size() && IsHtmlBlank(content[at])) at++;
    };
    skipBlanks();
    while (at < content.size() && ((content[at] >= '0' && content[at] <= '9') || content[at] == '.')) at++;
    skipBlanks();
    if (at < content.size() && (content[at] == ';' || content[at] == ',')) at++;
    skipBlanks();
    if (at == content.size()) return std::nullopt;
    if (content.size() - at >= 3 && SameIgnoringCase(content.substr(at, 3), "url")) {
        std::size_t after = at + 3;
        while (after < content.size() && IsHtmlBlank(content[after])) after++;
        if (after < content.size() && content[after] == '=') {
            at = after + 1;
            skipBlanks();
        }
    }
    std::string_view url = content.substr(at);
    if (!url.empty() && (url[0] == '"' || url[0] == '\'')) {
        std::size_t close = url.find(url[0], 1);
        url = url.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    }
    return url.empty() ? std::nullopt : std::optional<std::string>(std::string(url));
}

}  // namespace publisher
