// The links of the pages: read with gumbo, which parses HTML as browsers do,
// tag soup included; resolved as a browser resolves them on the disc (file
// URLs on drive D:); checked against the tree and the targets' anchors.
#ifndef ONDRELLE_PUBLISHER_LINKS_H
#define ONDRELLE_PUBLISHER_LINKS_H

#include "disc_tree.h"
#include "findings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publisher {

struct PageLink {
    std::string url;  // the attribute's value, character references decoded, UTF-8
    std::string attribute;
    unsigned line = 0;
};

struct PageLinks {
    std::vector<PageLink> links;
    std::vector<std::string> anchors;  // id= of any element, name= of <a>
    std::optional<std::string> base;   // the first <base href>
};

// A page's bytes as text for the parser: UTF-8 (its BOM dropped), UTF-16
// with a BOM, and anything else as windows-1252, which is what a page that
// is not UTF-8 most likely is.
std::string DecodePage(std::string_view bytes);

// The links of every element that loads or links: a, area, link (href); img,
// frame, iframe, script, embed, input type=image (src); body, td (background).
PageLinks ExtractLinks(std::string_view bytes);

// Where a link leads from a page whose folder is `folder` ('/'-separated,
// "" for the root), after its <base> if any.
struct LinkTarget {
    enum class Kind { Ignored, External, Outside, Disc } kind = Kind::Ignored;
    std::string path;      // Disc: '/'-separated from the root, percent escapes decoded
    std::string fragment;  // decoded; empty for none
    std::string why;       // Outside: what it is
};
LinkTarget ResolveLink(std::string_view url, const std::string& folder);

// Reads every page of the tree once and checks all its links.
void CheckLinks(const DiscTree& tree, Findings& findings);

}  // namespace publisher

#endif
