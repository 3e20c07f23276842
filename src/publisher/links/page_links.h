// What a page refers to, read with gumbo, which parses HTML as browsers do,
// tag soup included: what it loads to show itself, where the reader can go
// from it, its anchors and its <base>. What a browser never fetches (inert
// <template> and <noscript> content, links that are not loaded) is left out.
#ifndef ONDRELLE_PUBLISHER_PAGE_LINKS_H
#define ONDRELLE_PUBLISHER_PAGE_LINKS_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publisher {

// What the browser does with a link.
enum class LinkUse {
    Navigate,    // a, area, a refresh: the reader goes there; its anchor counts
    Fetch,       // loaded to show or run the page: pictures, scripts, frames, media, fonts
    Stylesheet,  // loaded, and read in turn for what it loads
    Module,      // a module script, which Chromium-based browsers refuse from a disc
};

struct PageLink {
    std::string url;        // as written, character references and CSS escapes decoded, UTF-8
    std::string attribute;  // what holds it: an attribute's name, "url" or "@import" in CSS, "refresh"
    unsigned line = 0;
    LinkUse use = LinkUse::Navigate;

    bool operator==(const PageLink& other) const {
        return url == other.url && attribute == other.attribute && line == other.line && use == other.use;
    }
};

struct PageLinks {
    std::vector<PageLink> links;
    std::vector<std::string> anchors;  // id= of any element, name= of <a>
    std::optional<std::string> base;   // the first <base href>

    bool operator==(const PageLinks& other) const {
        return links == other.links && anchors == other.anchors && base == other.base;
    }
};

// Every link of a page, in the order of the page: read in the encoding it
// has of its own (page_encoding.h), or else in `legacyEncoding`, that of the
// reader's language.
PageLinks ExtractLinks(std::string_view bytes, const std::string& legacyEncoding = "windows-1252");

// The links of a stylesheet's text: its url()s and @imports.
std::vector<PageLink> StylesheetLinks(std::string_view css, unsigned firstLine);

// The URLs of a srcset attribute, as a browser splits it into candidates.
std::vector<std::string> SrcsetUrls(std::string_view srcset);

// The URL of a refresh's content, "5; url=page.htm"; none when it names none.
std::optional<std::string> RefreshUrl(std::string_view content);

}  // namespace publisher

#endif
