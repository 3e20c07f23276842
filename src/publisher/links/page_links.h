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
};

struct PageLinks {
    std::vector<PageLink> links;
    std::vector<std::string> anchors;  // id= of any element, name= of <a>
    std::optional<std::string> base;   // the first <base href>
};

// A page's or a stylesheet's bytes as text: UTF-8 (its BOM dropped), UTF-16
// with a BOM, and anything else as windows-1252, which is what a page that
// is not UTF-8 most likely is.
std::string DecodePage(std::string_view bytes);

// Every link of a page, in the order of the page.
PageLinks ExtractLinks(std::string_view bytes);

// The links of a stylesheet's text: its url()s and @imports.
std::vector<PageLink> StylesheetLinks(std::string_view css, unsigned firstLine);

// The URLs of a srcset attribute, as a browser splits it into candidates.
std::vector<std::string> SrcsetUrls(std::string_view srcset);

// The URL of a refresh's content, "5; url=page.htm"; none when it names none.
std::optional<std::string> RefreshUrl(std::string_view content);

}  // namespace publisher

#endif
